// The link through the component's Linux exports: taliscom.so's objects have the interface's
// slots, and the object is created by its class identifier through the registry stand-in.
#include "filter_manager_link.h"
#include "taliscom.h"

namespace {

namespace abi = taliscom::abi;

const char16_t* Pointer(const FilterManagerLink::Text& text) {
    return text ? text->c_str() : nullptr;
}

class ExportedFilterManager final : public FilterManagerLink {
  public:
    explicit ExportedFilterManager(abi::IFilterManager* manager) : manager_(manager) {}
    ~ExportedFilterManager() override { manager_->Release(); }
    ExportedFilterManager(const ExportedFilterManager&) = delete;
    ExportedFilterManager& operator=(const ExportedFilterManager&) = delete;

    HResult AddWebFilter(const Text& filterPath, const Text& serverDescription) override {
        return manager_->AddWebFilter(Pointer(filterPath), Pointer(serverDescription));
    }
    HResult RemoveWebFilter(const Text& filterName, const Text& serverDescription) override {
        return manager_->RemoveWebFilter(Pointer(filterName), Pointer(serverDescription));
    }
    HResult GetVirtualServerList(std::vector<std::u16string>* names) override {
        names->clear();
        return manager_->GetVirtualServerList(names);
    }
    HResult IsWebFilterInstalled(const Text& filterName, const Text& serverDescription,
                                 std::int16_t* installed) override {
        return manager_->IsWebFilterInstalled(Pointer(filterName), Pointer(serverDescription),
                                              installed);
    }

  private:
    abi::IFilterManager* manager_;
};

}  // namespace

// There is no COM apartment to join here.
ComApartment::ComApartment() = default;
ComApartment::~ComApartment() = default;

std::unique_ptr<FilterManagerLink> CreateFilterManagerLink() {
    abi::IFilterManager* manager = nullptr;
    const taliscom::HResult result = taliscom::CreateComponentInstance(
        taliscom::kClsidFilterManager, taliscom::kIidFilterManager,
        reinterpret_cast<void**>(&manager));
    if (taliscom::Failed(result) || manager == nullptr) return nullptr;
    return std::make_unique<ExportedFilterManager>(manager);
}
