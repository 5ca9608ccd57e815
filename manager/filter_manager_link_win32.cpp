// The link through COM: FilterManager created by its class identifier with CLSCTX_ALL, strings
// as BSTRs the program allocates and frees, the server list as a SAFEARRAY of VARIANTs and the
// installed state converted to a 16-bit integer.
#include <windows.h>
#include <ole2.h>

#include "filter_manager_link.h"
#include "taliscom.h"
#include "taliscom_idl.h"

namespace {

// One BSTR for the length of a call; a null one for an absent text.
class Bstr {
  public:
    explicit Bstr(const FilterManagerLink::Text& text)
        : value_(text ? SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text->data()),
                                          static_cast<UINT>(text->size()))
                      : nullptr) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

  private:
    BSTR value_;
};

class Variant {
  public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* operator&() { return &value_; }
    VARIANT& operator*() { return value_; }

  private:
    VARIANT value_;
};

class ComFilterManager final : public FilterManagerLink {
  public:
    explicit ComFilterManager(IFilterManager* manager) : manager_(manager) {}
    ~ComFilterManager() override { manager_->Release(); }
    ComFilterManager(const ComFilterManager&) = delete;
    ComFilterManager& operator=(const ComFilterManager&) = delete;

    HResult AddWebFilter(const Text& filterPath, const Text& serverDescription) override {
        return manager_->AddWebFilter(Bstr(filterPath), Bstr(serverDescription));
    }
    HResult RemoveWebFilter(const Text& filterName, const Text& serverDescription) override {
        return manager_->RemoveWebFilter(Bstr(filterName), Bstr(serverDescription));
    }
    HResult GetVirtualServerList(std::vector<std::u16string>* names) override {
        names->clear();
        Variant list;
        HRESULT result = manager_->GetVirtualServerList(&list);
        if (FAILED(result)) return result;
        SAFEARRAY* array = (V_VT(&*list) & VT_ARRAY) ? V_ARRAY(&*list) : nullptr;
        LONG lower = 0;
        LONG upper = -1;
        VARIANT* items = nullptr;
        if (FAILED(result = SafeArrayGetLBound(array, 1, &lower)) ||
            FAILED(result = SafeArrayGetUBound(array, 1, &upper)) ||
            FAILED(result = SafeArrayAccessData(array, reinterpret_cast<void**>(&items)))) {
            return result;
        }
        for (LONG i = lower; i <= upper; ++i) {
            const VARIANT& item = items[i - lower];
            const BSTR text = V_VT(&item) == VT_BSTR ? V_BSTR(&item) : nullptr;
            names->emplace_back(reinterpret_cast<const char16_t*>(text ? text : L""),
                                text ? SysStringLen(text) : 0);
        }
        return SafeArrayUnaccessData(array);
    }
    HResult IsWebFilterInstalled(const Text& filterName, const Text& serverDescription,
                                 std::int16_t* installed) override {
        *installed = 0;
        Variant answer;
        HRESULT result =
            manager_->IsWebFilterInstalled(Bstr(filterName), Bstr(serverDescription), &answer);
        if (FAILED(result)) return result;
        if (V_VT(&*answer) != VT_I2) {
            result = VariantChangeType(&answer, &answer, 0, VT_I2);
            if (FAILED(result)) return result;
        }
        *installed = V_I2(&*answer);
        return S_OK;
    }

  private:
    IFilterManager* manager_;
};

}  // namespace

ComApartment::ComApartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

ComApartment::~ComApartment() { CoUninitialize(); }

std::unique_ptr<FilterManagerLink> CreateFilterManagerLink() {
    IFilterManager* manager = nullptr;
    const HRESULT result = taliscom::CreateComponentInstance(taliscom::kClsidFilterManager,
                                                             taliscom::kIidFilterManager,
                                                             reinterpret_cast<void**>(&manager));
    if (FAILED(result) || manager == nullptr) return nullptr;
    return std::make_unique<ComFilterManager>(manager);
}
