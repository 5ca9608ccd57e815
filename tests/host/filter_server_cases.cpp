// The cases every server that runs filter modules passes, over real loopback HTTP.
#include "filter_server_cases.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <tuple>

#include "http_client.h"
#include "platform/isapi.h"

namespace fs = std::filesystem;

void FilterSiteTest::SetUp() {
    folder.Write("site/index.html", kPage);
    folder.Write("site/images/cat.gif", kGif);
    folder.Write("site/images/dog.jpg", kJpg);
    folder.Write("site/alternates/stop.gif", kStop);
    folder.Write("secret.txt", kSecret);
    fs::create_symlink(folder.PathOf("secret.txt"), folder.PathOf("site/link.txt"));
    WriteModule("filter", R"([settings]
timetolive=600
[DynamicAuthorization]
DynamicAuthorization=on
usecookie=yes
[logging]
logging=on
[alternates]
gif=)" + kAlternate + "\n",
                "gif\njpg\n", "leech\n");
}

void FilterSiteTest::WriteModule(const std::string& name, const std::string& settings,
                                 const std::string& blockedTypes,
                                 const std::string& referrerBlackList) {
    fs::create_directories(folder.PathOf(name + "/LogFiles"));
    fs::copy_file(PIXWALL_MODULE, folder.PathOf(name + "/pixwall.so"));
    folder.Write(name + "/corvane.ini", "[settings]\nfiltername=Pixwall\n");
    folder.Write(name + "/pixwall.ini", settings);
    folder.Write(name + "/blocked_types.txt", blockedTypes);
    folder.Write(name + "/referrer_blacklist.txt", referrerBlackList);
}

std::vector<std::string> FilterSiteTest::ModulePaths(
    const std::vector<std::string>& modules) const {
    std::vector<std::string> paths;
    for (const auto& module : modules) paths.push_back(folder.PathOf(module + "/pixwall.so"));
    return paths;
}

std::vector<std::string> FilterSiteTest::Log(const std::string& module) const {
    return LogMessages(folder.Lines(module + "/LogFiles/pixwall.log"));
}

std::unique_ptr<FilterServer> FilterServerTest::Start(const std::vector<std::string>& modules,
                                                      int processes) {
    return GetParam().start(folder.PathOf("site"), ModulePaths(modules), processes);
}

std::string KindName(const ::testing::TestParamInfo<FilterServerKind>& info) {
    return info.param.name;
}

