#include "install_location.h"

#include "platform/paths.h"
#include "platform/registry.h"

namespace install_location {

std::string ReadInstallFolder(std::string_view product) {
    constexpr std::size_t kValueBufferSize = 260;
    return platform::ReadRegistryString(platform::RegistryRoot::LocalMachine,
                                        "software\\orlentek\\" + std::string(product),
                                        "install_dir", kValueBufferSize)
        .value_or("");
}

template <typename Char>
std::basic_string<Char> PrimaryConfigPath(std::basic_string_view<Char> installFolder,
                                          std::basic_string_view<Char> moduleFolder) {
    constexpr Char kSeparator = static_cast<Char>(platform::kPathSeparator);
    std::basic_string<Char> path(installFolder.empty() ? moduleFolder : installFolder);
    if (path.empty() || path.back() != kSeparator) path.push_back(kSeparator);
    for (const char c : std::string_view("corvane.ini")) path.push_back(static_cast<Char>(c));
    return path;
}

template std::string PrimaryConfigPath(std::string_view, std::string_view);
template std::u16string PrimaryConfigPath(std::u16string_view, std::u16string_view);

std::string LocatePrimaryConfig(std::string_view product, std::string_view moduleFolder) {
    return PrimaryConfigPath<char>(ReadInstallFolder(product), moduleFolder);
}

}  // namespace install_location
