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
