#include <cstdint>
#include <share.h>
#include <windows.h>

#include "platform/shared_file.h"

namespace platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

bool AppendFile::Open(const std::string& path) {
    // Appending only: every write lands at the end, whoever else appends.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

std::optional<std::int64_t> AppendFile::Append(const std::string& path, std::string_view text) {
    // Opened for each write: a file deleted while a handle is open keeps its name until the
    // last handle closes (before Windows 10's newer semantics, and in Wine), so none is kept.
    if (!Open(path)) return std::nullopt;
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    std::optional<std::int64_t> length;
    std::size_t done = 0;
    for (DWORD wrote = 0; done < text.size(); done += wrote) {
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &wrote,
                       nullptr) ||
            wrote == 0) {
            break;
        }
    }
    LARGE_INTEGER size{};
    if (done == text.size() && GetFileSizeEx(file, &size)) length = size.QuadPart;
    Close();
    return length;
}

AppendFile::~AppendFile() { Close(); }

void AppendFile::Close() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
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
