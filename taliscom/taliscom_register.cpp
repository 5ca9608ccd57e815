// taliscom-register [/u] COMPONENT: runs a component's DllRegisterServer (or, with /u,
// DllUnregisterServer), as regsvr32 does on Windows. Prints the result code; exit status 0 on
// success.
#include <cstdio>
#include <cstring>

#include "component_abi.h"
#include "platform/shared_library.h"

int main(int argc, char** argv) {
    bool unregister = false;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "/u") == 0 || std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
        } else {
            file = argv[i];
        }
    }
    if (file == nullptr) {
        std::fprintf(stderr, "usage: taliscom-register [/u] COMPONENT\n");
        return 2;
    }
    platform::SharedLibrary library(file);
    if (!library.Loaded()) {
        std::fprintf(stderr, "%s: cannot load: %s\n", file, library.Error().c_str());
        return 1;
    }
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const auto entry = library.Find<taliscom::abi::DllRegisterServerFunction>(name);
    if (entry == nullptr) {
        std::fprintf(stderr, "%s: no %s\n", file, name);
        return 1;
    }
    const taliscom::HResult result = entry();
    std::printf("%s: %s returned 0x%08X\n", file, name, static_cast<unsigned>(result));
    return result == 0 ? 0 : 1;
}
