#include "top_counter.h"

#include <algorithm>

TopCounter::TopCounter(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 2)) {}

void TopCounter::Add(std::string_view key, std::uint64_t count) {
    if (const auto found = counts_.find(key); found != counts_.end()) {
        found->second += count;
        return;
    }
    if (counts_.size() >= capacity_) Forget();
    counts_.emplace(std::string(key), count);
}

void TopCounter::Forget() {
    // The median count: at least half the keys are at or below it and go.
    std::vector<std::uint64_t> counts;
    counts.reserve(counts_.size());
    for (const auto& entry : counts_) counts.push_back(entry.second);
    const auto middle = counts.begin() + static_cast<std::ptrdiff_t>((counts.size() - 1) / 2);
    std::nth_element(counts.begin(), middle, counts.end());
    const std::uint64_t threshold = *middle;
    std::erase_if(counts_, [threshold](const auto& entry) { return entry.second <= threshold; });
    maxError_ = std::max(maxError_, threshold);
}

std::vector<TopCounter::Entry> TopCounter::Top(std::size_t limit) const {
    std::vector<Entry> entries;
    entries.reserve(counts_.size());
    for (const auto& [key, count] : counts_) entries.push_back({key, count});
    const auto before = [](const Entry& a, const Entry& b) {
        return a.count != b.count ? a.count > b.count : a.key < b.key;
    };
    limit = std::min(limit, entries.size());
    std::partial_sort(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(limit),
                      entries.end(), before);
    entries.resize(limit);
    return entries;
}

void TopCounter::ForEach(const std::function<void(std::string_view, std::uint64_t)>& visit) const {
    for (const auto& [key, count] : counts_) visit(key, count);
}
