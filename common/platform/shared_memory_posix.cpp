#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/shared_memory.h"

namespace platform {

namespace {

// Each lock on its own cache line; the data starts on a page of its own.
constexpr std::size_t kLockStride = 64;
constexpr std::size_t kPage = 4096;
constexpr int kAttempts = 8;

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

bool TakeFileLock(int fd) {
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// A mapping keeps the open file, and so its lock, alive: the lock is let go explicitly.
void Release(int fd) {
    flock(fd, LOCK_UN);
    close(fd);
}

// The file still at the path is the one open here, not one that replaced it meanwhile.
bool StillAtPath(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

struct SharedMemory::Handles {
    void* base = nullptr;
    std::size_t mapped = 0;

    ~Handles() {
        if (base) munmap(base, mapped);
    }
};

std::unique_ptr<SharedMemory> SharedMemory::Open(const std::string& path, std::size_t bytes,
                                                 std::size_t lockCount, const Check& ready,
                                                 const Prepare& prepare) {
    const std::size_t locksBytes = LocksBytes(lockCount);
    const std::size_t total = locksBytes + bytes;
    auto handles = std::make_unique<Handles>();
    handles->mapped = total;

    // The processes opening the region take turns by a lock on the file. Whoever finds it unfit
    // lays out a new file and renames it over the old one, so that a process of another build
    // still mapping the old file keeps it whole; a process that was waiting for the old file's
    // lock sees the rename and starts again.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
        if (fd < 0) return nullptr;
        if (!TakeFileLock(fd)) {
            close(fd);
            return nullptr;
        }
        if (!StillAtPath(fd, path)) {
            Release(fd);
            continue;
        }
        struct stat status {};
        if (fstat(fd, &status) == 0 && static_cast<std::size_t>(status.st_size) == total) {
            handles->base = Map(fd, total);
            if (handles->base && ready(static_cast<char*>(handles->base) + locksBytes)) {
                Release(fd);  // the mapping stays
                std::unique_ptr<SharedMemory> memory(new SharedMemory);
                memory->data_ = static_cast<char*>(handles->base) + locksBytes;
                memory->handles_ = std::move(handles);
                return memory;
            }
            if (handles->base) munmap(handles->base, total);
            handles->base = nullptr;
        }

        const std::string fresh = path + "." + std::to_string(getpid()) + ".new";
        unlink(fresh.c_str());
        const int freshFd = open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
        // A file extended by ftruncate has no pages until they are written.
        bool ok = freshFd >= 0 && ftruncate(freshFd, static_cast<off_t>(total)) == 0;
        if (ok) handles->base = Map(freshFd, total);
        ok = ok && handles->base && InitLocks(handles->base, lockCount);
        if (ok) {
            prepare(static_cast<char*>(handles->base) + locksBytes);
            ok = rename(fresh.c_str(), path.c_str()) == 0;
        }
        if (freshFd >= 0) close(freshFd);
        Release(fd);
        if (!ok) {
            unlink(fresh.c_str());
            return nullptr;
        }
        std::unique_ptr<SharedMemory> memory(new SharedMemory);
        memory->data_ = static_cast<char*>(handles->base) + locksBytes;
        memory->handles_ = std::move(handles);
        return memory;
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
