// The component on Windows: an in-process COM server with the class FilterManager, whose
// IDispatch is served from the registered type library, rich error information for failures
// with a message, and self-registration through the registrar scripts.
#include <windows.h>
// clang-format off
#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>
#include <initguid.h>
#include "taliscom_idl.h"
// clang-format on

#include <atomic>
#include <new>
#include <string>
#include <string_view>

#include "filter_manager.h"
#include "registration_scripts.h"
#include "wide_text.h"

namespace taliscom {
namespace {

HINSTANCE moduleInstance = nullptr;
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
// Type information of IFilterManager from the registered type library, loaded on first use and
// kept for the life of the component.
std::atomic<ITypeInfo*> cachedTypeInfo{nullptr};

std::u16string_view View(BSTR text) {
    return text == nullptr
               ? std::u16string_view()
               : std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

HRESULT LoadTypeInfo(ITypeInfo** typeInfo) {
    *typeInfo = cachedTypeInfo.load();
    if (*typeInfo != nullptr) return S_OK;
    ITypeLib* library = nullptr;
    HRESULT result = LoadRegTypeLib(LIBID_taliscom, 1, 0, 0, &library);
    if (FAILED(result)) return result;
    ITypeInfo* loaded = nullptr;
    result = library->GetTypeInfoOfGuid(IID_IFilterManager, &loaded);
    library->Release();
    if (FAILED(result)) return result;
    ITypeInfo* expected = nullptr;
    if (!cachedTypeInfo.compare_exchange_strong(expected, loaded)) {
        loaded->Release();  // another thread was first
        loaded = expected;
    }
    *typeInfo = loaded;
    return S_OK;
}

// Sets the thread's rich error information for a failure with a message.
HRESULT Report(const MethodResult& result) {
    if (result.errorText.empty()) return result.code;
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        const std::wstring description(result.errorText.begin(), result.errorText.end());
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        LPOLESTR progId = nullptr;
        if (SUCCEEDED(ProgIDFromCLSID(CLSID_FilterManager, &progId))) {
            create->SetSource(progId);
            CoTaskMemFree(progId);
        } else {
            create->SetSource(const_cast<LPOLESTR>(L"OrlenTek.FilterManager.1"));
        }
        create->SetGUID(GUID_NULL);
        create->SetHelpFile(nullptr);
        create->SetHelpContext(0);
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return DISP_E_EXCEPTION;
}

class FilterManagerObject final : public IFilterManager, public ISupportErrorInfo {
  public:
    FilterManagerObject() { ++liveObjects; }
    ~FilterManagerObject() { --liveObjects; }
    FilterManagerObject(const FilterManagerObject&) = delete;
    FilterManagerObject& operator=(const FilterManagerObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IFilterManager)) {
            *object = static_cast<IFilterManager*>(this);
        } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) override {
        if (typeInfo == nullptr) return E_POINTER;
        *typeInfo = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        const HRESULT result = LoadTypeInfo(typeInfo);
        if (SUCCEEDED(result)) (*typeInfo)->AddRef();
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* typeInfo = nullptr;
        const HRESULT result = LoadTypeInfo(&typeInfo);
        if (FAILED(result)) return result;
        return DispGetIDsOfNames(typeInfo, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* typeInfo = nullptr;
        const HRESULT loaded = LoadTypeInfo(&typeInfo);
        if (FAILED(loaded)) return loaded;
        return DispInvoke(static_cast<IFilterManager*>(this), typeInfo, id, flags, params, result,
                          exception, argumentError);
    }

    // IFilterManager
    HRESULT STDMETHODCALLTYPE AddWebFilter(BSTR FilterPath, BSTR ServerDescription) override {
        return Report(manager_.AddWebFilter(View(FilterPath), View(ServerDescription)));
    }
    HRESULT STDMETHODCALLTYPE RemoveWebFilter(BSTR FilterName, BSTR ServerDescription) override {
        return Report(manager_.RemoveWebFilter(View(FilterName), View(ServerDescription)));
    }
    HRESULT STDMETHODCALLTYPE GetVirtualServerList(VARIANT* pServerList) override {
        if (pServerList == nullptr) return E_POINTER;
        V_VT(pServerList) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(pServerList) = nullptr;
        SAFEARRAYBOUND bound = {0, 0};
        SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
        if (array == nullptr) return E_OUTOFMEMORY;
        std::vector<std::u16string> list;
        HRESULT result;
        try {
            result = manager_.GetVirtualServerList(list);
        } catch (const std::bad_alloc&) {
            result = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(result) && !list.empty()) {
            bound.cElements = static_cast<ULONG>(list.size());
            result = SafeArrayRedim(array, &bound);
            for (LONG i = 0; SUCCEEDED(result) && i < static_cast<LONG>(list.size()); ++i) {
                VARIANT item;
                VariantInit(&item);
                V_VT(&item) = VT_BSTR;
                V_BSTR(&item) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(list[i].data()),
                                                  static_cast<UINT>(list[i].size()));
                result = V_BSTR(&item) == nullptr ? E_OUTOFMEMORY
                                                  : SafeArrayPutElement(array, &i, &item);
                VariantClear(&item);
            }
        }
        if (FAILED(result)) {
            SafeArrayDestroy(array);
            return result;
        }
        V_ARRAY(pServerList) = array;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsWebFilterInstalled(BSTR FilterName, BSTR ServerDescription,
                                                   VARIANT* IsInstalled) override {
        const bool installed =
            manager_.IsWebFilterInstalled(View(FilterName), View(ServerDescription));
        if (IsInstalled != nullptr) {
            VariantClear(IsInstalled);
            V_VT(IsInstalled) = VT_BOOL;
            V_BOOL(IsInstalled) = installed ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsEqualIID(iid, IID_IFilterManager) ? S_OK : S_FALSE;
    }

  private:
    std::atomic<ULONG> references_{1};
    const FilterManager manager_;
};

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory is static; a reference to it keeps the component loaded.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++serverLocks) + 1; }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--serverLocks) + 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        FilterManagerObject* manager = new (std::nothrow) FilterManagerObject();
        if (manager == nullptr) return E_OUTOFMEMORY;
        const HRESULT result = manager->QueryInterface(iid, object);
        manager->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++serverLocks : --serverLocks;
        return S_OK;
    }
};

