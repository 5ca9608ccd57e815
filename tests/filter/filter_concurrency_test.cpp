// Many request threads against one filter while its files are rewritten: every request must be
// decided as if it ran alone, and every log line must come out whole. Run it under the thread
// sanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "admission_cookie.h"
#include "base64.h"
#include "filter_fixture.h"

namespace {

constexpr int kRequestThreads = 4;
constexpr int kRoundsPerThread = 150;  // four requests each

const std::regex kWholeLine(
    R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d : )"
    R"((Pixwall for IIS started|Pixwall for IIS stopped|Rebuilding configuration due to changes)"
    R"(|Allowing /img/logo\.gif : Dynamic access( \(cookie\))? granted for 10\.0\.\d\.\d+)"
    R"(|Blocking /img/logo\.gif : Dynamic access denied for 10\.0\.\d\.\d+)"
    R"(|Blocking /img/logo\.gif : Client 10\.(6\.6\.6|5\.5\.5) is black listed)"
    R"(|Blocking /img/logo\.gif : Url is black listed))");

// The rewrites keep each file's length and overwrite it in place, so that a rebuild reading in
// the middle of one still finds every line whole: the entries that must always hold (the
// black-listed 10.6.6.6, dynamic authorization on, the log) hold in every mix of old and new.
std::string SettingsVariant(int i) {
    return std::string("[settings]\ntimetolive=") + (i % 3 == 0 ? "0000" : "3600") +
           "\n[DynamicAuthorization]\nDynamicAuthorization=on\nusecookie=" +
           (i % 2 == 0 ? "yes" : "no ") + "\n";
}

std::string Settings(int i, int maxLogSize) {
    return SettingsVariant(i) + "[logging]\nlogging=on\nmaxlogsize=" + std::to_string(maxLogSize) +
           "\n";
}

std::string ClientBlackList(int i) {
    return i % 2 ? "10.6.6.6\n10.5.5.5\n" : "10.6.6.6\n#0.5.5.5\n";
}

std::string UrlBlackList(int i) {
    return i % 4 == 0 ? "www.site.test/img/logo\n" : "#ww.site.test/img/logo\n";
}

void OverwriteInPlace(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr) return;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// What one request thread saw go wrong; checked on the test's thread.
struct Mistakes {
    std::vector<std::string> found;
    void Check(bool ok, const std::string& what) {
        if (!ok) found.push_back(what);
    }
};

bool SentOnly404(const FakeRequest& request) {
    return request.Sent().size() == 1 && request.Sent()[0].status == "404 Not Found";
}

void SendRequests(FilterFixture& site, int thread, Mistakes& mistakes, std::atomic<int>& images) {
    for (int round = 0; round < kRoundsPerThread; ++round) {
        const std::string client =
            "10.0." + std::to_string(thread) + "." + std::to_string(round % 40);
        const std::string cookieHeader = AdmissionCookieHeader(client);

        auto page = FilterFixture::Request("/index.html", client);
        const DWORD pageStatus = site.Send(*page);
        mistakes.Check(pageStatus == SF_STATUS_REQ_NEXT_NOTIFICATION && page->Sent().empty(),
                       "a page was not allowed");
        mistakes.Check(page->AddedHeaders().empty() || page->AddedHeaders() == cookieHeader,
                       "a page got a cookie header other than its own: " + page->AddedHeaders());

        auto image = FilterFixture::Request("/img/logo.gif", client);
        if (round % 2 == 0) image->Cookie("PIXWALLID=" + base64::Encode(client));
        const DWORD imageStatus = site.Send(*image);
        mistakes.Check((imageStatus == SF_STATUS_REQ_NEXT_NOTIFICATION && image->Sent().empty()) ||
                           (imageStatus == SF_STATUS_REQ_FINISHED && SentOnly404(*image)),
                       "an image got an answer that does not match its status");

        auto blackPage = FilterFixture::Request("/index.html", "10.6.6.6");
        site.Send(*blackPage);
        mistakes.Check(blackPage->AddedHeaders().empty(), "a black-listed client got the cookie");

        auto blackImage = FilterFixture::Request("/img/logo.gif", "10.6.6.6");
        blackImage->Cookie("PIXWALLID=" + base64::Encode("10.6.6.6"));
        mistakes.Check(site.Send(*blackImage) == SF_STATUS_REQ_FINISHED && SentOnly404(*blackImage),
                       "a black-listed client got an image");
        images += 2;
    }
}

