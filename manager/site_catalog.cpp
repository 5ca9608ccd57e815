#include "site_catalog.h"

#include <utility>

#include "wide_text.h"

namespace {

FilterManagerLink::Text Wide(const SiteCatalog::SiteName& site) {
    if (!site) return std::nullopt;
    return text::FromNarrow(*site);
}

}  // namespace

SiteCatalog::SiteCatalog(const LinkFactory& createLink, SystemMessageLookup lookup)
    : lookup_(std::move(lookup)) {
    manager_ = createLink();
    if (!manager_) lastError_ = kNotRegisteredMessage;
}

// The object goes before the apartment it lives in.
SiteCatalog::~SiteCatalog() {
    entries_.clear();
    manager_.reset();
}

bool SiteCatalog::HasManager() {
    lastError_.clear();
    if (manager_) return true;
    lastError_ = kNotRegisteredMessage;
    return false;
}

void SiteCatalog::Record(FilterManagerLink::HResult code) {
    lastError_ = FormatSystemMessage(code, lookup_);
}

void SiteCatalog::Refresh(const std::string& filterName) {
    if (!HasManager()) return;
    entries_.clear();
    std::vector<std::u16string> names;
    const auto listed = manager_->GetVirtualServerList(&names);
    // Each site is asked in list order, then the global level.
    for (const std::u16string& name : names) {
        const std::string narrow = text::ToNarrow(name);
        const bool installed = QueryInstalled(filterName, narrow);
        entries_.push_back({.name = narrow, .installed = installed});
    }
    if (taliscom::Failed(listed)) {
        Record(listed);
        return;
    }
    const bool installed = QueryInstalled(filterName, std::nullopt);
    entries_.insert(entries_.begin(), {.name = kGlobalLabel, .installed = installed});
}

// A failing question never ends the program.
bool SiteCatalog::QueryInstalled(const std::string& filterName, const SiteName& site) {
    std::int16_t installed = 0;
    const auto result =
        manager_->IsWebFilterInstalled(text::FromNarrow(filterName), Wide(site), &installed);
    if (taliscom::Failed(result)) {
        Record(result);
        return false;
    }
    return installed != 0;  // the component says true as -1
}

void SiteCatalog::InstallAt(const std::string& filterPath, const SiteName& site) {
    if (!HasManager()) return;
    const auto result = manager_->AddWebFilter(text::FromNarrow(filterPath), Wide(site));
    if (taliscom::Failed(result)) Record(result);
}

void SiteCatalog::RemoveAt(const std::string& filterName, const SiteName& site) {
    if (!HasManager()) return;
    // The global entry's label names the global level, even when a site carries the same name.
    const SiteName target = site && *site == kGlobalLabel ? std::nullopt : site;
    const auto result = manager_->RemoveWebFilter(text::FromNarrow(filterName), Wide(target));
    if (taliscom::Failed(result)) Record(result);
}
