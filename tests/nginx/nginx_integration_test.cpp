// Debian's nginx with the module and a copy of the real filter module, driven over real loopback
// HTTP: the cases every server passes, and what only nginx does (its own handling of a request
// the filter lets through, configuration checks, reload).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "filter_server_cases.h"
#include "http_client.h"
#include "nginx_process.h"

namespace {

// One server, "localhost", serving the folder with the filters at server level.
std::string SiteBlock(const std::string& root, const std::vector<std::string>& modules,
                      const std::string& more = "") {
    std::string block =
        "    server {\n        listen 127.0.0.1:@PORT0@;\n"
        "        server_name localhost;\n        root " +
        root + ";\n";
    for (const auto& module : modules) block += "        pixwall_filter " + module + ";\n";
    return block + more + "    }\n";
}

class RunningNginx : public FilterServer {
  public:
    RunningNginx(const std::string& folder, const std::string& http, int processes, int ports)
        : process_(folder, http, processes, ports) {}
    unsigned short Port() const override { return process_.Port(); }
    int Stop() override { return process_.Stop(); }
    NginxProcess& Process() { return process_; }

  private:
    NginxProcess process_;
};

const FilterServerKind kNginx = {
    .name = "Nginx",
    .errorReason = "Internal Server Error",
    .start = [](const std::string& root, const std::vector<std::string>& modules,
                int processes) -> std::unique_ptr<FilterServer> {
        return std::make_unique<RunningNginx>(root + "/../nginx", SiteBlock(root, modules),
                                              processes, 1);
    },
};

INSTANTIATE_TEST_SUITE_P(Nginx, FilterServerTest, ::testing::Values(kNginx), KindName);

class NginxTest : public FilterSiteTest {
  protected:
    // Waits (at most 10 s) until the log holds that many lines with the message.
    bool WaitForLines(const std::string& message, long count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto log = Log();
            if (std::count(log.begin(), log.end(), message) >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

TEST_F(NginxTest, LeavesWhatTheFilterLetsThroughToNginxsOwnHandling) {
    // The protected site proxies /proxied/ to a second server without the filter.
    folder.Write("backend/index.html", "the backend's page\n");
    folder.Write("backend/images/cat.gif", "the backend's cat");
    const std::string proxied =
        "        location /proxied/ { proxy_pass http://127.0.0.1:@PORT1@/; }\n";
    const std::string backend =
        "    server {\n        listen 127.0.0.1:@PORT1@;\n"
        "        root " +
        folder.PathOf("backend") + ";\n    }\n";
    RunningNginx nginx(folder.PathOf("nginx"),
                       SiteBlock(folder.PathOf("site"), ModulePaths({"filter"}), proxied) + backend,
                       1, 2);
    HttpClient client(nginx.Port());
    const std::string host = "localhost:" + std::to_string(nginx.Port());

    auto response = client.Get("/proxied/images/cat.gif", host, {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 302u);
    EXPECT_EQ(HeaderOf(*response, "Location"), kAlternate);

    // A page: proxied, and the filter's cookie goes with the backend's answer.
    response = client.Get("/proxied/index.html", host);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    EXPECT_EQ(response->body(), "the backend's page\n");
    EXPECT_EQ(HeaderOf(*response, "Set-Cookie"), "PIXWALLID=MTI3LjAuMC4x; path=/;");

    response = client.Get("/proxied/images/cat.gif", host, {{"Referer", "http://localhost/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 200u);
    EXPECT_EQ(response->body(), "the backend's cat");
    EXPECT_EQ(nginx.Stop(), 0);
}

TEST_F(NginxTest, WorkersShareAdmissionsSoEveryVisitorsPageAdmitsItsImage) {
    constexpr int kVisitors = 20;
    // reuseport gives each worker a listening socket of its own; the kernel spreads the
    // connections over them by address and port, so pages and images land on different workers.
    const std::string block =
        "    server {\n        listen 127.0.0.1:@PORT0@ reuseport;\n"
        "        server_name localhost;\n        root " +
        folder.PathOf("site") + ";\n        pixwall_filter " + ModulePaths({"filter"}).front() +
        ";\n    }\n";
    RunningNginx nginx(folder.PathOf("nginx"), block, 4, 1);
    const std::string host = "localhost:" + std::to_string(nginx.Port());
    for (int visitor = 1; visitor <= kVisitors; ++visitor) {
        const std::string address = "127.0.0." + std::to_string(visitor + 1);
        {
            HttpClient client(nginx.Port(), address);
            const auto page = client.Get("/", host);
            ASSERT_TRUE(page) << address;
            EXPECT_EQ(page->result_int(), 200u) << address;
        }
        // A new connection without the cookie: only the admission lets the image through.
        HttpClient client(nginx.Port(), address);
        const auto image = client.Get("/images/cat.gif", host);
        ASSERT_TRUE(image) << address;
        EXPECT_EQ(image->result_int(), 200u) << address;
        EXPECT_EQ(image->body(), kGif) << address;
    }
    EXPECT_EQ(nginx.Stop(), 0);
}

TEST_F(NginxTest, ReloadUnloadsTheOldWorkersModulesAndStartsTheNewOnes) {
    RunningNginx nginx(folder.PathOf("nginx"),
                       SiteBlock(folder.PathOf("site"), ModulePaths({"filter"})), 1, 1);
    ASSERT_TRUE(WaitForLines("Pixwall for IIS started", 1));
    nginx.Process().Reload();
    EXPECT_TRUE(WaitForLines("Pixwall for IIS started", 2));
    EXPECT_TRUE(WaitForLines("Pixwall for IIS stopped", 1));

    HttpClient client(nginx.Port());
    const auto response =
        client.Get("/images/cat.gif", "localhost", {{"Referer", "http://leech/"}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->result_int(), 302u);
    EXPECT_EQ(nginx.Stop(), 0);
    const auto log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Pixwall for IIS stopped"), 2);
    EXPECT_EQ(log.back(), "Pixwall for IIS stopped");
}

TEST_F(NginxTest, ConfigurationCheckFailsOnAFileThatIsNoFilterModule) {
    folder.Write("not-a-module.so", "plain text");
    const struct {
        std::string module;
        std::string message;
    } cases[] = {
        {folder.PathOf("nowhere/pixwall.so"),
         "cannot load filter module " + folder.PathOf("nowhere/pixwall.so")},
        {folder.PathOf("not-a-module.so"),
         "cannot load filter module " + folder.PathOf("not-a-module.so")},
        // A library without the exports: this very module.
        {PIXWALL_NGINX_MODULE,
         "not a filter module (GetFilterVersion and HttpFilterProc are not "
         "both exported): " PIXWALL_NGINX_MODULE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        std::string output;
        EXPECT_EQ(NginxProcess::Test(folder.PathOf("nginx"),
                                     SiteBlock(folder.PathOf("site"), {c.module}), output),
                  1);
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
    }
    // Checking starts nothing: the filter writes no line.
    std::string output;
    EXPECT_EQ(NginxProcess::Test(folder.PathOf("nginx"),
                                 SiteBlock(folder.PathOf("site"), ModulePaths({"filter"})), output),
              0)
        << output;
    EXPECT_EQ(Log(), std::vector<std::string>{});
}

}  // namespace
