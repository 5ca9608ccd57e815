// Base64 with the standard alphabet and "=" padding (RFC 4648, section 4), no line breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base64 {

std::string Encode(std::string_view data);

// Accepts only what Encode can produce: whole groups of four characters of the alphabet, the last
// one ending in at most two "=". Anything else is malformed and gives nothing.
std::optional<std::string> Decode(std::string_view text);

}  // namespace base64
