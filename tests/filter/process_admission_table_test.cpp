// The answers every kind of admissions gives, checked against each kind.
#include "process_admission_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "machine_admission_table.h"
#include "temp_folder.h"

namespace {

constexpr std::int64_t kStart = 1'136'073'600;  // 2006-01-01

constexpr std::size_t kCapacity = ProcessAdmissionTable::kCapacity;
constexpr std::size_t kShards = ProcessAdmissionTable::kShards;

// Makes a table of one kind with a capacity and a number of shards.
struct Kind {
    const char* name;
    std::function<std::unique_ptr<Admissions>(const TempFolder& folder, std::size_t capacity,
                                              std::size_t shards)>
        make;
};

const Kind kKinds[] = {
    {"InProcess",
     [](const TempFolder&, std::size_t capacity, std::size_t shards) {
         return std::unique_ptr<Admissions>(new ProcessAdmissionTable(capacity, shards));
     }},
    {"Shared",
     [](const TempFolder& folder, std::size_t capacity, std::size_t shards) {
         static std::atomic<int> count{0};
         const std::string path = folder.PathOf("table" + std::to_string(count++));
         std::unique_ptr<Admissions> table = MachineAdmissionTable::Open(path, capacity, shards);
         // The mapping outlives the name; the disk keeps no table once the test is done with it.
         std::filesystem::remove(path);
         return table;
     }},
};

class AdmissionsTest : public testing::TestWithParam<Kind> {
  protected:
    std::unique_ptr<Admissions> Make(std::size_t capacity = kCapacity,
                                     std::size_t shards = kShards) {
        std::unique_ptr<Admissions> table = GetParam().make(folder_, capacity, shards);
        EXPECT_NE(table, nullptr);
        return table;
    }

