#include "config_watcher.h"

#include <cstring>
#include <string>

#include "activity_log.h"
#include "filter_config.h"
#include "log_messages.h"

ConfigWatcher::ConfigWatcher(ActivityLog* log)
    : ConfigWatcher(log, std::make_unique<platform::FolderChanges>()) {}

ConfigWatcher::ConfigWatcher(ActivityLog* log, std::unique_ptr<platform::FolderChanges> changes)
    : log_(log), changes_(std::move(changes)) {}

ConfigWatcher::~ConfigWatcher() { Stop(); }

bool ConfigWatcher::Start(const std::string& folder) {
    Stop();
    folder_ = folder;
    // Only the configuration's own files: a log kept in the folder must not rebuild on every line.
    const int error =
        changes_->Start(folder, FilterConfig::FileNames(), [this] { changed_.store(true); });
    if (error == 0) return true;
    if (log_) {
        log_->Write({{log_messages::kWatcherError, std::to_string(error), std::strerror(error)}});
    }
    return false;
}

void ConfigWatcher::Stop() {
    changes_->Stop();
    changed_.store(false);
}

bool ConfigWatcher::TakeChange() {
    // A plain load first: the common case, no change, writes nothing shared.
    return changed_.load(std::memory_order_relaxed) && changed_.exchange(false);
}

bool ConfigWatcher::ChangePending() const { return changed_.load(); }
