// Reads activity log files line by line into an ActivitySummary, a fixed-size block at a time,
// whatever the size of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "activity_summary.h"
#include "log_line_parser.h"
#include "log_time.h"

struct LogFileStats {
    std::string path;
    // Why the file could not be opened or read to its end (the C runtime's text); empty when it
    // was read whole. What was read before a failure is counted.
    std::string error;
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
    std::uint64_t notUnderstood = 0;
    std::optional<LogTime> first;
    std::optional<LogTime> last;

    bool ReadWhole() const { return error.empty(); }
};

class LogReader {
  public:
    // Longer lines are not the filter's (its longest carry a URL and a user agent, a few
    // kilobytes at most); they are counted as not understood without being kept.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;

    LogReader(const LogLineParser& parser, ActivitySummary& summary)
        : parser_(parser), summary_(summary) {}

    // A last line without its line end was cut short as it was written, and is not understood.
    LogFileStats Read(const std::string& path);

  private:
    void Line(std::string_view line, LogFileStats& stats);

    const LogLineParser& parser_;
    ActivitySummary& summary_;
};
