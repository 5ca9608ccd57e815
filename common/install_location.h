// The install folder and the primary configuration file "corvane.ini" in it, as the filter and
// the component both find them: the string value "install_dir" below HKEY_LOCAL_MACHINE
// "software\orlentek\<product>", else the folder of the filter module.
#pragma once

#include <string>
#include <string_view>

namespace install_location {

// The folder that "install_dir" names; empty when the value is missing, empty or does not fit
// 260 characters.
std::string ReadInstallFolder(std::string_view product);

// "corvane.ini" in installFolder, or in moduleFolder when installFolder is empty; the platform's
// separator joins them unless the folder ends with one. For narrow and UTF-16 paths.
template <typename Char>
std::basic_string<Char> PrimaryConfigPath(std::basic_string_view<Char> installFolder,
                                          std::basic_string_view<Char> moduleFolder);

// Both steps, for narrow paths.
std::string LocatePrimaryConfig(std::string_view product, std::string_view moduleFolder);

}  // namespace install_location
