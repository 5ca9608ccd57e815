#include <dlfcn.h>

#include "component_abi.h"
#include "component_instance.h"
#include "platform/registry.h"

namespace taliscom {

HResult CreateComponentInstance(const Guid& clsid, const Guid& iid, void** object) {
    if (object == nullptr) return hr::kPointer;
    *object = nullptr;
    const auto file =
        platform::ReadRegistryString(platform::RegistryRoot::ClassesRoot,
                                     "CLSID\\" + GuidToText(clsid) + "\\InprocServer32", "", 4096);
    if (!file || file->empty()) return hr::kClassNotRegistered;
    // The library stays loaded for the rest of the process, as COM keeps it until unused
    // libraries are freed.
    void* library = ::dlopen(file->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return hr::kModuleNotFound;
    const auto getClassObject =
        reinterpret_cast<abi::DllGetClassObjectFunction>(::dlsym(library, "DllGetClassObject"));
    if (getClassObject == nullptr) return hr::kErrorInDll;
    abi::IClassFactory* factory = nullptr;
    HResult result = getClassObject(clsid, kIidClassFactory, reinterpret_cast<void**>(&factory));
    if (Failed(result)) return result;
    result = factory->CreateInstance(nullptr, iid, object);
    factory->Release();
    return result;
}

}  // namespace taliscom
