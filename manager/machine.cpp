#include "machine.h"

#include "platform/registry.h"

namespace {
constexpr const char* kIisParametersKey = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters";
constexpr std::uint32_t kLastUnsupportedIisVersion = 3;
}  // namespace

bool SystemMachine::IsIisInstalled() {
    const auto major = platform::ReadRegistryNumber(platform::RegistryRoot::LocalMachine,
                                                    kIisParametersKey, "MajorVersion");
    return major && *major > kLastUnsupportedIisVersion;
}
