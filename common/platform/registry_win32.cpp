#include <windows.h>
// After windows.h.
#include <shlwapi.h>

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

std::optional<std::uint32_t> ReadRegistryNumber(RegistryRoot root, const std::string& subKey,
                                                const std::string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD number = 0;
    DWORD size = sizeof number;
    const LONG status = RegQueryValueExA(key, valueName.empty() ? nullptr : valueName.c_str(),
                                         nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

}  // namespace platform

namespace platform {
namespace {

// Opens root\subKey with the given rights; null when it cannot be opened.
HKEY OpenKey(RegistryRoot root, const std::string& subKey, REGSAM rights, LONG* status = nullptr) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, rights, &key);
    if (status != nullptr) *status = result;
    return result == ERROR_SUCCESS ? key : nullptr;
}

long SetValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
              DWORD type, const BYTE* data, DWORD size) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(RootKey(root), subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status =
        RegSetValueExA(key, valueName.empty() ? nullptr : valueName.c_str(), 0, type, data, size);
    RegCloseKey(key);
    return status;
}

}  // namespace

bool RegistryKeyExists(RegistryRoot root, const std::string& subKey) {
    HKEY key = OpenKey(root, subKey, KEY_READ);
    if (key == nullptr) return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> EnumRegistrySubKeys(RegistryRoot root, const std::string& subKey) {
    std::vector<std::string> names;
    HKEY key = OpenKey(root, subKey, KEY_READ);
    if (key == nullptr) return names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

long CreateRegistryKey(RegistryRoot root, const std::string& subKey) {
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExA(RootKey(root), subKey.c_str(), 0, nullptr, 0, KEY_READ,
                                        nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
}

long SetRegistryString(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                       const std::string& value) {
    return SetValue(root, subKey, valueName, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                    static_cast<DWORD>(value.size() + 1));
}

long SetRegistryDword(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                      std::uint32_t value) {
    const DWORD data = value;
    return SetValue(root, subKey, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                    sizeof data);
}

long DeleteRegistryValue(RegistryRoot root, const std::string& subKey,
                         const std::string& valueName) {
    LONG status = ERROR_SUCCESS;
    HKEY key = OpenKey(root, subKey, KEY_SET_VALUE, &status);
    if (key == nullptr) return status;
    status = RegDeleteValueA(key, valueName.empty() ? nullptr : valueName.c_str());
    RegCloseKey(key);
    return status;
}

long DeleteRegistryKey(RegistryRoot root, const std::string& subKey) {
    return RegDeleteKeyA(RootKey(root), subKey.c_str());
}

long DeleteRegistryTree(RegistryRoot root, const std::string& subKey) {
    if (!RegistryKeyExists(root, subKey)) return ERROR_FILE_NOT_FOUND;
    // The key and everything below it; RegDeleteTree does the same but only from Vista on.
    return SHDeleteKeyA(RootKey(root), subKey.c_str());
}

}  // namespace platform
