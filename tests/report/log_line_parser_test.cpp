#include "log_line_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "log_messages.h"

namespace {

namespace m = log_messages;

// Every message the filter writes, formatted from its own format with these values.
struct MessageCase {
    const char* name;
    const char* format;
    LogEventKind kind;
    LogRule rule;
    LogValue valueKind;
    const char* url;    // first %s, "" for none
    const char* value;  // second %s, "" for none
};

constexpr const char* kUrl = "/images/a%20b.gif?x=1";

const MessageCase kMessages[] = {
    {"Started", m::kStarted, LogEventKind::kStarted, LogRule::kNone, LogValue::kNone, "", ""},
    {"Stopped", m::kStopped, LogEventKind::kStopped, LogRule::kNone, LogValue::kNone, "", ""},
    {"Rebuilding", m::kRebuilding, LogEventKind::kRebuilding, LogRule::kNone, LogValue::kNone, "",
     ""},
    {"ClientBlackListed", m::kClientBlackListed, LogEventKind::kBlocked, LogRule::kClient,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"ClientWhiteListed", m::kClientWhiteListed, LogEventKind::kAllowed, LogRule::kClient,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"UserAgentBlackListed", m::kUserAgentBlackListed, LogEventKind::kBlocked, LogRule::kUserAgent,
     LogValue::kUserAgent, kUrl, "Grabber/1.0 (compatible : Referrer x is black listed)"},
    // The filter writes a value's control bytes as "%XX".
    {"UserAgentWithEscapedControlBytes", m::kUserAgentBlackListed, LogEventKind::kBlocked,
     LogRule::kUserAgent, LogValue::kUserAgent, kUrl, "%1B]0;owned%07 Grabber%7F"},
    {"UserAgentWhiteListed", m::kUserAgentWhiteListed, LogEventKind::kAllowed, LogRule::kUserAgent,
     LogValue::kUserAgent, kUrl, "Mozilla/5.0 (X11; Linux x86_64)"},
    {"ReferrerBlackListed", m::kReferrerBlackListed, LogEventKind::kBlocked, LogRule::kReferrer,
     LogValue::kReferrerHost, kUrl, "www.hotlinker.example"},
    {"ReferrerWhiteListed", m::kReferrerWhiteListed, LogEventKind::kAllowed, LogRule::kReferrer,
     LogValue::kReferrerHost, kUrl, "www.friend.example"},
    {"ReferrerNull", m::kReferrerNull, LogEventKind::kBlocked, LogRule::kNullReferrer,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"UrlBlackListed", m::kUrlBlackListed, LogEventKind::kBlocked, LogRule::kUrl, LogValue::kNone,
     kUrl, ""},
    {"UrlWhiteListed", m::kUrlWhiteListed, LogEventKind::kAllowed, LogRule::kUrl, LogValue::kNone,
     kUrl, ""},
    {"DynamicCookieGranted", m::kDynamicCookieGranted, LogEventKind::kAllowed,
     LogRule::kDynamicCookie, LogValue::kClientAddress, kUrl, "2001:db8::7"},
    {"DynamicGranted", m::kDynamicGranted, LogEventKind::kAllowed, LogRule::kDynamic,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"DynamicDenied", m::kDynamicDenied, LogEventKind::kBlocked, LogRule::kDynamic,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"DynamicDeniedWithoutAddress", m::kDynamicDenied, LogEventKind::kBlocked, LogRule::kDynamic,
     LogValue::kClientAddress, kUrl, ""},
    {"NoBlockRules", m::kNoBlockRules, LogEventKind::kAllowed, LogRule::kNoBlockRules,
     LogValue::kClientAddress, "/index.html", "192.0.2.7"},
    {"FetchCrossSite", m::kFetchCrossSite, LogEventKind::kBlocked, LogRule::kFetchMetadata,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"FetchOwnSite", m::kFetchOwnSite, LogEventKind::kAllowed, LogRule::kFetchMetadata,
     LogValue::kNone, kUrl, "same-origin"},
    {"LinkFollowed", m::kLinkFollowed, LogEventKind::kAllowed, LogRule::kLink,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"WouldBlockClient", m::kWouldBlockClient, LogEventKind::kWouldBlock, LogRule::kClient,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"WouldBlockUserAgent", m::kWouldBlockUserAgent, LogEventKind::kWouldBlock, LogRule::kUserAgent,
     LogValue::kUserAgent, kUrl, "Grabber/1.0"},
    {"WouldBlockReferrer", m::kWouldBlockReferrer, LogEventKind::kWouldBlock, LogRule::kReferrer,
     LogValue::kReferrerHost, kUrl, "www.hotlinker.example"},
    {"WouldBlockNullReferrer", m::kWouldBlockNullReferrer, LogEventKind::kWouldBlock,
     LogRule::kNullReferrer, LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"WouldBlockCrossSite", m::kWouldBlockCrossSite, LogEventKind::kWouldBlock,
     LogRule::kFetchMetadata, LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"WouldBlockUrl", m::kWouldBlockUrl, LogEventKind::kWouldBlock, LogRule::kUrl, LogValue::kNone,
     kUrl, ""},
    {"WouldBlockDynamic", m::kWouldBlockDynamic, LogEventKind::kWouldBlock, LogRule::kDynamic,
     LogValue::kClientAddress, kUrl, "192.0.2.7"},
    {"SendingAlternate", m::kSendingAlternate, LogEventKind::kAlternateSent, LogRule::kNone,
     LogValue::kNone, kUrl, ""},
};

std::string Formatted(const MessageCase& c) {
    char text[512];
    std::snprintf(text, sizeof text, c.format, c.url, c.value);
    return text;
}

void PrintTo(const MessageCase& c, std::ostream* out) { *out << c.name; }

class LogMessageTest : public testing::TestWithParam<MessageCase> {};

TEST_P(LogMessageTest, ReadsBackWhatTheFilterWrote) {
    const MessageCase& c = GetParam();
    const LogLineParser parser;
    const std::string line = "12/31/05 23:59:58 : " + Formatted(c);
    const auto parsed = parser.Parse(line);
    ASSERT_TRUE(parsed) << line;
    EXPECT_EQ(parsed->time, LogTime::Parse("12/31/05 23:59:58"));
    EXPECT_EQ(parsed->event.kind, c.kind);
    EXPECT_EQ(parsed->event.rule, c.rule);
    EXPECT_EQ(parsed->event.valueKind, c.valueKind);
    EXPECT_EQ(parsed->event.url, c.url);
    EXPECT_EQ(parsed->event.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(Messages, LogMessageTest, testing::ValuesIn(kMessages),
                         [](const auto& info) { return info.param.name; });

TEST(LogMessageCatalogueTest, EveryMessageOfTheFilterIsInTheTable) {
    // The watcher's error carries a number; the table above has only texts.
    for (const char* format : m::kAll) {
        const bool inTable = std::any_of(std::begin(kMessages), std::end(kMessages),
                                         [&](const MessageCase& c) { return c.format == format; });
        EXPECT_TRUE(inTable || format == m::kWatcherError) << format;
    }
}

TEST(LogMessageCatalogueTest, WatcherErrorCarriesNumberAndText) {
    const LogLineParser parser;
    char text[128];
    std::snprintf(text, sizeof text, m::kWatcherError, 24, "Too many open files");
    const auto event = parser.ParseMessage(text);
    ASSERT_TRUE(event) << text;
    EXPECT_EQ(event->kind, LogEventKind::kWatcherError);
    EXPECT_EQ(event->value, "Too many open files");
    EXPECT_FALSE(parser.ParseMessage("Error: x Too many open files."));
}

TEST(LogLineParserTest, LineWithoutTimeStampIsUnderstoodUntimed) {
    // The filter writes an empty stamp when the time cannot be formatted.
    const auto parsed = LogLineParser().Parse(" : Pixwall for IIS started");
    ASSERT_TRUE(parsed);
    EXPECT_FALSE(parsed->time);
    EXPECT_EQ(parsed->event.kind, LogEventKind::kStarted);
}

struct DamagedCase {
    const char* name;
    std::string line;
};

void PrintTo(const DamagedCase& c, std::ostream* out) { *out << c.name; }

class DamagedLineTest : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedLineTest, IsNotUnderstood) {
    EXPECT_FALSE(LogLineParser().Parse(GetParam().line)) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DamagedLineTest,
    testing::Values(
        DamagedCase{"Empty", ""}, DamagedCase{"StampOnly", "12/31/05 23:59:58"},
        DamagedCase{"NoSeparator", "12/31/05 23:59:58 Pixwall for IIS started"},
        DamagedCase{"BadStamp", "12/32/05 23:59:58 : Pixwall for IIS started"},
        DamagedCase{"CutInTheStamp", "12/31/05 23:5"},
        DamagedCase{"CutInTheMessage",
                    "12/31/05 23:59:58 : Blocking /a.gif : Referrer evil.example is black"},
        DamagedCase{"CutAfterUrl", "12/31/05 23:59:58 : Blocking /a.gif"},
        DamagedCase{"OtherVersion", "12/31/05 23:59:58 : Blocking /a.gif : Quota exceeded"},
        DamagedCase{"OtherCase", "12/31/05 23:59:58 : pixwall for IIS started"},
        DamagedCase{"TrailingText", "12/31/05 23:59:58 : Pixwall for IIS started twice"},
        DamagedCase{"EmptyUrl", "12/31/05 23:59:58 : Blocking  : Url is black listed"},
        DamagedCase{"UrlWithBlank",
                    "12/31/05 23:59:58 : Blocking /a b.gif : Dynamic access denied for 1.2.3.4"},
        DamagedCase{"NulPadding",
                    std::string("12/31/05 23:59:58 : Pixwall for IIS started\0\0", 45)},
        DamagedCase{"ControlCharacter",
                    "12/31/05 23:59:58 : Sending alternate resource for /a\x01.gif"},
        DamagedCase{"TwoLinesRunTogether",
                    "12/31/05 23:59:58 : Blocking /a.gif : Url is bl12/31/05 23:59:59 : Pixwall "
                    "for IIS stopped"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
