#include "system_message.h"

#include <cstdio>

namespace {
constexpr std::uint32_t kFacilityMask = 0x1FFF0000;
constexpr std::uint32_t kFacilityWindows = 0x00080000;
constexpr std::size_t kMaxLength = 127;
}  // namespace

std::string FormatSystemMessage(std::int32_t code, const SystemMessageLookup& lookup) {
    const auto bits = static_cast<std::uint32_t>(code);
    const std::uint32_t number = (bits & kFacilityMask) == kFacilityWindows ? bits & 0xFFFF : bits;
    std::string text = lookup(number);
    if (text.empty() || text.size() > kMaxLength) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "Error 0x%08X.", static_cast<unsigned>(bits));
        text = fallback;
    }
    return text;
}
