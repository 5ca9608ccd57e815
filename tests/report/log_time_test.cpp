#include "log_time.h"

#include <gtest/gtest.h>

namespace {

std::int64_t SecondsOf(const char* text) {
    const auto time = LogTime::Parse(text);
    EXPECT_TRUE(time) << text;
    return time ? time->Seconds() : 0;
}

struct StepCase {
    const char* name;
    const char* before;
    const char* after;
    std::int64_t seconds;  // after - before
};

class LogTimeStepTest : public testing::TestWithParam<StepCase> {};

TEST_P(LogTimeStepTest, ConsecutiveStampsAreSecondsApart) {
    const StepCase& c = GetParam();
    EXPECT_EQ(SecondsOf(c.after) - SecondsOf(c.before), c.seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, LogTimeStepTest,
    testing::Values(StepCase{"SameMinute", "12/08/26 10:00:01", "12/08/26 10:00:59", 58},
                    StepCase{"Midnight", "12/08/26 23:59:58", "12/09/26 00:00:01", 3},
                    StepCase{"YearChange", "12/31/05 23:59:58", "01/01/06 00:00:01", 3},
                    StepCase{"CenturyOfTwoDigitYears", "12/31/99 23:59:59", "01/01/00 00:00:00", 1},
                    StepCase{"LeapDay", "02/28/24 12:00:00", "03/01/24 12:00:00", 2 * 86400},
                    StepCase{"NoLeapDay", "02/28/23 12:00:00", "03/01/23 12:00:00", 86400},
                    StepCase{"EndOfMonth", "04/30/26 23:00:00", "05/01/26 01:00:00", 7200}),
    [](const auto& info) { return info.param.name; });

TEST(LogTimeTest, ReadsAsTheCalendarSays) {
    EXPECT_EQ(SecondsOf("01/01/70 00:00:00"), 0);
    EXPECT_EQ(LogTime::Parse("12/31/05 23:59:58")->Text(), "2005-12-31 23:59:58");
    EXPECT_EQ(LogTime::Parse("01/01/69 00:00:00")->DateText(), "1969-01-01");
    EXPECT_EQ(LogTime::Parse("12/31/68 00:00:00")->DateText(), "2068-12-31");
    EXPECT_EQ(LogTime::Parse("06/15/26 07:45:00")->HourText(), "2026-06-15 07:00");
    EXPECT_EQ(LogTime::Parse("12/31/69 23:30:00")->HourText(), "1969-12-31 23:00");
    EXPECT_EQ(LogTime::Parse("12/31/69 23:30:00")->Hour(), -1);
    EXPECT_EQ(LogTime::Parse("12/31/69 23:30:00")->Day(), -1);
}

TEST(LogTimeTest, RefusesWhatIsNoStamp) {
    for (const char* text :
         {"", "12/31/05 23:59", "12/31/05 23:59:589", "12-31-05 23:59:58", "12/31/05T23:59:58",
          "13/01/05 00:00:00", "00/01/05 00:00:00", "02/30/24 00:00:00", "02/29/23 00:00:00",
          "04/31/26 00:00:00", "12/00/05 00:00:00", "12/31/05 24:00:00", "12/31/05 23:60:00",
          "12/31/05 23:59:61", "1a/31/05 23:59:58", "12/31/05 2 :59:58", "12/31/-5 23:59:58"}) {
        EXPECT_FALSE(LogTime::Parse(text)) << text;
    }
    EXPECT_TRUE(LogTime::Parse("12/31/05 23:59:60"));  // a leap second
}

}  // namespace
