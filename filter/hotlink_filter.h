// The filter object: one per loaded module. Owns the log, the configuration, the admissions of
// this machine (with a web farm's store in front of them when the settings name one) and the watcher, and runs
// the decision pipeline for every request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "activity_log.h"
#include "config_watcher.h"
#include "farm_admissions.h"
#include "filter_config.h"
#include "platform/isapi.h"
#include "process_admission_table.h"
#include "request_facts.h"
#include "snapshot_cell.h"
#include "verdict.h"

class HotlinkFilter {
  public:
    // Seconds since 1970-01-01 UTC.
    using Clock = std::function<std::int64_t()>;

    HotlinkFilter();
    // Requests are decided at the time this clock tells.
    explicit HotlinkFilter(Clock clock);
    ~HotlinkFilter();  // stops the watcher, writes the stop line
    HotlinkFilter(const HotlinkFilter&) = delete;
    HotlinkFilter& operator=(const HotlinkFilter&) = delete;

    // Start-up: creates and loads the members for the module folder, writes the start line and
    // fills the version record. Always succeeds.
    BOOL GetFilterVersion(HTTP_FILTER_VERSION* version, const std::string& moduleFolder);

    // The decision pipeline for one request; returns the ISAPI status.
    DWORD HandleRequestHeaders(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers);

    // Loads a new configuration, hands its settings to the log and the local admissions, and
    // publishes it. One rebuild at a time.
    void RebuildConfiguration();

    // Answers a blocked request with a redirect to the alternate, or "404 Not Found" when there
    // is none.
    DWORD SendBlockResponse(HTTP_FILTER_CONTEXT* context, std::string_view alternateUrl);

    // For tests.
    Admissions* LocalAdmissions() const { return localAdmissions_.get(); }
    // The configuration requests are judged under now; a rebuild waits until it is let go.
    SnapshotCell<FilterConfig>::Reader Configuration() const { return config_.Read(); }
    ConfigWatcher* Watcher() const { return watcher_.get(); }

  private:
    // Carries out the verdict: log line, admission and cookie, response.
    DWORD Apply(const Verdict& verdict, const RequestFacts& facts, HTTP_FILTER_CONTEXT* context,
                Admissions* admissions, std::int64_t now);
    // Puts the farm's admissions in front of the local admissions when the configuration names a
    // store, replacing them when it names another one, and takes them away when it names none.
    void UpdateFarm(const FilterConfig& config);
    std::int64_t Now() const;

    std::unique_ptr<ActivityLog> log_;

    // Requests keep the snapshot they started with; a rebuild publishes a new one, which
    // readers take without a lock.
    SnapshotCell<FilterConfig> config_;
    // This machine's admissions, or this process's alone when they cannot be shared.
    std::unique_ptr<Admissions> localAdmissions_;
    // The admissions of a web farm around `localAdmissions_`, or none. Replaced like the
    // configuration: a request keeps the layer it started with, even across a change of store,
    // and a replaced layer closes its connections once no request holds it.
    struct FarmLayer {
        std::unique_ptr<FarmAdmissions> admissions;
    };
    SnapshotCell<FarmLayer> farm_;
    std::unique_ptr<ConfigWatcher> watcher_;

    Clock clock_;             // empty: the system's clock
    std::mutex rebuildLock_;  // one rebuild at a time
};
