// The component's public header, the only one of its headers that a client such as the manager
// program includes: what it needs to create FilterManager by its class identifier and call it.
// Link the taliscom_client library. On Windows the interface is the COM one, declared by the
// header that widl generates from taliscom.idl ("taliscom_idl.h", which the library exports
// beside this one); elsewhere it is the C++ interface below, with the same slots, handed out by
// the component's exported DllGetClassObject.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace taliscom {

// COM result codes; a negative one is a failure.
using HResult = std::int32_t;
constexpr bool Failed(HResult result) { return result < 0; }
constexpr bool Succeeded(HResult result) { return result >= 0; }

// Same layout as the Windows GUID.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    friend bool operator==(const Guid&, const Guid&) = default;
};

inline constexpr Guid kClsidFilterManager = {
    0x9E5D60B0, 0x96C5, 0x4B84, {0xA8, 0x9D, 0xF1, 0x32, 0xBC, 0xEB, 0xDC, 0x87}};
inline constexpr Guid kIidFilterManager = {
    0x8052A5C1, 0x7FBA, 0x492F, {0x96, 0xBD, 0x62, 0x00, 0x8D, 0xFA, 0x32, 0x6C}};

// Creates the object of a registered in-process component by its class identifier, as
// CoCreateInstance does: the registry's HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 names the
// file, which is loaded and asked for its class factory. An unregistered class fails with
// REGDB_E_CLASSNOTREG. On Windows this is CoCreateInstance with class context CLSCTX_ALL.
HResult CreateComponentInstance(const Guid& clsid, const Guid& iid, void** object);

}  // namespace taliscom

#ifndef _WIN32
// Where there is no COM: C++ objects whose virtual functions have the slots, arguments and
// result codes of the COM interfaces. IFilterManager has no IDispatch slots here: its four
// methods follow those of IUnknown. Texts are UTF-16, null for an absent string.
namespace taliscom::abi {

class IUnknown {
  public:
    virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

  protected:
    ~IUnknown() = default;
};

class IFilterManager : public IUnknown {
  public:
    virtual HResult AddWebFilter(const char16_t* FilterPath, const char16_t* ServerDescription) = 0;
    virtual HResult RemoveWebFilter(const char16_t* FilterName,
                                    const char16_t* ServerDescription) = 0;
    // The descriptions, replacing what the vector held; it belongs to the caller.
    virtual HResult GetVirtualServerList(std::vector<std::u16string>* pServerList) = 0;
    // VARIANT_TRUE (-1) or VARIANT_FALSE (0).
    virtual HResult IsWebFilterInstalled(const char16_t* FilterName,
                                         const char16_t* ServerDescription,
                                         std::int16_t* IsInstalled) = 0;

  protected:
    ~IFilterManager() = default;
};

}  // namespace taliscom::abi
#endif