void RunAgainstRewrites(FilterFixture& site, std::atomic<int>& images) {
    const std::string settingsFile = site.Folder().Read("pixwall.ini");
    // Make sure at least one change is waiting when the requests start.
    OverwriteInPlace(site.Folder().PathOf("url_blacklist.txt"), UrlBlackList(1));
    ASSERT_TRUE(ChangeReported(*site.Filter().Watcher()));

    std::atomic<int> running{kRequestThreads};
    std::vector<Mistakes> mistakes(kRequestThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kRequestThreads; ++t) {
        threads.emplace_back([&, t] {
            SendRequests(site, t, mistakes[t], images);
            --running;
        });
    }
    std::thread writer([&] {
        for (int i = 1; running > 0; ++i) {
            OverwriteInPlace(site.Folder().PathOf("pixwall.ini"),
                             SettingsVariant(i) + settingsFile.substr(SettingsVariant(0).size()));
            OverwriteInPlace(site.Folder().PathOf("client_blacklist.txt"), ClientBlackList(i));
            OverwriteInPlace(site.Folder().PathOf("url_blacklist.txt"), UrlBlackList(i));
            std::this_thread::yield();
        }
    });
    for (std::thread& thread : threads) thread.join();
    writer.join();
    for (const Mistakes& m : mistakes) {
        for (const std::string& what : m.found) ADD_FAILURE() << what;
    }
}

std::vector<std::string> BrokenLines(const std::vector<std::string>& lines) {
    std::vector<std::string> broken;
    for (const std::string& line : lines) {
        if (!std::regex_match(line, kWholeLine)) broken.push_back(line);
    }
    return broken;
}

std::map<std::string, std::string> SiteFiles(int maxLogSize) {
    return {{"pixwall.ini", Settings(0, maxLogSize)},
            {"blocked_types.txt", "gif\n"},
            {"client_blacklist.txt", ClientBlackList(0)},
            {"url_blacklist.txt", UrlBlackList(1)}};
}

TEST(FilterConcurrency, EveryRequestIsDecidedAloneWhileTheFilesAreRewritten) {
    std::atomic<int> images{0};
    FilterFixture site(SiteFiles(10000000));
    RunAgainstRewrites(site, images);
    site.Stop();

    const std::vector<std::string> lines = site.Folder().Lines("LogFiles/pixwall.log");
    EXPECT_EQ(BrokenLines(lines), std::vector<std::string>{});
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(LogMessage(lines.front()), "Pixwall for IIS started");
    EXPECT_EQ(LogMessage(lines.back()), "Pixwall for IIS stopped");
    // Each image request wrote exactly one decision line; pages wrote none.
    int decisions = 0;
    int rebuilds = 0;
    for (const std::string& line : lines) {
        const std::string message = LogMessage(line);
        decisions += message.rfind("Allowing ", 0) == 0 || message.rfind("Blocking ", 0) == 0;
        rebuilds += message == "Rebuilding configuration due to changes";
    }
    EXPECT_EQ(decisions, images.load());
    EXPECT_GE(rebuilds, 1);
    RecordProperty("rebuilds", rebuilds);
}

TEST(FilterConcurrency, RotationKeepsEveryLineWhole) {
    std::atomic<int> images{0};
    FilterFixture site(SiteFiles(2000));
    RunAgainstRewrites(site, images);
    site.Stop();
    EXPECT_TRUE(site.Folder().Exists("LogFiles/pixwall.1.log"));
    EXPECT_EQ(BrokenLines(site.Folder().Lines("LogFiles/pixwall.log")), std::vector<std::string>{});
    EXPECT_EQ(BrokenLines(site.Folder().Lines("LogFiles/pixwall.1.log")),
              std::vector<std::string>{});
}

}  // namespace
