// The stand-in registry's file format: REGEDIT4 text of keys and string or DWORD values.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "text.h"

namespace platform {

struct RegistryKeyData {
    // Value names compare without regard to case; "" is the key's default value.
    std::map<std::string, std::variant<std::string, std::uint32_t>, text::LessIgnoreCase> values;
};

// Keys by full path ("HKEY_LOCAL_MACHINE\\Software\\..."), without regard to case.
using RegistryTree = std::map<std::string, RegistryKeyData, text::LessIgnoreCase>;

// Parses REGEDIT4 text; unreadable lines are skipped.
RegistryTree ParseRegistryText(std::string_view text);
// Writes REGEDIT4 text that ParseRegistryText reads back unchanged.
std::string FormatRegistryText(const RegistryTree& tree);

}  // namespace platform
