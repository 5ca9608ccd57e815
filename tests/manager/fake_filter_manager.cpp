#include "fake_filter_manager.h"

#include "wide_text.h"

std::string Show(const FilterManagerLink::Text& text) {
    return text ? "\"" + text::Utf16ToUtf8(*text) + "\"" : "null";
}

FilterManagerLink::HResult FakeFilterManager::Log(const std::string& call) {
    if (state_->log != nullptr) state_->log->push_back(call);
    const auto failure = state_->failures.find(call);
    return failure == state_->failures.end() ? 0 : failure->second;
}

namespace {
std::string Place(const FilterManagerLink::Text& site) {
    return site ? text::Utf16ToUtf8(*site) : "";
}
}  // namespace

FilterManagerLink::HResult FakeFilterManager::AddWebFilter(const Text& filterPath,
                                                           const Text& serverDescription) {
    const HResult result =
        Log("AddWebFilter(" + Show(filterPath) + ", " + Show(serverDescription) + ")");
    if (result == 0) state_->installed[Place(serverDescription)] = -1;
    return result;
}

FilterManagerLink::HResult FakeFilterManager::RemoveWebFilter(const Text& filterName,
                                                              const Text& serverDescription) {
    const HResult result =
        Log("RemoveWebFilter(" + Show(filterName) + ", " + Show(serverDescription) + ")");
    if (result == 0) state_->installed.erase(Place(serverDescription));
    return result;
}

FilterManagerLink::HResult FakeFilterManager::GetVirtualServerList(
    std::vector<std::u16string>* names) {
    Log("GetVirtualServerList");
    *names = state_->sites;
    return state_->listResult;
}

FilterManagerLink::HResult FakeFilterManager::IsWebFilterInstalled(const Text& filterName,
                                                                   const Text& serverDescription,
                                                                   std::int16_t* installed) {
    const HResult result =
        Log("IsWebFilterInstalled(" + Show(filterName) + ", " + Show(serverDescription) + ")");
    const auto found = state_->installed.find(Place(serverDescription));
    *installed = found == state_->installed.end() ? 0 : found->second;
    return result;
}
