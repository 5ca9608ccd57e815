#include <cstdint>
#include <share.h>
#include <windows.h>

#include "platform/shared_file.h"

namespace platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint64_t Join(DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; }

}  // namespace

bool AppendFile::Holds(const std::string& path) {
    if (handle_ == -1) return false;
    // The path's identity without holding it; a file deleted while others hold it refuses
    // even this, and counts as gone.
    HANDLE probe = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION named{};
    const bool same = GetFileInformationByHandle(probe, &named) &&
                      named.dwVolumeSerialNumber == volume_ &&
                      Join(named.nFileIndexHigh, named.nFileIndexLow) == index_;
    CloseHandle(probe);
    return same;
}

bool AppendFile::Open(const std::string& path) {
    // Appending only: every write lands at the end, whoever else appends.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION held{};
    if (!GetFileInformationByHandle(file, &held)) {
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    volume_ = held.dwVolumeSerialNumber;
    index_ = Join(held.nFileIndexHigh, held.nFileIndexLow);
    return true;
}

std::optional<std::int64_t> AppendFile::Append(const std::string& path, std::string_view text) {
    if (!Holds(path)) {
        Close();
        if (!Open(path)) return std::nullopt;
    }
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    for (std::size_t done = 0; done < text.size();) {
        DWORD wrote = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &wrote,
                       nullptr) ||
            wrote == 0) {
            return std::nullopt;
        }
        done += wrote;
    }
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file, &length)) return std::nullopt;
    return static_cast<std::int64_t>(length.QuadPart);
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
