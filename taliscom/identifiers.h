// The component's identifiers, as text and as portable GUIDs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace taliscom {

// Same layout as the Windows GUID.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    friend bool operator==(const Guid&, const Guid&) = default;
};

inline constexpr Guid kLibId = {
    0x08E6BEC5, 0xEAEF, 0x4274, {0x9A, 0x5E, 0x5C, 0x66, 0x64, 0xCB, 0x47, 0x3B}};
inline constexpr Guid kClsidFilterManager = {
    0x9E5D60B0, 0x96C5, 0x4B84, {0xA8, 0x9D, 0xF1, 0x32, 0xBC, 0xEB, 0xDC, 0x87}};
inline constexpr Guid kIidFilterManager = {
    0x8052A5C1, 0x7FBA, 0x492F, {0x96, 0xBD, 0x62, 0x00, 0x8D, 0xFA, 0x32, 0x6C}};
inline constexpr Guid kAppId = {
    0x09A29094, 0x59B7, 0x4EE9, {0x93, 0x29, 0xD1, 0x2F, 0xB3, 0xDD, 0x0E, 0x12}};
// Standard COM interfaces.
inline constexpr Guid kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidSupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
// The IIS Admin Base Object and its Unicode interface.
inline constexpr Guid kClsidMSAdminBaseW = {
    0xA9E69610, 0xB80D, 0x11D0, {0xB9, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0xE7, 0x50}};
inline constexpr Guid kIidMSAdminBaseW = {
    0x70B51430, 0xB6CA, 0x11D0, {0xB9, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0xE7, 0x50}};

inline constexpr std::string_view kLibIdText = "{08E6BEC5-EAEF-4274-9A5E-5C6664CB473B}";
inline constexpr std::string_view kClsidText = "{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}";
inline constexpr std::string_view kIidText = "{8052A5C1-7FBA-492F-96BD-62008DFA326C}";
inline constexpr std::string_view kAppIdText = "{09A29094-59B7-4EE9-9329-D12FB3DD0E12}";
inline constexpr std::string_view kProgId = "OrlenTek.FilterManager.1";
inline constexpr std::string_view kVersionIndependentProgId = "OrlenTek.FilterManager";
inline constexpr std::u16string_view kProgIdWide = u"OrlenTek.FilterManager.1";

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals, as the registry spells it.
std::string GuidToText(const Guid& guid);

}  // namespace taliscom
