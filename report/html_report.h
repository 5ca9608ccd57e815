// The report as one self-contained HTML page: styles and charts (SVG drawn here) inline, no
// script, nothing fetched when it is opened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "activity_summary.h"
#include "blocked_bytes.h"
#include "log_reader.h"

class HtmlReport {
  public:
    static constexpr std::size_t kTopLimit = 10;
    // Periods up to this long are drawn by the hour, longer ones by the day.
    static constexpr std::int64_t kMaxHourlySpan = 96;

    // The logs are listed by their first time stamp, whatever order they were read in.
    HtmlReport(const ActivitySummary& summary, std::vector<LogFileStats> files);

    // With the document root: what the blocked requests would have cost, and what the requests
    // a rule would have blocked did cost.
    void SetCost(const BlockedBytes& sizes, BlockedBytes::Total total, std::string root,
                 BlockedBytes::Total wouldBlockTotal = {});

    std::string Render() const;

    struct Bin {
        std::string label;  // "2005-12-31 23:00" or "2005-12-31"
        ActivitySummary::Counts counts;
    };
    // The timeline's bars, one per hour or per day from the first decision to the last,
    // empty ones included.
    std::vector<Bin> Timeline() const;

    static std::string Escape(std::string_view text);
    static std::string Number(std::uint64_t value);  // "12,345"
    static std::string Bytes(std::uint64_t value);   // "1.2 MB"

  private:
    void RenderTotals(std::string& out) const;
    void RenderTimeline(std::string& out) const;
    void RenderRules(std::string& out) const;
    // `wouldBlock`: the counter is of the requests a rule would have blocked.
    void RenderTop(std::string& out, std::string_view id, std::string_view title,
                   std::string_view valueTitle, const TopCounter& counter, bool withBytes,
                   bool wouldBlock = false) const;
    void RenderFiles(std::string& out) const;

    const ActivitySummary& summary_;
    std::vector<LogFileStats> files_;
    const BlockedBytes* sizes_ = nullptr;
    BlockedBytes::Total cost_;
    BlockedBytes::Total wouldBlockCost_;
    std::string root_;
};
