#include "filter_fixture.h"

#include <chrono>
#include <thread>

FilterFixture::FilterFixture(std::map<std::string, std::string> files, bool withPrimaryConfig,
                             HotlinkFilter::Clock clock) {
    folder_.Write("LogFiles/readme.txt", "log folder\n");
    if (withPrimaryConfig) folder_.Write("corvane.ini", "[settings]\nfiltername=pixwall\n");
    if (!files.count("pixwall.ini")) files["pixwall.ini"] = "[logging]\nlogging=on\n";
    for (const auto& [name, content] : files) folder_.Write(name, content);
    filter_ = std::make_unique<HotlinkFilter>(std::move(clock));
    filter_->GetFilterVersion(&version_, folder_.Path());
}

std::vector<std::string> FilterFixture::LogMessages() const {
    return ::LogMessages(folder_.Lines("LogFiles/pixwall.log"));
}

std::vector<std::string> FilterFixture::NewLogMessages() {
    std::vector<std::string> all = LogMessages();
    const std::size_t seen = std::min(logMessagesSeen_, all.size());
    logMessagesSeen_ = all.size();
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end());
}

std::unique_ptr<FakeRequest> FilterFixture::Request(const std::string& url,
                                                    const std::string& address,
                                                    const std::string& server) {
    auto request = std::make_unique<FakeRequest>();
    request->Server(server).Url(url).Client(address).UserAgent("Mozilla/5.0");
    return request;
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
