// The stand-in registry's file: a REGEDIT4 text file of keys and string or DWORD values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
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

// The file named by PIXWALL_REGISTRY; empty when unset or unreadable.
RegistryTree LoadRegistryFile();

// Reads the file named by PIXWALL_REGISTRY under an exclusive lock on "<file>.lock", lets
// `change` edit the tree and, when it returns 0, writes the tree to a temporary file renamed over
// the file. Gives change's result, or a Win32 error code when the file cannot be written.
template <typename Change>
long UpdateRegistryFile(Change&& change);
long UpdateRegistryFileWith(long (*change)(RegistryTree&, void*), void* context);

template <typename Change>
long UpdateRegistryFile(Change&& change) {
    return UpdateRegistryFileWith(
        [](RegistryTree& tree, void* context) -> long {
            return (*static_cast<std::remove_reference_t<Change>*>(context))(tree);
        },
        &change);
}

const char* RegistryRootName(bool localMachine);

}  // namespace platform
