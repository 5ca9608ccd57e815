#include "store_address.h"

#include "text.h"

namespace {

constexpr std::string_view kScheme = "redis://";

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsIpv6Character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned port = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port == 0 || port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

}  // namespace

std::optional<StoreAddress> StoreAddress::Parse(std::string_view text) {
    if (text.size() < kScheme.size() ||
        !text::EqualsIgnoreCase(text.substr(0, kScheme.size()), kScheme)) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(kScheme.size());
    std::string_view host;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = rest.substr(1, close - 1);
        if (host.find(':') == std::string_view::npos) return std::nullopt;
        for (const char c : host) {
            if (!IsIpv6Character(c)) return std::nullopt;
        }
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest[0] != ':') return std::nullopt;
    } else {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = rest.substr(0, colon);
        for (const char c : host) {
            if (!IsNameCharacter(c)) return std::nullopt;
        }
        rest.remove_prefix(colon);
    }
    if (host.empty()) return std::nullopt;
    const std::optional<std::uint16_t> port = ParsePort(rest.substr(1));
    if (!port) return std::nullopt;
    return StoreAddress{std::string(host), *port};
}
