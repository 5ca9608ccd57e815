#include <windows.h>

#include <vector>

#include "platform/registry.h"

namespace platform {
namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}

}  // namespace

std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subKey,
                                              const std::string& valueName,
                                              std::size_t bufferSize) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<char> buffer(bufferSize + 1, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(bufferSize);
    const LONG status =
        RegQueryValueExA(key, valueName.empty() ? nullptr : valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    return std::string(buffer.data());
}

}  // namespace platform
