// pixwall-host with a copy of the real filter module, driven over real loopback HTTP.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "host_process.h"
#include "http_client.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kGif = "GIF89a\x01\x00\x01\x00 picture of a cat";
const std::string kJpg = "\xFF\xD8\xFF\xE0 photo of a dog";
const std::string kStop = "GIF89a\x01\x00\x01\x00 hot-linking stop sign";
const std::string kPage = "<html><body><img src=\"/images/cat.gif\"></body></html>\n";
const std::string kSecret = "outside the document root\n";
const std::string kAlternate = "http://localhost/alternates/stop.gif";

// A site with the filter: gif and jpg protected, gif redirected to its alternate, jpg answered
// with 404, referrers containing "leech" black-listed, dynamic authorization with the cookie.
class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
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

    void WriteModule(const std::string& name, const std::string& settings,
                     const std::string& blockedTypes, const std::string& referrerBlackList) {
        fs::create_directories(folder.PathOf(name + "/LogFiles"));
        fs::copy_file(PIXWALL_MODULE, folder.PathOf(name + "/pixwall.so"));
        folder.Write(name + "/corvane.ini", "[settings]\nfiltername=Pixwall\n");
        folder.Write(name + "/pixwall.ini", settings);
        folder.Write(name + "/blocked_types.txt", blockedTypes);
        folder.Write(name + "/referrer_blacklist.txt", referrerBlackList);
    }

    std::vector<std::string> SiteArguments(const std::vector<std::string>& modules = {"filter"}) {
        std::vector<std::string> arguments = {
            "--threads",           "4",      "--timeout", "2",      "--site",
            folder.PathOf("site"), "--name", "localhost", "--port", "0"};
        for (const auto& module : modules) {
            arguments.push_back("--filter");
            arguments.push_back(folder.PathOf(module + "/pixwall.so"));
        }
        return arguments;
    }

    std::vector<std::string> Log(const std::string& module = "filter") {
        return LogMessages(folder.Lines(module + "/LogFiles/pixwall.log"));
    }

    std::string Host(const HostProcess& host) {
        return "localhost:" + std::to_string(host.Port("localhost"));
    }

    TempFolder folder;
};

TEST_F(HostTest, AnswersAsTheFilterDecides) {
    HostProcess host(SiteArguments(), 1);
    const unsigned short port = host.Port("localhost");
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
    // Stopping the host unloads the module, which writes its stop line.
    EXPECT_EQ(host.Stop(), 0);
    EXPECT_EQ(Log().back(), "Pixwall for IIS stopped");
}

TEST_F(HostTest, SendsTheFiltersStatusLineAndHeaderLinesAsGiven) {
    HostProcess host(SiteArguments(), 1);
    HttpClient client(host.Port("localhost"));
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

TEST_F(HostTest, ClosesTheConnectionAfterA404FromTheFilter) {
    HostProcess host(SiteArguments(), 1);
    HttpClient client(host.Port("localhost"));
    const auto response = client.Get("/images/dog.jpg", Host(host), {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 404u);
    EXPECT_FALSE(response->keep_alive());
    EXPECT_TRUE(client.ServerClosed());
}

TEST_F(HostTest, APageAdmitsItsVisitorAndHandsOutTheCookie) {
    HostProcess host(SiteArguments(), 1);
    HttpClient client(host.Port("localhost"));
    // Before any page: a direct image request is refused.
    auto image = client.Get("/images/cat.gif", Host(host));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->result_int(), 302u);

    const auto page = client.Get("/", Host(host));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->result_int(), 200u);
    EXPECT_EQ(page->body(), kPage);
    EXPECT_EQ(HeaderOf(*page, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(HeaderOf(*page, "Set-Cookie"), "PIXWALLID=MTI3LjAuMC4x; path=/;");  // 127.0.0.1

    image = client.Get("/images/cat.gif", Host(host));
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

    EXPECT_EQ(host.Stop(), 0);
    EXPECT_EQ(Log().back(), "Pixwall for IIS stopped");
}

TEST_F(HostTest, ReadsUrlsUpToTheFiltersLimit) {
    HostProcess host(SiteArguments(), 1);
    // The filter reads URLs shorter than 2083 characters; a longer one is a request error.
    const struct {
        std::size_t length;
        unsigned status;
        std::string reason;
    } cases[] = {{2082, 404, "Not Found"}, {2083, 500, "Server Error"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string url = "/" + std::string(c.length - 1, 'a');
        HttpClient client(host.Port("localhost"));
        const auto response = client.Get(url, Host(host));
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), c.status);
        EXPECT_EQ(std::string(response->reason()), c.reason);
    }
}

TEST_F(HostTest, ServesConcurrentClientsWithWholeLogLines) {
    HostProcess host(SiteArguments(), 1);
    const unsigned short port = host.Port("localhost");
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
    EXPECT_EQ(host.Stop(), 0);  // a sanitizer's findings make the exit status fail
}

TEST_F(HostTest, ASlowClientStallsNobodyAndIsCutOff) {
    HostProcess host(SiteArguments(), 1);
    HttpClient slow(host.Port("localhost"), 10);
    slow.SendRaw("GET /index.html HTTP/1.1\r\nHo");  // and nothing more
    for (int i = 0; i < 5; ++i) {
        HttpClient client(host.Port("localhost"), 1);
        const auto response = client.Get("/index.html", Host(host));
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), 200u);
    }
    // The host's two-second limit ends the slow connection well before the client's ten.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(slow.ServerClosed());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_EQ(host.Stop(), 0);
}

