#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "store_file.h"

namespace taliscom {

std::unique_ptr<StoreFileLock> StoreFileLock::Acquire(const std::filesystem::path& store,
                                                      bool exclusive, std::uint32_t timeoutMs) {
    const std::string name = store.string() + ".lock";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::unique_ptr<StoreFileLock> lock(new StoreFileLock());
    lock->handle_ = fd;
    return lock;
}

StoreFileLock::~StoreFileLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
}

bool ReplaceStoreFile(const std::filesystem::path& store, const std::string& text) {
    const std::string temp = store.string() + ".tmp." + std::to_string(::getpid());
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
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), store.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::optional<std::filesystem::path> MetabaseFileFromEnvironment() {
    const char* value = std::getenv(kMetabaseFileVariable);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace taliscom
