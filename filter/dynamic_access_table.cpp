#include "dynamic_access_table.h"

#include <ctime>
#include <limits>

namespace {

// now - then as a signed 64-bit number, held at the ends of the range instead of overflowing.
std::int64_t Age(std::int64_t now, std::int64_t then) {
    std::int64_t age;
    if (!__builtin_sub_overflow(now, then, &age)) return age;
    return now > then ? std::numeric_limits<std::int64_t>::max()
                      : std::numeric_limits<std::int64_t>::min();
}

}  // namespace

DynamicAccessTable::DynamicAccessTable()
    : DynamicAccessTable([] { return static_cast<std::int64_t>(std::time(nullptr)); }) {}

DynamicAccessTable::DynamicAccessTable(Clock clock) : clock_(std::move(clock)) {}

void DynamicAccessTable::SetTimeToLive(std::int32_t seconds) {
    std::lock_guard guard(lock_);
    timeToLive_ = seconds;
}

bool DynamicAccessTable::Expired(const Entry& entry, std::int64_t now) const {
    return Age(now, entry.admittedAt) > static_cast<std::int64_t>(timeToLive_);
}

void DynamicAccessTable::Remove(Entries::iterator entry) {
    index_.erase(std::string_view(entry->address));
    entries_.erase(entry);
}

// Entries leave from the oldest end while they are expired. Each entry is dropped once, so this
// costs nothing per call in the long run; only entries that a lookup now would find expired go.
void DynamicAccessTable::PurgeExpired(std::int64_t now) {
    while (!entries_.empty() && Expired(entries_.back(), now)) Remove(std::prev(entries_.end()));
}

void DynamicAccessTable::Admit(std::string_view address) {
    std::lock_guard guard(lock_);
    const std::int64_t now = clock_();
    const auto found = index_.find(address);
    if (found != index_.end()) {
        // Re-admission moves the entry to the front; its address, and so its key, stay put.
        entries_.splice(entries_.begin(), entries_, found->second);
        found->second->admittedAt = now;
    } else {
        entries_.push_front(Entry{std::string(address), now});
        try {
            index_.emplace(std::string_view(entries_.front().address), entries_.begin());
        } catch (...) {
            entries_.pop_front();  // no entry without its index
            throw;
        }
    }
    PurgeExpired(now);
}

bool DynamicAccessTable::IsAdmitted(std::string_view address) {
    std::lock_guard guard(lock_);
    const auto found = index_.find(address);
    if (found == index_.end()) return false;
    const std::int64_t now = clock_();
    if (!Expired(*found->second, now)) return true;
    Remove(found->second);
    return false;
}

std::size_t DynamicAccessTable::Size() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

std::vector<std::string> DynamicAccessTable::Addresses() const {
    std::lock_guard guard(lock_);
    std::vector<std::string> addresses;
    addresses.reserve(entries_.size());
    for (const Entry& entry : entries_) addresses.push_back(entry.address);
    return addresses;
}
