// The filter's activity log: one line per event, appended to a file kept open between lines and
// given up as soon as its path names another file (moved, deleted, rotated by another process),
// moved to a single backup when it grows past its limit.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/shared_file.h"

class ActivityLog {
  public:
    // A line from one of log_messages' formats: its first conversion ("%s" or "%d") takes
    // `first`, its second `second`; the values are written as they are, not read as formats.
    struct Line {
        const char* format;
        std::string_view first = {};
        std::string_view second = {};
    };

    // An empty path turns logging off.
    void Configure(std::string path, std::int32_t maxSize);

    // A line of this text.
    void Write(std::string_view message);
    // Lines that belong together (a decision and its answer) go out in one write, each whole,
    // under one time stamp.
    void Write(std::initializer_list<Line> lines);

    bool IsOn() const { return on_.load(std::memory_order_relaxed); }

    // "pixwall.log" gives "pixwall.1.log": the last ".log" of the path becomes ".1.log".
    static std::string BackupPath(const std::string& path);

  private:
    void StartLine();
    void AppendText(std::string_view text);
    void Flush();

    mutable std::mutex lock_;  // one write, and the rotation it causes, at a time
    std::string path_;
    std::int32_t maxSize_ = 0;
    std::atomic<bool> on_{false};
    platform::AppendFile file_;
    std::string pending_;  // the lines of the write being made; its buffer is kept
    std::time_t stampSecond_ = -1;
    std::string stamp_;  // the time stamp of stampSecond_, made once a second
};
