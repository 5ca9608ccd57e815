// A started HotlinkFilter on a module folder of its own, with its settings, lists and log at
// hand, and the requests of one site.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fake_isapi_host.h"
#include "hotlink_filter.h"
#include "temp_folder.h"

class FilterSite {
  public:
    static constexpr const char* kServer = "www.site.test";
    static constexpr const char* kPage = "/index.html";
    static constexpr const char* kImage = "/img/logo.gif";

    explicit FilterSite(DynamicAccessTable::Clock clock = {});
    ~FilterSite();  // stops the filter before its folders go

    const TempFolder& Module() const { return module_; }
    const TempFolder& Logs() const { return logs_; }

    // Writes "pixwall.ini": `body` plus a [logging] section that logs into Logs(), or into the
    // module folder itself.
    void Settings(const std::string& body, bool logInModuleFolder = false);
    // The log's size limit for the next Settings (default: large enough never to rotate).
    void RotateLogAt(int maxLogSize) { maxLogSize_ = maxLogSize; }
    // Writes a list file of the module folder.
    void List(const std::string& fileName, const std::string& content) const;

    // GetFilterVersion on the module folder.
    void Start();
    HotlinkFilter& Filter() { return *filter_; }
    // Unloads the filter: the watcher stops and the stop line is written.
    void Stop() { filter_.reset(); }

    // A request of this site for `url` from `client`.
    static std::unique_ptr<FakeRequest> Request(const std::string& url, const std::string& client);
    DWORD Send(FakeRequest& request);

    std::string LogPath() const;
    // The messages logged so far, and those logged since the last call.
    std::vector<std::string> Messages() const;
    std::vector<std::string> NewMessages();

  private:
    TempFolder module_;
    TempFolder logs_;
    bool logInModuleFolder_ = false;
    int maxLogSize_ = 10000000;
    std::size_t seen_ = 0;
    std::unique_ptr<HotlinkFilter> filter_;
};

// Waits for the watcher's thread to have reported every write made so far and tells whether a
// change is pending. Where the platform cannot tell when that is, waits (up to ten seconds) for a
// change to be pending.
bool ChangeReported(ConfigWatcher& watcher);
// Whether the platform can tell that nothing was reported.
bool CanSeeNoReport(ConfigWatcher& watcher);
