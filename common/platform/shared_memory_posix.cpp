#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/shared_memory.h"
#include "text.h"

namespace platform {

namespace {

// Each lock on its own cache line; the data starts on a page of its own.
constexpr std::size_t kLockStride = 64;
constexpr std::size_t kPage = 4096;
constexpr int kAttempts = 8;
// Set whatever the umask: the processes of the owner's group share the region.
constexpr mode_t kMode = 0660;

std::size_t LocksBytes(std::size_t lockCount) {
    return (lockCount * kLockStride + kPage - 1) / kPage * kPage;
}

pthread_mutex_t* LockAt(void* base, std::size_t n) {
    return reinterpret_cast<pthread_mutex_t*>(static_cast<char*>(base) + n * kLockStride);
}

bool InitLocks(void* base, std::size_t lockCount) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
              pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0;
    for (std::size_t n = 0; ok && n < lockCount; ++n) {
        ok = pthread_mutex_init(LockAt(base, n), &attributes) == 0;
    }
    pthread_mutexattr_destroy(&attributes);
    return ok;
}

void* Map(int fd, std::size_t total) {
    void* base = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return base == MAP_FAILED ? nullptr : base;
}

// Two one-byte locks on the file, held per open of it (so two opens in one process are two
// holders): the opening and closing processes take turns by the first, exclusively; every
// process that maps the file holds the second, shared.
constexpr off_t kTurn = 0;
constexpr off_t kInUse = 1;

bool LockByte(int fd, off_t byte, short type, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// A mapping keeps the open file, and so its locks, alive: the turn is let go explicitly.
void Release(int fd) {
    LockByte(fd, kTurn, F_UNLCK, false);
    close(fd);
}

// The file still at the path is the one open here, not one that replaced it meanwhile.
bool StillAtPath(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// An existing file is opened without O_CREAT, which a sticky folder such as /dev/shm refuses
// for another user's file where the system protects them (fs.protected_regular).
int OpenOrCreate(const std::string& path) {
    for (;;) {
        int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kMode);
        if (fd >= 0) {
            fchmod(fd, kMode);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
}

// The whole region has its memory or disk: a page first written later cannot fail for want of
// either, as it could in a sparse file (SIGBUS). A file that is shorter or has holes is not one
// this build laid out.
bool LaidOutWhole(int fd, std::size_t total) {
    struct stat status {};
    return fstat(fd, &status) == 0 && static_cast<std::size_t>(status.st_size) == total &&
           static_cast<std::size_t>(status.st_blocks) * 512 >= total;
}

}  // namespace

// The last process to close the file finds no other holding it in use and removes it, so that
// the region's memory is given back once no process uses it.
struct SharedMemory::Handles {
    std::string path;
    int fd = -1;
    void* base = nullptr;
    std::size_t mapped = 0;

    ~Handles() {
        if (base) munmap(base, mapped);
        if (fd < 0) return;
        if (LockByte(fd, kTurn, F_WRLCK, true) && LockByte(fd, kInUse, F_WRLCK, false) &&
            StillAtPath(fd, path)) {
            unlink(path.c_str());
        }
        close(fd);
    }
};

std::string SharedMemory::PlaceFor(const std::string& folder, const std::string& name) {
    char real[PATH_MAX];
    std::string key = realpath(folder.c_str(), real) ? real : folder;
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(text::Fingerprint(key)));
    return "/dev/shm/" + name + "-" + hash;
}

std::unique_ptr<SharedMemory> SharedMemory::Open(const std::string& path, std::size_t bytes,
                                                 std::size_t lockCount, const Check& ready,
                                                 const Prepare& prepare) {
    const std::size_t locksBytes = LocksBytes(lockCount);
    const std::size_t total = locksBytes + bytes;
    auto handles = std::make_unique<Handles>();
    handles->path = path;
    handles->mapped = total;
    const auto opened = [&](int fd) {
        handles->fd = fd;
        std::unique_ptr<SharedMemory> memory(new SharedMemory);
        memory->data_ = static_cast<char*>(handles->base) + locksBytes;
        memory->handles_ = std::move(handles);
        return memory;
    };

    // The processes opening the region take turns by a lock on the file. Whoever finds it unfit
    // lays out a new file and renames it over the old one, so that a process of another build
    // still mapping the old file keeps it whole; a process that was waiting for the old file's
    // lock sees the rename (or the removal by a last process) and starts again.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = OpenOrCreate(path);
        if (fd < 0) return nullptr;
        if (!LockByte(fd, kTurn, F_WRLCK, true)) {
            close(fd);
            return nullptr;
        }
        if (!StillAtPath(fd, path)) {
            Release(fd);
            continue;
        }
        if (LaidOutWhole(fd, total)) {
            handles->base = Map(fd, total);
            if (handles->base && ready(static_cast<char*>(handles->base) + locksBytes)) {
                if (LockByte(fd, kInUse, F_RDLCK, false)) {
                    LockByte(fd, kTurn, F_UNLCK, false);  // the file stays open
                    return opened(fd);
                }
            }
            if (handles->base) munmap(handles->base, total);
            handles->base = nullptr;
        }

        const std::string fresh = path + "." + std::to_string(getpid()) + ".new";
        unlink(fresh.c_str());
        const int freshFd = open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kMode);
        bool ok = freshFd >= 0 && fchmod(freshFd, kMode) == 0 &&
                  posix_fallocate(freshFd, 0, static_cast<off_t>(total)) == 0 &&
                  LockByte(freshFd, kInUse, F_RDLCK, false);
        if (ok) handles->base = Map(freshFd, total);
        ok = ok && handles->base && InitLocks(handles->base, lockCount);
        if (ok) {
            prepare(static_cast<char*>(handles->base) + locksBytes);
            ok = rename(fresh.c_str(), path.c_str()) == 0;
        }
        Release(fd);
        if (!ok) {
            if (freshFd >= 0) close(freshFd);
            unlink(fresh.c_str());
            return nullptr;
        }
        return opened(freshFd);
    }
    return nullptr;
}

SharedMemory::~SharedMemory() = default;

SharedMemory::Taken SharedMemory::Lock(std::size_t lock) {
    pthread_mutex_t* mutex = LockAt(handles_->base, lock);
    if (pthread_mutex_lock(mutex) == EOWNERDEAD) {
        pthread_mutex_consistent(mutex);
        return Taken::FromTheDead;
    }
    return Taken::Clean;
}

void SharedMemory::Unlock(std::size_t lock) { pthread_mutex_unlock(LockAt(handles_->base, lock)); }

}  // namespace platform
