#include "scoped_install_dir.h"

#include <cstdlib>

#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>

namespace {
constexpr const char* kKey = "Software\\orlentek\\pixwall";
}

ScopedInstallDir::ScopedInstallDir(const std::string& folder) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "install_dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(key);
    }
}

ScopedInstallDir::~ScopedInstallDir() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }

#else

namespace {

std::string Escaped(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

}  // namespace

ScopedInstallDir::ScopedInstallDir(const std::string& folder) {
    registryFolder_.Write("registry.reg",
                          "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\orlentek\\pixwall]\n"
                          "\"install_dir\"=\"" +
                              Escaped(folder) + "\"\n");
    setenv(platform::kRegistryFileVariable, registryFolder_.PathOf("registry.reg").c_str(), 1);
}

ScopedInstallDir::~ScopedInstallDir() { unsetenv(platform::kRegistryFileVariable); }

#endif
