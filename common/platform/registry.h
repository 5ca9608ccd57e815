// The registry: the real one on Windows; elsewhere a REGEDIT4-format text file named by the
// environment variable PIXWALL_REGISTRY, read afresh on every call and, for a change, rewritten
// atomically (a temporary file renamed over it) under a lock on "<file>.lock".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class RegistryRoot { LocalMachine, ClassesRoot };

// Name of the environment variable that holds the stand-in registry file's path.
inline constexpr const char* kRegistryFileVariable = "PIXWALL_REGISTRY";

// Win32 error codes that the write operations give (0 is success).
inline constexpr long kRegistrySuccess = 0;
inline constexpr long kRegistryFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
inline constexpr long kRegistryAccessDenied = 5;  // ERROR_ACCESS_DENIED

// A string value below root\subKey, read into bufferSize bytes (terminating NUL included).
// Absent when the key or value is missing, is no string, or does not fit. "" names the key's
// default (unnamed) value.
std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subKey,
                                              const std::string& valueName, std::size_t bufferSize);

// A value below root\subKey read into a 4-byte number, whatever its type (a DWORD, or the bytes
// of a string that fits with its terminating NUL). Absent when the key or value is missing or
// does not fit.
std::optional<std::uint32_t> ReadRegistryNumber(RegistryRoot root, const std::string& subKey,
                                                const std::string& valueName);

// Whether root\subKey exists.
bool RegistryKeyExists(RegistryRoot root, const std::string& subKey);

// The names of the direct subkeys of root\subKey; empty when it has none or does not exist.
std::vector<std::string> EnumRegistrySubKeys(RegistryRoot root, const std::string& subKey);

// Creates root\subKey and every missing key above it; an existing key is left as it is.
long CreateRegistryKey(RegistryRoot root, const std::string& subKey);

// Sets a string (REG_SZ) or DWORD value, creating the key when missing. "" is the default value.
long SetRegistryString(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                       const std::string& value);
long SetRegistryDword(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                      std::uint32_t value);

// Deletes one value; ERROR_FILE_NOT_FOUND when the key or the value is missing.
long DeleteRegistryValue(RegistryRoot root, const std::string& subKey,
                         const std::string& valueName);

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some, as RegDeleteKey);
// ERROR_FILE_NOT_FOUND when it is missing.
long DeleteRegistryKey(RegistryRoot root, const std::string& subKey);

// Deletes a key with everything below it; ERROR_FILE_NOT_FOUND when it is missing.
long DeleteRegistryTree(RegistryRoot root, const std::string& subKey);

}  // namespace platform
