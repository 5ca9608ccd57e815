// The filter object: one per loaded module. Owns the log, the configuration, the access table
// and the watcher, and runs the decision pipeline for every request.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "activity_log.h"
#include "config_watcher.h"
#include "dynamic_access_table.h"
#include "filter_config.h"
#include "platform/isapi.h"
#include "request_facts.h"

class HotlinkFilter {
  public:
    HotlinkFilter();
    // The access table made at start-up reads this clock (seconds since 1970).
    explicit HotlinkFilter(DynamicAccessTable::Clock clock);
    ~HotlinkFilter();  // stops the watcher, writes the stop line
    HotlinkFilter(const HotlinkFilter&) = delete;
    HotlinkFilter& operator=(const HotlinkFilter&) = delete;

    // Start-up: creates and loads the members for the module folder, writes the start line and
    // fills the version record. Always succeeds.
    BOOL GetFilterVersion(HTTP_FILTER_VERSION* version, const std::string& moduleFolder);

    // The decision pipeline for one request; returns the ISAPI status.
    DWORD HandleRequestHeaders(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers);

    // Loads a new configuration, hands its settings to the log and the access table, and
    // publishes it. One rebuild at a time.
    void RebuildConfiguration();

    // Answers a blocked request with a redirect to its alternate or "404 Not Found".
    DWORD SendBlockResponse(const RequestFacts& facts);

    // The configuration requests now start with; null before start-up.
    std::shared_ptr<const FilterConfig> Config() const;
    // For tests.
    DynamicAccessTable* AccessTable() const { return accessTable_.get(); }
    ConfigWatcher* Watcher() const { return watcher_.get(); }

  private:
    void Publish(std::shared_ptr<const FilterConfig> config);
    // The decision's log line: the URL, then the deciding value if there is one.
    void LogDecision(const char* format, const RequestFacts& facts, const std::string* value);
    DWORD Allow(const char* format, const RequestFacts& facts, const std::string* value);
    DWORD Block(const char* format, const RequestFacts& facts, const std::string* value);
    DWORD AuthorizeDynamically(const RequestFacts& facts, const FilterConfig& config,
                               bool isProtected);

    std::unique_ptr<ActivityLog> log_;

    // Requests keep the snapshot they started with; a rebuild publishes a new one. The lock
    // guards only the copying of the pointer. (libstdc++ 12's std::atomic<std::shared_ptr>
    // releases its internal lock with relaxed order after a load, a race the thread sanitizer
    // rightly reports.)
    mutable std::mutex configLock_;
    std::shared_ptr<const FilterConfig> config_;
    std::unique_ptr<DynamicAccessTable> accessTable_;
    std::unique_ptr<ConfigWatcher> watcher_;

    DynamicAccessTable::Clock clock_;  // for the access table; empty: the system's clock
    std::mutex rebuildLock_;           // one rebuild at a time
};
