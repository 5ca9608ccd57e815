// Two stand-in web servers of one farm, each with its own copy of the filter module, sharing
// their admissions through one redis-server started for the test.
#include <gtest/gtest.h>

#include <chrono>

#include "filter_server_cases.h"
#include "host_process.h"
#include "http_client.h"
#include "redis_server_process.h"

namespace {

using Clock = std::chrono::steady_clock;
// Far more than the filter's wait for the store, far less than the host's own time limit.
constexpr auto kAnsweredWithin = std::chrono::seconds(1);

class FarmHostTest : public FilterSiteTest {
  protected:
    std::unique_ptr<HostProcess> StartServer(const std::string& module, const std::string& store) {
        WriteModule(module,
                    "[settings]\ntimetolive=600\n[DynamicAuthorization]\nDynamicAuthorization=on\n"
                    "store=" +
                        store + "\n[logging]\nlogging=on\n[alternates]\ngif=" + kAlternate + "\n",
                    "gif\njpg\n", "leech\n");
        return std::make_unique<HostProcess>(
            std::vector<std::string>{"--threads", "4", "--timeout", "5", "--site",
                                     folder.PathOf("site"), "--name", "localhost", "--port", "0",
                                     "--filter", folder.PathOf(module + "/pixwall.so")},
            1);
    }

    // The status of a GET, and that it came within the bound.
    static unsigned Get(const HostProcess& server, const std::string& target) {
        const unsigned short port = server.Port("localhost");
        HttpClient client(port, 5);
        const auto started = Clock::now();
        const auto response = client.Get(target, "localhost:" + std::to_string(port));
        EXPECT_LT(Clock::now() - started, kAnsweredWithin) << target;
        return response ? response->result_int() : 0;
    }
};

TEST_F(FarmHostTest, APageOnOneServerAdmitsTheImageOnTheOtherUntilTheStoreGoes) {
    if (RedisServerProcess::Program().empty())
        GTEST_SKIP() << "redis-server is not installed (Debian package redis-server)";
    RedisServerProcess redis;
    ASSERT_TRUE(redis.Running());
    const auto first = StartServer("first", redis.Url());
    const auto second = StartServer("second", redis.Url());

    EXPECT_EQ(Get(*second, "/images/cat.gif"), 302u);  // nobody admitted yet
    EXPECT_EQ(Get(*first, "/index.html"), 200u);
    EXPECT_EQ(Get(*second, "/images/cat.gif"), 200u);
    EXPECT_EQ(Log("second").back(),
              "Allowing /images/cat.gif : Dynamic access granted for 127.0.0.1");

    // Without the store every request is still answered at once, and each server's own
    // admissions still count.
    redis.Stop();
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Get(*first, "/index.html"), 200u);
        EXPECT_EQ(Get(*first, "/images/dog.jpg"), 200u);
        EXPECT_EQ(Get(*second, "/images/cat.gif"), 200u);
    }
    EXPECT_EQ(first->Stop(), 0);
    EXPECT_EQ(second->Stop(), 0);
}

}  // namespace
