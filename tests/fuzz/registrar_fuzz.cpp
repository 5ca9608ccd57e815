// The registrar script interpreter on any script, registering and unregistering against the
// registry stand-in's operations on a tree in memory: a script it cannot parse asks for no change,
// and every result is one of the documented ones.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "platform/registry_file.h"
#include "registrar.h"

namespace {

constexpr const char* kInitialRegistry =
    "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n\n[HKEY_CLASSES_ROOT\\Pixwall.FilterManager]\n"
    "@=\"FilterManager Class\"\n\n[HKEY_CLASSES_ROOT\\Pixwall.FilterManager\\CLSID]\n"
    "@=\"{1}\"\n\n[HKEY_LOCAL_MACHINE\\Software\\orlentek\\pixwall]\n\"install_dir\"=\"/x\"\n"
    "\"count\"=dword:00000002\n";

// What the stand-in does to its file's tree, done to a tree of this process.
class TreeRegistry final : public taliscom::RegistryOperations {
  public:
    explicit TreeRegistry(platform::RegistryTree tree) : tree_(std::move(tree)) {}
    // How many changing operations were asked for so far.
    int Changes() const { return changes_; }

    bool KeyExists(Root root, const std::string& subKey) const override {
        return platform::RegistryKeyExists(tree_, root, subKey);
    }
    std::vector<std::string> SubKeys(Root root, const std::string& subKey) const override {
        return platform::EnumRegistrySubKeys(tree_, root, subKey);
    }
    long CreateKey(Root root, const std::string& subKey) override {
        ++changes_;
        return platform::CreateRegistryKey(tree_, root, subKey);
    }
    long SetString(Root root, const std::string& subKey, const std::string& name,
                   const std::string& value) override {
        ++changes_;
        return platform::SetRegistryString(tree_, root, subKey, name, value);
    }
    long SetDword(Root root, const std::string& subKey, const std::string& name,
                  std::uint32_t value) override {
        ++changes_;
        return platform::SetRegistryDword(tree_, root, subKey, name, value);
    }
    long DeleteValue(Root root, const std::string& subKey, const std::string& name) override {
        ++changes_;
        return platform::DeleteRegistryValue(tree_, root, subKey, name);
    }
    long DeleteKey(Root root, const std::string& subKey) override {
        ++changes_;
        return platform::DeleteRegistryKey(tree_, root, subKey);
    }
    long DeleteTree(Root root, const std::string& subKey) override {
        ++changes_;
        return platform::DeleteRegistryTree(tree_, root, subKey);
    }

  private:
    platform::RegistryTree tree_;
    int changes_ = 0;
};

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

    static const platform::RegistryTree initial = [] {
        std::string error;
        return platform::ParseRegistryText(kInitialRegistry, error).value();
    }();
    TreeRegistry registry(initial);
    taliscom::Registrar registrar(registry);
    registrar.AddReplacement("MODULE", "/opt/pixwall/taliscom.so");
    registrar.AddReplacement(replacementName, replacementValue);
    for (int pass = 0; pass < 2; ++pass) {
        const int before = registry.Changes();
        const bool registering = (pass == 0) != unregisterFirst;
        const taliscom::HResult result =
            registering ? registrar.Register(script) : registrar.Unregister(script);
        FUZZ_CHECK(Documented(result));
        if (result == taliscom::hr::kDispException) {
            // Not even one change asked for: the whole script is read before anything is done.
            FUZZ_CHECK(registry.Changes() == before);
        }
    }
    return 0;
}
