#include "farm_admissions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "fake_redis.h"
#include "process_admission_table.h"

namespace {

constexpr std::int64_t kStart = 1'136'073'600;  // 2006-01-01
// Far more than a loopback answer takes even on a loaded machine under Wine, where 50 ms made
// sound stores look failed now and then.
constexpr auto kTimeout = std::chrono::milliseconds(500);
constexpr auto kPause = std::chrono::milliseconds(5000);
// Far more than the time-out, far less than waiting for ever: a step must end well within it.
constexpr auto kBound = std::chrono::seconds(2);

std::string KeyOf(const std::string& address) { return "pixwall:admission:" + address; }

// One web server of the farm: its own table, and the store in front of it.
struct Server {
    Server(const FakeRedis& redis, std::int32_t timeToLive, std::atomic<std::int64_t>& clock,
           std::chrono::milliseconds timeout = kTimeout)
        : store(table, StoreAddress{"127.0.0.1", redis.Port()},
                FarmAdmissions::Options{.timeout = timeout, .pause = kPause, .connections = 4},
                [&clock] { return clock.load(); }) {
        store.SetTimeToLive(timeToLive);
    }
    ProcessAdmissionTable table;
    FarmAdmissions store;
};

class FarmAdmissionsTest : public testing::Test {
  protected:
    FakeRedis redis;
    std::atomic<std::int64_t> clock{0};  // milliseconds, for the pause after a failure
};

TEST_F(FarmAdmissionsTest, AnAdmissionOnOneServerIsSeenOnAnother) {
    Server first(redis, 60, clock);
    Server second(redis, 60, clock);
    first.store.Admit("10.0.0.1", kStart);
    EXPECT_EQ(first.table.Size(), 1u);
    EXPECT_EQ(redis.Value(KeyOf("10.0.0.1")), std::to_string(kStart));
    EXPECT_EQ(redis.Expiry(KeyOf("10.0.0.1")), "61");

    EXPECT_TRUE(second.store.IsAdmitted("10.0.0.1", kStart + 30));
    EXPECT_FALSE(second.store.IsAdmitted("10.0.0.2", kStart + 30));
    // Found in the store, kept locally with its own time: the next files need no store.
    EXPECT_EQ(second.table.Addresses(), std::vector<std::string>{"10.0.0.1"});
    const std::size_t commands = redis.Commands();
    EXPECT_TRUE(second.store.IsAdmitted("10.0.0.1", kStart + 60));
    EXPECT_EQ(redis.Commands(), commands);
    EXPECT_FALSE(second.store.IsAdmitted("10.0.0.1", kStart + 61));
}

TEST_F(FarmAdmissionsTest, TheStoreKeepsTheExactTimeToLive) {
    struct Lifetime {
        const char* name;
        std::int32_t timeToLive;
        std::int64_t later;
        bool admitted;
        std::optional<std::string> expiry;  // what the store is told
    };
    const Lifetime cases[] = {
        {"at once", 60, 0, true, "61"},
        {"the last second", 60, 60, true, "61"},
        {"a second too late", 60, 61, false, "61"},
        {"zero: the same second", 0, 0, true, "1"},
        {"zero: the next second", 0, 1, false, "1"},
        {"a clock behind the admitting server's", 60, -5, true, "61"},
        {"the largest", 2147483647, 2147483647, true, "2147483648"},
        {"negative: nobody, and nothing stored", -1, 0, false, std::nullopt},
    };
    for (const Lifetime& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRedis store;
        Server first(store, c.timeToLive, clock);
        Server second(store, c.timeToLive, clock);
        first.store.Admit("10.0.0.1", kStart);
        EXPECT_EQ(store.Expiry(KeyOf("10.0.0.1")), c.expiry);
        EXPECT_EQ(second.store.IsAdmitted("10.0.0.1", kStart + c.later), c.admitted);
    }
}

TEST_F(FarmAdmissionsTest, AStoredValueThatIsNoTimeAdmitsNobody) {
    Server server(redis, 60, clock);
    for (const char* value : {"", "soon", "1136073600x", " 1136073600", "99999999999999999999"}) {
        SCOPED_TRACE(value);
        redis.Store(KeyOf("10.0.0.1"), value);
        EXPECT_FALSE(server.store.IsAdmitted("10.0.0.1", kStart));
        EXPECT_FALSE(server.store.Skipping());  // the store itself is sound
    }
}

TEST_F(FarmAdmissionsTest, AStoreThatFailsCostsABoundedWaitAndIsSkippedForThePause) {
    struct Failure {
        const char* name;
        FakeRedis::Mode mode;
    };
    const Failure failures[] = {
        {"no answer", FakeRedis::Mode::kSilent},
        {"connection refused", FakeRedis::Mode::kRefuse},
        {"error reply", FakeRedis::Mode::kError},
        {"damaged reply", FakeRedis::Mode::kDamaged},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        FakeRedis store;
        Server server(store, 60, clock);
        Server other(store, 60, clock);
        other.store.Admit("10.0.0.9", kStart);  // while the store is sound
        store.SetMode(f.mode);

        const auto started = std::chrono::steady_clock::now();
        server.store.Admit("10.0.0.1", kStart);
        EXPECT_LT(std::chrono::steady_clock::now() - started, kBound);
        EXPECT_TRUE(server.store.Skipping());
        // Local admissions still count; the store is not asked while it is skipped.
        const std::size_t commands = store.Commands();
        EXPECT_TRUE(server.store.IsAdmitted("10.0.0.1", kStart + 1));
        EXPECT_FALSE(server.store.IsAdmitted("10.0.0.9", kStart + 1));
        server.store.Admit("10.0.0.2", kStart + 1);
        EXPECT_EQ(store.Commands(), commands);

        // Once the pause is over the store is asked again, and counts again once it answers.
        store.SetMode(FakeRedis::Mode::kAnswer);
        clock += kPause.count() - 1;
        EXPECT_FALSE(server.store.IsAdmitted("10.0.0.9", kStart + 2));
        clock += 1;
        EXPECT_TRUE(server.store.IsAdmitted("10.0.0.9", kStart + 2));
        EXPECT_FALSE(server.store.Skipping());
        server.store.Admit("10.0.0.3", kStart + 2);
        EXPECT_EQ(store.Value(KeyOf("10.0.0.3")), std::to_string(kStart + 2));
        clock = 0;
    }
}

TEST_F(FarmAdmissionsTest, AFailedTryAfterThePauseStartsAnotherPause) {
    Server server(redis, 60, clock);
    redis.SetMode(FakeRedis::Mode::kError);
    server.store.Admit("10.0.0.1", kStart);
    clock += kPause.count();
    const std::size_t commands = redis.Commands();
    server.store.Admit("10.0.0.2", kStart);  // the one try
    EXPECT_EQ(redis.Commands(), commands + 1);
    server.store.Admit("10.0.0.3", kStart);
    clock += kPause.count() - 1;
    server.store.Admit("10.0.0.4", kStart);
    EXPECT_EQ(redis.Commands(), commands + 1);
    EXPECT_TRUE(server.store.Skipping());
}

TEST_F(FarmAdmissionsTest, AServerThatDroppedItsConnectionsIsReachedOnANewOne) {
    Server first(redis, 60, clock);
    Server second(redis, 60, clock);
    first.store.Admit("10.0.0.1", kStart);
    redis.DropConnections();  // as a restart does
    first.store.Admit("10.0.0.2", kStart);
    EXPECT_FALSE(first.store.Skipping());
    EXPECT_TRUE(second.store.IsAdmitted("10.0.0.2", kStart));
}

TEST_F(FarmAdmissionsTest, RequestThreadsShareAFewConnections) {
    // Time enough for a slow machine: waiting for a connection is no failure here.
    constexpr auto kPatient = std::chrono::seconds(10);
    Server first(redis, 60, clock, kPatient);
    Server second(redis, 60, clock, kPatient);
    constexpr int kThreads = 8;
    constexpr int kClients = 50;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kClients; ++i) {
                const std::string address = "10." + std::to_string(t) + ".0." + std::to_string(i);
                first.store.Admit(address, kStart);
                if (!second.store.IsAdmitted(address, kStart + 1)) ++wrong;
                if (second.store.IsAdmitted(address + ".x", kStart + 1)) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_FALSE(first.store.Skipping());
    EXPECT_EQ(second.table.Size(), static_cast<std::size_t>(kThreads * kClients));
}

// Against a real Redis server when PIXWALL_TEST_REDIS names one (redis://HOST:PORT): the Windows
// build under Wine reaches the Linux redis-server that way.
TEST(FarmAdmissionsAgainstRedis, AnAdmissionOnOneServerIsSeenOnAnotherUntilItExpires) {
    const char* url = std::getenv("PIXWALL_TEST_REDIS");
    const auto address = StoreAddress::Parse(url ? url : "");
    if (!address) GTEST_SKIP() << "PIXWALL_TEST_REDIS names no Redis server (redis://HOST:PORT)";
    const auto options = FarmAdmissions::Options{.timeout = std::chrono::milliseconds(500)};
    ProcessAdmissionTable firstTable;
    ProcessAdmissionTable secondTable;
    FarmAdmissions first(firstTable, *address, options);
    FarmAdmissions second(secondTable, *address, options);
    first.SetTimeToLive(60);
    second.SetTimeToLive(60);
    // An address of this run alone: the server may hold admissions of earlier ones.
    const std::string client =
        "test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    EXPECT_FALSE(second.IsAdmitted(client, kStart));
    first.Admit(client, kStart);
    EXPECT_FALSE(first.Skipping());
    EXPECT_FALSE(second.IsAdmitted(client, kStart + 61));
    EXPECT_TRUE(second.IsAdmitted(client, kStart + 60));
    EXPECT_FALSE(second.Skipping());
}

}  // namespace
