// Requests through the module's HttpFilterProc, logging off: one protected request with every
// rule list holding N entries, alike or varied, that do not match, so each request scans them
// all, the same request decided from its values without the ISAPI calls, and those calls to the
// test host alone; the eight list tests of that request, by the old linear scan and by the
// matchers, side by side; loading a configuration of large lists, and its memory; one protected
// request decided by dynamic authorization with N clients admitted, kept in the process or shared
// by the folder's processes; pages and images from several threads at once, with either kind of
// table; admitting into a full table; and the memory an admitted client takes. Ends with the
// ratios of the side-by-side figures.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "fake_isapi_host.h"
#include "filter_config.h"
#include "filter_module_copy.h"
#include "linear_rule_list.h"
#include "machine_admission_table.h"
#include "process_admission_table.h"
#include "redis_server_process.h"
#include "request_facts.h"
#include "temp_folder.h"
#include "text.h"
#include "verdict.h"

namespace {

// The values of the protected request below.
constexpr const char* kServer = "imgserver";
constexpr const char* kUrl = "/images/photos/holiday/logo.gif";
constexpr const char* kAddress = "192.0.2.77";
constexpr const char* kHost = "client.example.net";
constexpr const char* kReferrerHost = "www.someone-else.example";
constexpr const char* kAgent =
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 Chrome/120.0 Safari/537.36";

// Entries for the rule lists: "no-match-entry-<n>", which share their first fifteen bytes and
// start with a letter that few of the request's bytes are; or, varied, 5 to 20 random letters,
// digits, dots and dashes, as domains and addresses are, which the request's values share most
// bytes and pairs of bytes with. Neither kind occurs in the request's values.
std::vector<std::string> ListEntries(int entries, bool varied) {
    std::vector<std::string> made;
    if (!varied) {
        for (int i = 0; i < entries; ++i) made.push_back("no-match-entry-" + std::to_string(i));
        return made;
    }
    const std::string values = text::ToLower(std::string(kServer) + kUrl + "\n" + kAddress + "\n" +
                                             kHost + "\n" + kReferrerHost + "\n" + kAgent);
    static const char kBytes[] = "abcdefghijklmnopqrstuvwxyz0123456789.-";
    std::mt19937 random(static_cast<unsigned>(entries));
    while (static_cast<int>(made.size()) < entries) {
        std::string entry(5 + random() % 16, ' ');
        for (char& c : entry) c = kBytes[random() % (sizeof kBytes - 1)];
        if (values.find(entry) == std::string::npos) made.push_back(std::move(entry));
    }
    return made;
}

// A module folder whose rule lists hold N entries each that match nothing the benchmark sends,
// and whose blocked types end with "gif".
struct ListFolder {
    explicit ListFolder(int entries, bool varied = false) {
        const char* lists[] = {"referrer_whitelist.txt", "referrer_blacklist.txt",
                               "client_whitelist.txt",   "client_blacklist.txt",
                               "ua_whitelist.txt",       "ua_blacklist.txt",
                               "url_whitelist.txt",      "url_blacklist.txt"};
        std::string content;
        for (const std::string& entry : ListEntries(entries, varied)) content += entry + "\n";
        for (const char* list : lists) folder.Write(list, content);
        std::string types;
        for (int i = 0; i < entries - 1; ++i) types += "t" + std::to_string(i) + "\n";
        folder.Write("blocked_types.txt", types + "gif\n");
        folder.Write("corvane.ini", "[settings]\n");
        folder.Write("pixwall.ini", "[logging]\nlogging=off\n");
    }

    TempFolder folder;
};

struct LoadedFilter : ListFolder {
    explicit LoadedFilter(int entries, bool varied = false) : ListFolder(entries, varied) {
        module = std::make_unique<FilterModuleCopy>(folder.Path(), FilterModuleCopy::FileName());
        HTTP_FILTER_VERSION version{};
        module->GetFilterVersion(&version);
    }

