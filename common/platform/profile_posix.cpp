#include <cstdio>

#include "platform/profile.h"
#include "platform/profile_text.h"

namespace platform {
namespace {

// The whole file, read afresh on every call: there is no cache to go stale. What can be read is
// used, as the profile functions do; a file that cannot be opened has no keys.
std::string WholeText(const std::string& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return text;
    char block[16384];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    std::fclose(file);
    return text;
}

}  // namespace

std::string ReadProfileString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    return ReadProfileTextString(WholeText(path), section, key, defaultValue, bufferSize);
}

unsigned ReadProfileInt(const std::string& path, const char* section, const char* key,
                        int defaultValue) {
    return ProfileNumber(
        ReadProfileTextString(WholeText(path), section, key, "", kProfileNumberBufferSize),
        defaultValue);
}

void FlushProfileCache(const std::string&) {}

ProfileSection::ProfileSection(const std::string& path, const char* section)
    : parsed_(WholeText(path), section) {}

std::string ProfileSection::Read(const char* key, const char* defaultValue,
                                 std::size_t bufferSize) const {
    return parsed_.Read(key, defaultValue, bufferSize);
}

}  // namespace platform
