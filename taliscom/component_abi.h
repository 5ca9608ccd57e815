// How calls reach the component where there is no COM (Linux), beyond what a client sees in
// taliscom.h (IUnknown, IFilterManager): the class factory, the error information and the
// component's exports, with the slots, arguments and result codes of their COM counterparts.
#pragma once

#ifdef _WIN32
#error "On Windows the component is a COM server; use the COM interfaces"
#endif

#include <string>

#include "hresult.h"
#include "identifiers.h"
#include "taliscom.h"

namespace taliscom::abi {

class IClassFactory : public IUnknown {
  public:
    virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
    virtual HResult LockServer(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
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
