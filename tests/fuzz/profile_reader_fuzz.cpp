// The profile (INI) reader on any file: every value fits its buffer, a shorter buffer cuts the
// same value, and the keys the filter and the manager read come out whole.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "platform/profile.h"
#include "profile_reader.h"

namespace {

struct Query {
    const char* section;
    const char* key;
};
// What the filter and the manager read from their files.
constexpr Query kKnownKeys[] = {{"settings", "priority"},
                                {"settings", "blocknullreferrer"},
                                {"settings", "timetolive"},
                                {"settings", "dynamicblocking"},
                                {"settings", "filtername"},
                                {"logging", "logging"},
                                {"logging", "logfolder"},
                                {"logging", "maxlogsize"},
                                {"alternates", "default"},
                                {"alternates", "jpg"},
                                {"DynamicAuthorization", "DynamicAuthorization"},
                                {"DynamicAuthorization", "usecookie"}};

void CheckKey(const std::string& path, const char* section, const char* key) {
    const std::string whole = platform::ReadProfileString(path, section, key, "none", 260);
    FUZZ_CHECK(whole.size() <= 259 && whole.find('\0') == std::string::npos);
    const std::string cut = platform::ReadProfileString(path, section, key, "none", 8);
    FUZZ_CHECK(cut.size() <= 7);
    FUZZ_CHECK(whole.compare(0, cut.size(), cut) == 0);
    platform::ReadProfileInt(path, section, key, 7);
    const ProfileReader reader(path);
    const std::string read = reader.Read(section, key, "fallback");
    FUZZ_CHECK(!read.empty() && read.size() <= 259);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(16);
    const std::string key = input.ConsumeRandomLengthString(16);
    const std::string path =
        fuzz::WriteScratchFile("profile.ini", input.ConsumeRemainingBytesAsString());
    platform::FlushProfileCache(path);
    for (const Query& query : kKnownKeys) CheckKey(path, query.section, query.key);
    CheckKey(path, section.c_str(), key.c_str());
    platform::FlushProfileCache(path);
    return 0;
}
