// A module folder with settings and rule lists, and a started HotlinkFilter on it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_isapi_host.h"
#include "hotlink_filter.h"
#include "temp_folder.h"

class FilterFixture {
  public:
    // Files to write before start-up: name -> content. "corvane.ini" is written unless
    // withPrimaryConfig is false; logging goes to LogFiles/ unless the ini says otherwise.
    explicit FilterFixture(std::map<std::string, std::string> files = {},
                           bool withPrimaryConfig = true);

    DWORD Send(FakeRequest& request) {
        return filter_->HandleRequestHeaders(request.Context(), request.Headers());
    }
    HotlinkFilter& Filter() { return *filter_; }
    const HTTP_FILTER_VERSION& Version() const { return version_; }
    const TempFolder& Folder() const { return folder_; }
    std::vector<std::string> LogMessages() const;
    // Destroys the filter (writes its stop line).
    void Stop() { filter_.reset(); }

  private:
    TempFolder folder_;
    std::unique_ptr<HotlinkFilter> filter_;
    HTTP_FILTER_VERSION version_{};
};
