// What the sharded admission tables share: the age of an admission, their sizes, and the one
// list, newest first, that their shards' lists make together.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace admission_list {

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
