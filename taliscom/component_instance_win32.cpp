#include <objbase.h>
#include <windows.h>

#include <cstring>

#include "component_instance.h"

namespace taliscom {

HResult CreateComponentInstance(const Guid& clsid, const Guid& iid, void** object) {
    GUID nativeClsid;
    GUID nativeIid;
    std::memcpy(&nativeClsid, &clsid, sizeof nativeClsid);
    std::memcpy(&nativeIid, &iid, sizeof nativeIid);
    return CoCreateInstance(nativeClsid, nullptr, CLSCTX_ALL, nativeIid, object);
}

}  // namespace taliscom
