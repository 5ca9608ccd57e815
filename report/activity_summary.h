// What the filter did, summed over every line read: totals, a timeline by hour, blocked requests
// by rule, and the most frequent black-listed referrers, blocked files and denied clients. In
// report-only mode the requests a rule would have blocked are a third series beside allowed and
// blocked, with top lists of their own: they were served, and are what enforcing would change.
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
        std::uint64_t wouldBlock = 0;
        bool operator==(const Counts&) const = default;
    };

    ActivitySummary() = default;
    // Not copied: the cached timeline slot would point into the original.
    ActivitySummary(const ActivitySummary&) = delete;
    ActivitySummary& operator=(const ActivitySummary&) = delete;

    void Add(const LogLine& line);
    void AddNotUnderstood() { ++notUnderstood_; }

    std::uint64_t Judged() const { return allowed_ + blocked_ + wouldBlock_; }
    std::uint64_t Allowed() const { return allowed_; }
    std::uint64_t Blocked() const { return blocked_; }
    std::uint64_t WouldBlock() const { return wouldBlock_; }  // served, not among the blocked
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
    std::uint64_t WouldBlockBy(LogRule rule) const { return wouldBlockByRule_[Index(rule)]; }

    // The most frequent values of one series' requests.
    struct Tops {
        TopCounter referrers;  // black-listed referrers
        TopCounter files;
        TopCounter clients;  // of the rules that name the client
    };
    const TopCounter& BlackListedReferrers() const { return blockedTops_.referrers; }
    const TopCounter& BlockedFiles() const { return blockedTops_.files; }
    const TopCounter& DeniedClients() const { return blockedTops_.clients; }
    const Tops& WouldBlockTops() const { return wouldBlockTops_; }

  private:
    static constexpr std::size_t kRules = static_cast<std::size_t>(LogRule::kNoBlockRules) + 1;
    static std::size_t Index(LogRule rule) { return static_cast<std::size_t>(rule); }
    void AddDecision(const LogLine& line);

    std::uint64_t allowed_ = 0;
    std::uint64_t blocked_ = 0;
    std::uint64_t wouldBlock_ = 0;
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
    std::array<std::uint64_t, kRules> wouldBlockByRule_{};
    Tops blockedTops_;
    Tops wouldBlockTops_;
};