    std::unique_ptr<FilterModuleCopy> module;
};

std::string Referrer() { return std::string("http://") + kReferrerHost + "/page.html"; }

// The test host holding the protected request's values, its calls not recorded.
void HoldProtectedRequest(FakeRequest& request) {
    request.RecordCalls(false);
    request.Server(kServer)
        .Url(kUrl)
        .Client(kAddress, kHost)
        .Referrer(Referrer())
        .UserAgent(kAgent);
}

void BM_ProtectedRequest(benchmark::State& state) {
    LoadedFilter filter(static_cast<int>(state.range(0)), state.range(1) != 0);
    if (!filter.module->Loaded()) {
        state.SkipWithError("module did not load");
        return;
    }
    FakeRequest request;
    HoldProtectedRequest(request);
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
BENCHMARK(BM_ProtectedRequest)
    ->ArgsProduct({{10, 100, 1000, 10000}, {0, 1}})
    ->ArgNames({"", "varied"})
    ->Unit(benchmark::kMicrosecond);

// The configuration of a ListFolder, loaded once per size and kind of entries.
const FilterConfig& ConfigWith(int entries, bool varied = false);

// The same request decided from its values as the server handed them over, without the ISAPI
// calls: the filter's own part of BM_ProtectedRequest.
void BM_ProtectedDecision(benchmark::State& state) {
    const FilterConfig& config = ConfigWith(static_cast<int>(state.range(0)));
    const std::string referrer = Referrer();
    RequestFacts::Values values;
    values.serverName = kServer;
    values.url = kUrl;
    values.clientAddress = kAddress;
    values.clientHost = kHost;
    values.referrer = referrer;
    values.userAgent = kAgent;
    for (auto _ : state) {
        const RequestFacts facts(values, config);
        const Verdict verdict = Decide(facts, config, nullptr, 1'136'073'600);
        if (verdict.outcome != Verdict::Outcome::kAllow) {
            state.SkipWithError("request was not allowed");
            break;
        }
        benchmark::DoNotOptimize(verdict);
    }
}
BENCHMARK(BM_ProtectedDecision)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

// The six calls the filter makes to the test host for that request, without the filter: the
// host's own part of BM_ProtectedRequest, which a real server's calls replace.
void BM_TestHostCalls(benchmark::State& state) {
    FakeRequest request;
    HoldProtectedRequest(request);
    HTTP_FILTER_CONTEXT* const context = request.Context();
    HTTP_FILTER_PREPROC_HEADERS* const headers = request.Headers();
    struct Call {
        bool header;
        const char* name;
        std::vector<char> buffer;
    };
    std::vector<Call> calls = {
        {false, "SERVER_NAME", std::vector<char>(RequestFacts::kServerNameBuffer)},
        {true, "url", std::vector<char>(RequestFacts::kUrlBuffer)},
        {false, "REMOTE_ADDR", std::vector<char>(RequestFacts::kClientAddressBuffer)},
        {false, "REMOTE_HOST", std::vector<char>(RequestFacts::kClientHostBuffer)},
        {false, "HTTP_REFERER", std::vector<char>(RequestFacts::kReferrerBuffer)},
        {true, "User-Agent:", std::vector<char>(RequestFacts::kUserAgentBuffer)}};
    for (auto _ : state) {
        for (Call& call : calls) {
            DWORD size = static_cast<DWORD>(call.buffer.size());
            char* const name = const_cast<char*>(call.name);
            const BOOL read =
                call.header ? headers->GetHeader(context, name, call.buffer.data(), &size)
                            : context->GetServerVariable(context, name, call.buffer.data(), &size);
            if (!read) {
                state.SkipWithError("the host did not answer");
                return;
            }
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TestHostCalls)->Unit(benchmark::kMicrosecond);

const FilterConfig& ConfigWith(int entries, bool varied) {
    static std::map<std::pair<int, bool>, std::shared_ptr<const FilterConfig>> configs;
    std::shared_ptr<const FilterConfig>& config = configs[{entries, varied}];
    if (!config) {
        ListFolder folder(entries, varied);
        config = FilterConfig::Load(FilterConfig::Paths::Find(folder.folder.Path()));
    }
    return *config;
}

// The eight list tests the pipeline asks of the request above when no list decides it, by the
// linear scan the filter used to make; with either kind of entries.
void BM_ListTests_Linear(benchmark::State& state) {
    const FilterConfig& config = ConfigWith(static_cast<int>(state.range(0)), state.range(1) != 0);
    auto list = [&](FilterConfig::List which) {
        return LinearRuleList(config.list(which).Entries());
    };
    const LinearRuleList clientBlack = list(FilterConfig::kClientBlackList);
    const LinearRuleList clientWhite = list(FilterConfig::kClientWhiteList);
    const LinearRuleList agentBlack = list(FilterConfig::kUserAgentBlackList);
    const LinearRuleList agentWhite = list(FilterConfig::kUserAgentWhiteList);
    const LinearRuleList referrerBlack = list(FilterConfig::kReferrerBlackList);
    const LinearRuleList referrerWhite = list(FilterConfig::kReferrerWhiteList);
    const LinearRuleList urlBlack = list(FilterConfig::kUrlBlackList);
    const LinearRuleList urlWhite = list(FilterConfig::kUrlWhiteList);
    for (auto _ : state) {
        bool any = clientBlack.Contains(kAddress) || clientBlack.Contains(kHost);
        any |= clientWhite.Contains(kAddress) || clientWhite.Contains(kHost);
        any |= agentBlack.Contains(kAgent) || agentWhite.Contains(kAgent);
        any |= referrerBlack.Contains(kReferrerHost);
        any |=
            text::EqualsIgnoreCase(kReferrerHost, kServer) || referrerWhite.Contains(kReferrerHost);
        any |= urlBlack.Contains(std::string(kServer).append(kUrl));
        any |= urlWhite.Contains(std::string(kServer).append(kUrl));
        benchmark::DoNotOptimize(any);
    }
}

// The same tests as the pipeline asks them: through the configuration's matchers, each value
// scanned once for a black list and its white list.
void BM_ListTests_Matcher(benchmark::State& state) {
    const FilterConfig& config = ConfigWith(static_cast<int>(state.range(0)), state.range(1) != 0);
    auto any = [](FilterConfig::ListPair pair) { return pair.black || pair.white; };
    for (auto _ : state) {
        bool found = any(config.ClientLists(kAddress, kHost));
        found |= any(config.UserAgentLists(kAgent));
        found |= any(config.ReferrerLists(kReferrerHost, kServer));
        found |= any(config.UrlLists(kServer, kUrl));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_ListTests_Linear)
    ->ArgsProduct({{10, 100, 1000, 10000}, {0, 1}})
    ->ArgNames({"", "varied"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListTests_Matcher)
    ->ArgsProduct({{10, 100, 1000, 10000}, {0, 1}})
    ->ArgNames({"", "varied"})
    ->Unit(benchmark::kMicrosecond);

// Loading a configuration whose nine lists hold 10 000 entries each, alike or varied, and the
// bytes the heap gives the loaded configuration.
void BM_ConfigLoad(benchmark::State& state) {
    ListFolder folder(static_cast<int>(state.range(0)), state.range(1) != 0);
    const FilterConfig::Paths paths = FilterConfig::Paths::Find(folder.folder.Path());
    double bytes = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        const auto config = FilterConfig::Load(paths);
        bytes = static_cast<double>(mallinfo2().uordblks - before);
        benchmark::DoNotOptimize(config->IsBlockedType("gif"));
    }
    state.counters["config_MiB"] = bytes / (1024 * 1024);
}
BENCHMARK(BM_ConfigLoad)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->ArgNames({"", "varied"})
    ->Unit(benchmark::kMillisecond);

// Bytes the heap gives the table per admitted client, over what the addresses' text takes.
void BM_AdmittedClientMemory(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    std::vector<std::string> addresses;
    std::size_t text = 0;
    for (int n = 0; n < clients; ++n) {
        addresses.push_back("10." + std::to_string(n >> 16 & 255) + "." +
                            std::to_string(n >> 8 & 255) + "." + std::to_string(n & 255));
        text += addresses.back().size();
    }
    double perClient = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto table = std::make_unique<ProcessAdmissionTable>();
        table->SetTimeToLive(3600);
        for (const std::string& address : addresses) table->Admit(address, 1'136'073'600);
        const std::size_t after = mallinfo2().uordblks;
        perClient = (static_cast<double>(after - before) - static_cast<double>(text)) / clients;
        benchmark::DoNotOptimize(table->Size());
    }
    state.counters["bytes_per_client"] = perClient;
}
BENCHMARK(BM_AdmittedClientMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A new address admitted into a full table: the oldest admission of all the shards goes first.
// The table is the process's own (second argument 0) or the one the processes share (1).
void BM_AdmitIntoFullTable(benchmark::State& state) {
    const int capacity = static_cast<int>(state.range(0));
    TempFolder folder;
    std::unique_ptr<Admissions> owned;
    if (state.range(1) != 0) {
        owned = MachineAdmissionTable::Open(folder.PathOf("table"), static_cast<std::size_t>(capacity));
    } else {
        owned = std::make_unique<ProcessAdmissionTable>(static_cast<std::size_t>(capacity));
    }
    if (!owned) {
        state.SkipWithError("no shared table");
        return;
    }
    Admissions& table = *owned;
    table.SetTimeToLive(3600);
    auto address = [](int n) {
        return "10." + std::to_string(n >> 16 & 255) + "." + std::to_string(n >> 8 & 255) + "." +
               std::to_string(n & 255);
    };
    for (int n = 0; n < capacity; ++n) table.Admit(address(n), 1'136'073'600);
    // Twice as many as the table holds, so that each is gone again when its turn comes back.
    std::vector<std::string> newcomers;
    for (int n = 0; n < 2 * capacity; ++n) newcomers.push_back(address(capacity + n));
    std::size_t next = 0;
    for (auto _ : state) {
        table.Admit(newcomers[next], 1'136'073'601);
        next = (next + 1) % newcomers.size();
    }
    if (table.Size() != static_cast<std::size_t>(capacity)) state.SkipWithError("not full");
}
BENCHMARK(BM_AdmitIntoFullTable)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMicrosecond);

// The module with dynamic authorization on, logging off; "gif" is the one protected type. With a
// "LogFiles" folder its admissions are shared with the other processes of the folder; without
// one the process keeps its own. With a store, they are shared through it as by a farm's servers.
struct DynamicFilter {
    explicit DynamicFilter(bool shared = false, const std::string& store = "") {
        if (shared) folder.Write("LogFiles/keep", "");
        folder.Write("blocked_types.txt", "gif\n");
        folder.Write("corvane.ini", "[settings]\n");
        folder.Write("pixwall.ini",
                     "[settings]\ntimetolive=86400\n[DynamicAuthorization]\n"
                     "DynamicAuthorization=on\nstore=" +
                         store + "\n[logging]\nlogging=off\n");
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
const DynamicFilter& FilterWithAdmitted(int admitted, bool shared) {
    static std::map<std::pair<int, bool>, std::unique_ptr<DynamicFilter>> filters;
    std::unique_ptr<DynamicFilter>& filter = filters[{admitted, shared}];
    if (!filter) {
        filter = std::make_unique<DynamicFilter>(shared);
        if (!filter->module->Loaded()) return *filter;
        auto page = BrowserRequest("/index.html", ClientAddress(0));
        for (int n = 0; n < admitted; ++n) {
            page->Client(ClientAddress(n));
            filter->Send(*page);
        }
    }
    return *filter;
}

// N clients have loaded a page; the one admitted first asks for an image. The admissions are kept
// in the process (second argument 0) or in the table the folder's processes share (1).
void BM_DynamicAuthorization(benchmark::State& state) {
    const DynamicFilter& filter =
        FilterWithAdmitted(static_cast<int>(state.range(0)), state.range(1) != 0);
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
    ->ArgsProduct({{10, 10000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// Each thread's clients load a page and then an image, again and again: every iteration is one
// admission and one lookup. The admissions are kept in the process (argument 0) or in the table
// the folder's processes share (1).
void BM_Throughput(benchmark::State& state) {
    static std::mutex setUp;
    static std::unique_ptr<DynamicFilter> filters[2];
    std::unique_ptr<DynamicFilter>& filter = filters[state.range(0) != 0];
    {
        std::lock_guard guard(setUp);
        if (!filter) filter = std::make_unique<DynamicFilter>(state.range(0) != 0);
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
BENCHMARK(BM_Throughput)->Arg(0)->Arg(1)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

// The protected request of BM_ProtectedRequest, logging off, from one and from two threads at
// once through one loaded module: wall time per request on two threads over one shows whatever
// makes the cores wait on each other (0.5 when they never do).
void BM_ProtectedRequestThreads(benchmark::State& state) {
    static std::mutex setUp;
    static std::unique_ptr<LoadedFilter> filter;
    {
        std::lock_guard guard(setUp);
        if (!filter) filter = std::make_unique<LoadedFilter>(10);
    }
    if (!filter->module->Loaded()) {
        state.SkipWithError("module did not load");
        return;
    }
    FakeRequest request;
    HoldProtectedRequest(request);
    for (auto _ : state) {
        const DWORD status = filter->module->HttpFilterProc(
            request.Context(), SF_NOTIFY_PREPROC_HEADERS, request.Headers());
        if (status != SF_STATUS_REQ_NEXT_NOTIFICATION) {
            state.SkipWithError("request was not allowed");
            break;
        }
        benchmark::DoNotOptimize(status);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProtectedRequestThreads)->Threads(1)->Threads(2)->UseRealTime();

// A page request (an admission) and a protected request that nobody admitted (a lookup that
// misses the local table), without a store and with redis-server on loopback: the store's cost
// is the difference. Real time, since most of it is spent waiting for the store's reply.
void BM_FarmRequest(benchmark::State& state) {
    const bool withStore = state.range(0) != 0;
    const bool page = state.range(1) == 0;
    static std::unique_ptr<RedisServerProcess> redis;
    static std::map<bool, std::unique_ptr<DynamicFilter>> filters;
    if (withStore && !redis) {
        if (RedisServerProcess::Program().empty()) {
            state.SkipWithError("redis-server is not installed (Debian package redis-server)");
            return;
        }
        redis = std::make_unique<RedisServerProcess>();
    }
    if (withStore && !redis->Running()) {
        state.SkipWithError("redis-server did not start");
        return;
    }
    std::unique_ptr<DynamicFilter>& filter = filters[withStore];
    if (!filter) filter = std::make_unique<DynamicFilter>(false, withStore ? redis->Url() : "");
    if (!filter->module->Loaded()) {
        state.SkipWithError("module did not load");
        return;
    }
    auto request = page ? BrowserRequest("/index.html", "192.0.2.200")
                        : BrowserRequest("/images/logo.gif", "192.0.2.201");
    const DWORD expected = page ? SF_STATUS_REQ_NEXT_NOTIFICATION : SF_STATUS_REQ_FINISHED;
    for (auto _ : state) {
        if (filter->Send(*request) != expected) {
            state.SkipWithError("the request was not decided as expected");
            break;
        }
    }
}
BENCHMARK(BM_FarmRequest)
    ->ArgNames({"store", "image"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// The console report, followed by the old scan's time over the matchers' for each list size and
// the two-thread throughput over the one-thread one.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            const std::string name = run.run_name.str();
            cpu_[name] = run.GetAdjustedCPUTime();
            real_[name] = run.GetAdjustedRealTime();
            if (auto rate = run.counters.find("items_per_second"); rate != run.counters.end()) {
                rate_[name] = rate->second;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* varied : {"0", "1"}) {
            for (const char* size : {"10", "100", "1000", "10000"}) {
                const std::string args = std::string(size) + "/varied:" + varied;
                const auto linear = cpu_.find("BM_ListTests_Linear/" + args);
                const auto matcher = cpu_.find("BM_ListTests_Matcher/" + args);
                if (linear == cpu_.end() || matcher == cpu_.end() || matcher->second <= 0) continue;
                std::printf(
                    "list tests, %6s %s entries: linear %10.3f us, matcher %8.3f us, %8.1fx\n",
                    size, *varied == '1' ? "varied" : "alike ", linear->second, matcher->second,
                    linear->second / matcher->second);
            }
        }
        for (const char* size : {"10", "10000", "1000000"}) {
            const auto own = cpu_.find(std::string("BM_DynamicAuthorization/") + size + "/0");
            const auto shared = cpu_.find(std::string("BM_DynamicAuthorization/") + size + "/1");
            if (own == cpu_.end() || shared == cpu_.end() || own->second <= 0) continue;
            std::printf("admitted image, %7s admitted: in-process %.3f us, shared %.3f us, %.2fx\n",
                        size, own->second, shared->second, shared->second / own->second);
        }
        for (const char* kind : {"0", "1"}) {
            const std::string prefix = std::string("BM_Throughput/") + kind + "/real_time/threads:";
            const auto one = rate_.find(prefix + "1");
            const auto two = rate_.find(prefix + "2");
            if (one == rate_.end() || two == rate_.end() || one->second <= 0) continue;
            std::printf("page + image pairs, %s, 2 threads over 1: %.2fx\n",
                        *kind == '0' ? "in-process table" : "shared table",
                        two->second / one->second);
        }
        {
            const std::string prefix = "BM_ProtectedRequestThreads/real_time/threads:";
            const auto one = rate_.find(prefix + "1");
            const auto two = rate_.find(prefix + "2");
            if (one != rate_.end() && two != rate_.end() && two->second > 0) {
                // Two threads serve twice the requests in the same wall time when they never wait.
                std::printf("protected request, wall time per request, 2 threads over 1: %.2f\n",
                            one->second / two->second);
            }
        }
        for (const char* kind : {"0", "1"}) {
            const std::string prefix = "BM_FarmRequest/store:";
            const std::string suffix = std::string("/image:") + kind + "/real_time";
            const auto local = real_.find(prefix + "0" + suffix);
            const auto farm = real_.find(prefix + "1" + suffix);
            if (local == real_.end() || farm == real_.end()) continue;
            std::printf("%s with redis-server on loopback: %.1f us more than without (%.1f us)\n",
                        *kind == '0' ? "page (admission)" : "image nobody admitted (lookup)",
                        farm->second - local->second, local->second);
        }
    }

  private:
    std::map<std::string, double> cpu_;
    std::map<std::string, double> rate_;
    std::map<std::string, double> real_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
