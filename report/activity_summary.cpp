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
        case LogEventKind::kWouldBlock:
            break;
        case LogEventKind::kAllowed:
        case LogEventKind::kBlocked:
            AddDecision(line);
            break;
    }
}

void ActivitySummary::AddDecision(const LogLine& line) {
    const LogEvent& event = line.event;
    const bool blocked = event.kind == LogEventKind::kBlocked;
    if (blocked) {
        ++blocked_;
        ++blockedByRule_[Index(event.rule)];
        files_.Add(event.url);
        if (event.rule == LogRule::kReferrer) referrers_.Add(event.value);
        if (event.valueKind == LogValue::kClientAddress) clients_.Add(event.value);
    } else {
        ++allowed_;
        ++allowedByRule_[Index(event.rule)];
    }
    if (!line.time) return;
    const std::int64_t hour = line.time->Hour();
    if (!lastHourCounts_ || hour != lastHour_) {
        lastHourCounts_ = &hourly_[hour];  // map nodes stay put
        lastHour_ = hour;
    }
    ++(blocked ? lastHourCounts_->blocked : lastHourCounts_->allowed);
}
