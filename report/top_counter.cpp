#include "top_counter.h"

#include <algorithm>

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

TopCounter::TopCounter(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 2)) {}

void TopCounter::Add(std::string_view key, std::uint64_t count) {
    std::string shortened;
    if (key.size() > kMaxKeyLength) {
        // A character of UTF-8 has at most three continuation bytes; a cut inside one moves
        // before it, and a run of stray continuation bytes is cut where it is.
        std::size_t length = kMaxKeyLength;
        while (length > kMaxKeyLength - 3 && IsContinuationByte(key[length])) --length;
        if (IsContinuationByte(key[length])) length = kMaxKeyLength;
        shortened.reserve(length + kEllipsis.size());
        shortened.append(key.substr(0, length)).append(kEllipsis);
        key = shortened;
    }
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
    // Sorted by reference: only the keys returned are copied.
    std::vector<const Counts::value_type*> order;
    order.reserve(counts_.size());
    for (const auto& entry : counts_) order.push_back(&entry);
    const auto before = [](const Counts::value_type* a, const Counts::value_type* b) {
        return a->second != b->second ? a->second > b->second : a->first < b->first;
    };
    limit = std::min(limit, order.size());
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(limit),
                      order.end(), before);
    std::vector<Entry> entries;
    entries.reserve(limit);
    for (std::size_t i = 0; i < limit; ++i) entries.push_back({order[i]->first, order[i]->second});
    return entries;
}

void TopCounter::ForEach(const std::function<void(std::string_view, std::uint64_t)>& visit) const {
    for (const auto& [key, count] : counts_) visit(key, count);
}
