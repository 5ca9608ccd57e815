#include "dynamic_access_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <random>
#include <string>

namespace {

// A clock the test sets.
struct TestClock {
    std::int64_t now = 1'136'073'600;  // 2006-01-01
    DynamicAccessTable::Clock Get() {
        return [this] { return now; };
    }
};

struct Lifetime {
    std::int32_t timeToLive;
    std::int64_t later;  // seconds after the admission
    bool admitted;
};

TEST(DynamicAccessTable, AnAdmissionLastsExactlyTheTimeToLive) {
    const Lifetime cases[] = {
        {60, 0, true},
        {60, 59, true},
        {60, 60, true},
        {60, 61, false},
        {0, 0, true},
        {0, 1, false},
        {1, 1, true},
        {1, 2, false},
        {-1, 0, false},  // a negative time to live admits nobody
        {2147483647, 2147483647, true},
        {2147483647, 2147483648LL, false},
    };
    for (const Lifetime& c : cases) {
        TestClock clock;
        DynamicAccessTable table(clock.Get());
        table.SetTimeToLive(c.timeToLive);
        table.Admit("10.0.0.1");
        clock.now += c.later;
        EXPECT_EQ(table.IsAdmitted("10.0.0.1"), c.admitted)
            << "ttl " << c.timeToLive << ", " << c.later << " s later";
        // A lookup that finds the admission expired removes it.
        EXPECT_EQ(table.Size(), c.admitted ? 1u : 0u);
    }
}

TEST(DynamicAccessTable, AdmittingTwiceLeavesOneEntryAtTheFrontWithTheNewTime) {
    TestClock clock;
    DynamicAccessTable table(clock.Get());
    table.SetTimeToLive(60);
    table.Admit("10.0.0.1");
    clock.now += 30;
    table.Admit("10.0.0.2");
    table.Admit("10.0.0.1");
    EXPECT_EQ(table.Addresses(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    clock.now += 60;  // 90 s after the first admission, 60 after the second
    EXPECT_TRUE(table.IsAdmitted("10.0.0.1"));
}

TEST(DynamicAccessTable, AddressesCompareExactly) {
    TestClock clock;
    DynamicAccessTable table(clock.Get());
    table.SetTimeToLive(60);
    table.Admit("fe80::a");
    table.Admit("");
    EXPECT_TRUE(table.IsAdmitted("fe80::a"));
    EXPECT_TRUE(table.IsAdmitted(""));  // an absent address is a text like any other
    EXPECT_FALSE(table.IsAdmitted("FE80::A"));
    EXPECT_FALSE(table.IsAdmitted("fe80::a "));
    EXPECT_FALSE(table.IsAdmitted("fe80::"));
}

TEST(DynamicAccessTable, ARebuildChangesTheLifetimeOfEveryAdmission) {
    TestClock clock;
    DynamicAccessTable table(clock.Get());
    table.SetTimeToLive(10);
    table.Admit("10.0.0.1");
    clock.now += 30;
    table.SetTimeToLive(60);
    EXPECT_TRUE(table.IsAdmitted("10.0.0.1"));
    table.SetTimeToLive(29);
    EXPECT_FALSE(table.IsAdmitted("10.0.0.1"));
}

TEST(DynamicAccessTable, MemoryFollowsTheClientsAdmittedWithinTheTimeToLive) {
    TestClock clock;
    DynamicAccessTable table(clock.Get());
    table.SetTimeToLive(5);
    // A stream of clients that never come back: one new client a second.
    for (int i = 0; i < 1000; ++i) {
        table.Admit("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256));
        clock.now += 1;
        ASSERT_LE(table.Size(), 6u);
    }
}

TEST(DynamicAccessTable, AClientPurgedAsExpiredStaysExpiredWhenTheTimeToLiveGrows) {
    TestClock clock;
    DynamicAccessTable table(clock.Get());
    table.SetTimeToLive(10);
    table.Admit("10.0.0.1");
    clock.now += 11;
    table.Admit("10.0.0.2");  // finds 10.0.0.1 expired and drops it
    table.SetTimeToLive(60);
    EXPECT_FALSE(table.IsAdmitted("10.0.0.1"));
    EXPECT_TRUE(table.IsAdmitted("10.0.0.2"));
}

// The table as its behaviour is defined: a list, most recent admission first, walked from the
// front, an expired entry removed only when a lookup finds it.
class ListModel {
  public:
    void SetTimeToLive(std::int32_t seconds) { timeToLive_ = seconds; }
    void Admit(const std::string& address, std::int64_t now) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == address) {
                entries_.erase(it);
                break;
            }
        }
        entries_.emplace_front(address, now);
    }
    bool IsAdmitted(const std::string& address, std::int64_t now) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first != address) continue;
            if (now - it->second <= timeToLive_) return true;
            entries_.erase(it);
            return false;
        }
        return false;
    }

  private:
    std::int32_t timeToLive_ = 0;
    std::list<std::pair<std::string, std::int64_t>> entries_;
};

TEST(DynamicAccessTable, AnswersAsTheListWithItsLazyRemovalOnRandomOperations) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        TestClock clock;
        DynamicAccessTable table(clock.Get());
        ListModel model;
        std::int32_t timeToLive = pick(20);
        table.SetTimeToLive(timeToLive);
        model.SetTimeToLive(timeToLive);
        const int clients = 1 + pick(30);
        for (int step = 0; step < 2000; ++step) {
            const std::string address = "10.0.0." + std::to_string(pick(clients));
            switch (pick(10)) {
                case 0:
                case 1:
                case 2:
                    table.Admit(address);
                    model.Admit(address, clock.now);
                    break;
                case 3:
                case 4:
                case 5:
                case 6:
                    ASSERT_EQ(table.IsAdmitted(address), model.IsAdmitted(address, clock.now))
                        << "seed " << seed << " step " << step << " " << address;
                    break;
                case 7:
                case 8:
                    clock.now += pick(4);
                    break;
                default:
                    // A rebuild that keeps or shortens the time to live.
                    if (pick(8) == 0) {
                        timeToLive = pick(timeToLive + 1);
                        table.SetTimeToLive(timeToLive);
                        model.SetTimeToLive(timeToLive);
                    }
                    break;
            }
        }
    }
}

}  // namespace
