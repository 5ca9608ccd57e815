#include "split_url.h"

#include <array>

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// What a byte of the authority tells the split, looked up in one step.
enum AuthorityByte : unsigned char { kPlain, kAuthorityEnd, kUserInfoEnd };

constexpr auto kAuthorityBytes = [] {
    std::array<AuthorityByte, 256> kinds{};
    kinds['/'] = kinds['?'] = kinds['#'] = kAuthorityEnd;
    kinds['@'] = kUserInfoEnd;
    return kinds;
}();

}  // namespace

bool SplitUrl(std::string_view url, SplitUrlResult& parts) {
    parts = {};
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return false;
    for (std::size_t i = 0; i < schemeEnd; ++i) {
        if (!IsSchemeChar(url[i], i == 0)) return false;
    }
    const std::string_view rest = url.substr(schemeEnd + 3);
    // One pass over the authority finds both its end (the first "/", "?" or "#") and where the
    // host starts (after the last "@"): every protected request with a referrer splits one.
    std::size_t authorityEnd = 0;
    std::size_t hostStart = 0;
    for (; authorityEnd < rest.size(); ++authorityEnd) {
        const AuthorityByte kind = kAuthorityBytes[static_cast<unsigned char>(rest[authorityEnd])];
        if (kind == kPlain) continue;
        if (kind == kAuthorityEnd) break;
        hostStart = authorityEnd + 1;
    }
    const std::string_view authority = rest.substr(hostStart, authorityEnd - hostStart);
    const std::string_view path = rest.substr(authorityEnd);
    std::string_view host;
    if (!authority.empty() && authority.front() == '[') {
        // A literal IPv6 address keeps its brackets; its colons are not a port.
        const auto close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    if (host.empty()) return false;
    parts.host = host;
    parts.path = path;
    return true;
}
