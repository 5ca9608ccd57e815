#include "log_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void LogReader::Line(std::string_view line, LogFileStats& stats) {
    ++stats.lines;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto parsed = parser_.Parse(line);
    if (!parsed) {
        ++stats.notUnderstood;
        summary_.AddNotUnderstood();
        return;
    }
    if (parsed->time) {
        if (!stats.first || *parsed->time < *stats.first) stats.first = parsed->time;
        if (!stats.last || *stats.last < *parsed->time) stats.last = parsed->time;
    }
    summary_.Add(*parsed);
}

LogFileStats LogReader::Read(const std::string& path) {
    LogFileStats stats;
    stats.path = path;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        stats.error = std::strerror(errno);
        return stats;
    }

    // The block holds the start of a line carried over from the previous read, then new bytes.
    std::vector<char> block(kMaxLineLength + kBlockSize);
    std::size_t carried = 0;
    bool overlong = false;  // inside a line too long to keep: skipping to its end
    for (;;) {
        const std::size_t got = std::fread(block.data() + carried, 1, kBlockSize, file.get());
        // A folder, which POSIX opens as a file, fails here too, before its first byte.
        const bool failed = got < kBlockSize && std::ferror(file.get());
        const int failure = errno;
        stats.bytes += got;
        if (got == 0 && !failed) break;
        const char* const end = block.data() + carried + got;
        const char* start = block.data();
        for (;;) {
            const char* newline = static_cast<const char*>(
                std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
            if (!newline) break;
            if (overlong) {
                overlong = false;
                ++stats.lines;
                ++stats.notUnderstood;
                summary_.AddNotUnderstood();
            } else {
                Line(std::string_view(start, static_cast<std::size_t>(newline - start)), stats);
            }
            start = newline + 1;
        }
        carried = static_cast<std::size_t>(end - start);
        if (overlong || carried > kMaxLineLength) {
            overlong = true;
            carried = 0;
        } else {
            std::memmove(block.data(), start, carried);
        }
        if (failed) {  // the line it stopped in is not counted: it is not known to be cut
            stats.error = failure != 0 ? std::strerror(failure) : "read error";
            return stats;
        }
    }
    if (overlong || carried > 0) {  // cut short: no line end
        ++stats.lines;
        ++stats.notUnderstood;
        summary_.AddNotUnderstood();
    }
    return stats;
}
