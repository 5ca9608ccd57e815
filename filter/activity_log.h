// The filter's activity log: one line per event, appended to a file that is opened and closed
// for every line, moved to a single backup when it grows past its limit.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

class ActivityLog {
  public:
    // An empty path turns logging off.
    void Configure(std::string path, std::int32_t maxSize);

    void Write(std::string_view message);

#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Writef(const char* format, ...);

    bool IsOn() const { return on_.load(std::memory_order_relaxed); }

    // "pixwall.log" gives "pixwall.1.log": the last ".log" of the path becomes ".1.log".
    static std::string BackupPath(const std::string& path);

  private:
    mutable std::mutex lock_;  // one line, and the rotation it causes, at a time
    std::string path_;
    std::int32_t maxSize_ = 0;
    std::atomic<bool> on_{false};
};
