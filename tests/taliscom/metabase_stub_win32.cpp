// Test-only COM server registered under the IIS Admin Base Object's class identifier: the
// Unicode admin base interface over the stand-in store that PIXWALL_METABASE names, so the
// component reaches "the metabase" through COM exactly as it does with IIS.
#include <windows.h>
// clang-format off
#include <objbase.h>
#include <iadmw.h>
// clang-format on

#include <atomic>
#include <memory>
#include <new>

#include "identifiers.h"
#include "metabase_store.h"
#include "metabase/store_file.h"

namespace {

using taliscom::MetabaseStore;

const GUID kClsidAdminBase = taliscom::ToNativeGuid<GUID>(taliscom::kClsidMSAdminBaseW);
const GUID kIidAdminBase = taliscom::ToNativeGuid<GUID>(taliscom::kIidMSAdminBaseW);

std::atomic<long> liveObjects{0};

const char16_t* Path(LPCWSTR path) { return reinterpret_cast<const char16_t*>(path); }

taliscom::MetadataRecord ToRecord(const METADATA_RECORD& native) {
    taliscom::MetadataRecord record;
    record.identifier = native.dwMDIdentifier;
    record.attributes = native.dwMDAttributes;
    record.userType = native.dwMDUserType;
    record.dataType = native.dwMDDataType;
    record.dataLength = native.dwMDDataLen;
    record.data = native.pbMDData;
    record.dataTag = native.dwMDDataTag;
    return record;
}

#define NOT_NEEDED \
    { return E_NOTIMPL; }

class AdminBase final : public IMSAdminBaseW {
  public:
    explicit AdminBase(const std::filesystem::path& file) : store_(file) { ++liveObjects; }
    ~AdminBase() { --liveObjects; }

    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kIidAdminBase)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IMSAdminBaseW*>(this);
        AddRef();
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return ++references_; }
    ULONG WINAPI Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT WINAPI AddKey(METADATA_HANDLE handle, LPCWSTR path) override {
        return store_.AddKey(handle, Path(path));
    }
    HRESULT WINAPI DeleteKey(METADATA_HANDLE handle, LPCWSTR path) override {
        return store_.DeleteKey(handle, Path(path));
    }
    HRESULT WINAPI EnumKeys(METADATA_HANDLE handle, LPCWSTR path, LPWSTR name,
                            DWORD index) override {
        return store_.EnumKeys(handle, Path(path), reinterpret_cast<char16_t*>(name), index);
    }
    HRESULT WINAPI SetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record) override {
        if (record == nullptr) return E_INVALIDARG;
        const taliscom::MetadataRecord converted = ToRecord(*record);
        return store_.SetData(handle, Path(path), &converted);
    }
    HRESULT WINAPI GetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record,
                           DWORD* required) override {
        if (record == nullptr) return E_INVALIDARG;
        taliscom::MetadataRecord converted = ToRecord(*record);
        std::uint32_t length = 0;
        const HRESULT result = store_.GetData(handle, Path(path), &converted, &length);
        record->dwMDDataLen = converted.dataLength;
        record->dwMDDataType = converted.dataType;
        record->dwMDUserType = converted.userType;
        record->dwMDAttributes = converted.attributes;
        if (required != nullptr) *required = length;
        return result;
    }
    HRESULT WINAPI OpenKey(METADATA_HANDLE handle, LPCWSTR path, DWORD access, DWORD timeout,
                           PMETADATA_HANDLE opened) override {
        std::uint32_t number = 0;
        const HRESULT result = store_.OpenKey(handle, Path(path), access, timeout, &number);
        if (opened != nullptr) *opened = number;
        return result;
    }
    HRESULT WINAPI CloseKey(METADATA_HANDLE handle) override { return store_.CloseKey(handle); }

    HRESULT WINAPI DeleteChildKeys(METADATA_HANDLE, LPCWSTR) override NOT_NEEDED;
    HRESULT WINAPI CopyKey(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, WINBOOL,
                           WINBOOL) override NOT_NEEDED;
    HRESULT WINAPI RenameKey(METADATA_HANDLE, LPCWSTR, LPCWSTR) override NOT_NEEDED;
    HRESULT WINAPI DeleteData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD) override NOT_NEEDED;
    HRESULT WINAPI EnumData(METADATA_HANDLE, LPCWSTR, PMETADATA_RECORD, DWORD,
                            DWORD*) override NOT_NEEDED;
    HRESULT WINAPI GetAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, DWORD*, DWORD*, DWORD,
                              unsigned char*, DWORD*) override NOT_NEEDED;
    HRESULT WINAPI DeleteAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD) override NOT_NEEDED;
    HRESULT WINAPI CopyData(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD,
                            WINBOOL) override NOT_NEEDED;
    HRESULT WINAPI GetDataPaths(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, WCHAR*,
                                DWORD*) override NOT_NEEDED;
    HRESULT WINAPI ChangePermissions(METADATA_HANDLE, DWORD, DWORD) override NOT_NEEDED;
    HRESULT WINAPI SaveData() override NOT_NEEDED;
    HRESULT WINAPI GetHandleInfo(METADATA_HANDLE, PMETADATA_HANDLE_INFO) override NOT_NEEDED;
    HRESULT WINAPI GetSystemChangeNumber(DWORD*) override NOT_NEEDED;
    HRESULT WINAPI GetDataSetNumber(METADATA_HANDLE, LPCWSTR, DWORD*) override NOT_NEEDED;
    HRESULT WINAPI SetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME,
                                     WINBOOL) override NOT_NEEDED;
    HRESULT WINAPI GetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME,
                                     WINBOOL) override NOT_NEEDED;
    HRESULT WINAPI KeyExchangePhase1() override NOT_NEEDED;
    HRESULT WINAPI KeyExchangePhase2() override NOT_NEEDED;
    HRESULT WINAPI Backup(LPCWSTR, DWORD, DWORD) override NOT_NEEDED;
    HRESULT WINAPI Restore(LPCWSTR, DWORD, DWORD) override NOT_NEEDED;
    HRESULT WINAPI EnumBackups(LPWSTR, DWORD*, PFILETIME, DWORD) override NOT_NEEDED;
    HRESULT WINAPI DeleteBackup(LPCWSTR, DWORD) override NOT_NEEDED;
    HRESULT WINAPI UnmarshalInterface(IMSAdminBaseW**) override NOT_NEEDED;
    HRESULT WINAPI GetServerGuid() override NOT_NEEDED;

  private:
    std::atomic<ULONG> references_{1};
    MetabaseStore store_;
};

class Factory final : public IClassFactory {
  public:
    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        // Without a store the metabase is not there, as when the IIS Admin service is stopped.
        const auto file = metabase::MetabaseFileFromEnvironment();
        if (!file) return CO_E_SERVER_EXEC_FAILURE;
        auto* admin = new (std::nothrow) AdminBase(*file);
        if (admin == nullptr) return E_OUTOFMEMORY;
        const HRESULT result = admin->QueryInterface(iid, object);
        admin->Release();
        return result;
    }
    HRESULT WINAPI LockServer(BOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kClsidAdminBase)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return liveObjects == 0 ? S_OK : S_FALSE; }
