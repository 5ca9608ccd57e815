// A small interpreter of the registrar text format (the format of ATL's ".rgs" registration
// scripts), run against the registry seam (platform/registry.h).
//
// Script:   ROOT { key... }          ROOT is HKCR, HKLM or their long names
// Key:      [NoRemove|ForceRemove|Delete] name [= s 'text' | = d 'number'] [{ body }]
// Body:     key... and values:  val name = s 'text' | val name = d 'number'
// Tokens are separated by white space; a name or text in single quotes may hold blanks, with ''
// for one quote. %NAME% inside a token is replaced by its replacement text, taken literally,
// and %% by one %.
//
// Registering creates every key and sets every value; a ForceRemove key is deleted with its
// subtree before it is written, a Delete key is deleted and not written. Unregistering deletes
// the named values, a ForceRemove key with its whole subtree, and a plain key once nothing is
// left below it after its body was unregistered; a NoRemove key only loses what its body names.
// Keys directly below a root that Windows holds ("AppID", "CLSID", "Interface", "TypeLib", ...)
// are never deleted.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "hresult.h"
#include "platform/registry.h"

namespace taliscom {

// The registry operations the registrar runs a script with (those of platform/registry.h, with
// their answers); Platform() is the system's registry.
class RegistryOperations {
  public:
    using Root = platform::RegistryRoot;
    virtual ~RegistryOperations() = default;
    virtual bool KeyExists(Root root, const std::string& subKey) const = 0;
    virtual std::vector<std::string> SubKeys(Root root, const std::string& subKey) const = 0;
    virtual long CreateKey(Root root, const std::string& subKey) = 0;
    virtual long SetString(Root root, const std::string& subKey, const std::string& name,
                           const std::string& value) = 0;
    virtual long SetDword(Root root, const std::string& subKey, const std::string& name,
                          std::uint32_t value) = 0;
    virtual long DeleteValue(Root root, const std::string& subKey, const std::string& name) = 0;
    virtual long DeleteKey(Root root, const std::string& subKey) = 0;
    virtual long DeleteTree(Root root, const std::string& subKey) = 0;

    static RegistryOperations& Platform();
};

class Registrar {
  public:
    // Runs scripts against `registry`, which outlives the registrar.
    explicit Registrar(RegistryOperations& registry = RegistryOperations::Platform())
        : registry_(registry) {}

    // %name% in a script stands for value.
    void AddReplacement(const std::string& name, const std::string& value);

    // S_OK, DISP_E_EXCEPTION for a script that cannot be parsed (nothing is then changed), or the
    // registry's failure as an HRESULT (the first one; the script stops there).
    HResult Register(std::string_view script) const;
    HResult Unregister(std::string_view script) const;

  private:
    HResult Run(std::string_view script, bool registering) const;
    RegistryOperations& registry_;
    std::map<std::string, std::string> replacements_;
};

}  // namespace taliscom
