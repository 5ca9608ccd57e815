// The host's command line.
#include "host_options.h"

#include <gtest/gtest.h>

namespace {

TEST(HostOptionsTest, ReadsSitesWithTheirFiltersInOrder) {
    std::string error;
    bool help = false;
    const auto options = HostOptions::Parse({"--threads",
                                             "3",
                                             "--timeout",
                                             "5",
                                             "--site",
                                             "/srv/a",
                                             "--name",
                                             "localhost",
                                             "--port",
                                             "8080",
                                             "--filter",
                                             "/f/one.so",
                                             "--filter",
                                             "/f/two.so",
                                             "--site",
                                             "/srv/b",
                                             "--port",
                                             "0",
                                             "--name",
                                             "127.0.0.1",
                                             "--bind",
                                             "::1",
                                             "--max-connections",
                                             "7"},
                                            error, help);
    ASSERT_TRUE(options) << error;
    EXPECT_FALSE(help);
    EXPECT_EQ(options->threads, 3u);
    EXPECT_EQ(options->timeoutSeconds, 5u);
    EXPECT_EQ(options->bindAddress, "::1");
    EXPECT_EQ(options->maxConnections, 7u);
    ASSERT_EQ(options->sites.size(), 2u);
    EXPECT_EQ(options->sites[0].root, "/srv/a");
    EXPECT_EQ(options->sites[0].serverName, "localhost");
    EXPECT_EQ(options->sites[0].port, 8080);
    EXPECT_EQ(options->sites[0].filters, (std::vector<std::string>{"/f/one.so", "/f/two.so"}));
    EXPECT_EQ(options->sites[1].serverName, "127.0.0.1");
    EXPECT_EQ(options->sites[1].port, 0);
    EXPECT_TRUE(options->sites[1].filters.empty());
}

TEST(HostOptionsTest, ExplainsWhatIsWrong) {
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{}, "no site given"},
        {{"--site"}, "--site needs a value"},
        {{"--name", "x"}, "--name must follow a --site"},
        {{"--site", "/r", "--name", "x"}, "site 1 needs a root, a --name and a --port"},
        {{"--site", "/r", "--port", "1"}, "site 1 needs a root, a --name and a --port"},
        {{"--site", "/r", "--name", "x", "--port", "65536"}, "--port wants a number"},
        {{"--site", "/r", "--name", "x", "--port", "8o"}, "--port wants a number"},
        {{"--site", "/r", "--name", "x", "--port", "1", "--threads", "0"}, "--threads wants"},
        {{"--site", "/r", "--name", "x", "--port", "1", "--timeout", "-1"}, "--timeout wants"},
        {{"--site", "/r", "--name", "x", "--port", "1", "--max-connections", "0"},
         "--max-connections wants"},
        {{"--site", "/r", "--name", "x", "--port", "1", "--verbose", "1"}, "unknown option"},
        {{"stray"}, "unexpected argument: stray"},
    };
    for (const auto& c : cases) {
        std::string error;
        bool help = false;
        EXPECT_FALSE(HostOptions::Parse(c.arguments, error, help)) << c.error;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }
    std::string error;
    bool help = false;
    EXPECT_TRUE(HostOptions::Parse({"--site", "/r", "--help"}, error, help));
    EXPECT_TRUE(help);
    EXPECT_NE(HostOptions::Usage().find("--filter MODULE"), std::string::npos);
}

}  // namespace

TEST(HostOptionsTest, TakesTheSitesFromAStore) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string environment;
        std::string metabase;
        std::string pidFile;
    } cases[] = {
        {"named on the command line",
         {"--metabase", "/m/store.txt"},
         "",
         "/m/store.txt",
         "/m/store.txt.pid"},
        {"the command line before the environment",
         {"--metabase", "/m/a"},
         "/m/b",
         "/m/a",
         "/m/a.pid"},
        {"from the environment", {}, "/m/env", "/m/env", "/m/env.pid"},
        {"own pid file", {"--pid-file", "/run/h.pid"}, "/m/env", "/m/env", "/run/h.pid"},
    };
    for (const auto& c : cases) {
        std::string error;
        bool help = false;
        const auto options = HostOptions::Parse(c.arguments, error, help, c.environment);
        ASSERT_TRUE(options) << c.name << ": " << error;
        EXPECT_EQ(options->metabase, c.metabase) << c.name;
        EXPECT_EQ(options->pidFile, c.pidFile) << c.name;
        EXPECT_TRUE(options->sites.empty()) << c.name;
    }
    std::string error;
    bool help = false;
    EXPECT_FALSE(HostOptions::Parse(
        {"--metabase", "/m", "--site", "/r", "--name", "x", "--port", "1"}, error, help));
    EXPECT_EQ(error, "--metabase and --site exclude each other");
    const auto sites =
        HostOptions::Parse({"--site", "/r", "--name", "x", "--port", "1"}, error, help, "/m/env");
    ASSERT_TRUE(sites);
    EXPECT_TRUE(sites->metabase.empty()) << "sites on the command line win over the environment";
}