TEST_F(HostTest, AnswersBadRequestsWith400) {
    HostProcess host(SiteArguments(), 1);
    const std::string cases[] = {
        "garbage\r\n\r\n",
        "GET /index.html HTTP/1.1\r\nHost: localhost\r\nNo colon here\r\n\r\n",
        "GET /index.html HTTP/1.1\r\n\r\n",  // HTTP/1.1 without Host
        "GET index.html HTTP/1.1\r\nHost: localhost\r\n\r\n",
        "GET /index.html HTTP/1.1\r\nHost: localhost\r\nX-Big: " + std::string(20000, 'x') +
            "\r\n\r\n",
        "GET /a%zz.html HTTP/1.1\r\nHost: localhost\r\n\r\n",
        "GET /images/..%2findex.html HTTP/1.1\r\nHost: localhost\r\n\r\n",
        // The filter and the server must read the same path.
        "GET /images/cat.gif#.html HTTP/1.1\r\nHost: localhost\r\n\r\n",
    };
    for (const auto& request : cases) {
        SCOPED_TRACE(request.substr(0, 60));
        HttpClient client(host.Port("localhost"));
        client.SendRaw(request);
        const auto response = client.ReadResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->result_int(), 400u);
        EXPECT_EQ(std::string(response->reason()), "Bad Request");
    }
    EXPECT_EQ(host.Stop(), 0);
}

TEST_F(HostTest, ServesNothingOutsideTheDocumentRoot) {
    HostProcess host(SiteArguments(), 1);
    const std::string targets[] = {"/../secret.txt", "/images/../../secret.txt",
                                   "/%2e%2e/secret.txt", "/images/%2E%2E/%2e%2e/secret.txt",
                                   "/link.txt"};
    for (const auto& target : targets) {
        SCOPED_TRACE(target);
        HttpClient client(host.Port("localhost"));
        const auto response = client.Get(target, Host(host));
        ASSERT_TRUE(response);
        EXPECT_TRUE(response->result_int() == 400u || response->result_int() == 404u)
            << response->result_int();
        EXPECT_EQ(response->body().find("outside"), std::string::npos);
    }
}

TEST_F(HostTest, NeverServesAFileNamedWithATrailingSlash) {
    // The filter reads the type "jpg/", no protected type; the server must not map it to the file.
    HostProcess host(SiteArguments(), 1);
    HttpClient client(host.Port("localhost"));
    const auto response = client.Get("/images/dog.jpg/", Host(host));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 404u);
    EXPECT_EQ(response->body().find("dog"), std::string::npos);
}