  private:
    TempFolder folder_;
};

INSTANTIATE_TEST_SUITE_P(Kinds, AdmissionsTest, testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

struct Lifetime {
    std::int32_t timeToLive;
    std::int64_t later;  // seconds after the admission
    bool admitted;
};

TEST_P(AdmissionsTest, AnAdmissionLastsExactlyTheTimeToLive) {
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
        std::int64_t now = kStart;
        auto table = Make();
        table->SetTimeToLive(c.timeToLive);
        table->Admit("10.0.0.1", now);
        now += c.later;
        EXPECT_EQ(table->IsAdmitted("10.0.0.1", now), c.admitted)
            << "ttl " << c.timeToLive << ", " << c.later << " s later";
        // A lookup that finds the admission expired removes it.
        EXPECT_EQ(table->Size(), c.admitted ? 1u : 0u);
    }
}

TEST_P(AdmissionsTest, AdmittingTwiceLeavesOneEntryAtTheFrontWithTheNewTime) {
    std::int64_t now = kStart;
    auto table = Make(kCapacity, 1);  // one order for all
    table->SetTimeToLive(60);
    table->Admit("10.0.0.1", now);
    now += 30;
    table->Admit("10.0.0.2", now);
    table->Admit("10.0.0.1", now);
    EXPECT_EQ(table->Addresses(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    now += 60;  // 90 s after the first admission, 60 after the second
    EXPECT_TRUE(table->IsAdmitted("10.0.0.1", now));
}

TEST_P(AdmissionsTest, AddressesCompareExactly) {
    std::int64_t now = kStart;
    auto table = Make();
    table->SetTimeToLive(60);
    table->Admit("fe80::a", now);
    table->Admit("", now);
    EXPECT_TRUE(table->IsAdmitted("fe80::a", now));
    EXPECT_TRUE(table->IsAdmitted("", now));  // an absent address is a text like any other
    EXPECT_FALSE(table->IsAdmitted("FE80::A", now));
    EXPECT_FALSE(table->IsAdmitted("fe80::a ", now));
    EXPECT_FALSE(table->IsAdmitted("fe80::", now));
}

TEST_P(AdmissionsTest, ARebuildChangesTheLifetimeOfEveryAdmission) {
    std::int64_t now = kStart;
    auto table = Make();
    table->SetTimeToLive(10);
    table->Admit("10.0.0.1", now);
    now += 30;
    table->SetTimeToLive(60);
    EXPECT_TRUE(table->IsAdmitted("10.0.0.1", now));
    table->SetTimeToLive(29);
    EXPECT_FALSE(table->IsAdmitted("10.0.0.1", now));
}

TEST_P(AdmissionsTest, MemoryFollowsTheClientsAdmittedWithinTheTimeToLive) {
    std::int64_t now = kStart;
    // An admission drops the expired ones of its own shard; here every address shares one.
    auto table = Make(kCapacity, 1);
    table->SetTimeToLive(5);
    // A stream of clients that never come back: one new client a second.
    for (int i = 0; i < 1000; ++i) {
        table->Admit("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256), now);
        now += 1;
        ASSERT_LE(table->Size(), 6u);
    }
}

TEST_P(AdmissionsTest, AClientPurgedAsExpiredStaysExpiredWhenTheTimeToLiveGrows) {
    std::int64_t now = kStart;
    auto table = Make(kCapacity, 1);
    table->SetTimeToLive(10);
    table->Admit("10.0.0.1", now);
    now += 11;
    table->Admit("10.0.0.2", now);  // finds 10.0.0.1 expired and drops it
    table->SetTimeToLive(60);
    EXPECT_FALSE(table->IsAdmitted("10.0.0.1", now));
    EXPECT_TRUE(table->IsAdmitted("10.0.0.2", now));
}

// The table as its behaviour is defined: a list, most recent admission first, walked from the
// front, an expired entry removed only when a lookup finds it; when it holds `capacity`
// addresses, a new one first drops the expired ones and then, if it is still full, the oldest.
class ListModel {
  public:
    explicit ListModel(std::size_t capacity = kCapacity) : capacity_(capacity) {}
    void SetTimeToLive(std::int32_t seconds) { timeToLive_ = seconds; }
    void Admit(const std::string& address, std::int64_t now) {
        bool known = false;
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == address) {
                entries_.erase(it);
                known = true;
                break;
            }
        }
        if (!known && entries_.size() >= capacity_) {
            entries_.remove_if([&](const auto& entry) { return now - entry.second > timeToLive_; });
            if (entries_.size() >= capacity_) entries_.pop_back();
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
    std::size_t capacity_;
    std::int32_t timeToLive_ = 0;
    std::list<std::pair<std::string, std::int64_t>> entries_;
};

struct ModelRun {
    std::size_t capacity;
    std::size_t shards;
    bool timeMovesEveryStep;  // across shards, admissions of one second drop in no fixed order
};

void CompareWithModel(
    const ModelRun& run,
    const std::function<std::unique_ptr<Admissions>(std::size_t, std::size_t)>& make) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        std::int64_t now = kStart;
        auto table = make(run.capacity, run.shards);
        ListModel model(run.capacity);
        std::int32_t timeToLive = pick(20);
        table->SetTimeToLive(timeToLive);
        model.SetTimeToLive(timeToLive);
        const int clients = 1 + pick(30);
        for (int step = 0; step < 2000; ++step) {
            const std::string address = "10.0.0." + std::to_string(pick(clients));
            if (run.timeMovesEveryStep) ++now;
            switch (pick(10)) {
                case 0:
                case 1:
                case 2:
                    table->Admit(address, now);
                    model.Admit(address, now);
                    ASSERT_LE(table->Size(), run.capacity);
                    break;
                case 3:
                case 4:
                case 5:
                case 6:
                    ASSERT_EQ(table->IsAdmitted(address, now), model.IsAdmitted(address, now))
                        << "seed " << seed << " step " << step << " " << address;
                    break;
                case 7:
                case 8:
                    now += pick(4);
                    break;
                default:
                    // A rebuild that keeps or shortens the time to live.
                    if (pick(8) == 0) {
                        timeToLive = pick(timeToLive + 1);
                        table->SetTimeToLive(timeToLive);
                        model.SetTimeToLive(timeToLive);
                    }
                    break;
            }
        }
    }
}

TEST_P(AdmissionsTest, AnswersAsTheListWithItsLazyRemovalOnRandomOperations) {
    CompareWithModel({kCapacity, kShards, false},
                     [this](std::size_t c, std::size_t s) { return Make(c, s); });
}

TEST_P(AdmissionsTest, WhenFullANewAddressDropsTheOldestAdmissionAsTheListDoes) {
    CompareWithModel({5, 1, false}, [this](std::size_t c, std::size_t s) { return Make(c, s); });
    CompareWithModel({5, 8, true}, [this](std::size_t c, std::size_t s) { return Make(c, s); });
    CompareWithModel({1, 4, true}, [this](std::size_t c, std::size_t s) { return Make(c, s); });
    // More shards than one group of them: the oldest is found by group first.
    CompareWithModel({5, 128, true}, [this](std::size_t c, std::size_t s) { return Make(c, s); });
}

TEST_P(AdmissionsTest, ThreadsAdmitAndLookUpAtOnce) {
    constexpr int kThreads = 4;
    constexpr std::size_t kFull = 300;
    auto roomy = Make();
    // One shard: each eviction meets the other threads' changes there, an unlocked one a race.
    auto full = Make(kFull, 1);
    roomy->SetTimeToLive(3600);
    full->SetTimeToLive(3600);
    std::atomic<int> missing{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const int n = i % 500;
                const std::string address = "10." + std::to_string(t) + "." +
                                            std::to_string(n / 256) + "." + std::to_string(n % 256);
                roomy->Admit(address, kStart + i / 100);
                if (!roomy->IsAdmitted(address, kStart + i / 100)) ++missing;
                full->Admit(address, kStart + i / 100);
                full->IsAdmitted(address, kStart + i / 100);
                if (i % 500 == 0) full->SetTimeToLive(3600 + t);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(missing.load(), 0);
    EXPECT_EQ(roomy->Size(), kThreads * 500u);
    EXPECT_EQ(roomy->Addresses().size(), kThreads * 500u);
    EXPECT_LE(full->Size(), kFull);
    EXPECT_EQ(full->Addresses().size(), full->Size());
}

}  // namespace

// The shard to evict from, found by group and then by shard; a group's time left a step behind
// by two shards changing at once is mended by NoteGroups.
TEST(OldestTimes, FindsTheEarliestShardAcrossGroupsAndMendsAGroupLeftBehind) {
    constexpr std::size_t kShardCount = 128;  // four groups
    using admission_list::OldestTimes;
    std::vector<std::atomic<std::int64_t>> shardTimes(kShardCount);
    std::vector<std::atomic<std::int64_t>> groupTimes(OldestTimes::Groups(kShardCount));
    ASSERT_EQ(groupTimes.size(), 4u);
    const OldestTimes times(shardTimes.data(), groupTimes.data(), kShardCount);
    times.Clear();
    EXPECT_EQ(times.OldestShard(), kShardCount);

    times.Note(100, kStart + 5);
    times.Note(40, kStart + 7);
    times.Note(41, kStart + 3);
    EXPECT_EQ(times.OldestShard(), 41u);
    times.Note(41, OldestTimes::kNone);  // emptied
    EXPECT_EQ(times.OldestShard(), 100u);
    times.Note(100, kStart + 9);  // its oldest admitted again
    EXPECT_EQ(times.OldestShard(), 40u);

    // A group's time that missed a change of one of its shards.
    groupTimes[1].store(OldestTimes::kNone);
    EXPECT_EQ(times.OldestShard(), 100u);
    times.NoteGroups();
    EXPECT_EQ(times.OldestShard(), 40u);
    groupTimes[2].store(kStart);  // and one whose shards have all been emptied since
    EXPECT_EQ(times.OldestShard(), kShardCount);
    times.NoteGroups();
    EXPECT_EQ(times.OldestShard(), 40u);
}
