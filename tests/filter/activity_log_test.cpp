#include "activity_log.h"

#include <gtest/gtest.h>

#include <regex>

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
    log.Writef("%s", "y");
    On(50000);
    log.Configure("", 50000);
    log.Write("z");
    EXPECT_FALSE(folder.Exists("pixwall.log"));
}

TEST_F(ActivityLogTest, FormattedArgumentsStayUnchanged) {
    On(50000);
    log.Writef("Blocking %s : Url is black listed", "/a%20b%s%n.gif");
    EXPECT_EQ(LogMessages(folder.Lines("pixwall.log")),
              std::vector<std::string>{"Blocking /a%20b%s%n.gif : Url is black listed"});
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
