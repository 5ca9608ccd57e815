// The identifiers the component uses beside FilterManager's own (taliscom.h), as text and as
// portable GUIDs.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "taliscom.h"

namespace taliscom {

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

inline constexpr std::string_view kAppIdText = "{09A29094-59B7-4EE9-9329-D12FB3DD0E12}";
inline constexpr std::u16string_view kProgIdWide = u"OrlenTek.FilterManager.1";

// The same identifier as a GUID type of the same layout, such as that of the Windows headers.
template <typename NativeGuid>
NativeGuid ToNativeGuid(const Guid& guid) {
    static_assert(sizeof(NativeGuid) == sizeof(Guid));
    NativeGuid native;
    std::memcpy(&native, &guid, sizeof native);
    return native;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals, as the registry spells it.
std::string GuidToText(const Guid& guid);

}  // namespace taliscom
