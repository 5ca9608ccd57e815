#include <objbase.h>
#include <windows.h>

#include "identifiers.h"
#include "taliscom.h"

namespace taliscom {

HResult CreateComponentInstance(const Guid& clsid, const Guid& iid, void** object) {
    return CoCreateInstance(ToNativeGuid<GUID>(clsid), nullptr, CLSCTX_ALL, ToNativeGuid<GUID>(iid),
                            object);
}

}  // namespace taliscom
