#include "split_url.h"

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

bool SplitUrl(std::string_view url, SplitUrlResult& parts) {
    parts = {};
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return false;
    for (std::size_t i = 0; i < schemeEnd; ++i) {
        if (!IsSchemeChar(url[i], i == 0)) return false;
    }
    std::string_view rest = url.substr(schemeEnd + 3);
    // A plain loop: find_first_of looks each byte up in the set by a library call, and every
    // protected request with a referrer splits one.
    std::size_t authorityEnd = 0;
    while (authorityEnd < rest.size() && rest[authorityEnd] != '/' && rest[authorityEnd] != '?' &&
           rest[authorityEnd] != '#') {
        ++authorityEnd;
    }
    if (authorityEnd == rest.size()) authorityEnd = std::string_view::npos;
    std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view path =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
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
