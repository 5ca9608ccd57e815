// The decision for one request as a value. Decide runs the rules in their order and changes
// nothing but the admission table's removal of an admission it finds expired; HotlinkFilter applies
// the verdict (log line, admission, cookie, response) in one place.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

class Admissions;
class FilterConfig;
class RequestFacts;

struct Verdict {
    enum class Outcome {
        kAllow,  // let the server go on
        kBlock,  // answer with the alternate, or "404 Not Found" without one
        kAdmit,  // a page: admit its client, hand out the cookie if asked, let it through
        kError,  // the URL could not be read
    };

    Outcome outcome = Outcome::kAllow;
    // The log line's format, null for none: the URL fills its first "%s", `value` the second.
    const char* message = nullptr;
    std::optional<std::string_view> value;
    std::string_view alternateUrl;  // kBlock: where to redirect; empty for "404 Not Found"
    bool setCookie = false;         // kAdmit: add the cookie header
};

// The rules for one request under one configuration; `table` may be null (nobody is admitted).
// When the configuration does not enforce, a block comes back as an allow whose line is the
// blocking line's report-only twin, with the same values.
Verdict Decide(const RequestFacts& facts, const FilterConfig& config, Admissions* table,
               std::int64_t now);
