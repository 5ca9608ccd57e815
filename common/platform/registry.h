// The registry: the real one on Windows; elsewhere a REGEDIT4-format text file named by the
// environment variable PIXWALL_REGISTRY, read afresh on every call.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

enum class RegistryRoot { LocalMachine, ClassesRoot };

// Name of the environment variable that holds the stand-in registry file's path.
inline constexpr const char* kRegistryFileVariable = "PIXWALL_REGISTRY";

// A string value below root\subKey, read into bufferSize bytes (terminating NUL included).
// Absent when the key or value is missing, is no string, or does not fit.
std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subKey,
                                              const std::string& valueName, std::size_t bufferSize);

}  // namespace platform