TEST_P(FilterServerTest, AnswersAsTheFilterDecides) {
    const auto server = Start();
    const unsigned short port = server->Port();
    struct Case {
        std::string target;
        HttpClient::Headers headers;
        unsigned status;
        std::string reason;
        std::string body;
        std::string location;
        std::string expires;
        std::vector<std::string> logLines;  // what the request adds to the log
    };
    const Case cases[] = {
        {"/images/cat.gif",
         {{"Referer", "http://LocalHost:8080/index.html"}},
         200,
         "OK",
         kGif,
         "",
         "",
         {"Allowing /images/cat.gif : Referrer LocalHost is white listed"}},
        {"/images/cat.gif?size=2",
         {{"Referer", "http://leech.example/page"}},
         302,
         "Object Moved",
         "",
         kAlternate,
         "0",
         {"Blocking /images/cat.gif?size=2 : Referrer leech.example is black listed",
          "Sending alternate resource for /images/cat.gif?size=2"}},
        {"/images/dog.jpg",
         {{"Referer", "http://leech.example/page"}},
         404,
         "Not Found",
         "",
         "",
         "",
         {"Blocking /images/dog.jpg : Referrer leech.example is black listed"}},
        // The alternate itself is served whatever the rules say, without a log line.
        {"/alternates/stop.gif",
         {{"Referer", "http://leech.example/page"}},
         200,
         "OK",
         kStop,
         "",
         "",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const std::size_t logged = Log().size();
        HttpClient client(port);
        const auto response = client.Get(c.target, "localhost:" + std::to_string(port), c.headers);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), c.status);
        EXPECT_EQ(std::string(response->reason()), c.reason);
        EXPECT_EQ(response->body(), c.body);
        EXPECT_EQ(HeaderOf(*response, "Location"), c.location);
        EXPECT_EQ(HeaderOf(*response, "Expires"), c.expires);
        const auto log = Log();
        ASSERT_GE(log.size(), logged);
        EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(logged), log.end()),
                  c.logLines);
    }
    // Stopping the server unloads the module, which writes its stop line.
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_EQ(Log().back(), "Pixwall for IIS stopped");
}
// Whatever its spelling, a target is judged as the file the server serves for it, or refused;
// none leaves a white-listed folder, dodges a black-listed one or admits its client.
TEST_P(FilterServerTest, JudgesEverySpellingAsTheFileItServes) {
    folder.Write("site/private/cat.gif", kGif);
    folder.Write("filter/url_whitelist.txt", "/free/\n");
    folder.Write("filter/url_blacklist.txt", "localhost/private/\n");
    const auto server = Start();
    const std::string denied = "Dynamic access denied for 127.0.0.1", black = "Url is black listed";
    const std::pair<std::string, std::string> cases[] = {  // the target, why blocked; none: 400
        {"/images/cat.gif#", denied},    {"/free%2F..%2Fimages/cat.gif", denied},
        {"/free/../images/cat.gif", denied}, {"/free/%2E%2E/images/cat.gif", denied},
        {"//private/cat.gif", black},    {"/./private/cat.gif", black},
        {"/x%2F..%2Fprivate/cat.gif", black}, {"/free\\..%5Cprivate\\cat.gif", black},
        {"/../images/cat.gif", ""},      {"/free/..%2F..%2Fimages/cat.gif", ""},
        {"/images/cat.gif", denied}};  // after all of them, still not admitted
    std::vector<std::string> expected = {"Pixwall for IIS started"};
    for (const auto& [target, reason] : cases) {
        const bool refused = reason.empty() || (target.find('\\') != std::string::npos &&
                                                !GetParam().backslashSeparates);
        const auto response = HttpClient(server->Port()).Get(target, Host(*server));
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), refused ? 400u : 302u) << target;
        if (refused) continue;
        expected.push_back("Blocking " + target + " : " + reason);
        expected.push_back("Sending alternate resource for " + target);
    }
    EXPECT_EQ(Log(), expected);
}
TEST_P(FilterServerTest, SendsTheFiltersStatusLineAndHeaderLinesAsGiven) {
    const auto server = Start();
    HttpClient client(server->Port());
    client.SendRaw(
        "GET /images/cat.gif HTTP/1.1\r\nHost: localhost\r\nReferer: http://leech/\r\n"
        "Connection: close\r\n\r\n");
    const std::string raw = client.ReadToClose();
    EXPECT_TRUE(raw.starts_with("HTTP/1.1 302 Object Moved\r\n")) << raw;
    EXPECT_NE(raw.find("\r\nExpires: 0\r\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find("\r\nLocation: " + kAlternate + "\r\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find("\r\nContent-Length: 0\r\n"), std::string::npos) << raw;
    EXPECT_TRUE(raw.ends_with("\r\n\r\n")) << raw;
}
TEST_P(FilterServerTest, ClosesTheConnectionAfterA404FromTheFilter) {
    const auto server = Start();
    HttpClient client(server->Port());
    const auto response =
        client.Get("/images/dog.jpg", Host(*server), {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 404u);
    EXPECT_FALSE(response->keep_alive());
    EXPECT_TRUE(client.ServerClosed());
}
TEST_P(FilterServerTest, APageAdmitsItsVisitorAndHandsOutTheCookie) {
    const auto server = Start();
    HttpClient client(server->Port());
    // Before any page: a direct image request is refused.
    auto image = client.Get("/images/cat.gif", Host(*server));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->result_int(), 302u);

    const auto page = client.Get("/", Host(*server));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->result_int(), 200u);
    EXPECT_EQ(page->body(), kPage);
    EXPECT_TRUE(HeaderOf(*page, "Content-Type").starts_with("text/html"));
    EXPECT_EQ(HeaderOf(*page, "Set-Cookie"), "PIXWALLID=MTI3LjAuMC4x; path=/;");  // 127.0.0.1

    image = client.Get("/images/cat.gif", Host(*server));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->result_int(), 200u);
    EXPECT_EQ(image->body(), kGif);
    const std::vector<std::string> expected = {
        "Pixwall for IIS started",
        "Blocking /images/cat.gif : Dynamic access denied for 127.0.0.1",
        "Sending alternate resource for /images/cat.gif",
        "Allowing /images/cat.gif : Dynamic access granted for 127.0.0.1",
    };
    EXPECT_EQ(Log(), expected);

    EXPECT_EQ(server->Stop(), 0);
    EXPECT_EQ(Log().back(), "Pixwall for IIS stopped");
}
TEST_P(FilterServerTest, ReadsUrlsUpToTheFiltersLimit) {
    const auto server = Start();
    // The filter reads URLs shorter than 2083 characters; a longer one is a request error.
    const struct {
        std::size_t length;
        unsigned status;
        std::string reason;
    } cases[] = {{2082, 404, "Not Found"}, {2083, 500, GetParam().errorReason}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string url = "/" + std::string(c.length - 1, 'a');
        HttpClient client(server->Port());
        const auto response = client.Get(url, Host(*server));
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), c.status);
        EXPECT_EQ(std::string(response->reason()), c.reason);
    }
}
TEST_P(FilterServerTest, ServesConcurrentClientsWithWholeLogLines) {
    // Two worker processes where the server has processes: both append to one log.
    const auto server = Start({"filter"}, 2);
    const unsigned short port = server->Port();
    constexpr int kClients = 8;
    constexpr int kRequests = 25;
    std::atomic<int> wrong{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            try {
                HttpClient client(port);
                for (int r = 0; r < kRequests; ++r) {
                    const bool leech = (r + i) % 2 == 0;
                    const auto response =
                        client.Get("/images/cat.gif", "localhost",
                                   {{"Referer", leech ? "http://leech/" : "http://localhost/"}});
                    if (!response || response->result_int() != (leech ? 302u : 200u) ||
                        response->body() != (leech ? "" : kGif)) {
                        ++wrong;
                    }
                }
            } catch (const std::exception&) {
                wrong += kRequests;
            }
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(wrong, 0);

    int allowed = 0, blocked = 0, sent = 0;
    for (const auto& line : Log()) {
        allowed += line == "Allowing /images/cat.gif : Referrer localhost is white listed";
        blocked += line == "Blocking /images/cat.gif : Referrer leech is black listed";
        sent += line == "Sending alternate resource for /images/cat.gif";
    }
    EXPECT_EQ(allowed, kClients * kRequests / 2);
    EXPECT_EQ(blocked, kClients * kRequests / 2);
    EXPECT_EQ(sent, blocked);
    EXPECT_EQ(server->Stop(), 0);  // a sanitizer's findings make the exit status fail
}
// Each roll-out setting lets through an image that dynamic authorization would refuse: the
// browser's Sec-Fetch-* headers reach the filter like any other.
TEST_P(FilterServerTest, RollOutSettingsLetThroughWhatWouldBeRefused) {
    const std::tuple<std::string, HttpClient::Headers, std::string> cases[] = {
        {"enforce=no", {}, "Would block /images/cat.gif : Dynamic access denied for 127.0.0.1"},
        {"fetchmetadata=yes",
         {{"Sec-Fetch-Site", "same-origin"}},
         "Allowing /images/cat.gif : Sec-Fetch-Site is same-origin"},
        {"allowlinks=yes",
         {{"Sec-Fetch-Mode", "navigate"}, {"Sec-Fetch-Dest", "document"}},
         "Allowing /images/cat.gif : Top-level navigation for 127.0.0.1"}};
    const std::string settings = folder.Read("filter/pixwall.ini");  // the site's own
    for (const auto& [setting, headers, line] : cases) {
        folder.Write("filter/pixwall.ini", "[settings]\n" + setting + "\n" + settings);
        const auto server = Start();
        const auto response =
            HttpClient(server->Port()).Get("/images/cat.gif", Host(*server), headers);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), 200u) << setting;
        EXPECT_EQ(Log().back(), line);
        EXPECT_EQ(server->Stop(), 0);
    }
}
TEST_P(FilterServerTest, RunsModulesInLoadOrderAndStopsAtTheFirstAnswer) {
    // The second module protects nothing and logs every request that reaches it.
    WriteModule("second", "[logging]\nlogging=on\n", "", "");
    const auto server = Start({"filter", "second"});
    HttpClient client(server->Port());
    auto response =
        client.Get("/images/cat.gif", Host(*server), {{"Referer", "http://localhost/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    response = client.Get("/images/cat.gif?x", Host(*server), {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 302u);
    const std::vector<std::string> expected = {
        "Pixwall for IIS started", "Allowing /images/cat.gif : No block rules for 127.0.0.1"};
    EXPECT_EQ(Log("second"), expected);
    EXPECT_EQ(server->Stop(), 0);
}
TEST_P(FilterServerTest, AppliesEditsOfTheRuleListsWhileServing) {
    const auto server = Start();
    HttpClient client(server->Port());
    const HttpClient::Headers friendly = {{"Referer", "http://friend.example/page"}};
    auto response = client.Get("/images/cat.gif", Host(*server), friendly);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 302u);  // not admitted, and no list knows the referrer

    folder.Write("filter/referrer_whitelist.txt", "friend\n");
    // The filter sees the edit through its own watcher thread: ask until it answers otherwise.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        response = client.Get("/images/cat.gif", Host(*server), friendly);
        ASSERT_TRUE(response);
    } while (response->result_int() != 200u && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(response->result_int(), 200u);
    EXPECT_EQ(response->body(), kGif);
    EXPECT_EQ(Log().back(), "Allowing /images/cat.gif : Referrer friend.example is white listed");
    EXPECT_EQ(server->Stop(), 0);
}

// A filter that finishes a request without answering it leaves the server nothing to send: the
// connection closes, with no error page.
TEST_P(FilterServerTest, ClosesTheConnectionWhenAFilterFinishesWithoutAnAnswer) {
    fs::create_directories(folder.PathOf("finisher"));
    fs::copy_file(STATUS_FILTER, folder.PathOf("finisher/pixwall.so"));
    const auto server = Start({"finisher"});
    HttpClient client(server->Port());
    client.SendRaw("GET /index.html HTTP/1.1\r\nHost: localhost\r\nX-Status: " +
                   std::to_string(SF_STATUS_REQ_FINISHED) + "\r\n\r\n");
    std::string received;
    EXPECT_TRUE(client.ServerClosed(&received));
    EXPECT_EQ(received, "");
    EXPECT_EQ(server->Stop(), 0);
}
