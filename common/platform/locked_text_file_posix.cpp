#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/locked_text_file.h"

namespace platform {

std::unique_ptr<FileLock> FileLock::Acquire(const std::filesystem::path& file, bool exclusive,
                                            std::uint32_t timeoutMs) {
    const std::string name = file.string() + ".lock";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    const int mode = exclusive ? LOCK_EX : LOCK_SH;
    if (timeoutMs == kWaitForever) {
        while (::flock(fd, mode) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return nullptr;
            }
        }
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (::flock(fd, mode | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                return nullptr;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::unique_ptr<FileLock> lock(new FileLock());
    lock->handle_ = fd;
    return lock;
}

FileLock::~FileLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
}

FileText ReadWholeFile(const std::filesystem::path& file) {
    FileText result;
    const auto fail = [&](const char* reason) {
        result.state = FileText::State::Unreadable;
        result.error = file.string() + ": " + reason;
        return result;
    };
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? result : fail(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    std::string text;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return fail(std::strerror(error));
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    // Writers rename a whole file into place, so a locked reader never sees one shrink.
    if (text.size() != static_cast<std::size_t>(info.st_size)) return fail("short read");
    result.state = FileText::State::Read;
    result.text = std::move(text);
    return result;
}

bool ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text) {
    std::string temp = file.string() + ".tmp.XXXXXX";
    // mkostemp creates the file with O_EXCL: a name planted beforehand (a link) is never opened.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat original {};
    bool ok = true;
    if (::stat(file.c_str(), &original) == 0) {
        ok = ::fchmod(fd, original.st_mode & 07777) == 0;
        if ((original.st_uid != ::geteuid() || original.st_gid != ::getegid()) &&
            ::fchown(fd, original.st_uid, original.st_gid) != 0) {
            // Only root may give the file away; anyone else's copy stays theirs, as it was.
        }
    } else {
        ok = ::fchmod(fd, 0644) == 0;  // a new store, readable by all as before
    }
    std::size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ok = ok && written == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
