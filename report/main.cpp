// pixwall-report: the filter's activity logs as one HTML page.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "activity_summary.h"
#include "blocked_bytes.h"
#include "html_report.h"
#include "log_line_parser.h"
#include "log_reader.h"
#include "report_options.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        ReportOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "pixwall-report: %s\n%s", error.c_str(), ReportOptions::kUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(ReportOptions::kUsage, stdout);
        return 0;
    }
    std::error_code rootError;
    if (options->root && !std::filesystem::is_directory(*options->root, rootError)) {
        std::fprintf(stderr, "pixwall-report: %s is not a folder\n", options->root->c_str());
        return 2;
    }

    const LogLineParser parser;
    ActivitySummary summary;
    LogReader reader(parser, summary);
    std::vector<LogFileStats> files;
    bool anyRead = false;
    for (const std::string& log : options->logs) {
        const LogFileStats& file = files.emplace_back(reader.Read(log));
        if (file.ReadWhole()) {
            anyRead = true;
        } else {
            std::fprintf(stderr, "pixwall-report: cannot read %s: %s\n", log.c_str(),
                         file.error.c_str());
        }
    }
    // Some logs read make a page, which names the others; none read is a failure.
    if (!anyRead) return 1;

    std::uint64_t lines = 0;
    for (const LogFileStats& file : files) lines += file.lines;
    HtmlReport report(summary, files);
    BlockedBytes sizes(options->root.value_or(std::string()));
    if (options->root) {
        report.SetCost(sizes, sizes.Sum(summary.BlockedFiles()), *options->root,
                       sizes.Sum(summary.WouldBlockTops().files));
    }

    const std::string page = report.Render();
    std::FILE* out = std::fopen(options->output.c_str(), "wb");
    const bool written = out && std::fwrite(page.data(), 1, page.size(), out) == page.size();
    const bool closed = out && std::fclose(out) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "pixwall-report: cannot write %s\n", options->output.c_str());
        return 1;
    }
    std::printf(
        "%llu lines read, %llu not understood and skipped; %llu requests judged, %llu blocked",
        static_cast<unsigned long long>(lines),
        static_cast<unsigned long long>(summary.NotUnderstood()),
        static_cast<unsigned long long>(summary.Judged()),
        static_cast<unsigned long long>(summary.Blocked()));
    if (summary.WouldBlock() > 0) {
        std::printf(", %llu would have been blocked",
                    static_cast<unsigned long long>(summary.WouldBlock()));
    }
    std::printf("\nreport written to %s\n", options->output.c_str());
    return 0;
}
