#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/shared_file.h"

namespace platform {

std::optional<std::int64_t> AppendLine(const std::string& path, std::string_view text) {
    // Text mode: the "\n" goes out as CR LF.
    std::FILE* file = _fsopen(path.c_str(), "a", _SH_DENYNO);
    if (file == nullptr) return std::nullopt;
    std::fseek(file, 0, SEEK_END);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
    std::fflush(file);
    const std::int64_t length = _filelengthi64(_fileno(file));
    std::fclose(file);
    return length;
}

bool TouchFile(const std::string& path) {
    std::FILE* file = _fsopen(path.c_str(), "a", _SH_DENYNO);
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::FILE* OpenSharedForReading(const std::string& path) {
    return _fsopen(path.c_str(), "r", _SH_DENYNO);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace platform
