// The stand-in registry's file, named by PIXWALL_REGISTRY: read whole, and changed under a lock.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_text.h"

namespace platform {

// ERROR_BADDB: the file exists but does not parse whole; it is left as it is.
inline constexpr long kRegistryCorrupt = 1009;

// The file named by PIXWALL_REGISTRY; empty when unset or missing. A file that cannot be read or
// parsed is reported on stderr ("<file>: line N: reason") and gives an empty tree.
RegistryTree LoadRegistryFile();

// Reads the file named by PIXWALL_REGISTRY under an exclusive lock on "<file>.lock", lets
// `change` edit the tree and, when it returns 0, writes the tree to a temporary file renamed over
// the file. Gives change's result, or a Win32 error code when the file cannot be written. A file
// that exists but cannot be read (ERROR_ACCESS_DENIED) or parsed (ERROR_BADDB) is never
// rewritten; the reason is reported on stderr.
template <typename Change>
long UpdateRegistryFile(Change&& change);
long UpdateRegistryFileWith(long (*change)(RegistryTree&, void*), void* context);

// The operations of platform/registry.h that change or list keys, on a tree in memory with the
// same answers: the file's operations are these on the file's tree.
bool RegistryKeyExists(const RegistryTree& tree, RegistryRoot root, const std::string& subKey);
std::vector<std::string> EnumRegistrySubKeys(const RegistryTree& tree, RegistryRoot root,
                                             const std::string& subKey);
long CreateRegistryKey(RegistryTree& tree, RegistryRoot root, const std::string& subKey);
long SetRegistryString(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
                       const std::string& valueName, const std::string& value);
long SetRegistryDword(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
                      const std::string& valueName, std::uint32_t value);
long DeleteRegistryValue(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
                         const std::string& valueName);
long DeleteRegistryKey(RegistryTree& tree, RegistryRoot root, const std::string& subKey);
long DeleteRegistryTree(RegistryTree& tree, RegistryRoot root, const std::string& subKey);

template <typename Change>
long UpdateRegistryFile(Change&& change) {
    return UpdateRegistryFileWith(
        [](RegistryTree& tree, void* context) -> long {
            return (*static_cast<std::remove_reference_t<Change>*>(context))(tree);
        },
        &change);
}

}  // namespace platform
