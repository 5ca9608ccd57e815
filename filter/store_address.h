// Where a web farm keeps its admissions: the Redis server named by the setting "store" of
// "[DynamicAuthorization]", written redis://HOST:PORT.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct StoreAddress {
    std::string host;  // a name or an IPv4 address; an IPv6 address without its brackets
    std::uint16_t port = 0;

    // The address the text names, or nothing when it is no redis://HOST:PORT (the scheme in any
    // letter case, a port from 1 to 65535, nothing after it).
    static std::optional<StoreAddress> Parse(std::string_view text);

    bool operator==(const StoreAddress&) const = default;
};
