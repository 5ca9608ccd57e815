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
    // The admission table reads `clock` when one is given.
    explicit FilterFixture(std::map<std::string, std::string> files = {},
                           bool withPrimaryConfig = true, HotlinkFilter::Clock clock = {});

    // A request for `url` from the client at `address`, with a browser's user agent.
    static std::unique_ptr<FakeRequest> Request(const std::string& url, const std::string& address,
                                                const std::string& server = "imgserver");

    DWORD Send(FakeRequest& request) {
        return filter_->HandleRequestHeaders(request.Context(), request.Headers());
    }
    HotlinkFilter& Filter() { return *filter_; }
    const HTTP_FILTER_VERSION& Version() const { return version_; }
    const TempFolder& Folder() const { return folder_; }
    std::vector<std::string> LogMessages() const;
    // The messages logged since the last call.
    std::vector<std::string> NewLogMessages();
    // Destroys the filter (writes its stop line).
    void Stop() { filter_.reset(); }

  private:
    TempFolder folder_;
    std::unique_ptr<HotlinkFilter> filter_;
    HTTP_FILTER_VERSION version_{};
    std::size_t logMessagesSeen_ = 0;
};

// Waits until the watcher's thread has reported every write made so far, and tells whether a
// change is pending. Where the platform cannot tell when that is, waits (ten seconds at most)
// for a change to be pending.
bool ChangeReported(ConfigWatcher& watcher);
// The platform can tell that a write was not reported.
bool CanSeeNoReport(ConfigWatcher& watcher);
