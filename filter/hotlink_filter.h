// The filter object: one per loaded module. Owns the log and the configuration, and runs the
// decision pipeline for every request.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "activity_log.h"
#include "filter_config.h"
#include "platform/isapi.h"
#include "request_facts.h"

class HotlinkFilter {
  public:
    HotlinkFilter() = default;
    ~HotlinkFilter();  // writes the stop line
    HotlinkFilter(const HotlinkFilter&) = delete;
    HotlinkFilter& operator=(const HotlinkFilter&) = delete;

    // Start-up: creates and loads the members for the module folder, writes the start line and
    // fills the version record. Always succeeds.
    BOOL GetFilterVersion(HTTP_FILTER_VERSION* version, const std::string& moduleFolder);

    // The decision pipeline for one request; returns the ISAPI status.
    DWORD HandleRequestHeaders(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers);

    // Loads a new configuration and hands its settings to the log.
    void RebuildConfiguration();

    // Answers a blocked request with a redirect to its alternate or "404 Not Found".
    DWORD SendBlockResponse(const RequestFacts& facts);

    // The configuration requests now start with; null before start-up.
    std::shared_ptr<const FilterConfig> Config() const { return config_.load(); }
    ActivityLog* Log() const { return log_.get(); }

  private:
    DWORD Allow(const char* format, const RequestFacts& facts, const std::string* value);
    DWORD Block(const char* format, const RequestFacts& facts, const std::string* value);

    std::unique_ptr<ActivityLog> log_;
    // Requests keep the snapshot they started with; a rebuild publishes a new one.
    std::atomic<std::shared_ptr<const FilterConfig>> config_;
};
