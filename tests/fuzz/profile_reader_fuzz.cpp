// The profile (INI) reader on any text: every value fits its buffer, a shorter buffer cuts the
// same value, the keys the filter and the manager read come out whole, and a section parsed once
// answers each key as reading that key alone does.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "platform/profile_text.h"

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

// `once` is the key's section parsed once.
void CheckKey(std::string_view text, const char* section, const char* key,
              const platform::ProfileTextSection& once) {
    const std::string whole = platform::ReadProfileTextString(text, section, key, "none", 260);
    FUZZ_CHECK(whole.size() <= 259 && whole.find('\0') == std::string::npos);
    const std::string cut = platform::ReadProfileTextString(text, section, key, "none", 8);
    FUZZ_CHECK(cut.size() <= 7);
    FUZZ_CHECK(whole.compare(0, cut.size(), cut) == 0);
    FUZZ_CHECK(once.Read(key, "none", 260) == whole);
    FUZZ_CHECK(once.Read(key, "none", 8) == cut);
    platform::ProfileNumber(once.Read(key, "", platform::kProfileNumberBufferSize), 7);
    // ProfileReader reads with an empty default and takes its own for an empty value, so what
    // it returns is never empty.
    const std::string forReader = once.Read(key, "", 260);
    FUZZ_CHECK(forReader == whole || (forReader.empty() && whole == "none"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(16);
    const std::string key = input.ConsumeRandomLengthString(16);
    const std::string text = input.ConsumeRemainingBytesAsString();
    // The table lists each section's keys together, so one parse of a section serves them all.
    std::string_view parsedName;
    platform::ProfileTextSection parsed;
    for (const Query& query : kKnownKeys) {
        if (parsedName != query.section) {
            parsedName = query.section;
            parsed = platform::ProfileTextSection(text, query.section);
        }
        CheckKey(text, query.section, query.key, parsed);
    }
    CheckKey(text, section.c_str(), key.c_str(),
             platform::ProfileTextSection(text, section.c_str()));
    return 0;
}