TEST_F(HostTest, AtTheConnectionLimitANewClientTakesTheIdleOnesPlace) {
    auto arguments = SiteArguments({});
    arguments.insert(arguments.begin(), {"--max-connections", "1"});
    HostProcess host(arguments, 1);
    HttpClient idle(host.Port("localhost"));
    ASSERT_TRUE(idle.Get("/index.html", Host(host)));
    HttpClient next(host.Port("localhost"));
    const auto response = next.Get("/index.html", Host(host));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    EXPECT_TRUE(idle.ServerClosed());
}

TEST_F(HostTest, RunsModulesInLoadOrderAndStopsAtTheFirstAnswer) {
    // The second module protects nothing and logs every request that reaches it.
    WriteModule("second", "[logging]\nlogging=on\n", "", "");
    HostProcess host(SiteArguments({"filter", "second"}), 1);
    HttpClient client(host.Port("localhost"));
    auto response = client.Get("/images/cat.gif", Host(host), {{"Referer", "http://localhost/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    response = client.Get("/images/cat.gif?x", Host(host), {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 302u);
    const std::vector<std::string> expected = {
        "Pixwall for IIS started", "Allowing /images/cat.gif : No block rules for 127.0.0.1"};
    EXPECT_EQ(Log("second"), expected);
    EXPECT_EQ(host.Stop(), 0);
}

TEST_F(HostTest, ServesASiteWithoutFiltersAndAnswersHeadAndOtherMethods) {
    HostProcess host(SiteArguments({}), 1);
    HttpClient client(host.Port("localhost"));
    auto response = client.Get("/images/cat.gif", Host(host), {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    EXPECT_EQ(HeaderOf(*response, "Content-Type"), "image/gif");

    client.SendRaw("HEAD /images/dog.jpg HTTP/1.1\r\nHost: localhost\r\n\r\n");
    response = client.ReadResponse(true);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    EXPECT_EQ(HeaderOf(*response, "Content-Length"), std::to_string(kJpg.size()));
    EXPECT_EQ(HeaderOf(*response, "Content-Type"), "image/jpeg");

    // No answer to HEAD has a body, or the next answer on the connection is out of step.
    client.SendRaw("HEAD /nothing-here.html HTTP/1.1\r\nHost: localhost\r\n\r\n");
    response = client.ReadResponse(true);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 404u);

    client.SendRaw("DELETE /index.html HTTP/1.1\r\nHost: localhost\r\nContent-Length: 0\r\n\r\n");
    response = client.ReadResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 405u);

    response = client.Get("/nothing-here.html", Host(host));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 404u);
}

TEST_F(HostTest, ServesTwoSitesUnderTheirOwnNames) {
    auto arguments = SiteArguments();
    folder.Write("other/index.html", "the other site\n");
    const std::vector<std::string> otherSite = {
        "--site", folder.PathOf("other"), "--name", "127.0.0.1", "--port", "0"};
    arguments.insert(arguments.end(), otherSite.begin(), otherSite.end());
    HostProcess host(arguments, 2);
    HttpClient other(host.Port("127.0.0.1"));
    const auto response = other.Get("/", "127.0.0.1");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body(), "the other site\n");
    EXPECT_EQ(HeaderOf(*response, "Set-Cookie"), "");  // no filter on that site
}

TEST_F(HostTest, RefusesToStartOnBadInput) {
    folder.Write("not-a-module.so", "plain text");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"--site", folder.PathOf("site"), "--name", "localhost"}, 2, "needs a root, a --name"},
        {{"--port", "80"}, 2, "--port must follow a --site"},
        {{"--site", folder.PathOf("site"), "--name", "x", "--port", "99999"}, 2, "--port wants"},
        {{"--site", folder.PathOf("nowhere"), "--name", "x", "--port", "0"}, 2, "no folder"},
        {{"--site", folder.PathOf("site"), "--name", "x", "--port", "0", "--filter",
          folder.PathOf("not-a-module.so")},
         1,
         "cannot load filter module"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::string output;
        EXPECT_EQ(HostProcess::RunToEnd(c.arguments, output), c.status);
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
    }
    std::string help;
    EXPECT_EQ(HostProcess::RunToEnd({"--help"}, help), 0);
    EXPECT_NE(help.find("--filter MODULE"), std::string::npos);
}

}  // namespace
