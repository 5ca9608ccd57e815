#include "primary_config.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "install_location.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "wide_text.h"

namespace taliscom {
namespace {

constexpr char16_t kSeparator = static_cast<char16_t>(platform::kPathSeparator);

}  // namespace

std::u16string FilterBaseName(std::u16string_view filterPath) {
    std::u16string_view name = filterPath;
    if (const auto slash = name.rfind(kSeparator); slash != std::u16string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    if (const auto dot = name.rfind(u'.'); dot != std::u16string_view::npos) {
        name = name.substr(0, dot);
    }
    return std::u16string(name);
}

std::u16string LocatePrimaryConfig(std::u16string_view filterPath) {
    const std::string installFolder =
        install_location::ReadInstallFolder(text::ToNarrow(FilterBaseName(filterPath)));
    const auto slash = filterPath.rfind(kSeparator);
    const std::u16string_view moduleFolder =
        slash == std::u16string_view::npos ? std::u16string_view() : filterPath.substr(0, slash);
    return install_location::PrimaryConfigPath<char16_t>(text::FromNarrow(installFolder), moduleFolder);
}

std::u16string ReadPrimaryConfigValue(const std::u16string& configPath, std::u16string_view section,
                                      std::u16string_view key) {
    constexpr std::size_t kBuffer = 260;
#ifdef _WIN32
    wchar_t buffer[kBuffer] = {};
    const std::wstring wideSection(section.begin(), section.end());
    const std::wstring wideKey(key.begin(), key.end());
    const DWORD length = GetPrivateProfileStringW(
        wideSection.c_str(), wideKey.c_str(), L"default", buffer, static_cast<DWORD>(kBuffer),
        reinterpret_cast<const wchar_t*>(configPath.c_str()));
    std::u16string value(reinterpret_cast<const char16_t*>(buffer), length);
#else
    const std::u16string value = text::Utf8ToUtf16(
        platform::ReadProfileString(text::Utf16ToUtf8(configPath), text::Utf16ToUtf8(section).c_str(),
                                    text::Utf16ToUtf8(key).c_str(), "default", kBuffer));
#endif
    return value == u"default" ? std::u16string() : value;
}

}  // namespace taliscom
