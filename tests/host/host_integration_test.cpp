// pixwall-host with a copy of the real filter module, driven over real loopback HTTP: the cases
// every server passes, and what only the stand-in host does (its own file serving, time limits,
// command line).
#include <gtest/gtest.h>

#include <filesystem>

#include "filter_server_cases.h"
#include "host_process.h"
#include "http_client.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kTimeLimit = {"--threads", "4", "--timeout", "2"};

std::vector<std::string> SiteArguments(const std::string& root,
                                       const std::vector<std::string>& modules) {
    std::vector<std::string> arguments = kTimeLimit;
    for (const char* argument : {"--site", root.c_str(), "--name", "localhost", "--port", "0"}) {
        arguments.push_back(argument);
    }
    for (const auto& module : modules) {
        arguments.push_back("--filter");
        arguments.push_back(module);
    }
    return arguments;
}

class RunningHost : public FilterServer {
  public:
    explicit RunningHost(const std::vector<std::string>& arguments) : process_(arguments, 1) {}
    unsigned short Port() const override { return process_.Port("localhost"); }
    int Stop() override { return process_.Stop(); }

  private:
    HostProcess process_;
};

const FilterServerKind kHost = {
    .name = "Host",
    .errorReason = "Server Error",
    .backslashSeparates = true,
    .start = [](const std::string& root, const std::vector<std::string>& modules,
                int) -> std::unique_ptr<FilterServer> {
        return std::make_unique<RunningHost>(SiteArguments(root, modules));
    },
};

INSTANTIATE_TEST_SUITE_P(Host, FilterServerTest, ::testing::Values(kHost), KindName);

class HostTest : public FilterSiteTest {
  protected:
    std::vector<std::string> SiteArguments(const std::vector<std::string>& modules = {"filter"}) {
        return ::SiteArguments(folder.PathOf("site"), ModulePaths(modules));
    }

    std::string Host(const HostProcess& host) {
        return "localhost:" + std::to_string(host.Port("localhost"));
    }
};

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

TEST_F(HostTest, ReadsBodiesAsAnnouncedAndRefusesFramingItCannotRead) {
    HostProcess host(SiteArguments(), 1);
    const std::string get = "GET /index.html HTTP/1.1\r\nHost: localhost\r\n";
    const std::string expect = "Expect: 100-continue\r\n", hello = "Content-Length: 5\r\n\r\n";
    const std::string chunks = "5\r\nhello\r\n0\r\n\r\n", coding = "Transfer-Encoding: ";
    const struct {
        const char* name;
        std::string head;
        std::string body;                // sent once the interim 100 has come
        std::vector<unsigned> statuses;  // the answers, in order
    } cases[] = {
        {"ContinueBeforeTheBody", get + expect + hello, "hello", {100, 200}},
        {"ContinueBeforeChunks", get + expect + coding + "chunked\r\n\r\n", chunks, {100, 200}},
        {"NoContinueWithoutABody", get + expect + "\r\n", "", {200}},
        {"NoContinueForHttp10", "GET / HTTP/1.0\r\n" + expect + hello + "hello", "", {200}},
        {"NoContinueBeforeARefusal", get + "Host: x\r\n" + expect + hello, "", {400}},
        {"TwoHosts", get + "Host: localhost\r\n\r\n", "", {400}},
        {"UnknownCoding", get + coding + "gzip\r\n\r\nhello", "", {501}},
        {"CodingBeforeChunks", get + coding + "gzip, chunked\r\n\r\n" + chunks, "", {501}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClient client(host.Port("localhost"));
        client.SendRaw(c.head);
        for (const unsigned status : c.statuses) {
            const auto response = client.ReadResponse();
            ASSERT_TRUE(response);
            EXPECT_EQ(response->result_int(), status);
            if (status == 100) client.SendRaw(c.body);
        }
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
