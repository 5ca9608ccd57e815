// The stand-in registry's file format: REGEDIT4 text of keys and string or DWORD values. Values of
// other types ("hex:", "hex(7):" ...) are kept as written. Comments are not allowed: a file that
// does not parse whole is refused, never rewritten without what could not be read.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "text.h"

namespace platform {

// A value of a type the stand-in does not interpret, as the text after "=" (continuation lines
// joined): written back unchanged.
struct RegistryRawValue {
    std::string text;
    bool operator==(const RegistryRawValue&) const = default;
};

struct RegistryKeyData {
    // Value names compare without regard to case; "" is the key's default value.
    std::map<std::string, std::variant<std::string, std::uint32_t, RegistryRawValue>,
             text::LessIgnoreCase>
        values;
};

// Keys by full path ("HKEY_LOCAL_MACHINE\\Software\\..."), without regard to case.
using RegistryTree = std::map<std::string, RegistryKeyData, text::LessIgnoreCase>;

// Parses REGEDIT4 text; nothing when any line cannot be read, with error "line N: reason".
std::optional<RegistryTree> ParseRegistryText(std::string_view text, std::string& error);
// Writes REGEDIT4 text that ParseRegistryText reads back unchanged.
std::string FormatRegistryText(const RegistryTree& tree);

}  // namespace platform
