// The program's client of the filter manager component: creates the FilterManager object, lists
// the global level and the web sites with their installation state, and installs or removes the
// filter at one place. A failure is recorded as text in LastError.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filter_manager_link.h"
#include "site_entry.h"
#include "system_message.h"

class SiteCatalog {
  public:
    using LinkFactory = std::function<std::unique_ptr<FilterManagerLink>()>;
    using SiteName = std::optional<std::string>;  // absent: the global level

    static constexpr const char* kGlobalLabel =
        "Global Setting (All current and future virtual sites)";
    static constexpr const char* kNotRegisteredMessage =
        "The OrlenTek.FilterManager COM Object is not registered correctly.\r\n"
        "Please re-install and try again.";

    // Joins the COM apartment, then creates the component's object; when that fails LastError
    // holds kNotRegisteredMessage.
    explicit SiteCatalog(const LinkFactory& createLink = CreateFilterManagerLink,
                         SystemMessageLookup lookup = LookUpSystemMessage);
    ~SiteCatalog();
    SiteCatalog(const SiteCatalog&) = delete;
    SiteCatalog& operator=(const SiteCatalog&) = delete;

    // Every operation below first empties the recorded error, so that LastError tells the
    // outcome of the last operation: a transient failure must not make every later call look
    // failed.
    std::string LastError() const { return lastError_; }
    void Refresh(const std::string& filterName);
    void InstallAt(const std::string& filterPath, const SiteName& site);
    void RemoveAt(const std::string& filterName, const SiteName& site);

    const std::vector<SiteEntry>& Entries() const { return entries_; }

  private:
    bool HasManager();
    // The component's answer; a failing question reads as not installed and records its text.
    bool QueryInstalled(const std::string& filterName, const SiteName& site);
    void Record(FilterManagerLink::HResult code);

    ComApartment apartment_;
    std::vector<SiteEntry> entries_;
    std::unique_ptr<FilterManagerLink> manager_;
    SystemMessageLookup lookup_;
    std::string lastError_;
};
