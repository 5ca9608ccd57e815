// SplitUrl, which gives the referrer host, on any text: the parts are pieces of the URL in their
// places, and a refusal leaves both empty.
#include <cstdint>

#include "fuzz_check.h"
#include "split_url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    SplitUrlResult parts{"stale", "stale"};
    if (!SplitUrl(url, parts)) {
        FUZZ_CHECK(parts.host.empty() && parts.path.empty());
        return 0;
    }
    const std::size_t schemeEnd = url.find("://");
    FUZZ_CHECK(schemeEnd != std::string_view::npos && schemeEnd > 0);
    FUZZ_CHECK(!parts.host.empty());
    FUZZ_CHECK(parts.host.find_first_of("/?#@") == std::string::npos);
    FUZZ_CHECK(url.find(parts.host, schemeEnd + 3) != std::string_view::npos);
    FUZZ_CHECK(parts.path.empty() ||
               std::string_view("/?#").find(parts.path[0]) != std::string_view::npos);
    FUZZ_CHECK(url.ends_with(parts.path));
    FUZZ_CHECK(parts.host.front() == '[' || parts.host.find(':') == std::string::npos);
    return 0;
}
