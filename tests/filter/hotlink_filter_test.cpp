#include "hotlink_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "filter_fixture.h"
#include "request_facts.h"
#include "verdict.h"

namespace {

using Lines = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

const char* const kStarted = "Pixwall for IIS started";

struct Request {
    std::string url = "/img/a.gif";
    std::string server = "imgserver";
    std::string address = "10.0.0.1";
    std::string host = "";
    std::string referrer = "";
    std::string agent = "Mozilla/5.0";
    std::string site = "", mode = "", dest = "";  // the Sec-Fetch-* headers
};

struct PipelineCase {
    const char* name;
    Files files;  // rule lists and extra settings; "blocked_types.txt" lists gif and jpg
    Request request;
    DWORD status;
    Lines lines;                // after the start line
    std::string sentStatus;     // empty: nothing sent
    std::string location = "";  // the Location header of a redirect
};

std::string Ini(const std::string& extra) { return "[logging]\nlogging=on\n" + extra; }

const std::string kWithAlternate =
    Ini("[alternates]\ngif=http://imgserver/img/stop.gif\ndefault=http://imgserver/img/none.png\n");

void PrintTo(const PipelineCase& c, std::ostream* out) { *out << c.name; }

class PipelineTest : public testing::TestWithParam<PipelineCase> {};

Files WithBlockedTypes(Files files) {
    if (!files.count("blocked_types.txt")) files["blocked_types.txt"] = "gif\njpg\n";
    return files;
}

bool IsAnswerLine(const std::string& line) {
    return line.rfind("Sending alternate resource for ", 0) == 0;
}

// The log line the verdict asks for, formatted as the filter formats it.
std::string LineOf(const Verdict& verdict, const RequestFacts& facts) {
    char line[4096];
    const std::string url(facts.url);
    if (verdict.value) {
        std::snprintf(line, sizeof line, verdict.message, url.c_str(),
                      std::string(*verdict.value).c_str());
    } else {
        std::snprintf(line, sizeof line, verdict.message, url.c_str());
    }
    return line;
}

TEST_P(PipelineTest, DecidesAsTheRulesSay) {
    const PipelineCase& c = GetParam();
    TempFolder folder;
    folder.Write("corvane.ini", "[settings]\n");
    Files files = WithBlockedTypes(c.files);
    if (!files.count("pixwall.ini")) files["pixwall.ini"] = Ini("");
    for (const auto& [name, content] : files) folder.Write(name, content);
    const auto loaded = FilterConfig::Load(FilterConfig::Paths::Find(folder.Path()));
    const FilterConfig& config = *loaded;
    ProcessAdmissionTable table;
    const RequestFacts facts({.serverName = c.request.server,
                              .url = c.request.url,
                              .clientAddress = c.request.address,
                              .clientHost = c.request.host,
                              .referrer = c.request.referrer,
                              .userAgent = c.request.agent,
                              .secFetchSite = c.request.site,
                              .secFetchMode = c.request.mode,
                              .secFetchDest = c.request.dest},
                             config);

    const Verdict verdict = Decide(facts, config, &table, 1'136'073'600);

    Lines decision;
    std::copy_if(c.lines.begin(), c.lines.end(), std::back_inserter(decision),
                 [](const std::string& line) { return !IsAnswerLine(line); });
    EXPECT_EQ(verdict.message ? Lines{LineOf(verdict, facts)} : Lines{}, decision);
    if (c.status == SF_STATUS_REQ_NEXT_NOTIFICATION) {
        EXPECT_NE(verdict.outcome, Verdict::Outcome::kBlock);
        EXPECT_NE(verdict.outcome, Verdict::Outcome::kError);
    } else {
        EXPECT_EQ(verdict.outcome, Verdict::Outcome::kBlock);
        EXPECT_EQ(verdict.alternateUrl, c.location);
    }
}

// The verdict carried out: log lines, the answer sent, the status returned.
class AppliedPipelineTest : public testing::TestWithParam<PipelineCase> {};

TEST_P(AppliedPipelineTest, AnswersAndLogsAsTheVerdictSays) {
    const PipelineCase& c = GetParam();
    FilterFixture fixture(WithBlockedTypes(c.files));
    FakeRequest request;
    request.Server(c.request.server)
        .Url(c.request.url)
        .Client(c.request.address, c.request.host)
        .UserAgent(c.request.agent);
    if (!c.request.referrer.empty()) request.Referrer(c.request.referrer);

    EXPECT_EQ(fixture.Send(request), c.status);

    Lines expected{kStarted};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(fixture.LogMessages(), expected);
    if (c.sentStatus.empty()) {
        EXPECT_TRUE(request.Sent().empty());
    } else {
        ASSERT_EQ(request.Sent().size(), 1u);
        EXPECT_EQ(request.Sent()[0].status, c.sentStatus);
        EXPECT_EQ(request.Sent()[0].extraHeaders,
                  c.location.empty() ? "" : "Location: " + c.location + "\n");
        EXPECT_EQ(request.Sent()[0].addedHeaders, c.location.empty() ? "" : "Expires: 0\n");
    }
}

constexpr DWORD kAllow = SF_STATUS_REQ_NEXT_NOTIFICATION;
constexpr DWORD kRedirect = SF_STATUS_REQ_HANDLED_NOTIFICATION;
constexpr DWORD kNotFound = SF_STATUS_REQ_FINISHED;

Request With(std::string url, std::string referrer = "", std::string agent = "Mozilla/5.0",
             std::string address = "10.0.0.1", std::string host = "",
             std::string server = "imgserver") {
    return Request{std::move(url),  std::move(server),   std::move(address),
                   std::move(host), std::move(referrer), std::move(agent)};
}

// A case of the roll-out settings, with a client, a referrer and a URL black-listed; blocked
// requests get 404.
PipelineCase Setting(const char* name, const std::string& settings, Request r, std::string verb,
                     std::string reason) {
    const Files files{{"pixwall.ini", Ini("[settings]\n" + settings)},
                      {"client_blacklist.txt", "10.0.0.9\n"},
                      {"referrer_blacklist.txt", "leech\n"},
                      {"url_blacklist.txt", "/private/\n"}};
    const bool blocked = verb == "Blocking";
    const Lines lines{verb + " " + r.url + " : " + reason};
    return {name, files, r, blocked ? kNotFound : kAllow, lines, blocked ? "404 Not Found" : ""};
}
const std::string kFetch = "fetchmetadata=yes\n", kLinks = "allowlinks=yes\n",
                  kNull = "blocknullreferrer=yes\n", kDynamic = "dynamicblocking=on\n";

const PipelineCase kPipelineCases[] = {
    PipelineCase{"UnprotectedWithoutDynamicAuthorization",
                 {},
                 With("/index.html"),
                 kAllow,
                 {"Allowing /index.html : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"ProtectedNoRuleDecides",
                 {},
                 With("/img/a.gif"),
                 kAllow,
                 {"Allowing /img/a.gif : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"UnprotectedIgnoresEveryList",
                 {{"client_blacklist.txt", "10.0.0.1\n"}, {"url_blacklist.txt", "index\n"}},
                 With("/index.html"),
                 kAllow,
                 {"Allowing /index.html : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"ClientBlackListedRedirects",
                 {{"client_blacklist.txt", "10.0.0.\n"}, {"pixwall.ini", kWithAlternate}},
                 With("/img/a.gif"),
                 kRedirect,
                 {"Blocking /img/a.gif : Client 10.0.0.1 is black listed",
                  "Sending alternate resource for /img/a.gif"},
                 "302 Object Moved",
                 "http://imgserver/img/stop.gif"},
    PipelineCase{"ClientOnBothListsIsBlocked",
                 {{"client_blacklist.txt", "10.0.0.1\n"}, {"client_whitelist.txt", "10.0.0.1\n"}},
                 With("/img/a.gif"),
                 kNotFound,
                 {"Blocking /img/a.gif : Client 10.0.0.1 is black listed"},
                 "404 Not Found"},
    PipelineCase{"ClientHostMatchLogsTheAddress",
                 {{"client_blacklist.txt", "leech.example\n"}},
                 With("/img/a.gif", "", "Mozilla/5.0", "10.0.0.9", "proxy.LEECH.example"),
                 kNotFound,
                 {"Blocking /img/a.gif : Client 10.0.0.9 is black listed"},
                 "404 Not Found"},
    PipelineCase{"WhiteListedClientBeatsLaterBlackLists",
                 {{"client_whitelist.txt", "10.0.0.1\n"},
                  {"ua_blacklist.txt", "mozilla\n"},
                  {"referrer_blacklist.txt", "leech\n"}},
                 With("/img/a.gif", "http://leech.net/page"),
                 kAllow,
                 {"Allowing /img/a.gif : Client 10.0.0.1 is white listed"},
                 ""},
    PipelineCase{"UserAgentBlackListed",
                 {{"ua_blacklist.txt", "USER-AGENT:  Bot/1.0\n"}, {"ua_whitelist.txt", "bot\n"}},
                 With("/img/a.jpg", "", "SuperBOT/1.0 (x)"),
                 kNotFound,
                 {"Blocking /img/a.jpg : User Agent SuperBOT/1.0 (x) is black listed"},
                 "404 Not Found"},
    PipelineCase{
        "UserAgentWhiteListedBeatsReferrerBlackList",
        {{"ua_whitelist.txt", "User-Agent: Mozilla/5.0\n"}, {"referrer_blacklist.txt", "leech\n"}},
        With("/img/a.gif", "http://leech.net/"),
        kAllow,
        {"Allowing /img/a.gif : User Agent Mozilla/5.0 is white listed"},
        ""},
    PipelineCase{"EmptyUserAgentSkipsUserAgentRules",
                 {{"ua_blacklist.txt", "User-Agent:\n"}},
                 With("/img/a.gif", "", ""),
                 kAllow,
                 {"Allowing /img/a.gif : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"EntryOfOnlyTheHeaderNameMatchesEveryAgent",
                 {{"ua_blacklist.txt", "User-Agent:\n"}},
                 With("/img/a.gif", "", "curl/8"),
                 kNotFound,
                 {"Blocking /img/a.gif : User Agent curl/8 is black listed"},
                 "404 Not Found"},
    PipelineCase{"ReferrerBlackListedGets404WithoutAlternate",
                 {{"referrer_blacklist.txt", "leech\n"}},
                 With("/img/a.gif", "http://bigleech2.com:8080/x"),
                 kNotFound,
                 {"Blocking /img/a.gif : Referrer bigleech2.com is black listed"},
                 "404 Not Found"},
    PipelineCase{"OwnSiteReferrerInOtherCaseIsWhite",
                 {},
                 With("/img/a.gif", "http://IMGSERVER:81/page.html"),
                 kAllow,
                 {"Allowing /img/a.gif : Referrer IMGSERVER is white listed"},
                 ""},
    PipelineCase{"OwnSiteOnBlackListIsBlocked",
                 {{"referrer_blacklist.txt", "imgserver\n"}},
                 With("/img/a.gif", "http://imgserver/page.html"),
                 kNotFound,
                 {"Blocking /img/a.gif : Referrer imgserver is black listed"},
                 "404 Not Found"},
    PipelineCase{"ReferrerWhiteList",
                 {{"referrer_whitelist.txt", "friend.org\n"}},
                 With("/img/a.gif", "https://www.friend.org/"),
                 kAllow,
                 {"Allowing /img/a.gif : Referrer www.friend.org is white listed"},
                 ""},
    PipelineCase{"NullReferrerBlockedEvenIfUrlWhite",
                 {{"pixwall.ini", Ini("[settings]\nblocknullreferrer=Yes\n")},
                  {"url_whitelist.txt", "/img/\n"}},
                 With("/img/a.gif"),
                 kNotFound,
                 {"Blocking /img/a.gif : Referrer is null for 10.0.0.1"},
                 "404 Not Found"},
    PipelineCase{"UnsplittableReferrerCountsAsNull",
                 {{"pixwall.ini", Ini("[settings]\nblocknullreferrer=yes\n")}},
                 With("/img/a.gif", "not a url"),
                 kNotFound,
                 {"Blocking /img/a.gif : Referrer is null for 10.0.0.1"},
                 "404 Not Found"},
    PipelineCase{"NullReferrerRuleLeavesUnlistedReferrers",
                 {{"pixwall.ini", Ini("[settings]\nblocknullreferrer=yes\n")}},
                 With("/img/a.gif", "http://other.org/"),
                 kAllow,
                 {"Allowing /img/a.gif : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"NullReferrerRuleOffByOtherWords",
                 {{"pixwall.ini", Ini("[settings]\nblocknullreferrer=1\n")}},
                 With("/img/a.gif"),
                 kAllow,
                 {"Allowing /img/a.gif : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"UrlBlackListWithServerName",
                 {{"url_blacklist.txt", "imgserver/private/\n"}},
                 With("/private/a.gif"),
                 kNotFound,
                 {"Blocking /private/a.gif : Url is black listed"},
                 "404 Not Found"},
    PipelineCase{"UrlBlackListOtherServer",
                 {{"url_blacklist.txt", "imgserver/private/\n"}},
                 With("/private/a.gif", "", "Mozilla/5.0", "10.0.0.1", "", "server"),
                 kAllow,
                 {"Allowing /private/a.gif : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"UrlWhiteList",
                 {{"url_whitelist.txt", "/public/\n"}, {"url_blacklist.txt", "/other/\n"}},
                 With("/public/a.gif"),
                 kAllow,
                 {"Allowing /public/a.gif : Url is white listed"},
                 ""},
    PipelineCase{"UrlBlackListSeesThroughEscapes",
                 {{"url_blacklist.txt", "/private/\n"}},
                 With("/priv%61te/a.gif"),
                 kNotFound,
                 {"Blocking /priv%61te/a.gif : Url is black listed"},
                 "404 Not Found"},
    PipelineCase{"UrlWhiteListedFolderIsNotLeftByASpelling",
                 {{"url_whitelist.txt", "/public/\n"}, {"url_blacklist.txt", "imgserver/img/\n"}},
                 With("/public%2F..%2F/img/a.gif"),
                 kNotFound,
                 {"Blocking /public%2F..%2F/img/a.gif : Url is black listed"},
                 "404 Not Found"},
    PipelineCase{"UrlWhiteListIgnoresTheQuery",
                 {{"url_whitelist.txt", "/public/\n"}},
                 With("/img/a.gif?/public/"),
                 kAllow,
                 {"Allowing /img/a.gif?/public/ : No block rules for 10.0.0.1"},
                 ""},
    PipelineCase{"UrlBlackBeatsUrlWhite",
                 {{"url_whitelist.txt", "/img/\n"}, {"url_blacklist.txt", "/img/\n"}},
                 With("/img/a.gif"),
                 kNotFound,
                 {"Blocking /img/a.gif : Url is black listed"},
                 "404 Not Found"},
    PipelineCase{"AlternateItselfIsExemptFromEveryList",
                 {{"pixwall.ini", kWithAlternate},
                  {"client_blacklist.txt", "10.0.0.1\n"},
                  {"url_blacklist.txt", "stop\n"}},
                 With("/img/stop.gif", "http://leech.net/"),
                 kAllow,
                 {},
                 ""},
    PipelineCase{"AlternateUnderOtherCaseOfServerIsNotExempt",
                 {{"pixwall.ini", kWithAlternate}, {"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/img/stop.gif", "", "x", "10.0.0.1", "", "IMGSERVER"),
                 kRedirect,
                 {"Blocking /img/stop.gif : Client 10.0.0.1 is black listed",
                  "Sending alternate resource for /img/stop.gif"},
                 "302 Object Moved",
                 "http://imgserver/img/stop.gif"},
    PipelineCase{"DefaultAlternateForOtherTypes",
                 {{"pixwall.ini", kWithAlternate}, {"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/photos/b.jpg"),
                 kRedirect,
                 {"Blocking /photos/b.jpg : Client 10.0.0.1 is black listed",
                  "Sending alternate resource for /photos/b.jpg"},
                 "302 Object Moved",
                 "http://imgserver/img/none.png"},
    PipelineCase{"UrlLoggedUnchanged",
                 {{"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/img/a%20b%25s.gif?x=%n%s"),
                 kNotFound,
                 {"Blocking /img/a%20b%25s.gif?x=%n%s : Client 10.0.0.1 is black listed"},
                 "404 Not Found"},
    // The type is the served file's: case, query, escapes and trailing dots do not hide it.
    PipelineCase{"UpperCaseTypeIsProtected",
                 {{"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/logo.GIF"),
                 kNotFound,
                 {"Blocking /logo.GIF : Client 10.0.0.1 is black listed"},
                 "404 Not Found"},
    PipelineCase{"QueryDoesNotHideType",
                 {{"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/logo.gif?v=2.1"),
                 kNotFound,
                 {"Blocking /logo.gif?v=2.1 : Client 10.0.0.1 is black listed"},
                 "404 Not Found"},
    PipelineCase{"EscapedDotDoesNotHideType",
                 {{"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/logo%2Egif"),
                 kNotFound,
                 {"Blocking /logo%2Egif : Client 10.0.0.1 is black listed"},
                 "404 Not Found"},
    PipelineCase{"TrailingDotDoesNotHideType",
                 {{"client_blacklist.txt", "10.0.0.1\n"}},
                 With("/logo.gif."),
                 kNotFound,
                 {"Blocking /logo.gif. : Client 10.0.0.1 is black listed"},
                 "404 Not Found"},
    Setting("FetchCrossSiteBlocksWithoutNullReferrerRule", kFetch, {.site = "Cross-Site"},
            "Blocking", "Sec-Fetch-Site is cross-site for 10.0.0.1"),
    Setting("FetchOwnSiteAllowedBeforeNullReferrerAndUrlRules", kFetch + kNull,
            {.url = "/private/a.gif", .site = " same-site "}, "Allowing",
            "Sec-Fetch-Site is same-site"),
    Setting("FetchNoneIsTheNullReferrerRule", kFetch + kNull, {.site = "none"}, "Blocking",
            "Referrer is null for 10.0.0.1"),
    Setting("FetchAbsentIsTheNullReferrerRule", kFetch + kNull, {}, "Blocking",
            "Referrer is null for 10.0.0.1"),
    Setting("FetchNeverOverridesAReferrer", kFetch,
            {.referrer = "http://leech.net/", .site = "same-origin"}, "Blocking",
            "Referrer leech.net is black listed"),
    Setting("LinkAllowedBeforeNullReferrerAndDynamicRules", kLinks + kNull + kDynamic,
            {.mode = " Navigate", .dest = "DOCUMENT "}, "Allowing",
            "Top-level navigation for 10.0.0.1"),
    Setting("LinkFromABlackListedReferrerBlocked", kLinks,
            {.referrer = "http://leech.net/", .mode = "navigate", .dest = "document"}, "Blocking",
            "Referrer leech.net is black listed"),
    Setting("LinkToABlackListedUrlBlocked", kLinks,
            {.url = "/private/a.gif", .mode = "navigate", .dest = "document"}, "Blocking",
            "Url is black listed"),
    Setting("EmbedIsJudgedAsBefore", kLinks + kNull, {.mode = "navigate", .dest = "iframe"},
            "Blocking", "Referrer is null for 10.0.0.1"),
    Setting("HeadersUnreadWithoutTheSettings", kNull,
            {.site = "same-origin", .mode = "navigate", .dest = "document"}, "Blocking",
            "Referrer is null for 10.0.0.1"),
    Setting("ReportOnlyLetsABlackListedClientThrough", "enforce=NO\n", {.address = "10.0.0.9"},
            "Would block", "Client 10.0.0.9 is black listed"),
    Setting("ReportOnlyNamesARuleWithoutValue", "enforce=no\n", {.url = "/private/a.gif"},
            "Would block", "Url is black listed"),
    Setting("ReportOnlyNamesDynamicDenial", "enforce=no\n" + kDynamic, {}, "Would block",
            "Dynamic access denied for 10.0.0.1"),
    Setting("MisspeltEnforceStillBlocks", "enforce=off\n" + kNull, {}, "Blocking",
            "Referrer is null for 10.0.0.1"),
    PipelineCase{"DynamicAuthorizationIsSilentForPages",
                 {{"pixwall.ini", Ini("[DynamicAuthorization]\nDynamicAuthorization=on\n")}},
                 With("/index.html"),
                 kAllow,
                 {},
                 ""}};

std::string CaseName(const testing::TestParamInfo<PipelineCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Rules, PipelineTest, testing::ValuesIn(kPipelineCases), CaseName);

const PipelineCase& Named(std::string_view name) {
    return *std::find_if(std::begin(kPipelineCases), std::end(kPipelineCases),
                         [&](const PipelineCase& c) { return c.name == name; });
}

// A redirect, a "404 Not Found", an allowed request, an exempt one, a URL with "%" in the log
// and a request let through in report-only mode, end to end.
INSTANTIATE_TEST_SUITE_P(EndToEnd, AppliedPipelineTest,
                         testing::Values(Named("ClientBlackListedRedirects"),
                                         Named("ReferrerBlackListedGets404WithoutAlternate"),
                                         Named("WhiteListedClientBeatsLaterBlackLists"),
                                         Named("AlternateItselfIsExemptFromEveryList"),
                                         Named("UrlLoggedUnchanged"),
                                         Named("ReportOnlyLetsABlackListedClientThrough")),
                         CaseName);

TEST(PipelineErrors, UrlMissingOrTooLongIsAnErrorWithoutLogLine) {
    FilterFixture fixture(
        Files{{"client_blacklist.txt", "10.0.0.1\n"}, {"blocked_types.txt", "gif\n"}});
    FakeRequest missing;
    missing.Server("imgserver").Client("10.0.0.1");
    EXPECT_EQ(fixture.Send(missing), static_cast<DWORD>(SF_STATUS_REQ_ERROR));

    FakeRequest empty;
    empty.Server("imgserver").Url("").Client("10.0.0.1");
    EXPECT_EQ(fixture.Send(empty), static_cast<DWORD>(SF_STATUS_REQ_ERROR));

    FakeRequest tooLong;
    tooLong.Server("imgserver").Url("/" + std::string(2078, 'a') + ".gif").Client("10.0.0.1");
    EXPECT_EQ(fixture.Send(tooLong), static_cast<DWORD>(SF_STATUS_REQ_ERROR));

    EXPECT_EQ(fixture.LogMessages(), Lines{kStarted});
    EXPECT_TRUE(missing.Sent().empty());

    // 2082 characters still fit with their NUL.
    const std::string longest = "/" + std::string(2077, 'a') + ".gi";
    ASSERT_EQ(longest.size(), 2081u);
    FakeRequest fits;
    fits.Server("imgserver").Url(longest + "f").Client("10.0.0.1");
    EXPECT_EQ(fixture.Send(fits), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
}

struct PriorityCase {
    const char* ini;
    DWORD flags;
};

void PrintTo(const PriorityCase& c, std::ostream* out) { *out << '"' << c.ini << '"'; }

class StartUpTest : public testing::TestWithParam<PriorityCase> {};

TEST_P(StartUpTest, RegistersForPreprocessedHeadersAtThePriority) {
    FilterFixture fixture(Files{{"pixwall.ini", GetParam().ini}});
    EXPECT_EQ(fixture.Version().dwFlags, GetParam().flags);
    EXPECT_EQ(fixture.Version().dwFilterVersion, 0x40000u);
}

INSTANTIATE_TEST_SUITE_P(Priorities, StartUpTest,
                         testing::Values(PriorityCase{"[settings]\npriority=high\n", 0x84003},
                                         PriorityCase{"[SETTINGS]\nPriority = HIGH\n", 0x84003},
                                         PriorityCase{"[settings]\npriority=low\n", 0x24003},
                                         PriorityCase{"[settings]\npriority=medium\n", 0x44003},
                                         PriorityCase{"[settings]\npriority=highest\n", 0x44003},
                                         PriorityCase{"[settings]\npriority=\n", 0x44003},
                                         PriorityCase{"[other]\npriority=high\n", 0x44003},
                                         PriorityCase{"", 0x44003}));

TEST(StartUp, DescriptionComesFromTheStringResource) {
    FilterFixture fixture;
    EXPECT_STREQ(fixture.Version().lpszFilterDesc, "Pixwall Filter");
}

TEST(StartUp, StartAndStopLinesFrameTheRun) {
    FilterFixture fixture(Files{{"blocked_types.txt", "gif\n"}});
    FakeRequest request;
    request.Server("s").Url("/a.gif").Client("1.2.3.4");
    fixture.Send(request);
    fixture.Stop();
    EXPECT_EQ(fixture.LogMessages(),
              (Lines{kStarted, "Allowing /a.gif : No block rules for 1.2.3.4",
                     "Pixwall for IIS stopped"}));
}

TEST(StartUp, RebuildTakesNewListsAndLogSettings) {
    FilterFixture fixture(Files{{"blocked_types.txt", "gif\n"}});
    // Only the rebuilds asked for here: the watcher's own are tested with it.
    fixture.Filter().Watcher()->Stop();
    fixture.Folder().Write("client_blacklist.txt", "1.2.3.4\n");
    fixture.Filter().RebuildConfiguration();
    FakeRequest request;
    request.Server("s").Url("/a.gif").Client("1.2.3.4");
    EXPECT_EQ(fixture.Send(request), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));

    // Logging switched off by the rebuild: nothing more is written.
    fixture.Folder().Write("pixwall.ini", "[logging]\nlogging=off\n");
    fixture.Filter().RebuildConfiguration();
    FakeRequest second;
    second.Server("s").Url("/a.gif").Client("1.2.3.4");
    fixture.Send(second);
    EXPECT_EQ(fixture.LogMessages(),
              (Lines{kStarted, "Blocking /a.gif : Client 1.2.3.4 is black listed"}));
}

TEST(StartUp, RequestsReadTheirValuesInOrderAndStopAfterAMissingUrl) {
    FilterFixture fixture;
    FakeRequest request;
    request.Server("s").Url("/x").Client("1.2.3.4");
    fixture.Send(request);
    EXPECT_EQ(request.VariablesAsked(),
              (std::vector<std::string>{"SERVER_NAME", "url", "REMOTE_ADDR", "REMOTE_HOST",
                                        "HTTP_REFERER", "User-Agent:"}));
    FakeRequest missing;
    missing.Server("s");
    fixture.Send(missing);
    EXPECT_EQ(missing.VariablesAsked(), (std::vector<std::string>{"SERVER_NAME", "url"}));
}

}  // namespace
