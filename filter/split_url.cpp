#include "split_url.h"

#include <array>

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// What a byte of the authority tells the split, looked up in one step.
enum AuthorityByte : unsigned char { kPlain, kAuthorityEnd, kUserInfoEnd, kPortStart };

constexpr auto kAuthorityBytes = [] {
    std::array<AuthorityByte, 256> kinds{};
    kinds['/'] = kinds['?'] = kinds['#'] = kAuthorityEnd;
    kinds['@'] = kUserInfoEnd;
    kinds[':'] = kPortStart;
    return kinds;
}();

}  // namespace

bool SplitUrl(std::string_view url, SplitUrlResult& parts) {
    parts = {};
    // The scheme runs up to the first byte that cannot be in one, which must begin "://".
    std::size_t schemeEnd = 0;
    while (schemeEnd < url.size() && IsSchemeChar(url[schemeEnd], schemeEnd == 0)) ++schemeEnd;
    if (schemeEnd == 0 || url.substr(schemeEnd, 3) != "://") return false;
    const std::string_view rest = url.substr(schemeEnd + 3);
    // One pass over the authority finds its end (the first "/", "?" or "#"), where the host
    // starts (after the last "@") and the host's first ":": every protected request with a
    // referrer splits one. Runs of plain bytes are passed four at a time.
    const auto* const bytes = reinterpret_cast<const unsigned char*>(rest.data());
    const std::size_t size = rest.size();
    std::size_t authorityEnd = 0;
    std::size_t hostStart = 0;
    std::size_t colon = std::string_view::npos;
    for (;;) {
        while (size - authorityEnd >= 4 &&
               (kAuthorityBytes[bytes[authorityEnd]] | kAuthorityBytes[bytes[authorityEnd + 1]] |
                kAuthorityBytes[bytes[authorityEnd + 2]] |
                kAuthorityBytes[bytes[authorityEnd + 3]]) == kPlain) {
            authorityEnd += 4;
        }
        while (authorityEnd < size && kAuthorityBytes[bytes[authorityEnd]] == kPlain) {
            ++authorityEnd;
        }
        if (authorityEnd == size) break;
        const AuthorityByte kind = kAuthorityBytes[bytes[authorityEnd]];
        if (kind == kAuthorityEnd) break;
        if (kind == kUserInfoEnd) {
            hostStart = authorityEnd + 1;
            colon = std::string_view::npos;
        } else if (colon == std::string_view::npos) {
            colon = authorityEnd;
        }
        ++authorityEnd;
    }
    const std::string_view authority = rest.substr(hostStart, authorityEnd - hostStart);
    std::string_view host;
    if (!authority.empty() && authority.front() == '[') {
        // A literal IPv6 address keeps its brackets; its colons are not a port.
        const auto close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
    } else {
        host =
            colon == std::string_view::npos ? authority : rest.substr(hostStart, colon - hostStart);
    }
    if (host.empty()) return false;
    parts.host = host;
    parts.path = rest.substr(authorityEnd);
    return true;
}
