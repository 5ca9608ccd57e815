#include <sys/stat.h>
#include <unistd.h>

#include "platform/shared_file.h"

namespace platform {

std::optional<std::int64_t> AppendLine(const std::string& path, std::string_view text) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return std::nullopt;
    // The same bytes as the Windows runtime's text mode writes.
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputs("\r\n", file);
    std::fflush(file);
    struct stat info {};
    const std::int64_t length = fstat(fileno(file), &info) == 0 ? info.st_size : 0;
    std::fclose(file);
    return length;
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
