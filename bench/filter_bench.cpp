// One protected request through the module's HttpFilterProc, logging off, with every rule list
// holding N entries that do not match, so each request scans them all.
#include <benchmark/benchmark.h>

#include <memory>

#include "fake_isapi_host.h"
#include "filter_module.h"
#include "temp_folder.h"

namespace {

struct LoadedFilter {
    explicit LoadedFilter(int entries) {
        const char* lists[] = {"referrer_whitelist.txt", "referrer_blacklist.txt",
                               "client_whitelist.txt",   "client_blacklist.txt",
                               "ua_whitelist.txt",       "ua_blacklist.txt",
                               "url_whitelist.txt",      "url_blacklist.txt"};
        for (const char* list : lists) {
            std::string content;
            for (int i = 0; i < entries; ++i)
                content += "no-match-entry-" + std::to_string(i) + "\n";
            folder.Write(list, content);
        }
        std::string types;
        for (int i = 0; i < entries - 1; ++i) types += "t" + std::to_string(i) + "\n";
        folder.Write("blocked_types.txt", types + "gif\n");
        folder.Write("corvane.ini", "[settings]\n");
        folder.Write("pixwall.ini", "[logging]\nlogging=off\n");
        module = std::make_unique<FilterModule>(folder.Path(), FilterModule::FileName());
        HTTP_FILTER_VERSION version{};
        module->GetFilterVersion(&version);
    }

    TempFolder folder;
    std::unique_ptr<FilterModule> module;
};

void BM_ProtectedRequest(benchmark::State& state) {
    LoadedFilter filter(static_cast<int>(state.range(0)));
    if (!filter.module->Loaded()) {
        state.SkipWithError("module did not load");
        return;
    }
    FakeRequest request;
    request.RecordCalls(false);
    request.Server("imgserver")
        .Url("/images/photos/holiday/logo.gif")
        .Client("192.0.2.77", "client.example.net")
        .Referrer("http://www.someone-else.example/page.html")
        .UserAgent("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 Chrome/120.0 Safari/537.36");
    for (auto _ : state) {
        const DWORD status = filter.module->HttpFilterProc(
            request.Context(), SF_NOTIFY_PREPROC_HEADERS, request.Headers());
        if (status != SF_STATUS_REQ_NEXT_NOTIFICATION) {
            state.SkipWithError("request was not allowed");
            break;
        }
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_ProtectedRequest)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
