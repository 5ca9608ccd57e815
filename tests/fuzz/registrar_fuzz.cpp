// The registrar script interpreter on any script, registering and unregistering against a
// stand-in registry file: a script it cannot parse changes nothing, and every result is one of
// the documented ones.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fuzz_check.h"
#include "platform/registry.h"
#include "registrar.h"

namespace {

constexpr const char* kInitialRegistry =
    "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n\n[HKEY_CLASSES_ROOT\\Pixwall.FilterManager]\n"
    "@=\"FilterManager Class\"\n\n[HKEY_CLASSES_ROOT\\Pixwall.FilterManager\\CLSID]\n"
    "@=\"{1}\"\n\n[HKEY_LOCAL_MACHINE\\Software\\orlentek\\pixwall]\n\"install_dir\"=\"/x\"\n"
    "\"count\"=dword:00000002\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Documented(taliscom::HResult result) {
    // S_OK, an unparsable script, or a registry failure carried as a Win32 error.
    return result == taliscom::hr::kOk || result == taliscom::hr::kDispException ||
           (static_cast<std::uint32_t>(result) & 0xFFFF0000u) == 0x80070000u;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool unregisterFirst = input.ConsumeBool();
    const std::string replacementName = input.ConsumeRandomLengthString(12);
    const std::string replacementValue = input.ConsumeRandomLengthString(40);
    const std::string script = input.ConsumeRemainingBytesAsString();

    static const std::string path = [] {
        const std::string file = fuzz::WriteScratchFile("registry.reg", "");
        ::setenv(platform::kRegistryFileVariable, file.c_str(), 1);
        return file;
    }();
    fuzz::WriteScratchFile("registry.reg", kInitialRegistry);

    taliscom::Registrar registrar;
    registrar.AddReplacement("MODULE", "/opt/pixwall/taliscom.so");
    registrar.AddReplacement(replacementName, replacementValue);
    for (int pass = 0; pass < 2; ++pass) {
        const std::string before = ReadFile(path);
        const bool registering = (pass == 0) != unregisterFirst;
        const taliscom::HResult result =
            registering ? registrar.Register(script) : registrar.Unregister(script);
        FUZZ_CHECK(Documented(result));
        if (result == taliscom::hr::kDispException) FUZZ_CHECK(ReadFile(path) == before);
    }
    return 0;
}
