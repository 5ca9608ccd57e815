#include "html_report.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view kStyle = R"(
:root{--allowed:#3f8f63;--blocked:#c8414f;--would:#d98a1c;--ink:#1f2933;--muted:#627080;--line:#dfe3e8;--panel:#fff}
*{box-sizing:border-box}
body{margin:0;background:#f3f5f7;color:var(--ink);font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif}
header{background:#1f2933;color:#fff;padding:18px 28px}
header h1{margin:0;font-size:20px;font-weight:600}
header p{margin:4px 0 0;color:#c5ccd4}
main{max-width:1040px;margin:0 auto;padding:20px 28px 40px}
section{background:var(--panel);border:1px solid var(--line);border-radius:8px;padding:16px 20px;margin:0 0 18px}
h2{font-size:15px;margin:0 0 12px;font-weight:600}
.cards{display:grid;grid-template-columns:repeat(auto-fit,minmax(112px,1fr));gap:12px}
.card{border:1px solid var(--line);border-radius:8px;padding:10px 12px;background:#fafbfc}
.card span{display:block;color:var(--muted);font-size:12px;white-space:nowrap}
.card strong{font-size:22px;font-weight:600}
.card.allowed strong{color:var(--allowed)}.card.blocked strong{color:var(--blocked)}
.card.would strong{color:var(--would)}
.note{color:var(--muted);margin:10px 0 0}
.warn{color:#9a5b00}
.legend{display:flex;gap:16px;color:var(--muted);font-size:12px;margin:0 0 6px}
.legend i{display:inline-block;width:10px;height:10px;border-radius:2px;margin-right:5px;vertical-align:-1px}
svg text{font:11px system-ui,sans-serif;fill:var(--muted)}
.grid{display:grid;grid-template-columns:1fr 1fr;gap:18px}
.grid section{margin:0}
table{width:100%;border-collapse:collapse}
td,th{padding:4px 6px;text-align:left;vertical-align:middle;border-bottom:1px solid #eef0f2}
th{color:var(--muted);font-weight:500;font-size:12px}
td.n,th.n{text-align:right;white-space:nowrap;font-variant-numeric:tabular-nums}
td.key{word-break:break-all;max-width:340px}
td.bar{width:32%}
.bar div{height:10px;border-radius:2px;background:var(--blocked)}
.bar.allowed div{background:var(--allowed)}.bar.would div{background:var(--would)}
.top-section{margin:0 0 18px}
footer{color:var(--muted);font-size:12px;text-align:center}
)";

constexpr int kChartWidth = 960;
constexpr int kChartHeight = 240;
constexpr int kLeft = 52;
constexpr int kRight = 8;
constexpr int kTop = 10;
constexpr int kBottom = 34;

std::string Format(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

// The top of the scale: four steps of 1, 2, 2.5 or 5 times a power of ten, at least `value`.
std::uint64_t NiceCeiling(std::uint64_t value) {
    const std::uint64_t quarter = (value + 3) / 4;
    if (quarter <= 1) return 4;
    std::uint64_t power = 1;
    while (power * 10 < quarter) power *= 10;
    for (const std::uint64_t step : {power, 2 * power, 5 * power / 2, 5 * power}) {
        if (step >= quarter) return 4 * step;
    }
    return 40 * power;
}

struct RuleRow {
    LogRule rule;
    std::string_view label;
};

// The blocking rules, which report-only mode names too.
constexpr RuleRow kBlockRules[] = {
    {LogRule::kClient, "Client black list"},
    {LogRule::kUserAgent, "User agent black list"},
    {LogRule::kReferrer, "Referrer black list"},
    {LogRule::kNullReferrer, "Null referrer"},
    {LogRule::kFetchMetadata, "Fetch Metadata (cross-site)"},
    {LogRule::kUrl, "URL black list"},
    {LogRule::kDynamic, "Dynamic authorization"},
};

constexpr RuleRow kAllowRules[] = {
    {LogRule::kClient, "Client white list"},
    {LogRule::kUserAgent, "User agent white list"},
    {LogRule::kReferrer, "Referrer white list or own site"},
    {LogRule::kFetchMetadata, "Fetch Metadata (own site)"},
    {LogRule::kLink, "Link followed"},
    {LogRule::kUrl, "URL white list"},
    {LogRule::kDynamicCookie, "Dynamic authorization (cookie)"},
    {LogRule::kDynamic, "Dynamic authorization"},
    {LogRule::kNoBlockRules, "No block rules"},
};

// `series`: "" for blocked, " allowed" or " would" (would have blocked).
std::string BarCell(std::uint64_t value, std::uint64_t max, std::string_view series) {
    const double percent =
        max == 0 ? 0 : 100.0 * static_cast<double>(value) / static_cast<double>(max);
    return "<td class=\"bar" + std::string(series) +
           "\"><div style=\"width:" + Format("%.1f", percent) + "%\"></div></td>";
}

}  // namespace

std::string HtmlReport::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string HtmlReport::Number(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::string HtmlReport::Bytes(std::uint64_t value) {
    static constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
    if (value < 1024) return Number(value) + " bytes";
    double scaled = static_cast<double>(value);
    std::size_t unit = 0;
    while (scaled >= 1024 && unit + 1 < std::size(kUnits)) {
        scaled /= 1024;
        ++unit;
    }
    return Format(scaled < 10 ? "%.1f " : "%.0f ", scaled) + kUnits[unit];
}

HtmlReport::HtmlReport(const ActivitySummary& summary, std::vector<LogFileStats> files)
    : summary_(summary), files_(std::move(files)) {
    std::stable_sort(files_.begin(), files_.end(), [](const auto& a, const auto& b) {
        if (a.first.has_value() != b.first.has_value()) return a.first.has_value();
        return a.first != b.first ? a.first < b.first : a.path < b.path;
    });
}

void HtmlReport::SetCost(const BlockedBytes& sizes, BlockedBytes::Total total, std::string root,
                         BlockedBytes::Total wouldBlockTotal) {
    sizes_ = &sizes;
    cost_ = total;
    wouldBlockCost_ = wouldBlockTotal;
    root_ = std::move(root);
}

std::vector<HtmlReport::Bin> HtmlReport::Timeline() const {
    const auto& hourly = summary_.Hourly();
    std::vector<Bin> bins;
    if (hourly.empty()) return bins;
    const std::int64_t firstHour = hourly.begin()->first;
    const std::int64_t lastHour = hourly.rbegin()->first;
    const bool byHour = lastHour - firstHour < kMaxHourlySpan;
    const std::int64_t hoursPerBin = byHour ? 1 : 24;
    const auto binOf = [&](std::int64_t hour) {
        const std::int64_t start = byHour ? hour : LogTime::FromSeconds(hour * 3600).Day() * 24;
        return start;
    };
    const std::int64_t firstBin = binOf(firstHour);
    const std::int64_t count = (binOf(lastHour) - firstBin) / hoursPerBin + 1;
    bins.resize(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const LogTime start = LogTime::FromSeconds((firstBin + i * hoursPerBin) * 3600);
        bins[static_cast<std::size_t>(i)].label = byHour ? start.HourText() : start.DateText();
    }
    for (const auto& [hour, counts] : hourly) {
        Bin& bin = bins[static_cast<std::size_t>((binOf(hour) - firstBin) / hoursPerBin)];
        bin.counts.allowed += counts.allowed;
        bin.counts.blocked += counts.blocked;
        bin.counts.wouldBlock += counts.wouldBlock;
    }
    return bins;
}

void HtmlReport::RenderTotals(std::string& out) const {
    struct Card {
        std::string_view id;
        std::string_view label;
        std::uint64_t value;
        std::string_view style;
    };
    const bool wouldBlock = summary_.WouldBlock() > 0;
    const Card cards[] = {
        {"judged", "Requests judged", summary_.Judged(), ""},
        {"allowed", "Allowed", summary_.Allowed(), " allowed"},
        {"blocked", "Blocked", summary_.Blocked(), " blocked"},
        {"would-block", "Would have blocked", summary_.WouldBlock(), " would"},
        {"alternates", "Alternates sent", summary_.AlternatesSent(), ""},
        {"not-found", "404s sent", summary_.NotFoundSent(), ""},
        {"rebuilds", "Rebuilds", summary_.Rebuilds(), ""},
    };
    out += "<section id=\"totals\"><h2>Totals</h2><div class=\"cards\">";
    for (const Card& card : cards) {
        if (card.id == "would-block" && !wouldBlock) continue;  // a log of enforcing only
        out += "<div class=\"card";
        out += card.style;
        out += "\"><span>";
        out += card.label;
        out += "</span><strong id=\"total-";
        out += card.id;
        out += "\" data-value=\"" + std::to_string(card.value) + "\">" + Number(card.value) +
               "</strong></div>";
    }
    const auto bytesCard = [&](std::string_view id, std::string_view label, std::string_view style,
                               std::uint64_t bytes) {
        out += "<div class=\"card " + std::string(style) + "\"><span>" + std::string(label) +
               "</span><strong id=\"" + std::string(id) + "\" data-value=\"" +
               std::to_string(bytes) + "\" title=\"" + Number(bytes) + " bytes\">" + Bytes(bytes) +
               "</strong></div>";
    };
    if (sizes_) bytesCard("total-bytes", "Blocked bytes", "blocked", cost_.bytes);
    if (sizes_ && wouldBlock) {
        bytesCard("total-would-block-bytes", "Would-block bytes", "would", wouldBlockCost_.bytes);
    }
    out += "</div>";
    if (wouldBlock) {
        out +=
            "<p class=\"note\">Would have blocked: requests served in report-only mode that a "
            "rule would have blocked; enforcing would answer them as it answers the blocked.</p>";
    }
    const auto bytesNote = [&](std::string_view what, const BlockedBytes::Total& total) {
        out += "<p class=\"note\">" + std::string(what) + ", by the sizes of the files under " +
               Escape(root_) + " (" + Number(total.requests) + " requests";
        if (total.missing > 0) {
            out += "; " + Number(total.missing) + " more for files not found there";
        }
        out += ").</p>";
    };
    if (sizes_) bytesNote("Blocked bytes: what the blocked requests would have cost", cost_);
    if (sizes_ && wouldBlock) {
        bytesNote("Would-block bytes: what serving the requests a rule would have blocked cost",
                  wouldBlockCost_);
    }
    out += "<p class=\"note\">Filter starts " + Number(summary_.Starts()) + ", stops " +
           Number(summary_.Stops());
    if (summary_.WatcherErrors() > 0) {
        out += ", <span class=\"warn\">watcher failures " + Number(summary_.WatcherErrors()) +
               "</span>";
    }
    out += ".</p><p class=\"note" + std::string(summary_.NotUnderstood() > 0 ? " warn" : "") +
           "\"><span id=\"not-understood\" data-value=\"" +
           std::to_string(summary_.NotUnderstood()) + "\">" + Number(summary_.NotUnderstood()) +
           (summary_.NotUnderstood() == 1 ? "</span> line was" : "</span> lines were") +
           " not understood and skipped (another version's messages, damaged or cut "
           "lines).</p></section>";
}

void HtmlReport::RenderTimeline(std::string& out) const {
    const std::vector<Bin> bins = Timeline();
    const bool byHour = !bins.empty() && bins.front().label.size() > 10;
    out += "<section id=\"timeline\"><h2>Requests per ";
    out += byHour ? "hour" : "day";
    out += "</h2>";
    if (bins.empty()) {
        out += "<p class=\"note\">No decisions in these logs.</p></section>";
        return;
    }
    const bool wouldBlock = summary_.WouldBlock() > 0;
    out +=
        "<div class=\"legend\"><span><i style=\"background:var(--allowed)\"></i>Allowed</span>"
        "<span><i style=\"background:var(--blocked)\"></i>Blocked</span>";
    if (wouldBlock) {
        out += "<span><i style=\"background:var(--would)\"></i>Would have blocked</span>";
    }
    out += "</div>";
    std::uint64_t highest = 0;
    for (const Bin& bin : bins) {
        highest =
            std::max(highest, bin.counts.allowed + bin.counts.wouldBlock + bin.counts.blocked);
    }
    const std::uint64_t top = NiceCeiling(highest);
    const double plotWidth = kChartWidth - kLeft - kRight;
    const double plotHeight = kChartHeight - kTop - kBottom;
    const double slot = plotWidth / static_cast<double>(bins.size());
    // Thin bars for many bins, never a slab for a few.
    const double barWidth = std::min(std::max(slot * 0.8, std::min(slot, 1.0)), 40.0);
    const auto y = [&](std::uint64_t value) {
        return kTop + plotHeight -
               plotHeight * static_cast<double>(value) / static_cast<double>(top);
    };

    out += "<svg viewBox=\"0 0 " + std::to_string(kChartWidth) + " " +
           std::to_string(kChartHeight) +
           "\" width=\"100%\" role=\"img\" aria-label=\"Allowed and blocked requests over time\">";
    for (int step = 0; step <= 4; ++step) {
        const std::uint64_t value = top * static_cast<std::uint64_t>(step) / 4;
        const double at = y(value);
        out += Format("<line x1=\"%.0f\" x2=\"%.0f\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"#e4e7eb\"/>",
                      kLeft, kChartWidth - kRight, at, at);
        out += Format("<text x=\"%.0f\" y=\"%.1f\" text-anchor=\"end\">", kLeft - 6, at + 4) +
               Number(value) + "</text>";
    }
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const Bin& bin = bins[i];
        const double x = kLeft + slot * static_cast<double>(i) + (slot - barWidth) / 2;
        out += "<g class=\"bin\"><title>" + Escape(bin.label) + ": " + Number(bin.counts.allowed) +
               " allowed, " + Number(bin.counts.blocked) + " blocked";
        if (wouldBlock) out += ", " + Number(bin.counts.wouldBlock) + " would have blocked";
        out += "</title>";
        // Stacked from the axis: the served series first, the blocked on top.
        const struct {
            std::uint64_t value;
            std::string_view series;
        } stack[] = {{bin.counts.allowed, "allowed"},
                     {bin.counts.wouldBlock, "would"},
                     {bin.counts.blocked, "blocked"}};
        std::uint64_t below = 0;
        for (const auto& part : stack) {
            if (part.value == 0) continue;
            const std::string series(part.series);
            out += "<rect class=\"" + series + "\"" +
                   Format(" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"", x,
                          y(below + part.value), barWidth, y(below) - y(below + part.value)) +
                   " fill=\"var(--" + series + ")\"/>";
            below += part.value;
        }
        out += "</g>";
    }
    // At most about a dozen labels along the time axis.
    const std::size_t every = std::max<std::size_t>(1, (bins.size() + 11) / 12);
    for (std::size_t i = 0; i < bins.size(); i += every) {
        const double x = kLeft + slot * (static_cast<double>(i) + 0.5);
        if (x + 36 > kChartWidth) break;  // the label would be cut at the edge
        const std::string& label = bins[i].label;
        const std::string shown = byHour ? label.substr(5) : label;  // "12-31 23:00"
        out += Format("<text x=\"%.1f\" y=\"%.0f\" text-anchor=\"middle\">", x,
                      kChartHeight - kBottom + 16) +
               Escape(shown) + "</text>";
    }
    out += Format("<line x1=\"%.0f\" x2=\"%.0f\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"#9aa5b1\"/>",
                  kLeft, kChartWidth - kRight, y(0), y(0));
    out += "</svg></section>";
}

void HtmlReport::RenderRules(std::string& out) const {
    using By = std::uint64_t (ActivitySummary::*)(LogRule) const;
    const auto table = [&](std::string_view id, std::string_view title, const auto& rows, By by,
                           std::string_view series, std::uint64_t total) {
        std::uint64_t max = 0;
        for (const RuleRow& row : rows) max = std::max(max, (summary_.*by)(row.rule));
        out += "<section id=\"";
        out += id;
        out += "\"><h2>";
        out += title;
        out += "</h2><table>";
        for (const RuleRow& row : rows) {
            const std::uint64_t value = (summary_.*by)(row.rule);
            const double share =
                total == 0 ? 0 : 100.0 * static_cast<double>(value) / static_cast<double>(total);
            out += "<tr><td>";
            out += row.label;
            out += "</td><td class=\"n\">" + Number(value) + "</td><td class=\"n\">" +
                   Format("%.0f%%", share) + "</td>" + BarCell(value, max, series) + "</tr>";
        }
        out += "</table></section>";
    };
    const auto blocked = [&] {
        table("blocked-by-rule", "Blocked by rule", kBlockRules, &ActivitySummary::BlockedBy, "",
              summary_.Blocked());
    };
    // In report-only mode the table an administrator reads first, beside what was allowed.
    const bool wouldBlock = summary_.WouldBlock() > 0;
    out += "<div class=\"grid top-section\">";
    if (wouldBlock) {
        table("would-block-by-rule", "Would have blocked by rule", kBlockRules,
              &ActivitySummary::WouldBlockBy, " would", summary_.WouldBlock());
    } else {
        blocked();
    }
    table("allowed-by-rule", "Allowed by rule", kAllowRules, &ActivitySummary::AllowedBy,
          " allowed", summary_.Allowed());
    if (wouldBlock) blocked();
    out += "</div>";
}

void HtmlReport::RenderTop(std::string& out, std::string_view id, std::string_view title,
                           std::string_view valueTitle, const TopCounter& counter, bool withBytes,
                           bool wouldBlock) const {
    const auto entries = counter.Top(kTopLimit);
    out += "<section id=\"";
    out += id;
    out += "\"><h2>";
    out += title;
    out += "</h2>";
    if (entries.empty()) {
        out += "<p class=\"note\">None.</p></section>";
        return;
    }
    out += "<table><tr><th>";
    out += valueTitle;
    out += "</th><th class=\"n\">";
    out += wouldBlock ? "Would block" : "Blocked";
    out += "</th>";
    if (withBytes) {
        out += wouldBlock ? "<th class=\"n\">Cost</th>" : "<th class=\"n\">Would have cost</th>";
    }
    out += "<th></th></tr>";
    for (const auto& entry : entries) {
        out += "<tr><td class=\"key\">" + Escape(entry.key) + "</td><td class=\"n\">" +
               Number(entry.count) + "</td>";
        if (withBytes) {
            const auto size = sizes_->KnownSize(entry.key);
            out += "<td class=\"n\">" + (size ? Bytes(*size * entry.count) : std::string("-")) +
                   "</td>";
        }
        out += BarCell(entry.count, entries.front().count, wouldBlock ? " would" : "") + "</tr>";
    }
    out += "</table>";
    if (counter.MaxError() > 0) {
        out +=
            "<p class=\"note\">Too many different values to count all: each count may be up "
            "to " +
            Number(counter.MaxError()) + " short.</p>";
    }
    out += "</section>";
}

void HtmlReport::RenderFiles(std::string& out) const {
    out +=
        "<section id=\"files\"><h2>Logs read</h2><table><tr><th>File</th><th "
        "class=\"n\">Size</th><th class=\"n\">Lines</th><th class=\"n\">Not "
        "understood</th><th>From</th><th>To</th></tr>";
    for (const LogFileStats& file : files_) {
        out += "<tr><td class=\"key\">" + Escape(file.path) + "</td>";
        if (!file.ReadWhole() && file.bytes == 0) {
            out += "<td colspan=\"5\" class=\"warn\">could not be read: " + Escape(file.error) +
                   "</td></tr>";
            continue;
        }
        out += "<td class=\"n\">" + Bytes(file.bytes) + "</td><td class=\"n\">" +
               Number(file.lines) + "</td><td class=\"n\">" + Number(file.notUnderstood) +
               "</td><td>" + (file.first ? file.first->Text() : "-") + "</td><td>" +
               (file.last ? file.last->Text() : "-") + "</td></tr>";
        if (!file.ReadWhole()) {
            out += "<tr><td></td><td colspan=\"5\" class=\"warn\">could not be read past " +
                   Bytes(file.bytes) + ": " + Escape(file.error) +
                   "; the lines before are counted</td></tr>";
        }
    }
    out += "</table></section>";
}

std::string HtmlReport::Render() const {
    std::string out;
    out.reserve(64 * 1024);
    out +=
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>Pixwall hot-linking report</title><style>";
    out += kStyle;
    out += "</style></head><body><header><h1>Pixwall hot-linking report</h1><p id=\"period\">";
    const auto first = summary_.First();
    const auto last = summary_.Last();
    if (first && last) {
        out += "From " + first->Text() + " to " + last->Text() + " (local time of the server)";
    } else {
        out += "No time stamps in these logs";
    }
    out += " &middot; " + Number(files_.size()) + (files_.size() == 1 ? " log" : " logs");
    const auto unreadable = static_cast<std::uint64_t>(std::count_if(
        files_.begin(), files_.end(), [](const LogFileStats& file) { return !file.ReadWhole(); }));
    if (unreadable > 0) {
        out += ", <span class=\"warn\" id=\"unreadable\" data-value=\"" +
               std::to_string(unreadable) + "\">" + Number(unreadable) +
               " could not be read</span>";
    }
    out += "</p></header><main>";
    RenderTotals(out);
    RenderTimeline(out);
    RenderRules(out);
    // What enforcing would change first, where there is any: the values to white-list before.
    if (summary_.WouldBlock() > 0) {
        const auto& tops = summary_.WouldBlockTops();
        RenderTop(out, "top-would-referrers", "Black-listed referrers that would have been blocked",
                  "Referrer", tops.referrers, /*withBytes=*/false, /*wouldBlock=*/true);
        RenderTop(out, "top-would-files", "Files that would have been blocked", "File", tops.files,
                  /*withBytes=*/sizes_ != nullptr, /*wouldBlock=*/true);
        RenderTop(out, "top-would-clients", "Clients that would have been denied", "Client",
                  tops.clients, /*withBytes=*/false, /*wouldBlock=*/true);
    }
    RenderTop(out, "top-referrers", "Top black-listed referrers", "Referrer",
              summary_.BlackListedReferrers(), false);
    RenderTop(out, "top-files", "Top blocked files", "File", summary_.BlockedFiles(),
              sizes_ != nullptr);
    RenderTop(out, "top-clients", "Top denied clients", "Client", summary_.DeniedClients(), false);
    RenderFiles(out);
    out +=
        "<footer>Made by pixwall-report from the filter's activity logs.</footer>"
        "</main></body></html>\n";
    return out;
}
