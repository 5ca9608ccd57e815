#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/shared_file.h"

namespace platform {

std::optional<std::int64_t> AppendFile::Append(const std::string& path, std::string_view text) {
    struct stat named {};
    const bool exists = ::stat(path.c_str(), &named) == 0;
    if (handle_ >= 0 && !(exists && static_cast<std::uint64_t>(named.st_dev) == volume_ &&
                          static_cast<std::uint64_t>(named.st_ino) == index_)) {
        Close();
    }
    if (handle_ < 0) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return std::nullopt;
        if (::fstat(fd, &named) != 0) {
            ::close(fd);
            return std::nullopt;
        }
        handle_ = fd;
        volume_ = static_cast<std::uint64_t>(named.st_dev);
        index_ = static_cast<std::uint64_t>(named.st_ino);
    }
    // One write keeps the text whole against other appenders; a short one (a full disk) is
    // finished rather than left cut.
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(static_cast<int>(handle_), text.data() + done,
                                      text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return std::nullopt;
        done += static_cast<std::size_t>(wrote);
    }
    return static_cast<std::int64_t>(named.st_size) + static_cast<std::int64_t>(text.size());
}

void AppendFile::Close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

bool TouchFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::FILE* OpenSharedForReading(const std::string& path) { return std::fopen(path.c_str(), "r"); }

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace platform
