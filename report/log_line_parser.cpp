#include "log_line_parser.h"

#include <algorithm>

#include "log_messages.h"
#include "text.h"

namespace {

constexpr std::string_view kSeparator = " : ";

struct Known {
    const char* format;
    LogEventKind kind;
    LogRule rule;
    LogValue valueKind;
};

namespace m = log_messages;
using K = LogEventKind;
using R = LogRule;
using V = LogValue;

// Decisions first: they are nearly every line of a busy log.
constexpr Known kKnown[] = {
    {m::kDynamicDenied, K::kBlocked, R::kDynamic, V::kClientAddress},
    {m::kDynamicGranted, K::kAllowed, R::kDynamic, V::kClientAddress},
    {m::kDynamicCookieGranted, K::kAllowed, R::kDynamicCookie, V::kClientAddress},
    {m::kNoBlockRules, K::kAllowed, R::kNoBlockRules, V::kClientAddress},
    {m::kReferrerBlackListed, K::kBlocked, R::kReferrer, V::kReferrerHost},
    {m::kReferrerWhiteListed, K::kAllowed, R::kReferrer, V::kReferrerHost},
    {m::kReferrerNull, K::kBlocked, R::kNullReferrer, V::kClientAddress},
    {m::kClientBlackListed, K::kBlocked, R::kClient, V::kClientAddress},
    {m::kClientWhiteListed, K::kAllowed, R::kClient, V::kClientAddress},
    {m::kUserAgentBlackListed, K::kBlocked, R::kUserAgent, V::kUserAgent},
    {m::kUserAgentWhiteListed, K::kAllowed, R::kUserAgent, V::kUserAgent},
    {m::kUrlBlackListed, K::kBlocked, R::kUrl, V::kNone},
    {m::kUrlWhiteListed, K::kAllowed, R::kUrl, V::kNone},
    {m::kFetchCrossSite, K::kBlocked, R::kFetchMetadata, V::kClientAddress},
    {m::kFetchOwnSite, K::kAllowed, R::kFetchMetadata, V::kNone},
    {m::kLinkFollowed, K::kAllowed, R::kLink, V::kClientAddress},
    {m::kWouldBlockDynamic, K::kWouldBlock, R::kDynamic, V::kClientAddress},
    {m::kWouldBlockReferrer, K::kWouldBlock, R::kReferrer, V::kReferrerHost},
    {m::kWouldBlockNullReferrer, K::kWouldBlock, R::kNullReferrer, V::kClientAddress},
    {m::kWouldBlockCrossSite, K::kWouldBlock, R::kFetchMetadata, V::kClientAddress},
    {m::kWouldBlockClient, K::kWouldBlock, R::kClient, V::kClientAddress},
    {m::kWouldBlockUserAgent, K::kWouldBlock, R::kUserAgent, V::kUserAgent},
    {m::kWouldBlockUrl, K::kWouldBlock, R::kUrl, V::kNone},
    {m::kSendingAlternate, K::kAlternateSent, R::kNone, V::kNone},
    {m::kRebuilding, K::kRebuilding, R::kNone, V::kNone},
    {m::kStarted, K::kStarted, R::kNone, V::kNone},
    {m::kStopped, K::kStopped, R::kNone, V::kNone},
    {m::kWatcherError, K::kWatcherError, R::kNone, V::kNone},
};
static_assert(std::size(kKnown) == m::kAll.size(), "every message the filter writes is read");

// A printf format's literal text between its conversions ("%s", "%d").
std::vector<std::string_view> LiteralsOf(std::string_view format) {
    std::vector<std::string_view> literals;
    std::size_t start = 0;
    for (std::size_t at = format.find('%'); at != std::string_view::npos;
         at = format.find('%', start)) {
        literals.push_back(format.substr(start, at - start));
        start = at + 2;
    }
    literals.push_back(format.substr(start));
    return literals;
}

// A control byte means a damaged line: the filter writes those of request values as "%XX".
bool HasControlByte(std::string_view line) {
    return std::any_of(line.begin(), line.end(), text::IsControlByte);
}

}  // namespace

LogLineParser::LogLineParser() {
    patterns_.reserve(std::size(kKnown));
    for (const Known& known : kKnown) {
        patterns_.push_back({LiteralsOf(known.format), known.kind, known.rule, known.valueKind});
    }
}

std::optional<LogEvent> LogLineParser::Match(const Pattern& pattern, std::string_view message) {
    const auto& literals = pattern.literals;
    const std::string_view head = literals.front();
    const std::string_view tail = literals.back();
    if (literals.size() == 1) {
        if (message != head) return std::nullopt;
        return LogEvent{pattern.kind, pattern.rule, pattern.valueKind, {}, {}};
    }
    if (message.size() < head.size() + tail.size() || !message.starts_with(head) ||
        !message.ends_with(tail)) {
        return std::nullopt;
    }
    std::string_view rest = message.substr(head.size(), message.size() - head.size() - tail.size());
    // Placeholders: the first ends at the first occurrence of the literal after it (a URL
    // carries no blank); the last takes what remains (a user agent may carry anything).
    std::string_view values[3];
    const std::size_t count = literals.size() - 1;
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t at = rest.find(literals[i]);
        if (at == std::string_view::npos) return std::nullopt;
        values[i - 1] = rest.substr(0, at);
        rest.remove_prefix(at + literals[i].size());
    }
    values[count - 1] = rest;

    LogEvent event{pattern.kind, pattern.rule, pattern.valueKind, {}, {}};
    const bool aboutRequest = pattern.kind == LogEventKind::kAllowed ||
                              pattern.kind == LogEventKind::kBlocked ||
                              pattern.kind == LogEventKind::kWouldBlock ||
                              pattern.kind == LogEventKind::kAlternateSent;
    if (aboutRequest) {
        // The filter never logs a request without its URL, which has no blank in it.
        if (values[0].empty() || values[0].find(' ') != std::string_view::npos) {
            return std::nullopt;
        }
        event.url = values[0];
        if (count > 1) event.value = values[1];
    } else if (pattern.kind == LogEventKind::kWatcherError) {
        const std::string_view number = values[0];
        const bool isNumber =
            !number.empty() &&
            std::all_of(number.begin() + (number.front() == '-' ? 1 : 0), number.end(),
                        [](char c) { return c >= '0' && c <= '9'; });
        if (!isNumber || number == "-") return std::nullopt;
        event.value = values[1];
    }
    return event;
}

std::optional<LogEvent> LogLineParser::ParseMessage(std::string_view message) const {
    for (const Pattern& pattern : patterns_) {
        if (auto event = Match(pattern, message)) return event;
    }
    return std::nullopt;
}

std::optional<LogLine> LogLineParser::Parse(std::string_view line) const {
    if (HasControlByte(line)) return std::nullopt;
    LogLine result;
    std::string_view message;
    if (line.starts_with(kSeparator)) {
        message = line.substr(kSeparator.size());  // the time could not be formatted
    } else {
        if (line.size() < LogTime::kLength + kSeparator.size() ||
            line.substr(LogTime::kLength, kSeparator.size()) != kSeparator) {
            return std::nullopt;
        }
        result.time = LogTime::Parse(line.substr(0, LogTime::kLength));
        if (!result.time) return std::nullopt;
        message = line.substr(LogTime::kLength + kSeparator.size());
    }
    auto event = ParseMessage(message);
    if (!event) return std::nullopt;
    result.event = *event;
    return result;
}
