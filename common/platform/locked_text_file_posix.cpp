#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
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

bool ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text) {
    const std::string temp = file.string() + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
