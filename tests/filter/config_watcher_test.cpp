#include "config_watcher.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "activity_log.h"
#include "filter_fixture.h"
#include "temp_folder.h"

namespace {

using Lines = std::vector<std::string>;

// Change reports the test raises itself, or a thread that cannot be started.
class ScriptedChanges : public platform::FolderChanges {
  public:
    explicit ScriptedChanges(int startError) : startError_(startError) {}
    int Start(const std::string&, std::vector<std::string>,
              std::function<void()> onChange) override {
        if (startError_ == 0) onChange_ = std::move(onChange);
        return startError_;
    }
    void Stop() override { onChange_ = nullptr; }
    void Report() const { onChange_(); }

  private:
    int startError_;
    std::function<void()> onChange_;
};

TEST(ConfigWatcher, ABurstOfReportsIsOneChange) {
    auto changes = std::make_unique<ScriptedChanges>(0);
    ScriptedChanges& reports = *changes;
    ConfigWatcher watcher(nullptr, std::move(changes));
    ASSERT_TRUE(watcher.Start("folder"));
    EXPECT_FALSE(watcher.TakeChange());
    for (int burst : {1, 2, 5}) {
        for (int i = 0; i < burst; ++i) reports.Report();
        EXPECT_TRUE(watcher.TakeChange()) << burst;
        EXPECT_FALSE(watcher.TakeChange()) << burst;
    }
}

TEST(ConfigWatcher, StoppingDropsAPendingChange) {
    auto changes = std::make_unique<ScriptedChanges>(0);
    ScriptedChanges& reports = *changes;
    ConfigWatcher watcher(nullptr, std::move(changes));
    ASSERT_TRUE(watcher.Start("folder"));
    reports.Report();
    watcher.Stop();
    EXPECT_FALSE(watcher.TakeChange());
}

TEST(ConfigWatcher, AThreadThatCannotStartIsLogged) {
    TempFolder logs;
    ActivityLog log;
    log.Configure(logs.PathOf("pixwall.log"), 100000);
    ConfigWatcher watcher(&log, std::make_unique<ScriptedChanges>(EAGAIN));
    EXPECT_FALSE(watcher.Start(logs.Path()));
    EXPECT_EQ(LogMessages(logs.Lines("pixwall.log")),
              Lines{"Error: " + std::to_string(EAGAIN) + " " + std::strerror(EAGAIN) + "."});
    EXPECT_FALSE(watcher.TakeChange());
}

// What is done to a file of the watched folder, and whether it must count as a change.
struct FolderEdit {
    const char* what;
    void (*edit)(const TempFolder&);
    bool reported;
};

void AppendWithoutWriting(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file) std::fclose(file);
}

void SetLastWriteTimeBack(const TempFolder& f) {
    const auto path = std::filesystem::path(f.PathOf("pixwall.ini"));
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) - std::chrono::hours(1));
}

const FolderEdit kEdits[] = {
    {"rewriting a file", [](const TempFolder& f) { f.Write("pixwall.ini", "[settings]\n"); }, true},
    {"appending to a file",
     [](const TempFolder& f) {
         std::ofstream(f.PathOf("url_blacklist.txt"), std::ios::app) << "x\n";
     },
     true},
    {"writing another file", [](const TempFolder& f) { f.Write("new.txt", "new"); }, false},
    {"creating a list", [](const TempFolder& f) { f.Write("ua_blacklist.txt", "bot\n"); }, true},
    {"renaming a list into place (mv, sed -i)",
     [](const TempFolder& f) {
         f.Write("url_blacklist.txt.tmp", "b\n");
         std::filesystem::rename(f.PathOf("url_blacklist.txt.tmp"), f.PathOf("url_blacklist.txt"));
     },
     true},
    {"renaming under another case",
     [](const TempFolder& f) {
         std::filesystem::rename(f.PathOf("old.txt"), f.PathOf("URL_WhiteList.txt"));
     },
     true},
    {"writing a log in the folder", [](const TempFolder& f) { f.Write("pixwall.log", "x"); },
     false},
    {"emptying a file",
     [](const TempFolder& f) { std::ofstream(f.PathOf("pixwall.ini"), std::ios::trunc); }, true},
    {"setting the last-write time", &SetLastWriteTimeBack, true},
    {"deleting a list", [](const TempFolder& f) { f.Remove("client_blacklist.txt"); }, true},
    {"renaming a list away",
     [](const TempFolder& f) {
         std::filesystem::rename(f.PathOf("client_blacklist.txt"), f.PathOf("old2.txt"));
     },
     true},
    {"deleting another file", [](const TempFolder& f) { f.Remove("old.txt"); }, false},
    {"opening for writing without writing",
     [](const TempFolder& f) { AppendWithoutWriting(f.PathOf("pixwall.ini")); }, false},
    {"writing in a subfolder", [](const TempFolder& f) { f.Write("LogFiles/pixwall.log", "x"); },
     false},
};

TEST(ConfigWatcher, ReportsChangesToTheConfigurationFilesInTheFolderAlone) {
    for (const FolderEdit& c : kEdits) {
        TempFolder folder;
        folder.Write("pixwall.ini", "[settings]\npriority=low\n");
        folder.Write("url_blacklist.txt", "a\n");
        folder.Write("client_blacklist.txt", "10.6.6.6\n");
        folder.Write("old.txt", "");
        folder.Write("LogFiles/keep", "");
        ConfigWatcher watcher(nullptr);
        ASSERT_TRUE(watcher.Start(folder.Path()));
        EXPECT_TRUE(watcher.Changes().Watching());
        if (!c.reported && !CanSeeNoReport(watcher)) continue;  // nothing to wait for
#ifdef _WIN32
        // The system's own filter decides this one, and Wine does not report it.
        if (c.edit == &SetLastWriteTimeBack) continue;
#endif
        c.edit(folder);
        EXPECT_EQ(ChangeReported(watcher), c.reported) << c.what;
        EXPECT_EQ(watcher.TakeChange(), c.reported) << c.what;
    }
}

