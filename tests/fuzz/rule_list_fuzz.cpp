// A rule list loaded from any text: every entry is as the reader takes a line (lowercased, no
// surrounding blanks), matches itself, and a matcher of its entries agrees with a plain search.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "rule_list.h"
#include "substring_matcher.h"
#include "text.h"

namespace {

bool PlainContains(const RuleList& list, std::string_view value) {
    const std::string lowered = text::ToLower(value);
    for (const std::string& entry : list.Entries()) {
        if (lowered.find(entry) != std::string::npos) return true;
    }
    return false;
}

bool PlainContainsExact(const RuleList& list, std::string_view value) {
    for (const std::string& entry : list.Entries()) {
        if (entry == value) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool userAgents = input.ConsumeBool();
    const std::string value = input.ConsumeRandomLengthString(256);
    RuleList list;
    list.LoadText(input.ConsumeRemainingBytesAsString());
    if (userAgents) list.RewriteUserAgentEntries();
    const SubstringMatcher matcher(list.Entries());
    for (const std::string& entry : list.Entries()) {
        FUZZ_CHECK(text::ToLower(entry) == entry);
        FUZZ_CHECK(text::Trim(entry) == entry);
        FUZZ_CHECK(matcher.FoundIn(entry));
        FUZZ_CHECK(list.ContainsExact(entry));
    }
    FUZZ_CHECK(matcher.FoundIn(value) == PlainContains(list, value));
    SubstringMatcher byBytes = matcher;
    byBytes.UseByteSteps();
    FUZZ_CHECK(byBytes.FoundIn(value) == matcher.FoundIn(value));
    SubstringMatcher oneByOne = matcher;
    oneByOne.UseWindowsOneByOne();
    FUZZ_CHECK(oneByOne.FoundIn(value) == matcher.FoundIn(value));
    FUZZ_CHECK(list.ContainsExact(value) == PlainContainsExact(list, value));
    return 0;
}
