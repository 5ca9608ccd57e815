#include "profile_reader.h"

#include "platform/profile.h"

namespace {
constexpr std::size_t kReadBufferSize = 260;
}

ProfileReader::ProfileReader(std::string path) : path_(std::move(path)) {}

// Later readers of the same file must see its current contents.
ProfileReader::~ProfileReader() { platform::FlushProfileCache(path_); }

std::string ProfileReader::Read(const char* section, const char* key,
                                const char* defaultValue) const {
    std::string value = platform::ReadProfileString(path_, section, key, "", kReadBufferSize);
    if (value.empty()) value = defaultValue ? defaultValue : "";
    return value;
}
