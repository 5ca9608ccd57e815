// The stand-in registry's file, named by PIXWALL_REGISTRY: read whole, and changed under a lock.
#pragma once

#include <type_traits>

#include "platform/registry_text.h"

namespace platform {

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

}  // namespace platform
