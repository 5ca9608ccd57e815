#include "platform/profile.h"
#include "platform/profile_text.h"
#include "platform/shared_file.h"

namespace platform {
namespace {

// The whole file, read afresh on every call: there is no cache to go stale. What can be read is
// used, as the profile functions do; a file that cannot be opened has no keys.
std::string WholeText(const std::string& path) { return ReadSharedFile(path).value_or(""); }

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
