// Readers keep the snapshot they took while publishers replace it; each replaced snapshot is
// freed once, after its last reader. Run it under the thread sanitizer too.
#include "snapshot_cell.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A snapshot that checks it is whole and counts how many are alive.
struct Snapshot {
    static std::atomic<int> alive;
    explicit Snapshot(int n) : number(n), copy(n) { ++alive; }
    ~Snapshot() {
        number = -1;
        copy = -2;
        --alive;
    }
    int number;
    int copy;
};
std::atomic<int> Snapshot::alive{0};

TEST(SnapshotCell, EmptyUntilPublishedAndAfterwardsTheLatest) {
    SnapshotCell<Snapshot> cell;
    EXPECT_FALSE(cell.Read());
    cell.Publish(std::make_shared<Snapshot>(1));
    {
        const auto reader = cell.Read();
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->number, 1);
    }
    cell.Publish(std::make_shared<Snapshot>(2));
    EXPECT_EQ(cell.Read()->number, 2);
    EXPECT_EQ(Snapshot::alive.load(), 1);  // the first went once nobody read it
    cell.Publish(nullptr);
    EXPECT_FALSE(cell.Read());
    EXPECT_EQ(Snapshot::alive.load(), 0);
}

TEST(SnapshotCell, AReaderKeepsItsSnapshotUntilItLetsGo) {
    SnapshotCell<Snapshot> cell;
    cell.Publish(std::make_shared<Snapshot>(1));
    std::atomic<bool> reading{false};
    std::atomic<bool> published{false};
    std::thread reader([&] {
        const auto held = cell.Read();
        reading = true;
        // The publisher waits for this reader, so the new snapshot cannot be out yet.
        for (int i = 0; i < 1000; ++i) {
            EXPECT_EQ(held->number, 1);
            EXPECT_FALSE(published.load());
            std::this_thread::yield();
        }
    });
    while (!reading) std::this_thread::yield();
    cell.Publish(std::make_shared<Snapshot>(2));
    published = true;
    reader.join();
    EXPECT_EQ(cell.Read()->number, 2);
    cell.Publish(nullptr);
}

TEST(SnapshotCell, ReadersAndPublishersAtOnce) {
    constexpr int kReaders = 3;  // more than cores: readers are preempted while holding
    SnapshotCell<Snapshot> cell;
    cell.Publish(std::make_shared<Snapshot>(0));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&] {
            while (!stop) {
                const auto reader = cell.Read();
                // Whole and alive for as long as it is held.
                const int number = reader->number;
                std::this_thread::yield();
                if (number != reader->copy || number < 0) ++torn;
                ++reads;
            }
        });
    }
    std::vector<std::thread> publishers;
    for (int p = 0; p < 2; ++p) {
        publishers.emplace_back([&, p] {
            for (int n = 1; n <= 100; ++n) {
                cell.Publish(std::make_shared<Snapshot>(n * 2 + p));
            }
        });
    }
    for (std::thread& publisher : publishers) publisher.join();
    stop = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(Snapshot::alive.load(), 1);
    cell.Publish(nullptr);
    EXPECT_EQ(Snapshot::alive.load(), 0);
}

}  // namespace
