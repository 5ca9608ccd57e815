// SplitUrl, which gives the referrer host, on any text: the parts are pieces of the URL in their
// places, a refusal leaves both empty, and the answer is that of a plain split by searching.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "split_url.h"

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The split by searching the text for each piece in turn.
bool PlainSplit(std::string_view url, SplitUrlResult& parts) {
    parts = {};
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return false;
    for (std::size_t i = 0; i < schemeEnd; ++i) {
        if (!IsSchemeChar(url[i], i == 0)) return false;
    }
    const std::string_view rest = url.substr(schemeEnd + 3);
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    std::string_view authority = rest.substr(0, authorityEnd);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string_view host;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    if (host.empty()) return false;
    parts.host = host;
    parts.path = rest.substr(authorityEnd);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    SplitUrlResult parts{"stale", "stale"};
    SplitUrlResult plain;
    const bool split = SplitUrl(url, parts);
    FUZZ_CHECK(split == PlainSplit(url, plain));
    FUZZ_CHECK(parts.host.data() == plain.host.data() && parts.host.size() == plain.host.size());
    FUZZ_CHECK(parts.path == plain.path);
    if (!split) {
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
