// The primary configuration file "corvane.ini" and the install location, as the
// component finds and reads them.
#pragma once

#include <string>
#include <string_view>

namespace taliscom {

// The base name of a filter module path: the file name without its folder, then without the
// extension from its last "." (the folder is dropped first, so that a dot in a folder name does
// not cut the name).
std::u16string FilterBaseName(std::u16string_view filterPath);

// The full path of "corvane.ini": the "install_dir" value below HKEY_LOCAL_MACHINE
// "software\orlentek\" + base name, or else the filter module's folder, then the platform's
// separator unless the folder ends with one, then "corvane.ini".
std::u16string LocatePrimaryConfig(std::u16string_view filterPath);

// One key of the file with the profile rules, the default "default" and a buffer of 260
// characters; a missing file or key, and the value "default" itself, read as empty.
std::u16string ReadPrimaryConfigValue(const std::u16string& configPath, std::u16string_view section,
                                      std::u16string_view key);

}  // namespace taliscom
