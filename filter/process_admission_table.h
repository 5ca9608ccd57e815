// The admissions of one process, kept in its own memory: the clients admitted by a page request of
// the site, each with the time of its admission.
//
// Request threads use it all at once, so it is split by address into shards, each with its own
// lock, its own index and its own list from the newest admission to the oldest. The answers are
// those of one list, newest first, in which an admission found expired is removed. It holds at
// most `capacity` addresses: a new address admitted when it is full drops the oldest admission.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "admission_list.h"
#include "admissions.h"

class ProcessAdmissionTable final : public Admissions {
  public:
    static constexpr std::size_t kCapacity = admission_list::kCapacity;
    // Their locks and lists take 128 KB a table.
    static constexpr std::size_t kShards = admission_list::kShards;

    // `shards` is rounded up to a power of two.
    explicit ProcessAdmissionTable(std::size_t capacity = kCapacity, std::size_t shards = kShards);
    ~ProcessAdmissionTable();
    ProcessAdmissionTable(const ProcessAdmissionTable&) = delete;
    ProcessAdmissionTable& operator=(const ProcessAdmissionTable&) = delete;

    void SetTimeToLive(std::int32_t seconds) override;
    void Admit(std::string_view address, std::int64_t now) override;
    bool IsAdmitted(std::string_view address, std::int64_t now) override;

    std::size_t Size() const override { return size_.load(std::memory_order_relaxed); }
    // Admissions of the same second in different shards come in no particular order.
    std::vector<std::string> Addresses() const override;

  private:
    struct Shard;

    bool Expired(std::int64_t admittedAt, std::int64_t now) const;
    std::size_t ShardOf(std::uint64_t hash) const;
    void NoteOldest(std::size_t shard);
    void PurgeExpired(Shard& shard, std::int64_t now);
    void EvictOldest();

    const std::size_t capacity_;
    const std::size_t shardCount_;
    std::unique_ptr<Shard[]> shards_;
    std::unique_ptr<std::atomic<std::int64_t>[]> shardTimes_;
    std::unique_ptr<std::atomic<std::int64_t>[]> groupTimes_;
    admission_list::OldestTimes oldestTimes_;  // over the two above
    std::atomic<std::int32_t> timeToLive_{0};
    std::atomic<std::size_t> size_{0};
};
