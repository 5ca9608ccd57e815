// Reads one line of the activity log back into what the filter did. The patterns come from the
// filter's own message formats, so a message the filter writes is a message the report knows.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "log_time.h"

enum class LogEventKind {
    kStarted,
    kStopped,
    kRebuilding,
    kWatcherError,
    kAllowed,
    kBlocked,
    kWouldBlock,  // report-only mode: the rule would have blocked, the request went through
    kAlternateSent,
};

// The rule that decided a request.
enum class LogRule {
    kNone,  // not a decision
    kClient,
    kUserAgent,
    kReferrer,
    kNullReferrer,
    kFetchMetadata,  // no referrer; the browser's Sec-Fetch-Site decided
    kLink,           // a top-level navigation, links being allowed
    kUrl,
    kDynamicCookie,
    kDynamic,
    kNoBlockRules,
};

// What the deciding value of a decision line is.
enum class LogValue { kNone, kClientAddress, kUserAgent, kReferrerHost };

struct LogEvent {
    LogEventKind kind = LogEventKind::kStarted;
    LogRule rule = LogRule::kNone;
    LogValue valueKind = LogValue::kNone;
    std::string_view url;    // the requested URL, for decisions and alternates
    std::string_view value;  // the deciding value, as `valueKind` says
};

struct LogLine {
    std::optional<LogTime> time;  // absent when the filter could not format the time
    LogEvent event;
};

class LogLineParser {
  public:
    LogLineParser();

    // `line` without its line end. Absent for a line that is not one the filter writes whole:
    // another version's message, a damaged or a cut line. The views point into `line`.
    std::optional<LogLine> Parse(std::string_view line) const;

    // The message part alone, without time stamp and separator.
    std::optional<LogEvent> ParseMessage(std::string_view message) const;

  private:
    struct Pattern {
        std::vector<std::string_view> literals;  // the text around the placeholders
        LogEventKind kind;
        LogRule rule;
        LogValue valueKind;
    };
    static std::optional<LogEvent> Match(const Pattern& pattern, std::string_view message);

    std::vector<Pattern> patterns_;
};