ClassFactory factory;

// The component's full path; false when it does not fit in 259 characters.
bool ModulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(moduleInstance, buffer, MAX_PATH + 1);
    if (length == 0 || length >= MAX_PATH) return false;
    path.assign(buffer, length);
    return true;
}

std::string Narrow(const std::wstring& text) {
    return text::ToNarrow(std::u16string(text.begin(), text.end()));
}

}  // namespace
}  // namespace taliscom

using namespace taliscom;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_FilterManager)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    std::wstring path;
    if (!ModulePath(path)) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    if (FAILED(RegisterScripts(Narrow(path)))) return SELFREG_E_CLASS;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return SELFREG_E_TYPELIB;
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    const HRESULT result =
        RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), folder.data());
    library->Release();
    return FAILED(result) ? SELFREG_E_TYPELIB : S_OK;
}

STDAPI DllUnregisterServer() {
    std::wstring path;
    if (!ModulePath(path)) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    if (FAILED(UnregisterScripts(Narrow(path)))) return SELFREG_E_CLASS;
#ifdef _WIN64
    const SYSKIND kind = SYS_WIN64;
#else
    const SYSKIND kind = SYS_WIN32;
#endif
    const HRESULT result = UnRegisterTypeLib(LIBID_taliscom, 1, 0, 0, kind);
    // A type library that is not registered has nothing to remove.
    if (FAILED(result) && result != TYPE_E_LIBNOTREGISTERED && result != TYPE_E_REGISTRYACCESS) {
        return SELFREG_E_TYPELIB;
    }
    return S_OK;
}
