// A FilterManager that answers from a table of sites and installed places and writes every call
// into a shared log, so that tests can read the exact order of calls beside the view's events.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filter_manager_link.h"

// "null" for an absent string, else the text in double quotes.
std::string Show(const FilterManagerLink::Text& text);

struct FakeComponentState {
    std::vector<std::u16string> sites{};
    // Installed places by the description the component is asked with; "" is the global level.
    std::map<std::string, std::int16_t> installed{};
    // A call, as the log writes it, that fails with the code.
    std::map<std::string, taliscom::HResult> failures{};
    taliscom::HResult listResult = 0;
    std::vector<std::string>* log = nullptr;
};

class FakeFilterManager final : public FilterManagerLink {
  public:
    explicit FakeFilterManager(std::shared_ptr<FakeComponentState> state)
        : state_(std::move(state)) {}

    HResult AddWebFilter(const Text& filterPath, const Text& serverDescription) override;
    HResult RemoveWebFilter(const Text& filterName, const Text& serverDescription) override;
    HResult GetVirtualServerList(std::vector<std::u16string>* names) override;
    HResult IsWebFilterInstalled(const Text& filterName, const Text& serverDescription,
                                 std::int16_t* installed) override;

  private:
    HResult Log(const std::string& call);

    std::shared_ptr<FakeComponentState> state_;
};
