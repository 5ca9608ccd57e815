#include "component_abi.h"
#include "platform/registry.h"
#include "platform/shared_library.h"

namespace taliscom {

HResult CreateComponentInstance(const Guid& clsid, const Guid& iid, void** object) {
    if (object == nullptr) return hr::kPointer;
    *object = nullptr;
    const auto file =
        platform::ReadRegistryString(platform::RegistryRoot::ClassesRoot,
                                     "CLSID\\" + GuidToText(clsid) + "\\InprocServer32", "", 4096);
    if (!file || file->empty()) return hr::kClassNotRegistered;
    platform::SharedLibrary library(*file);
    if (!library.Loaded()) return hr::kModuleNotFound;
    const auto getClassObject = library.Find<abi::DllGetClassObjectFunction>("DllGetClassObject");
    library.KeepLoaded();
    if (getClassObject == nullptr) return hr::kErrorInDll;
    abi::IClassFactory* factory = nullptr;
    HResult result = getClassObject(clsid, kIidClassFactory, reinterpret_cast<void**>(&factory));
    if (Failed(result)) return result;
    result = factory->CreateInstance(nullptr, iid, object);
    factory->Release();
    return result;
}

}  // namespace taliscom
