// On Windows the metabase is the IIS Admin Base Object, reached through COM.
#include <windows.h>
// clang-format off
#include <objbase.h>
#include <iadmw.h>
// clang-format on

#include "identifiers.h"
#include "metabase_connection.h"

namespace taliscom {
namespace {

// CLSID_MSAdminBase_W and IID_IMSAdminBase_W, from our identifiers rather than from a library.
const GUID kClsidAdminBase = ToNativeGuid<GUID>(kClsidMSAdminBaseW);
const GUID kIidAdminBase = ToNativeGuid<GUID>(kIidMSAdminBaseW);

// AdminBase over a reference to IMSAdminBaseW, released with the object.
class ComAdminBase : public AdminBase {
  public:
    explicit ComAdminBase(IMSAdminBaseW* metabase) : metabase_(metabase) {}
    ~ComAdminBase() override { metabase_->Release(); }
    ComAdminBase(const ComAdminBase&) = delete;
    ComAdminBase& operator=(const ComAdminBase&) = delete;

    HResult OpenKey(MetadataHandle handle, const char16_t* path, std::uint32_t access,
                    std::uint32_t timeoutMs, MetadataHandle* newHandle) override {
        METADATA_HANDLE opened = 0;
        const HRESULT result = metabase_->OpenKey(handle, Wide(path), access, timeoutMs, &opened);
        if (newHandle != nullptr) *newHandle = opened;
        return result;
    }
    HResult CloseKey(MetadataHandle handle) override { return metabase_->CloseKey(handle); }
    HResult EnumKeys(MetadataHandle handle, const char16_t* path, char16_t* name,
                     std::uint32_t index) override {
        return metabase_->EnumKeys(handle, Wide(path), reinterpret_cast<wchar_t*>(name), index);
    }
    HResult GetData(MetadataHandle handle, const char16_t* path, MetadataRecord* record,
                    std::uint32_t* requiredLength) override {
        METADATA_RECORD native = ToNative(*record);
        DWORD required = 0;
        const HRESULT result = metabase_->GetData(handle, Wide(path), &native, &required);
        record->dataLength = native.dwMDDataLen;
        record->dataType = native.dwMDDataType;
        record->userType = native.dwMDUserType;
        record->attributes = native.dwMDAttributes;
        if (requiredLength != nullptr) *requiredLength = required;
        return result;
    }
    HResult SetData(MetadataHandle handle, const char16_t* path,
                    const MetadataRecord* record) override {
        METADATA_RECORD native = ToNative(*record);
        return metabase_->SetData(handle, Wide(path), &native);
    }
    HResult AddKey(MetadataHandle handle, const char16_t* path) override {
        return metabase_->AddKey(handle, Wide(path));
    }
    HResult DeleteKey(MetadataHandle handle, const char16_t* path) override {
        return metabase_->DeleteKey(handle, Wide(path));
    }

  private:
    static const wchar_t* Wide(const char16_t* text) {
        return reinterpret_cast<const wchar_t*>(text);
    }
    static METADATA_RECORD ToNative(const MetadataRecord& record) {
        METADATA_RECORD native{};
        native.dwMDIdentifier = record.identifier;
        native.dwMDAttributes = record.attributes;
        native.dwMDUserType = record.userType;
        native.dwMDDataType = record.dataType;
        native.dwMDDataLen = record.dataLength;
        native.pbMDData = record.data;
        native.dwMDDataTag = record.dataTag;
        return native;
    }

    IMSAdminBaseW* metabase_;
};

}  // namespace

MetabaseConnection::Connector MetabaseConnection::PlatformConnector() {
    return [](std::unique_ptr<AdminBase>& metabase) -> HResult {
        IClassFactory* factory = nullptr;
        // Class context 21: in-process, local and remote server; the local machine.
        HRESULT result = CoGetClassObject(kClsidAdminBase, 21, nullptr, IID_IClassFactory,
                                          reinterpret_cast<void**>(&factory));
        if (FAILED(result)) return result;
        IMSAdminBaseW* admin = nullptr;
        result = factory->CreateInstance(nullptr, kIidAdminBase, reinterpret_cast<void**>(&admin));
        factory->Release();
        if (FAILED(result)) return result;
        metabase = std::make_unique<ComAdminBase>(admin);
        return S_OK;
    };
}

}  // namespace taliscom
