#include "activity_summary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "summary_feed.h"

namespace {

using Counts = ActivitySummary::Counts;

std::int64_t HourOf(const char* stamp) { return LogTime::Parse(stamp)->Hour(); }

TEST(ActivitySummaryTest, TotalsAndRules) {
    ActivitySummary summary;
    Feed(summary, {
                      "12/31/05 22:10:00 : Pixwall for IIS started",
                      "12/31/05 22:11:00 : Blocking /a.gif : Referrer evil.example is black listed",
                      "12/31/05 22:11:00 : Sending alternate resource for /a.gif",
                      "12/31/05 22:12:00 : Blocking /b.gif : Dynamic access denied for 10.0.0.1",
                      "12/31/05 22:13:00 : Blocking /a.gif : Referrer evil.example is black listed",
                      "12/31/05 22:14:00 : Blocking /a.gif : Referrer is null for 10.0.0.2",
                      "12/31/05 22:15:00 : Blocking /c.gif : User Agent Bot is black listed",
                      "12/31/05 22:16:00 : Allowing /a.gif : Referrer localhost is white listed",
                      "12/31/05 22:17:00 : Allowing /a.gif : Dynamic access granted for 10.0.0.3",
                      "12/31/05 22:18:00 : Rebuilding configuration due to changes",
                      "12/31/05 22:19:00 : Pixwall for IIS stopped",
                  });
    EXPECT_EQ(summary.Judged(), 7u);
    EXPECT_EQ(summary.Allowed(), 2u);
    EXPECT_EQ(summary.Blocked(), 5u);
    EXPECT_EQ(summary.AlternatesSent(), 1u);
    EXPECT_EQ(summary.NotFoundSent(), 4u);
    EXPECT_EQ(summary.Rebuilds(), 1u);
    EXPECT_EQ(summary.Starts(), 1u);
    EXPECT_EQ(summary.Stops(), 1u);
    EXPECT_EQ(summary.BlockedBy(LogRule::kReferrer), 2u);
    EXPECT_EQ(summary.BlockedBy(LogRule::kDynamic), 1u);
    EXPECT_EQ(summary.BlockedBy(LogRule::kNullReferrer), 1u);
    EXPECT_EQ(summary.BlockedBy(LogRule::kUserAgent), 1u);
    EXPECT_EQ(summary.AllowedBy(LogRule::kReferrer), 1u);
    EXPECT_EQ(summary.AllowedBy(LogRule::kDynamic), 1u);
    EXPECT_EQ(summary.BlackListedReferrers().Top(5),
              (std::vector<TopCounter::Entry>{{"evil.example", 2}}));
    EXPECT_EQ(summary.BlockedFiles().Top(1), (std::vector<TopCounter::Entry>{{"/a.gif", 3}}));
    // Only the rules that name the client: not the user agent's block.
    EXPECT_EQ(summary.DeniedClients().Top(5),
              (std::vector<TopCounter::Entry>{{"10.0.0.1", 1}, {"10.0.0.2", 1}}));
    EXPECT_EQ(summary.First()->Text(), "2005-12-31 22:10:00");
    EXPECT_EQ(summary.Last()->Text(), "2005-12-31 22:19:00");
}

TEST(ActivitySummaryTest, WouldBlockIsAThirdSeriesServedNotBlocked) {
    ActivitySummary summary;
    Feed(summary,
         {
             "12/31/05 22:10:00 : Would block /a.gif : Referrer evil.example is black listed",
             "12/31/05 22:11:00 : Would block /b.gif : Sec-Fetch-Site is cross-site for 10.0.0.1",
             "12/31/05 22:12:00 : Blocking /c.gif : Sec-Fetch-Site is cross-site for 10.0.0.2",
             "12/31/05 22:13:00 : Allowing /a.gif : Top-level navigation for 10.0.0.3",
         });
    EXPECT_EQ(summary.Judged(), 4u);
    EXPECT_EQ(summary.NotFoundSent(), 1u);  // only the blocked one was answered as blocked
    EXPECT_EQ(summary.WouldBlockBy(LogRule::kFetchMetadata), 1u);
    EXPECT_EQ(summary.Hourly().begin()->second, (Counts{1, 1, 2}));
    EXPECT_EQ(summary.WouldBlockTops().clients.Top(5),
              (std::vector<TopCounter::Entry>{{"10.0.0.1", 1}}));
    EXPECT_EQ(summary.DeniedClients().Top(5), (std::vector<TopCounter::Entry>{{"10.0.0.2", 1}}));
}

TEST(ActivitySummaryTest, TimelineByHourAcrossMidnightAndYearChangeInAnyOrder) {
    ActivitySummary summary;
    Feed(summary, {
                      "01/01/06 00:00:01 : Blocking /a.gif : Url is black listed",
                      "12/31/05 23:59:58 : Allowing /a.gif : Url is white listed",
                      "12/31/05 23:00:00 : Allowing /a.gif : Url is white listed",
                      "01/01/06 00:59:59 : Allowing /a.gif : Url is white listed",
                      " : Blocking /a.gif : Url is black listed",
                  });
    const std::map<std::int64_t, Counts> expected{
        {HourOf("12/31/05 23:00:00"), {2, 0}},
        {HourOf("01/01/06 00:00:00"), {1, 1}},
    };
    EXPECT_EQ(summary.Hourly(), expected);
    EXPECT_EQ(summary.Untimed(), 1u);
    EXPECT_EQ(summary.Blocked(), 2u);  // counted, if not on the timeline
    EXPECT_EQ(summary.First()->Text(), "2005-12-31 23:00:00");
    EXPECT_EQ(summary.Last()->Text(), "2006-01-01 00:59:59");
}

TEST(ActivitySummaryTest, MoreAlternatesThanBlocksGiveNoNegative404s) {
    // A backup that was not read may hold the blocking lines of the first alternates.
    ActivitySummary summary;
    Feed(summary, {"12/31/05 23:00:00 : Sending alternate resource for /a.gif"});
    EXPECT_EQ(summary.NotFoundSent(), 0u);
}

}  // namespace
