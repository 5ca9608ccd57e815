// Requests through the module's HttpFilterProc, logging off: one protected request with every
// rule list holding N entries that do not match, so each request scans them all; one protected
// request decided by dynamic authorization with N clients admitted; and pages and images from
// several threads at once.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fake_isapi_host.h"
#include "filter_module_copy.h"
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
        module = std::make_unique<FilterModuleCopy>(folder.Path(), FilterModuleCopy::FileName());
        HTTP_FILTER_VERSION version{};
        module->GetFilterVersion(&version);
    }

    TempFolder folder;
    std::unique_ptr<FilterModuleCopy> module;
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

// The module with dynamic authorization on, logging off; "gif" is the one protected type.
struct DynamicFilter {
    DynamicFilter() {
        folder.Write("blocked_types.txt", "gif\n");
        folder.Write("corvane.ini", "[settings]\n");
        folder.Write("pixwall.ini",
                     "[settings]\ntimetolive=86400\n[DynamicAuthorization]\n"
                     "DynamicAuthorization=on\n[logging]\nlogging=off\n");
        module = std::make_unique<FilterModuleCopy>(folder.Path(), FilterModuleCopy::FileName());
        HTTP_FILTER_VERSION version{};
        if (module->Loaded()) module->GetFilterVersion(&version);
    }
    DWORD Send(FakeRequest& request) const {
        return module->HttpFilterProc(request.Context(), SF_NOTIFY_PREPROC_HEADERS,
                                      request.Headers());
    }

    TempFolder folder;
    std::unique_ptr<FilterModuleCopy> module;
};

std::string ClientAddress(int n) {
    return "10." + std::to_string(n >> 16 & 255) + "." + std::to_string(n >> 8 & 255) + "." +
           std::to_string(n & 255);
}

std::unique_ptr<FakeRequest> BrowserRequest(const std::string& url, const std::string& address) {
    auto request = std::make_unique<FakeRequest>();
    request->RecordCalls(false);
    request->Server("imgserver")
        .Url(url)
        .Client(address)
        .Referrer("http://www.someone-else.example/page.html")
        .UserAgent("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 Chrome/120.0 Safari/537.36");
    return request;
}

// The module with `admitted` clients admitted, made once for all runs with that number.
const DynamicFilter& FilterWithAdmitted(int admitted) {
    static std::map<int, std::unique_ptr<DynamicFilter>> filters;
    std::unique_ptr<DynamicFilter>& filter = filters[admitted];
    if (!filter) {
        filter = std::make_unique<DynamicFilter>();
        if (!filter->module->Loaded()) return *filter;
        auto page = BrowserRequest("/index.html", ClientAddress(0));
        for (int n = 0; n < admitted; ++n) {
            page->Client(ClientAddress(n));
            filter->Send(*page);
        }
    }
    return *filter;
}

// N clients have loaded a page; the one admitted first asks for an image.
void BM_DynamicAuthorization(benchmark::State& state) {
    const DynamicFilter& filter = FilterWithAdmitted(static_cast<int>(state.range(0)));
    if (!filter.module->Loaded()) {
        state.SkipWithError("module did not load");
        return;
    }
    auto image = BrowserRequest("/images/logo.gif", ClientAddress(0));
    for (auto _ : state) {
        const DWORD status = filter.Send(*image);
        if (status != SF_STATUS_REQ_NEXT_NOTIFICATION) {
            state.SkipWithError("the admitted client was not allowed");
            break;
        }
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_DynamicAuthorization)
    ->Arg(10)
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// Each thread's clients load a page and then an image, again and again: every iteration is one
// admission and one lookup.
void BM_Throughput(benchmark::State& state) {
    static std::mutex setUp;
    static std::unique_ptr<DynamicFilter> filter;
    {
        std::lock_guard guard(setUp);
        if (!filter) filter = std::make_unique<DynamicFilter>();
    }
    if (!filter->module->Loaded()) {
        state.SkipWithError("module did not load");
        return;
    }
    std::vector<std::unique_ptr<FakeRequest>> pages;
    std::vector<std::unique_ptr<FakeRequest>> images;
    for (int n = 0; n < 64; ++n) {
        const std::string address = ClientAddress(state.thread_index() << 8 | n);
        pages.push_back(BrowserRequest("/index.html", address));
        images.push_back(BrowserRequest("/images/logo.gif", address));
    }
    std::size_t next = 0;
    for (auto _ : state) {
        filter->Send(*pages[next]);
        const DWORD status = filter->Send(*images[next]);
        if (status != SF_STATUS_REQ_NEXT_NOTIFICATION) {
            state.SkipWithError("an admitted client was not allowed");
            break;
        }
        next = (next + 1) % pages.size();
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Throughput)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
