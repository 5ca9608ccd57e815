// What the sharded admission tables share: the age of an admission, their sizes, the links of a
// shard's list from newest to oldest, finding the shard that holds the oldest admission, and the
// one list, newest first, that their shards' lists make together.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace admission_list {

inline constexpr std::size_t kCapacity = 1'000'000;
// Many, so that request threads serving different clients seldom work in the same shard and a
// shard's lock and list stay in one processor's cache.
inline constexpr std::size_t kShards = 1024;

// The end of a shard's list: no newer or no older entry, or an empty list.
inline constexpr std::uint32_t kNoEntry = std::numeric_limits<std::uint32_t>::max();

// now - then as a signed 64-bit number, held at the ends of the range instead of overflowing.
inline std::int64_t Age(std::int64_t now, std::int64_t then) {
    std::int64_t age;
    if (!__builtin_sub_overflow(now, then, &age)) return age;
    return now > then ? std::numeric_limits<std::int64_t>::max()
                      : std::numeric_limits<std::int64_t>::min();
}

// Shards and index sizes are powers of two, so that a mask picks a place.
inline std::size_t PowerOfTwoAtLeast(std::size_t n) {
    std::size_t power = 1;
    while (power < n) power <<= 1;
    return power;
}

// A shard's list has its `newest` and `oldest` entry numbers; `at(n)` gives entry n, which has
// its `newer` and `older` neighbours. Only the links are changed.
template <typename List, typename At>
void Unlink(List& list, std::uint32_t n, At at) {
    const auto& entry = at(n);
    (entry.newer == kNoEntry ? list.newest : at(entry.newer).older) = entry.older;
    (entry.older == kNoEntry ? list.oldest : at(entry.older).newer) = entry.newer;
}

template <typename List, typename At>
void LinkNewest(List& list, std::uint32_t n, At at) {
    auto& entry = at(n);
    entry.newer = kNoEntry;
    entry.older = list.newest;
    (list.newest == kNoEntry ? list.oldest : at(list.newest).newer) = n;
    list.newest = n;
}

// Each shard's oldest admission time and each group of shards' oldest, read without locks to find
// the shard to evict from: a group's times and then its shards' instead of every shard's. A time
// is written only when it changes, so that a shard's work dirties no line others read. The
// arrays are the table's (in its memory or in the file the processes share).
class OldestTimes {
  public:
    static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();  // no admission

    // `shards` is a power of two; the arrays hold `shards` and Groups(shards) times.
    static std::size_t Groups(std::size_t shards) { return shards / GroupSize(shards); }

    OldestTimes(std::atomic<std::int64_t>* shardTimes, std::atomic<std::int64_t>* groupTimes,
                std::size_t shards)
        : shardTimes_(shardTimes), groupTimes_(groupTimes), shards_(shards),
          groupSize_(GroupSize(shards)) {}

    // All empty.
    void Clear() const {
        for (std::size_t s = 0; s < shards_; ++s) shardTimes_[s].store(kNone);
        for (std::size_t g = 0; g < Groups(shards_); ++g) groupTimes_[g].store(kNone);
    }

    // The shard's oldest admission is now `at` (kNone: it is empty). With the shard's lock held.
    void Note(std::size_t shard, std::int64_t at) const {
        if (shardTimes_[shard].load(std::memory_order_relaxed) == at) return;
        shardTimes_[shard].store(at, std::memory_order_relaxed);
        NoteGroup(shard / groupSize_);
    }

    // Two shards of a group changing at once can leave the group's time a step behind, until
    // the next change in the group or until this, which an eviction that found the shard it
    // chose empty calls.
    void NoteGroups() const {
        for (std::size_t g = 0; g < Groups(shards_); ++g) NoteGroup(g);
    }

    // The shard holding the oldest admission, or `shards` when all are empty.
    std::size_t OldestShard() const {
        const std::size_t group = Earliest(groupTimes_, Groups(shards_)).first;
        if (group == Groups(shards_)) return shards_;
        const std::size_t first = group * groupSize_;
        const std::size_t shard = Earliest(shardTimes_ + first, groupSize_).first;
        return shard == groupSize_ ? shards_ : first + shard;
    }

  private:
    static std::size_t GroupSize(std::size_t shards) { return std::min<std::size_t>(shards, 32); }

    // The place and time of the earliest of `count` times (the first of equal ones); place
    // `count` if all are kNone.
    static std::pair<std::size_t, std::int64_t> Earliest(const std::atomic<std::int64_t>* times,
                                                         std::size_t count) {
        std::size_t chosen = count;
        std::int64_t earliest = kNone;
        for (std::size_t i = 0; i < count; ++i) {
            const std::int64_t at = times[i].load(std::memory_order_relaxed);
            if (at < earliest) {
                earliest = at;
                chosen = i;
            }
        }
        return {chosen, earliest};
    }

    void NoteGroup(std::size_t group) const {
        const std::int64_t at = Earliest(shardTimes_ + group * groupSize_, groupSize_).second;
        if (groupTimes_[group].load(std::memory_order_relaxed) != at) {
            groupTimes_[group].store(at, std::memory_order_relaxed);
        }
    }

    std::atomic<std::int64_t>* shardTimes_;
    std::atomic<std::int64_t>* groupTimes_;
    std::size_t shards_;
    std::size_t groupSize_;
};

// One admission as its shard lists it: `rank` is its place in the shard's list, newest first.
struct Listed {
    std::int64_t admittedAt;
    std::size_t rank;
    std::string address;
};

// The addresses of all shards, newest first; within one second, each shard's own order holds.
inline std::vector<std::string> NewestFirst(std::vector<Listed> all) {
    std::stable_sort(all.begin(), all.end(), [](const Listed& a, const Listed& b) {
        if (a.admittedAt != b.admittedAt) return a.admittedAt > b.admittedAt;
        return a.rank < b.rank;
    });
    std::vector<std::string> addresses;
    addresses.reserve(all.size());
    for (Listed& entry : all) addresses.push_back(std::move(entry.address));
    return addresses;
}

}  // namespace admission_list