TEST(ConfigWatcher, StoppingWithAChangePendingEndsTheThread) {
    TempFolder folder;
    ConfigWatcher watcher(nullptr);
    ASSERT_TRUE(watcher.Start(folder.Path()));
    folder.Write("pixwall.ini", "[settings]\n");
    ASSERT_TRUE(ChangeReported(watcher));
    folder.Write("pixwall.ini", "[settings]\npriority=high\n");  // a report on its way
    watcher.Stop();
    EXPECT_FALSE(watcher.Changes().Watching());
    EXPECT_FALSE(watcher.TakeChange());
    // And a new watch starts clean.
    ASSERT_TRUE(watcher.Start(folder.Path()));
    folder.Write("pixwall.ini", "[settings]\n");
    EXPECT_TRUE(ChangeReported(watcher));
}

TEST(ConfigWatcher, AFolderThatCannotBeOpenedStillStartsAndStops) {
    TempFolder parent;
    ConfigWatcher watcher(nullptr);
    EXPECT_TRUE(watcher.Start(parent.PathOf("missing")));
    EXPECT_FALSE(watcher.Changes().Watching());
    watcher.Stop();
    EXPECT_TRUE(watcher.Start(parent.PathOf("missing")));
}

// The watcher inside the filter: the request that takes a change rebuilds first.
class FilterReload : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(fixture.Filter().Watcher(), nullptr);
        fixture.NewLogMessages();
    }
    ConfigWatcher& Watcher() { return *fixture.Filter().Watcher(); }
    void Write(const std::string& name, const std::string& content) {
        fixture.Folder().Write(name, content);
    }
    void Send(const std::string& client) {
        fixture.Send(*FilterFixture::Request("/img/logo.gif", client));
    }
    Lines Request(const std::string& client) {
        Send(client);
        return fixture.NewLogMessages();
    }

    FilterFixture fixture{{{"blocked_types.txt", "gif\n"}, {"client_blacklist.txt", "10.6.6.6\n"}}};
};

const std::string kRebuilding = "Rebuilding configuration due to changes";

TEST_F(FilterReload, TwoSavesBeforeARequestCostOneRebuild) {
    EXPECT_EQ(Request("10.0.0.1"), Lines{"Allowing /img/logo.gif : No block rules for 10.0.0.1"});
    Write("url_blacklist.txt", "imgserver/img/\n");
    Write("url_blacklist.txt", "imgserver/img/logo\n");
    ASSERT_TRUE(ChangeReported(Watcher()));
    EXPECT_EQ(Request("10.0.0.1"),
              (Lines{kRebuilding, "Blocking /img/logo.gif : Url is black listed"}));
    if (!CanSeeNoReport(Watcher())) return;  // a late report could not be told from none
    EXPECT_EQ(Request("10.0.0.1"), Lines{"Blocking /img/logo.gif : Url is black listed"});
}

TEST_F(FilterReload, ADeletedListIsDroppedByTheNextRequest) {
    fixture.Folder().Remove("client_blacklist.txt");
    ASSERT_TRUE(ChangeReported(Watcher()));
    EXPECT_EQ(Request("10.6.6.6"),
              (Lines{kRebuilding, "Allowing /img/logo.gif : No block rules for 10.6.6.6"}));
}

TEST(FilterReloadFolder, ALogInTheModuleFolderCausesNoRebuild) {
    // The log lies in the watched folder from the start, so no earlier edit's report (a platform
    // may report one write twice) can be taken for one of the log's.
    TempFolder folder;
    folder.Write("corvane.ini", "[settings]\n");
    folder.Write("blocked_types.txt", "gif\n");
    folder.Write("pixwall.ini", "[logging]\nlogging=on\nlogfolder=" + folder.Path() + "\n");
    auto filter = std::make_unique<HotlinkFilter>();
    HTTP_FILTER_VERSION version{};
    ASSERT_EQ(filter->GetFilterVersion(&version, folder.Path()), TRUE);
    ASSERT_NE(filter->Watcher(), nullptr);
    Lines expected = {"Pixwall for IIS started"};
    for (int i = 1; i <= 4; ++i) {
        const std::string client = "10.0.0." + std::to_string(i);
        auto request = FilterFixture::Request("/img/logo.gif", client);
        filter->HandleRequestHeaders(request->Context(), request->Headers());
        expected.push_back("Allowing /img/logo.gif : No block rules for " + client);
    }
    if (CanSeeNoReport(*filter->Watcher())) {
        EXPECT_FALSE(ChangeReported(*filter->Watcher()));
    }
    filter.reset();
    expected.push_back("Pixwall for IIS stopped");
    EXPECT_EQ(LogMessages(folder.Lines("pixwall.log")), expected);
}

TEST(FilterReloadFolder, AModuleFolderThatCannotBeOpenedKeepsTheStartConfiguration) {
    TempFolder parent;
    HotlinkFilter filter;
    HTTP_FILTER_VERSION version{};
    EXPECT_EQ(filter.GetFilterVersion(&version, parent.PathOf("missing")), TRUE);
    ASSERT_NE(filter.Watcher(), nullptr);
    EXPECT_FALSE(filter.Watcher()->Changes().Watching());
    auto request = FilterFixture::Request("/img/logo.gif", "10.0.0.1");
    EXPECT_EQ(filter.HandleRequestHeaders(request->Context(), request->Headers()),
              static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
}

}  // namespace
