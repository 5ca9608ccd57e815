#include "activity_log.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "platform/time_stamp.h"
#include "text.h"

void ActivityLog::Configure(std::string path, std::int32_t maxSize) {
    // Under the lock, so that a line goes whole to the old path or to the new one.
    std::lock_guard guard(lock_);
    if (path != path_) file_.Close();
    path_ = std::move(path);
    maxSize_ = maxSize;
    on_.store(!path_.empty(), std::memory_order_relaxed);
}

std::string ActivityLog::BackupPath(const std::string& path) {
    const auto at = path.rfind(".log");
    if (at == std::string::npos) return path + ".1.log";
    return path.substr(0, at) + ".1.log" + path.substr(at + 4);
}

void ActivityLog::Write(std::string_view message) { Write({{"%s", message}}); }

void ActivityLog::Write(std::initializer_list<Line> lines) {
    if (!IsOn()) return;
    std::lock_guard guard(lock_);
    if (path_.empty()) return;
    for (const Line& line : lines) {
        StartLine();
        std::string_view format = line.format;
        const std::string_view values[] = {line.first, line.second};
        std::size_t next = 0;
        for (std::size_t at; (at = format.find('%')) != std::string_view::npos;) {
            AppendText(format.substr(0, at));
            if (at + 1 < format.size() && format[at + 1] == '%') {
                pending_.push_back('%');
            } else if (next < std::size(values)) {
                AppendText(values[next++]);
            }
            format.remove_prefix(std::min(at + 2, format.size()));
        }
        AppendText(format);
        pending_.append("\r\n");  // the same bytes as the Windows runtime's text mode writes
    }
    Flush();
}

void ActivityLog::StartLine() {
    const std::time_t now = std::time(nullptr);
    if (now != stampSecond_) {
        stamp_ = platform::LocalTimeStamp(now);
        stampSecond_ = now;
    }
    pending_.append(stamp_).append(" : ");
}

void ActivityLog::AppendText(std::string_view text) {
    // Messages carry request values: a line end in one would start a forged line of the log,
    // and other control bytes (escape sequences, bell) act on the terminal of whoever reads it.
    while (!text.empty()) {
        const auto control =
            std::find_if(text.begin(), text.end(), [](char c) { return text::IsControlByte(c); });
        const auto plain = static_cast<std::size_t>(control - text.begin());
        pending_.append(text.data(), plain);
        if (plain == text.size()) break;
        text::AppendEscape(pending_, text[plain]);
        text.remove_prefix(plain + 1);
    }
}

void ActivityLog::Flush() {
    const auto length = file_.Append(path_, pending_);
    pending_.clear();
    if (!length) return;  // the lines are lost; the next write tries again
    if (*length > static_cast<std::int64_t>(maxSize_)) {
        file_.Close();
        const std::string backup = BackupPath(path_);
        std::remove(backup.c_str());
        std::rename(path_.c_str(), backup.c_str());
    }
}
