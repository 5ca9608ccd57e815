// What the filter did, summed over every line read: totals, a timeline by hour, blocked requests
// by rule, and the most frequent black-listed referrers, blocked files and denied clients.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include "log_line_parser.h"
#include "log_time.h"
#include "top_counter.h"

class ActivitySummary {
  public:
    struct Counts {
        std::uint64_t allowed = 0;
        std::uint64_t blocked = 0;
        bool operator==(const Counts&) const = default;
    };

    ActivitySummary() = default;
    // Not copied: the cached timeline slot would point into the original.
    ActivitySummary(const ActivitySummary&) = delete;
    ActivitySummary& operator=(const ActivitySummary&) = delete;

    void Add(const LogLine& line);
    void AddNotUnderstood() { ++notUnderstood_; }

    std::uint64_t Judged() const { return allowed_ + blocked_; }
    std::uint64_t Allowed() const { return allowed_; }
    std::uint64_t Blocked() const { return blocked_; }
    std::uint64_t AlternatesSent() const { return alternatesSent_; }
    // Every block is answered by an alternate or by "404 Not Found".
    std::uint64_t NotFoundSent() const {
        return blocked_ > alternatesSent_ ? blocked_ - alternatesSent_ : 0;
    }
    std::uint64_t Rebuilds() const { return rebuilds_; }
    std::uint64_t Starts() const { return starts_; }
    std::uint64_t Stops() const { return stops_; }
    std::uint64_t WatcherErrors() const { return watcherErrors_; }
    std::uint64_t NotUnderstood() const { return notUnderstood_; }
    std::uint64_t Untimed() const { return untimed_; }  // understood, without a time stamp

    std::optional<LogTime> First() const { return first_; }
    std::optional<LogTime> Last() const { return last_; }

    // Decisions per hour (hours since 1970), only hours with a decision.
    const std::map<std::int64_t, Counts>& Hourly() const { return hourly_; }

    std::uint64_t BlockedBy(LogRule rule) const { return blockedByRule_[Index(rule)]; }
    std::uint64_t AllowedBy(LogRule rule) const { return allowedByRule_[Index(rule)]; }

    const TopCounter& BlackListedReferrers() const { return referrers_; }
    const TopCounter& BlockedFiles() const { return files_; }
    const TopCounter& DeniedClients() const { return clients_; }

  private:
    static constexpr std::size_t kRules = static_cast<std::size_t>(LogRule::kNoBlockRules) + 1;
    static std::size_t Index(LogRule rule) { return static_cast<std::size_t>(rule); }
    void AddDecision(const LogLine& line);

    std::uint64_t allowed_ = 0;
    std::uint64_t blocked_ = 0;
    std::uint64_t alternatesSent_ = 0;
    std::uint64_t rebuilds_ = 0;
    std::uint64_t starts_ = 0;
    std::uint64_t stops_ = 0;
    std::uint64_t watcherErrors_ = 0;
    std::uint64_t notUnderstood_ = 0;
    std::uint64_t untimed_ = 0;
    std::optional<LogTime> first_;
    std::optional<LogTime> last_;
    std::map<std::int64_t, Counts> hourly_;
    Counts* lastHourCounts_ = nullptr;  // lines come in time order: most fall in the same hour
    std::int64_t lastHour_ = 0;
    std::array<std::uint64_t, kRules> blockedByRule_{};
    std::array<std::uint64_t, kRules> allowedByRule_{};
    TopCounter referrers_;
    TopCounter files_;
    TopCounter clients_;
};
