#include "activity_summary.h"

void ActivitySummary::Add(const LogLine& line) {
    if (line.time) {
        if (!first_ || *line.time < *first_) first_ = line.time;
        if (!last_ || *last_ < *line.time) last_ = line.time;
    } else {
        ++untimed_;
    }
    switch (line.event.kind) {
        case LogEventKind::kStarted:
            ++starts_;
            break;
        case LogEventKind::kStopped:
            ++stops_;
            break;
        case LogEventKind::kRebuilding:
            ++rebuilds_;
            break;
        case LogEventKind::kWatcherError:
            ++watcherErrors_;
            break;
        case LogEventKind::kAlternateSent:
            ++alternatesSent_;
            break;
        case LogEventKind::kAllowed:
        case LogEventKind::kBlocked:
        case LogEventKind::kWouldBlock:
            AddDecision(line);
            break;
    }
}

void ActivitySummary::AddDecision(const LogLine& line) {
    const LogEvent& event = line.event;
    const bool allowed = event.kind == LogEventKind::kAllowed;
    const bool wouldBlock = event.kind == LogEventKind::kWouldBlock;
    if (allowed) {
        ++allowed_;
        ++allowedByRule_[Index(event.rule)];
    } else {
        // Blocked, or would have been: counted alike, apart.
        ++(wouldBlock ? wouldBlock_ : blocked_);
        ++(wouldBlock ? wouldBlockByRule_ : blockedByRule_)[Index(event.rule)];
        Tops& tops = wouldBlock ? wouldBlockTops_ : blockedTops_;
        tops.files.Add(event.url);
        if (event.rule == LogRule::kReferrer) tops.referrers.Add(event.value);
        if (event.valueKind == LogValue::kClientAddress) tops.clients.Add(event.value);
    }
    if (!line.time) return;
    const std::int64_t hour = line.time->Hour();
    if (!lastHourCounts_ || hour != lastHour_) {
        lastHourCounts_ = &hourly_[hour];  // map nodes stay put
        lastHour_ = hour;
    }
    Counts& counts = *lastHourCounts_;
    ++(allowed ? counts.allowed : wouldBlock ? counts.wouldBlock : counts.blocked);
}
