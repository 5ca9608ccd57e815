// Watches the module folder for writes on a thread of its own, which only raises a change flag;
// the request that takes the flag rebuilds the configuration.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/folder_changes.h"

class ActivityLog;

class ConfigWatcher {
  public:
    // `log` (may be null) receives the message when the thread cannot start.
    explicit ConfigWatcher(ActivityLog* log);
    // With another source of folder change reports, for tests.
    ConfigWatcher(ActivityLog* log, std::unique_ptr<platform::FolderChanges> changes);
    ~ConfigWatcher();  // stops
    ConfigWatcher(const ConfigWatcher&) = delete;
    ConfigWatcher& operator=(const ConfigWatcher&) = delete;

    // Stops a previous watch and watches `folder`. False, with "Error: %d %s." logged, when the
    // thread cannot start; the filter then runs without reloading.
    bool Start(const std::string& folder);

    // Ends the thread and drops a change not yet taken.
    void Stop();

    // True once per raised flag, which it clears: exactly one caller gets each change.
    bool TakeChange();

    // For tests: the flag, without taking it.
    bool ChangePending() const;

    // For tests.
    const std::string& Folder() const { return folder_; }
    platform::FolderChanges& Changes() { return *changes_; }

  private:
    ActivityLog* log_;
    std::string folder_;
    std::atomic<bool> changed_{false};
    std::unique_ptr<platform::FolderChanges> changes_;
};
