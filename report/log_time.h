// The activity log's time stamp: local time as "12/31/05 23:59:58" (month, day, two-digit year,
// 24-hour time). Read as a count of seconds on a plain calendar without time zone, so that lines
// from several files sort and group by the clock the server showed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class LogTime {
  public:
    static constexpr std::size_t kLength = 17;  // "12/31/05 23:59:58"

    // Absent unless `text` is exactly one valid time stamp. Two-digit years 69 to 99 are
    // 1969 to 1999, the others 2000 to 2068, as strptime reads "%y".
    static std::optional<LogTime> Parse(std::string_view text);
    static LogTime FromSeconds(std::int64_t seconds) { return LogTime(seconds); }

    std::int64_t Seconds() const { return seconds_; }
    std::int64_t Hour() const;  // hours since 1970, the start of this hour
    std::int64_t Day() const;   // days since 1970

    // "2005-12-31 23:59:58": a reader of the report need not guess the century.
    std::string Text() const;
    std::string DateText() const;  // "2005-12-31"
    std::string HourText() const;  // "2005-12-31 23:00"

    auto operator<=>(const LogTime&) const = default;

  private:
    explicit LogTime(std::int64_t seconds) : seconds_(seconds) {}
    std::int64_t seconds_ = 0;
};
