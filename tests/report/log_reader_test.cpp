#include "log_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_folder.h"

namespace {

const std::string kCurrent =
    "12/31/05 23:59:58 : Blocking /a.gif : Referrer evil.example is black listed\r\n"
    "12/31/05 23:59:58 : Sending alternate resource for /a.gif\r\n"
    "01/01/06 00:00:03 : Allowing /a.gif : Referrer localhost is white listed\r\n";
const std::string kBackup =
    "12/31/05 22:00:00 : Pixwall for IIS started\r\n"
    "12/31/05 22:30:00 : Blocking /b.gif : Dynamic access denied for 10.0.0.1\r\n";

struct Read {
    std::vector<LogFileStats> files;
    ActivitySummary summary;
};

void ReadAll(const TempFolder& folder, const std::vector<std::string>& names, Read& read) {
    const LogLineParser parser;
    LogReader reader(parser, read.summary);
    for (const auto& name : names) read.files.push_back(reader.Read(folder.PathOf(name)));
}

TEST(LogReaderTest, SeveralLogsInAnyOrderGiveTheSameSummary) {
    TempFolder folder;
    folder.Write("pixwall.log", kCurrent);
    folder.Write("pixwall.1.log", kBackup);
    Read forward;
    Read backward;
    ReadAll(folder, {"pixwall.1.log", "pixwall.log"}, forward);
    ReadAll(folder, {"pixwall.log", "pixwall.1.log"}, backward);
    for (const Read* read : {&forward, &backward}) {
        EXPECT_EQ(read->summary.Blocked(), 2u);
        EXPECT_EQ(read->summary.Allowed(), 1u);
        EXPECT_EQ(read->summary.Hourly(), forward.summary.Hourly());
        EXPECT_EQ(read->summary.First()->Text(), "2005-12-31 22:00:00");
        EXPECT_EQ(read->summary.Last()->Text(), "2006-01-01 00:00:03");
    }
    const LogFileStats& current = backward.files[0];
    EXPECT_TRUE(current.ReadWhole());
    EXPECT_EQ(current.lines, 3u);
    EXPECT_EQ(current.bytes, kCurrent.size());
    EXPECT_EQ(current.first->Text(), "2005-12-31 23:59:58");
    EXPECT_EQ(current.last->Text(), "2006-01-01 00:00:03");
}

TEST(LogReaderTest, DamagedCutAndOverlongLinesAreCountedAndSkipped) {
    TempFolder folder;
    const std::string overlong(LogReader::kMaxLineLength + 5000, 'x');
    folder.Write("pixwall.log", "garbage\r\n" + kBackup + overlong + "\r\n" +
                                    "12/31/05 23:00:00 : Pixwall for IIS stopped\n" +
                                    "12/31/05 23:00:01 : Blocking /c.gif : Url is bl");
    Read read;
    ReadAll(folder, {"pixwall.log"}, read);
    EXPECT_EQ(read.files[0].lines, 6u);
    EXPECT_EQ(read.files[0].notUnderstood, 3u);
    EXPECT_EQ(read.summary.NotUnderstood(), 3u);
    EXPECT_EQ(read.summary.Starts(), 1u);
    EXPECT_EQ(read.summary.Stops(), 1u);
    EXPECT_EQ(read.summary.Blocked(), 1u);
}

TEST(LogReaderTest, LinesAcrossTheReadBlocksStayWhole) {
    TempFolder folder;
    std::string content;
    const std::string line = "12/31/05 23:00:00 : Blocking /a.gif : Url is black listed\r\n";
    while (content.size() < 3 * (1u << 20)) content += line;
    folder.Write("pixwall.log", content);
    Read read;
    ReadAll(folder, {"pixwall.log"}, read);
    EXPECT_EQ(read.summary.Blocked(), content.size() / line.size());
    EXPECT_EQ(read.summary.NotUnderstood(), 0u);
}

TEST(LogReaderTest, MissingFileOrFolderIsReportedNotRead) {
    TempFolder folder;
    std::filesystem::create_directory(folder.PathOf("folder.log"));
    Read read;
    ReadAll(folder, {"pixwall.log", "folder.log"}, read);
    EXPECT_FALSE(read.files[0].ReadWhole());
    EXPECT_FALSE(read.files[1].ReadWhole());  // not an empty log
    EXPECT_EQ(read.summary.Judged() + read.summary.NotUnderstood(), 0u);
}

}  // namespace
