#include "activity_log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/shared_file.h"
#include "platform/time_stamp.h"
#include "text.h"

void ActivityLog::Configure(std::string path, std::int32_t maxSize) {
    // Under the lock, so that a line goes whole to the old path or to the new one.
    std::lock_guard guard(lock_);
    path_ = std::move(path);
    maxSize_ = maxSize;
    on_.store(!path_.empty(), std::memory_order_relaxed);
}

std::string ActivityLog::BackupPath(const std::string& path) {
    const auto at = path.rfind(".log");
    if (at == std::string::npos) return path + ".1.log";
    return path.substr(0, at) + ".1.log" + path.substr(at + 4);
}

void ActivityLog::Write(std::string_view message) {
    if (!IsOn()) return;
    std::lock_guard guard(lock_);
    if (path_.empty()) return;
    std::string line = platform::LocalTimeStamp();
    line.append(" : ");
    // Messages carry request values: a line end in one would start a forged line of the log,
    // and other control bytes (escape sequences, bell) act on the terminal of whoever reads it.
    for (const char c : message) {
        if (text::IsControlByte(c)) {
            text::AppendEscape(line, c);
        } else {
            line.push_back(c);
        }
    }
    const auto length = platform::AppendLine(path_, line);
    if (!length) return;  // the line is lost; the next one tries again
    if (*length > static_cast<std::int64_t>(maxSize_)) {
        const std::string backup = BackupPath(path_);
        std::remove(backup.c_str());
        std::rename(path_.c_str(), backup.c_str());
    }
}

void ActivityLog::Writef(const char* format, ...) {
    if (!IsOn()) return;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        va_end(args);
        return;
    }
    std::string message(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(message.data(), message.size() + 1, format, args);
    va_end(args);
    Write(message);
}
