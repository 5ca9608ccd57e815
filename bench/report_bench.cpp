// pixwall-report's reading of a 100 MB activity log (made here, in a temporary folder): parsing
// every line, summing it up and rendering the page. Three logs: a busy site's usual mix of a few
// thousand files, referrers and clients; one where every blocked URL differs, which the top lists
// must hold in bounded memory; and a hostile one, every line blocking a distinct 16 KB referrer
// host, whose values the lists must not keep whole. The peak resident size is reported as a
// counter; it is the process's, so the hostile log, the smallest footprint, is read first.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <random>
#include <string>

#include "activity_summary.h"
#include "html_report.h"
#include "log_line_parser.h"
#include "log_messages.h"
#include "log_reader.h"
#include "temp_folder.h"

namespace {

constexpr std::size_t kLogSize = 100u << 20;

// Lines as the filter writes them, over 30 days from 12/01/26, crossing midnights.
std::string MakeLog(const TempFolder& folder, const std::string& name, bool distinctUrls) {
    const std::string path = folder.PathOf(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::mt19937 random(7);
    std::size_t written = 0;
    std::uint64_t second = 0;
    char message[512];
    char line[600];
    for (std::uint64_t n = 0; written < kLogSize; ++n) {
        second += random() % 5;
        const unsigned day = 1 + static_cast<unsigned>(second / 86400 % 30);
        const unsigned hour = static_cast<unsigned>(second / 3600 % 24);
        const unsigned minute = static_cast<unsigned>(second / 60 % 60);
        const std::string url = distinctUrls
                                    ? "/images/photo-" + std::to_string(n) + ".jpg"
                                    : "/images/photo-" + std::to_string(random() % 2000) + ".jpg";
        const std::string client =
            "10.0." + std::to_string(random() % 200) + "." + std::to_string(random() % 250);
        const std::string referrer = "www.site" + std::to_string(random() % 5000) + ".example";
        switch (random() % 8) {
            case 0:
            case 1:
                std::snprintf(message, sizeof message, log_messages::kReferrerBlackListed,
                              url.c_str(), referrer.c_str());
                break;
            case 2:
                std::snprintf(message, sizeof message, log_messages::kDynamicDenied, url.c_str(),
                              client.c_str());
                break;
            case 3:
                std::snprintf(message, sizeof message, log_messages::kSendingAlternate,
                              url.c_str());
                break;
            case 4:
                std::snprintf(message, sizeof message, log_messages::kUserAgentBlackListed,
                              url.c_str(),
                              "Mozilla/5.0 (compatible; Grabber/2.1; +http://x.example/bot)");
                break;
            case 5:
                std::snprintf(message, sizeof message, log_messages::kDynamicGranted, url.c_str(),
                              client.c_str());
                break;
            default:
                std::snprintf(message, sizeof message, log_messages::kReferrerWhiteListed,
                              url.c_str(), "localhost");
        }
        const int length =
            std::snprintf(line, sizeof line, "12/%02u/26 %02u:%02u:%02u : %s\r\n", day, hour,
                          minute, static_cast<unsigned>(second % 60), message);
        written += std::fwrite(line, 1, static_cast<std::size_t>(length), file);
    }
    std::fclose(file);
    return path;
}

std::string MakeHostileLog(const TempFolder& folder, const std::string& name) {
    const std::string path = folder.PathOf(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const std::string padding(16 * 1024, 'a');
    std::size_t written = 0;
    for (std::uint64_t n = 0; written < kLogSize; ++n) {
        const std::string referrer = "h" + std::to_string(n) + "-" + padding;
        int length = std::fprintf(file, "12/01/26 00:00:%02u : ", static_cast<unsigned>(n % 60));
        length += std::fprintf(file, log_messages::kReferrerBlackListed, "/images/a.gif",
                               referrer.c_str());
        length += std::fprintf(file, "\r\n");
        written += static_cast<std::size_t>(length);
    }
    std::fclose(file);
    return path;
}

enum class Log { kUsual, kDistinctUrls, kLongReferrers };

void ReadLog(benchmark::State& state, Log log) {
    static TempFolder folder;
    const std::string name = log == Log::kUsual          ? "usual.log"
                             : log == Log::kDistinctUrls ? "distinct.log"
                                                         : "hostile.log";
    const std::string path = log == Log::kLongReferrers
                                 ? MakeHostileLog(folder, name)
                                 : MakeLog(folder, name, log == Log::kDistinctUrls);
    const LogLineParser parser;
    std::uint64_t judged = 0;
    for (auto _ : state) {
        ActivitySummary summary;
        LogReader reader(parser, summary);
        const LogFileStats stats = reader.Read(path);
        const std::string page = HtmlReport(summary, {stats}).Render();
        benchmark::DoNotOptimize(page.data());
        judged = summary.Judged();
    }
    folder.Remove(name);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLogSize));
    state.counters["lines_judged"] = static_cast<double>(judged);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_Report100MBUsualLog(benchmark::State& state) { ReadLog(state, Log::kUsual); }
void BM_Report100MBDistinctUrls(benchmark::State& state) { ReadLog(state, Log::kDistinctUrls); }
void BM_Report100MBLongReferrers(benchmark::State& state) { ReadLog(state, Log::kLongReferrers); }

BENCHMARK(BM_Report100MBLongReferrers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Report100MBUsualLog)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Report100MBDistinctUrls)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
