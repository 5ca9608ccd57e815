#include "activity_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <regex>
#include <thread>

#include "platform/paths.h"
#include "temp_folder.h"

namespace {

class ActivityLogTest : public testing::Test {
  protected:
    void On(std::int32_t maxSize) { log.Configure(folder.PathOf("pixwall.log"), maxSize); }

    TempFolder folder;
    ActivityLog log;
};

TEST_F(ActivityLogTest, LineIsTimeStampSeparatorMessageAndCrLf) {
    On(50000);
    log.Write("Pixwall for IIS started");
    const std::string content = folder.Read("pixwall.log");
    EXPECT_TRUE(std::regex_match(
        content, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d : Pixwall for IIS started\r\n)")))
        << content;
}

TEST_F(ActivityLogTest, OffWritesNothing) {
    log.Write("x");
    log.Write({{"%s", "y"}});
    On(50000);
    log.Configure("", 50000);
    log.Write("z");
    EXPECT_FALSE(folder.Exists("pixwall.log"));
}

TEST_F(ActivityLogTest, FormatsTakeTheValuesAsTheyAre) {
    On(50000);
    const struct {
        const char* name;
        ActivityLog::Line line;
        const char* logged;
    } cases[] = {
        {"ValueWithConversions", {"Blocking %s : Url is black listed", "/a%20b%s%n.gif"},
         "Blocking /a%20b%s%n.gif : Url is black listed"},
        {"TwoValues", {"Blocking %s : Referrer %s is black listed", "/a.gif", "http://x/"},
         "Blocking /a.gif : Referrer http://x/ is black listed"},
        {"NumberAndText", {"Error: %d %s.", "2", "No such file"}, "Error: 2 No such file."},
        {"PercentSign", {"100%% %s", "done"}, "100% done"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Write({c.line});
        EXPECT_EQ(LogMessages(folder.Lines("pixwall.log")).back(), c.logged);
    }
}

// The file stays open between lines; whatever happens to it meanwhile, the next line goes where
// the path now points.
TEST_F(ActivityLogTest, FileChangedBetweenTwoLines) {
    const std::string path = folder.PathOf("pixwall.log");
    const struct {
        const char* name;
        std::function<void()> change;
        std::vector<std::string> log;  // pixwall.log's messages afterwards
        const char* elsewhere;         // the file holding the first line, if not pixwall.log
    } cases[] = {
        {"Read", [&] { folder.Read("pixwall.log"); }, {"first", "second"}, nullptr},
        {"Moved", [&] { std::rename(path.c_str(), folder.PathOf("moved.log").c_str()); },
         {"second"}, "moved.log"},
        {"Deleted", [&] { folder.Remove("pixwall.log"); }, {"second"}, nullptr},
        {"RotatedByAnotherProcess",
         [&] {
             ActivityLog other;
             other.Configure(path, 0);
             other.Write("other");
         },
         {"second"}, "pixwall.1.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Remove("pixwall.log");
        On(50000);
        log.Write("first");
        c.change();
        log.Write("second");
        EXPECT_EQ(LogMessages(folder.Lines("pixwall.log")), c.log);
        if (c.elsewhere) {
            EXPECT_EQ(LogMessages(folder.Lines(c.elsewhere)).front(), "first");
        }
    }
}

// Two logs on one file stand for two processes: each has its own open file.
TEST_F(ActivityLogTest, TwoWritersKeepTheirLinesWholeAndInOrder) {
#if defined(_WIN32)
    GTEST_SKIP() << "Wine makes an append-only write two steps (the end, then the write)";
#endif
    constexpr int kLines = 2000;
    const std::string filler(300, 'x');
    auto writer = [&](char name) {
        ActivityLog own;
        own.Configure(folder.PathOf("pixwall.log"), 1 << 30);
        for (int i = 0; i < kLines; ++i) {
            own.Write(std::string(1, name) + std::to_string(i) + filler);
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    int next[2] = {0, 0};
    for (const std::string& message : LogMessages(folder.Lines("pixwall.log"))) {
        const int who = message[0] - 'a';
        ASSERT_TRUE(who == 0 || who == 1) << message;
        EXPECT_EQ(message, std::string(1, message[0]) + std::to_string(next[who]++) + filler);
    }
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

TEST_F(ActivityLogTest, ControlBytesInAMessageAreEscaped) {
    On(50000);
    const struct {
        const char* name;
        std::string value;  // as a client sent it
        const char* logged;
    } cases[] = {
        {"ForgedLine", "/a\r\n01/01/26 00:00:00 : forged", "/a%0D%0A01/01/26 00:00:00 : forged"},
        {"TerminalTitleAndBell", "\x1b]0;owned\x07\x1b[2J", "%1B]0;owned%07%1B[2J"},
        {"NulAndDelete", std::string("a\0b\x7f", 4), "a%00b%7F"},
        {"TabAndHighBytesStay", "a\tb\xc3\xa9\x80", "a\tb\xc3\xa9\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Write("Agent " + c.value);
        EXPECT_EQ(LogMessages(folder.Lines("pixwall.log")).back(),
                  std::string("Agent ") + c.logged);
    }
}

TEST_F(ActivityLogTest, ZeroLimitRotatesEveryLine) {
    On(0);
    log.Write("first");
    log.Write("second");
    EXPECT_FALSE(folder.Exists("pixwall.log"));
    EXPECT_EQ(LogMessages(folder.Lines("pixwall.1.log")), std::vector<std::string>{"second"});
}

TEST_F(ActivityLogTest, LineThatCrossesTheLimitGoesToTheBackup) {
    folder.Write("pixwall.1.log", "old backup\r\n");
    On(100);
    const std::string message(60, 'm');
    log.Write(message);  // ~80 bytes: below the limit
    ASSERT_TRUE(folder.Exists("pixwall.log"));
    log.Write(message);  // crosses it: written, then moved
    EXPECT_FALSE(folder.Exists("pixwall.log"));
    EXPECT_EQ(LogMessages(folder.Lines("pixwall.1.log")),
              (std::vector<std::string>{message, message}));
    log.Write("next");
    EXPECT_EQ(LogMessages(folder.Lines("pixwall.log")), std::vector<std::string>{"next"});
}

TEST_F(ActivityLogTest, ExactlyAtTheLimitStays) {
    On(50000);
    log.Write("x");
    const auto size = static_cast<std::int32_t>(folder.Read("pixwall.log").size());
    On(size + static_cast<std::int32_t>(folder.Read("pixwall.log").size()));
    log.Write("x");
    EXPECT_TRUE(folder.Exists("pixwall.log"));
    log.Write("x");
    EXPECT_FALSE(folder.Exists("pixwall.log"));
}

TEST_F(ActivityLogTest, UnwritablePathDropsTheLine) {
    log.Configure(folder.PathOf("missing") + platform::kPathSeparator + "pixwall.log", 0);
    log.Write("lost");
    EXPECT_FALSE(folder.Exists("missing"));
}

struct BackupCase {
    const char* path;
    const char* backup;
};

void PrintTo(const BackupCase& c, std::ostream* out) { *out << '"' << c.path << '"'; }

class BackupPathTest : public testing::TestWithParam<BackupCase> {};

TEST_P(BackupPathTest, NamesTheSingleBackup) {
    EXPECT_EQ(ActivityLog::BackupPath(GetParam().path), GetParam().backup);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BackupPathTest,
    testing::Values(BackupCase{"C:\\logs\\pixwall.log", "C:\\logs\\pixwall.1.log"},
                    BackupCase{"/var/log/pixwall.log", "/var/log/pixwall.1.log"},
                    // A folder with ".log" in its name keeps it: the file is what rotates.
                    BackupCase{"C:\\my.logs\\pixwall.log", "C:\\my.logs\\pixwall.1.log"}));

}  // namespace
