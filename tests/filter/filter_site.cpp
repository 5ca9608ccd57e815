#include "filter_site.h"

#include <chrono>
#include <thread>

FilterSite::FilterSite(DynamicAccessTable::Clock clock)
    : filter_(std::make_unique<HotlinkFilter>(std::move(clock))) {
    // Without "corvane.ini" the dynamic authorization settings are not read.
    module_.Write("corvane.ini", "[pixwall]\n");
}

FilterSite::~FilterSite() { filter_.reset(); }

void FilterSite::Settings(const std::string& body, bool logInModuleFolder) {
    const std::string folder = logInModuleFolder ? module_.Path() : logs_.Path();
    module_.Write("pixwall.ini", body + "\n[logging]\nlogging=on\nlogfolder=" + folder +
                                     "\nmaxlogsize=" + std::to_string(maxLogSize_) + "\n");
    logInModuleFolder_ = logInModuleFolder;
}

void FilterSite::List(const std::string& fileName, const std::string& content) const {
    module_.Write(fileName, content);
}

void FilterSite::Start() {
    HTTP_FILTER_VERSION version{};
    filter_->GetFilterVersion(&version, module_.Path());
}

std::unique_ptr<FakeRequest> FilterSite::Request(const std::string& url,
                                                 const std::string& client) {
    auto request = std::make_unique<FakeRequest>();
    request->Server(kServer).Url(url).Client(client).UserAgent("Mozilla/5.0");
    return request;
}

DWORD FilterSite::Send(FakeRequest& request) {
    return filter_->HandleRequestHeaders(request.Context(), request.Headers());
}

std::string FilterSite::LogPath() const {
    return (logInModuleFolder_ ? module_ : logs_).PathOf("pixwall.log");
}

std::vector<std::string> FilterSite::Messages() const {
    return LogMessages((logInModuleFolder_ ? module_ : logs_).Lines("pixwall.log"));
}

std::vector<std::string> FilterSite::NewMessages() {
    std::vector<std::string> all = Messages();
    std::vector<std::string> fresh(
        all.begin() + static_cast<std::ptrdiff_t>(std::min(seen_, all.size())), all.end());
    seen_ = all.size();
    return fresh;
}

bool ChangeReported(ConfigWatcher& watcher) {
    if (watcher.Changes().Settle()) return watcher.ChangePending();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!watcher.ChangePending() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // polls the flag
    }
    return watcher.ChangePending();
}

bool CanSeeNoReport(ConfigWatcher& watcher) { return watcher.Changes().Settle(); }
