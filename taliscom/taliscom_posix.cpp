// The component on Linux: the FilterManager object and its class factory behind the four
// exports, with the interfaces of component_abi.h.
#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "component_abi.h"
#include "filter_manager.h"
#include "platform/module_file.h"
#include "registration_scripts.h"

namespace taliscom {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
thread_local std::optional<abi::ErrorInfo> threadError;

std::u16string Text(const char16_t* text) { return text == nullptr ? u"" : text; }

class FilterManagerObject final : public abi::IFilterManager,
                                  public abi::ISupportErrorInfo,
                                  public abi::IErrorInfoSource {
  public:
    FilterManagerObject() { ++liveObjects; }
    ~FilterManagerObject() { --liveObjects; }

    HResult QueryInterface(const Guid& iid, void** object) override {
        if (object == nullptr) return hr::kPointer;
        if (iid == kIidUnknown || iid == kIidFilterManager) {
            *object = static_cast<abi::IFilterManager*>(this);
        } else if (iid == kIidSupportErrorInfo) {
            *object = static_cast<abi::ISupportErrorInfo*>(this);
        } else if (iid == abi::kIidErrorInfoSource) {
            *object = static_cast<abi::IErrorInfoSource*>(this);
        } else {
            *object = nullptr;
            return hr::kNoInterface;
        }
        AddRef();
        return hr::kOk;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override {
        const std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HResult AddWebFilter(const char16_t* FilterPath, const char16_t* ServerDescription) override {
        return Report(manager_.AddWebFilter(Text(FilterPath), Text(ServerDescription)));
    }
    HResult RemoveWebFilter(const char16_t* FilterName,
                            const char16_t* ServerDescription) override {
        return Report(manager_.RemoveWebFilter(Text(FilterName), Text(ServerDescription)));
    }
    HResult GetVirtualServerList(std::vector<std::u16string>* pServerList) override {
        if (pServerList == nullptr) return hr::kPointer;
        return manager_.GetVirtualServerList(*pServerList);
    }
    HResult IsWebFilterInstalled(const char16_t* FilterName, const char16_t* ServerDescription,
                                 std::int16_t* IsInstalled) override {
        const bool installed =
            manager_.IsWebFilterInstalled(Text(FilterName), Text(ServerDescription));
        if (IsInstalled != nullptr) *IsInstalled = installed ? -1 : 0;
        return hr::kOk;
    }

    HResult InterfaceSupportsErrorInfo(const Guid& iid) override {
        return iid == kIidFilterManager ? hr::kOk : hr::kFalse;
    }

    HResult GetErrorInfo(abi::ErrorInfo* info) override {
        if (info == nullptr) return hr::kPointer;
        if (!threadError) return hr::kFalse;
        *info = std::move(*threadError);
        threadError.reset();
        return hr::kOk;
    }

  private:
    static HResult Report(const MethodResult& result) {
        if (!result.errorText.empty()) {
            threadError = abi::ErrorInfo{result.errorText, std::u16string(kProgIdWide), Guid{}};
        }
        return result.code;
    }

    std::atomic<std::uint32_t> references_{1};
    const FilterManager manager_;
};

class ClassFactory final : public abi::IClassFactory {
  public:
    HResult QueryInterface(const Guid& iid, void** object) override {
        if (object == nullptr) return hr::kPointer;
        if (iid != kIidUnknown && iid != kIidClassFactory) {
            *object = nullptr;
            return hr::kNoInterface;
        }
        *object = static_cast<abi::IClassFactory*>(this);
        AddRef();
        return hr::kOk;
    }
    // The factory is static; a reference to it counts as a lock, so the module stays loaded.
    std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++serverLocks) + 1; }
    std::uint32_t Release() override { return static_cast<std::uint32_t>(--serverLocks) + 1; }

    HResult CreateInstance(abi::IUnknown* outer, const Guid& iid, void** object) override {
        if (object == nullptr) return hr::kPointer;
        *object = nullptr;
        if (outer != nullptr) return hr::kNoAggregation;
        auto* manager = new (std::nothrow) FilterManagerObject();
        if (manager == nullptr) return hr::kOutOfMemory;
        const HResult result = manager->QueryInterface(iid, object);
        manager->Release();
        return result;
    }
    HResult LockServer(bool lock) override {
        lock ? ++serverLocks : --serverLocks;
        return hr::kOk;
    }
};

ClassFactory factory;

// The component's full path, or nothing when it does not fit in 259 characters.
std::optional<std::string> ModulePath() {
    std::error_code error;
    const auto path = std::filesystem::absolute(platform::ThisModulePath(), error).string();
    if (error || path.empty() || path.size() > 259) return std::nullopt;
    return path;
}

}  // namespace
}  // namespace taliscom

using taliscom::Guid;
using taliscom::HResult;
namespace hr = taliscom::hr;

extern "C" {

__attribute__((visibility("default"))) HResult DllGetClassObject(const Guid& clsid, const Guid& iid,
                                                                 void** object) {
    if (object == nullptr) return hr::kPointer;
    *object = nullptr;
    if (clsid != taliscom::kClsidFilterManager) return hr::kClassNotAvailable;
    return taliscom::factory.QueryInterface(iid, object);
}

__attribute__((visibility("default"))) HResult DllCanUnloadNow() {
    return taliscom::liveObjects == 0 && taliscom::serverLocks == 0 ? hr::kOk : hr::kFalse;
}

__attribute__((visibility("default"))) HResult DllRegisterServer() {
    const auto path = taliscom::ModulePath();
    if (!path) return hr::kInsufficientBuffer;
    return taliscom::RegisterScripts(*path);
}

__attribute__((visibility("default"))) HResult DllUnregisterServer() {
    const auto path = taliscom::ModulePath();
    if (!path) return hr::kInsufficientBuffer;
    return taliscom::UnregisterScripts(*path);
}

}  // extern "C"
