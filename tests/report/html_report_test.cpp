#include "html_report.h"

#include <gtest/gtest.h>

#include <regex>

#include "summary_feed.h"

namespace {

std::string Shown(const std::string& page, const std::string& id) {
    std::smatch match;
    const std::regex value("id=\"" + id + "\"[^>]*data-value=\"([0-9]+)\"");
    return std::regex_search(page, match, value) ? match[1].str() : "absent";
}

TEST(HtmlReportTest, TotalsAndNotUnderstoodAreShown) {
    ActivitySummary summary;
    Feed(summary, {"12/31/05 23:00:00 : Blocking /a.gif : Url is black listed",
                   "12/31/05 23:00:00 : Sending alternate resource for /a.gif",
                   "12/31/05 23:01:00 : Blocking /b.gif : Url is black listed",
                   "12/31/05 23:02:00 : Allowing /c.gif : Url is white listed",
                   "12/31/05 23:03:00 : Rebuilding configuration due to changes"});
    summary.AddNotUnderstood();
    const std::string page = HtmlReport(summary, {}).Render();
    EXPECT_EQ(Shown(page, "total-judged"), "3");
    EXPECT_EQ(Shown(page, "total-allowed"), "1");
    EXPECT_EQ(Shown(page, "total-blocked"), "2");
    EXPECT_EQ(Shown(page, "total-alternates"), "1");
    EXPECT_EQ(Shown(page, "total-not-found"), "1");
    EXPECT_EQ(Shown(page, "total-rebuilds"), "1");
    EXPECT_EQ(Shown(page, "not-understood"), "1");
    EXPECT_EQ(Shown(page, "total-bytes"), "absent");        // without a document root
    EXPECT_EQ(Shown(page, "total-would-block"), "absent");  // nothing in report-only mode
    EXPECT_EQ(page.find("would-block-by-rule"), std::string::npos);
    EXPECT_NE(page.find("From 2005-12-31 23:00:00 to 2005-12-31 23:03:00"), std::string::npos);
}

TEST(HtmlReportTest, NothingIsFetchedAndLogValuesAreOnlyText) {
    ActivitySummary summary;
    Feed(summary, {"12/31/05 23:00:00 : Blocking /a.gif?<b>=\"1\" : Referrer "
                   "<script>alert('x')</script> is black listed",
                   "12/31/05 23:00:00 : Blocking /a.gif : User Agent <img src=x onerror=alert(1)> "
                   "is black listed"});
    const std::string page = HtmlReport(summary, {}).Render();
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    EXPECT_EQ(page.find("url("), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("/a.gif?&lt;b&gt;=&quot;1&quot;"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy\" content=\"default-src 'none'"),
              std::string::npos);
}

TEST(HtmlReportTest, TimelineByHourAcrossMidnightWithEmptyHours) {
    ActivitySummary summary;
    Feed(summary, {"12/31/05 22:10:00 : Allowing /a.gif : Url is white listed",
                   "01/01/06 01:59:59 : Blocking /a.gif : Url is black listed",
                   "01/01/06 01:00:00 : Allowing /a.gif : Url is white listed"});
    const auto bins = HtmlReport(summary, {}).Timeline();
    ASSERT_EQ(bins.size(), 4u);
    EXPECT_EQ(bins[0].label, "2005-12-31 22:00");
    EXPECT_EQ(bins[1].label, "2005-12-31 23:00");
    EXPECT_EQ(bins[2].label, "2006-01-01 00:00");
    EXPECT_EQ(bins[3].label, "2006-01-01 01:00");
    EXPECT_EQ(bins[0].counts, (ActivitySummary::Counts{1, 0}));
    EXPECT_EQ(bins[1].counts, (ActivitySummary::Counts{0, 0}));
    EXPECT_EQ(bins[3].counts, (ActivitySummary::Counts{1, 1}));
    const std::string page = HtmlReport(summary, {}).Render();
    EXPECT_NE(page.find("Requests per hour"), std::string::npos);
    EXPECT_NE(page.find("<title>2006-01-01 01:00: 1 allowed, 1 blocked</title>"),
              std::string::npos);
}

TEST(HtmlReportTest, TimelineByDayForLongPeriods) {
    ActivitySummary summary;
    Feed(summary, {"12/30/05 08:00:00 : Allowing /a.gif : Url is white listed",
                   "12/30/05 23:00:00 : Blocking /a.gif : Url is black listed",
                   "01/05/06 00:30:00 : Blocking /a.gif : Url is black listed"});
    const auto bins = HtmlReport(summary, {}).Timeline();
    ASSERT_EQ(bins.size(), 7u);
    EXPECT_EQ(bins.front().label, "2005-12-30");
    EXPECT_EQ(bins.front().counts, (ActivitySummary::Counts{1, 1}));
    EXPECT_EQ(bins[2].label, "2006-01-01");
    EXPECT_EQ(bins.back().label, "2006-01-05");
    EXPECT_EQ(bins.back().counts, (ActivitySummary::Counts{0, 1}));
}

TEST(HtmlReportTest, TopListsAndCost) {
    ActivitySummary summary;
    Feed(summary, {"12/31/05 23:00:00 : Blocking /a.gif : Referrer evil.example is black listed",
                   "12/31/05 23:00:01 : Blocking /a.gif : Referrer evil.example is black listed",
                   "12/31/05 23:00:02 : Blocking /b.gif : Dynamic access denied for 10.0.0.9"});
    BlockedBytes sizes("/nonexistent-root");
    HtmlReport report(summary, {});
    report.SetCost(sizes, {.bytes = 3 * 1024 * 1024, .requests = 3, .missing = 0}, "/srv");
    const std::string page = report.Render();
    EXPECT_EQ(Shown(page, "total-bytes"), std::to_string(3 * 1024 * 1024));
    EXPECT_NE(page.find(">3.0 MB<"), std::string::npos);
    const auto section = [&](const std::string& id) {
        const auto at = page.find("<section id=\"" + id + "\"");
        return page.substr(at, page.find("</section>", at) - at);
    };
    EXPECT_NE(section("top-referrers").find("evil.example</td><td class=\"n\">2<"),
              std::string::npos);
    EXPECT_NE(section("top-files").find("/a.gif</td><td class=\"n\">2<"), std::string::npos);
    EXPECT_NE(section("top-clients").find("10.0.0.9</td><td class=\"n\">1<"), std::string::npos);
}

TEST(HtmlReportTest, ReportOnlyLogShowsWhatWouldHaveBeenBlocked) {
    ActivitySummary summary;
    Feed(summary,
         {"12/31/05 23:00:00 : Would block /a.gif : Sec-Fetch-Site is cross-site for 10.0.0.1",
          "12/31/05 23:00:01 : Would block /a.gif : Referrer evil.example is black listed"});
    BlockedBytes sizes("/nonexistent-root");
    HtmlReport report(summary, {});
    report.SetCost(sizes, {}, "/srv", {.bytes = 2048, .requests = 2, .missing = 0});
    const std::string page = report.Render();
    EXPECT_EQ(Shown(page, "total-would-block"), "2");
    EXPECT_EQ(Shown(page, "total-would-block-bytes"), "2048");
    EXPECT_NE(page.find(": 0 allowed, 0 blocked, 2 would have blocked</title>"), std::string::npos);
    // Only the would-block table and list hold these counts.
    EXPECT_NE(page.find("Fetch Metadata (cross-site)</td><td class=\"n\">1<"), std::string::npos);
    EXPECT_NE(page.find("/a.gif</td><td class=\"n\">2<"), std::string::npos);
}

TEST(HtmlReportTest, NumbersAndBytesRead) {
    EXPECT_EQ(HtmlReport::Number(0), "0");
    EXPECT_EQ(HtmlReport::Number(999), "999");
    EXPECT_EQ(HtmlReport::Number(1000), "1,000");
    EXPECT_EQ(HtmlReport::Number(1234567), "1,234,567");
    EXPECT_EQ(HtmlReport::Bytes(1023), "1,023 bytes");
    EXPECT_EQ(HtmlReport::Bytes(1536), "1.5 KB");
    EXPECT_EQ(HtmlReport::Bytes(200ull * 1024 * 1024), "200 MB");
}

}  // namespace
