// Runs natively against our INI reader and under Wine against the real profile functions, so
// both answer the same.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include "profile_reader.h"
#include "temp_folder.h"

namespace {

const char* const kIni =
    "; a comment\r\n"
    "[Settings]\r\n"
    "priority = High \r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "halfquoted=\"open\r\n"
    "empty=\r\n"
    "number=  42abc\r\n"
    "negative=-5\r\n"
    "word=abc\r\n"
    "long=0123456789\r\n"
    "  Spaced Key  =value\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "\r\n"
    "[ other ]\r\n"
    "priority=low\r\n"
    "[logging]\n"
    "logging=on\n";

struct StringCase {
    const char* section;
    const char* key;
    const char* defaultValue;
    std::size_t buffer;
    const char* expected;
};

void PrintTo(const StringCase& c, std::ostream* out) { *out << c.section << "/" << c.key; }

class ProfileStringTest : public testing::TestWithParam<StringCase> {};

TEST_P(ProfileStringTest, ReadsAsTheProfileFunctions) {
    TempFolder folder;
    folder.Write("test.ini", kIni);
    const StringCase& c = GetParam();
    EXPECT_EQ(platform::ReadProfileString(folder.PathOf("test.ini"), c.section, c.key,
                                          c.defaultValue, c.buffer),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ProfileStringTest,
    testing::Values(StringCase{"settings", "PRIORITY", "medium", 8, "High"},
                    StringCase{"SETTINGS", "quoted", "", 260, "  spaced  "},
                    StringCase{"settings", "single", "", 260, "x"},
                    StringCase{"settings", "halfquoted", "", 260, "\"open"},
                    StringCase{"settings", "empty", "default", 260, ""},
                    StringCase{"settings", "missing", "default", 260, "default"},
                    StringCase{"settings", "missing", nullptr, 260, ""},
                    StringCase{"nosection", "priority", "medium", 260, "medium"},
                    StringCase{"settings", "long", "", 5, "0123"},
                    StringCase{"settings", "long", "", 11, "0123456789"},
                    StringCase{"settings", "spaced key", "", 260, "value"},
                    StringCase{"settings", "dup", "", 260, "first"},
                    StringCase{"other", "priority", "", 260, "low"},
                    StringCase{"Logging", "Logging", "", 260, "on"}));

TEST(Profile, ValueEndsAtItsFirstNul) {
    TempFolder folder;
    folder.Write("test.ini", std::string("[alternates]\njpg=http://x/a\0b.jpg\n", 34));
    EXPECT_EQ(platform::ReadProfileString(folder.PathOf("test.ini"), "alternates", "jpg", "", 260),
              "http://x/a");
}

TEST(Profile, MissingFileGivesDefaults) {
    TempFolder folder;
    const std::string path = folder.PathOf("absent.ini");
    EXPECT_EQ(platform::ReadProfileString(path, "settings", "priority", "medium", 8), "medium");
    EXPECT_EQ(platform::ReadProfileInt(path, "logging", "maxlogsize", 50000), 50000u);
}

struct IntCase {
    const char* key;
    int defaultValue;
    unsigned expected;
};

void PrintTo(const IntCase& c, std::ostream* out) { *out << c.key; }

class ProfileIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntTest, ReadsTheLeadingNumber) {
    TempFolder folder;
    folder.Write("test.ini", kIni);
    EXPECT_EQ(platform::ReadProfileInt(folder.PathOf("test.ini"), "settings", GetParam().key,
                                       GetParam().defaultValue),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, ProfileIntTest,
                         testing::Values(IntCase{"number", 7, 42}, IntCase{"missing", 7, 7},
                                         IntCase{"empty", 7, 7}, IntCase{"word", 7, 0},
                                         IntCase{"negative", 7, static_cast<unsigned>(-5)}));

TEST(ProfileReader, EmptyValueReadsAsTheDefault) {
    TempFolder folder;
    folder.Write("test.ini", kIni);
    const ProfileReader reader(folder.PathOf("test.ini"));
    EXPECT_EQ(reader.Read("settings", "empty", "fallback"), "fallback");
    EXPECT_EQ(reader.Read("settings", "empty"), "");
    EXPECT_EQ(reader.Read("settings", "word", "fallback"), "abc");
    EXPECT_EQ(reader.Read("settings", "absent"), "");
}

TEST(ProfileReader, CutsValuesAt259Characters) {
    TempFolder folder;
    folder.Write("long.ini", "[s]\nk=" + std::string(300, 'v') + "\n");
    const ProfileReader reader(folder.PathOf("long.ini"));
    EXPECT_EQ(reader.Read("s", "k"), std::string(259, 'v'));
}

TEST(ProfileReader, SeesEditsOfTheFile) {
    TempFolder folder;
    folder.Write("edit.ini", "[s]\nk=one\n");
    const ProfileReader reader(folder.PathOf("edit.ini"));
    EXPECT_EQ(reader.Read("s", "k"), "one");
    folder.Write("edit.ini", "[s]\nk=two and more\n");
    platform::FlushProfileCache(folder.PathOf("edit.ini"));
    EXPECT_EQ(reader.Read("s", "k"), "two and more");
}

}  // namespace
