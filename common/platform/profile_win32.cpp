#include <windows.h>

#include <vector>

#include "platform/profile.h"

namespace platform {

std::string ReadProfileString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(section, key, defaultValue, buffer.data(),
                                                  static_cast<DWORD>(bufferSize), path.c_str());
    return std::string(buffer.data(), length);
}

unsigned ReadProfileInt(const std::string& path, const char* section, const char* key,
                        int defaultValue) {
    return GetPrivateProfileIntA(section, key, defaultValue, path.c_str());
}

void FlushProfileCache(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

// The system keeps the file cached, so each key is read as usual.
ProfileSection::ProfileSection(const std::string& path, const char* section)
    : path_(path), section_(section) {}

std::string ProfileSection::Read(const char* key, const char* defaultValue,
                                 std::size_t bufferSize) const {
    return ReadProfileString(path_, section_.c_str(), key, defaultValue, bufferSize);
}

}  // namespace platform
