// How calls reach the component where there is no COM (Linux): C++ objects whose virtual
// functions have the slots, arguments and result codes of the COM interfaces, handed out by the
// component's exported DllGetClassObject. IFilterManager has no IDispatch slots here: its four
// methods follow those of IUnknown. Texts are UTF-16, null for an absent string.
#pragma once

#ifdef _WIN32
#error "On Windows the component is a COM server; use the COM interfaces"
#endif

#include <cstdint>
#include <string>
#include <vector>

#include "hresult.h"
#include "identifiers.h"

namespace taliscom::abi {

class IUnknown {
  public:
    virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

  protected:
    ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
  public:
    virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
    virtual HResult LockServer(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
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

class ISupportErrorInfo : public IUnknown {
  public:
    // S_OK for IFilterManager, S_FALSE for any other interface.
    virtual HResult InterfaceSupportsErrorInfo(const Guid& iid) = 0;

  protected:
    ~ISupportErrorInfo() = default;
};

// Rich error information of the last failing call on this thread, as IErrorInfo holds it.
struct ErrorInfo {
    std::u16string description;
    std::u16string source;
    Guid guid{};
};

// Hands over the error information that the last failing call left on the calling thread, and
// clears it, as GetErrorInfo does: S_OK, or S_FALSE when there is none.
class IErrorInfoSource : public IUnknown {
  public:
    virtual HResult GetErrorInfo(ErrorInfo* info) = 0;

  protected:
    ~IErrorInfoSource() = default;
};

inline constexpr Guid kIidErrorInfoSource = {
    0x5C7E1E2A, 0x3F41, 0x4D8B, {0x9B, 0x61, 0x2E, 0x0A, 0x77, 0xC4, 0x15, 0xD3}};

// The component's exports.
using DllGetClassObjectFunction = HResult (*)(const Guid& clsid, const Guid& iid, void** object);
using DllCanUnloadNowFunction = HResult (*)();
using DllRegisterServerFunction = HResult (*)();

}  // namespace taliscom::abi
