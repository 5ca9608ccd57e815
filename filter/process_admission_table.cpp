#include "process_admission_table.h"

#include <algorithm>

#include "admission_list.h"

namespace {

constexpr std::uint32_t kNone = admission_list::kNoEntry;
constexpr std::int64_t kNoAdmission = admission_list::OldestTimes::kNone;

std::uint64_t HashOf(std::string_view address) { return std::hash<std::string_view>()(address); }

}  // namespace

// One part of the table. Entries live in a vector and are chained newest to oldest by number;
// an open-addressing index (linear probing, at most half full) finds them by address. Per entry
// that is the address, the time, two links and the hash, plus two to four index words.
struct alignas(64) ProcessAdmissionTable::Shard {
    struct Entry {
        std::string address;
        std::int64_t admittedAt = 0;
        std::uint32_t newer = kNone;  // on the free list: the next free entry
        std::uint32_t older = kNone;
        std::uint32_t hash = 0;
    };

    std::mutex lock;
    std::vector<Entry> entries;
    std::vector<std::uint32_t> index;  // entry number + 1; 0 is an empty place
    std::uint32_t newest = kNone;
    std::uint32_t oldest = kNone;
    std::uint32_t free = kNone;
    std::size_t count = 0;

    std::size_t Mask() const { return index.size() - 1; }

    // The index place holding the address, or kNone.
    std::uint32_t Find(std::string_view address, std::uint32_t hash) const {
        if (index.empty()) return kNone;
        for (std::size_t at = hash & Mask();; at = (at + 1) & Mask()) {
            const std::uint32_t slot = index[at];
            if (slot == 0) return kNone;
            const Entry& entry = entries[slot - 1];
            if (entry.hash == hash && entry.address == address)
                return static_cast<std::uint32_t>(at);
        }
    }

    void Place(std::uint32_t number) {
        std::size_t at = entries[number].hash & Mask();
        while (index[at] != 0) at = (at + 1) & Mask();
        index[at] = number + 1;
    }

    void GrowIndexFor(std::size_t wanted) {
        if (wanted * 2 <= index.size()) return;
        index.assign(std::max<std::size_t>(16, index.size() * 2), 0);
        for (std::uint32_t n = newest; n != kNone; n = entries[n].older) Place(n);
    }

    // Empties an index place and moves later entries of its probe run back over the hole.
    void EraseAt(std::size_t hole) {
        std::size_t at = hole;
        for (;;) {
            index[hole] = 0;
            for (;;) {
                at = (at + 1) & Mask();
                if (index[at] == 0) return;
                const std::size_t home = entries[index[at] - 1].hash & Mask();
                const bool staysPut =
                    hole <= at ? (hole < home && home <= at) : (hole < home || home <= at);
                if (!staysPut) break;
            }
            index[hole] = index[at];
            hole = at;
        }
    }

    auto EntryAt() {
        return [this](std::uint32_t n) -> Entry& { return entries[n]; };
    }
    void Unlink(std::uint32_t n) { admission_list::Unlink(*this, n, EntryAt()); }
    void LinkNewest(std::uint32_t n) { admission_list::LinkNewest(*this, n, EntryAt()); }

    std::uint32_t Add(std::string_view address, std::uint32_t hash, std::int64_t now) {
        GrowIndexFor(count + 1);
        std::uint32_t n = free;
        if (n != kNone) {
            free = entries[n].newer;
        } else {
            n = static_cast<std::uint32_t>(entries.size());
            entries.emplace_back();
        }
        Entry& entry = entries[n];
        entry.address.assign(address);
        entry.admittedAt = now;
        entry.hash = hash;
        Place(n);
        LinkNewest(n);
        ++count;
        return n;
    }

    void Remove(std::uint32_t place) {
        const std::uint32_t n = index[place] - 1;
        EraseAt(place);
        Unlink(n);
        entries[n].newer = free;
        free = n;
        --count;
    }

    std::int64_t OldestTime() const {
        return oldest == kNone ? kNoAdmission : entries[oldest].admittedAt;
    }
};

ProcessAdmissionTable::ProcessAdmissionTable(std::size_t capacity, std::size_t shards)
    : capacity_(std::max<std::size_t>(capacity, 1)),
      shardCount_(admission_list::PowerOfTwoAtLeast(std::max<std::size_t>(shards, 1))),
      shards_(new Shard[shardCount_]),
      shardTimes_(new std::atomic<std::int64_t>[shardCount_]),
      groupTimes_(new std::atomic<std::int64_t>[admission_list::OldestTimes::Groups(shardCount_)]),
      oldestTimes_(shardTimes_.get(), groupTimes_.get(), shardCount_) {
    oldestTimes_.Clear();
}

ProcessAdmissionTable::~ProcessAdmissionTable() = default;

void ProcessAdmissionTable::SetTimeToLive(std::int32_t seconds) {
    timeToLive_.store(seconds, std::memory_order_relaxed);
}

bool ProcessAdmissionTable::Expired(std::int64_t admittedAt, std::int64_t now) const {
    return admission_list::Age(now, admittedAt) >
           static_cast<std::int64_t>(timeToLive_.load(std::memory_order_relaxed));
}

std::size_t ProcessAdmissionTable::ShardOf(std::uint64_t hash) const {
    // The high bits pick the shard; the index uses the low ones.
    return (hash >> 40) & (shardCount_ - 1);
}

// Entries leave from the oldest end while they are expired. Each entry is dropped once, so this
// costs nothing per call in the long run; only entries that a lookup now would find expired go.
void ProcessAdmissionTable::PurgeExpired(Shard& shard, std::int64_t now) {
    while (shard.oldest != kNone && Expired(shard.entries[shard.oldest].admittedAt, now)) {
        const Shard::Entry& entry = shard.entries[shard.oldest];
        shard.Remove(shard.Find(entry.address, entry.hash));
        size_.fetch_sub(1, std::memory_order_relaxed);
    }
}

void ProcessAdmissionTable::Admit(std::string_view address, std::int64_t now) {
    const std::uint64_t hash = HashOf(address);
    const std::size_t s = ShardOf(hash);
    Shard& shard = shards_[s];
    bool added = false;
    {
        std::lock_guard guard(shard.lock);
        const std::uint32_t place = shard.Find(address, static_cast<std::uint32_t>(hash));
        if (place != kNone) {
            // Re-admission moves the entry to the newest end with the new time.
            const std::uint32_t n = shard.index[place] - 1;
            shard.Unlink(n);
            shard.entries[n].admittedAt = now;
            shard.LinkNewest(n);
        } else {
            shard.Add(address, static_cast<std::uint32_t>(hash), now);
            added = true;
        }
        PurgeExpired(shard, now);
        NoteOldest(s);
    }
    if (added && size_.fetch_add(1, std::memory_order_relaxed) + 1 > capacity_) EvictOldest();
}

// Called with the shard's lock held.
void ProcessAdmissionTable::NoteOldest(std::size_t s) {
    oldestTimes_.Note(s, shards_[s].OldestTime());
}

// Drops the oldest admissions of the whole table until it holds no more than its capacity.
// Expired admissions are the oldest, so they go before any that still counts.
void ProcessAdmissionTable::EvictOldest() {
    while (size_.load(std::memory_order_relaxed) > capacity_) {
        const std::size_t chosen = oldestTimes_.OldestShard();
        if (chosen == shardCount_) {
            oldestTimes_.NoteGroups();
            continue;  // another thread was quicker
        }
        Shard& shard = shards_[chosen];
        std::lock_guard guard(shard.lock);
        if (shard.oldest == kNone) {
            // Another thread was quicker, or a group's time is a step behind.
            oldestTimes_.NoteGroups();
            continue;
        }
        const Shard::Entry& entry = shard.entries[shard.oldest];
        shard.Remove(shard.Find(entry.address, entry.hash));
        NoteOldest(chosen);
        size_.fetch_sub(1, std::memory_order_relaxed);
    }
}

bool ProcessAdmissionTable::IsAdmitted(std::string_view address, std::int64_t now) {
    const std::uint64_t hash = HashOf(address);
    const std::size_t s = ShardOf(hash);
    Shard& shard = shards_[s];
    std::lock_guard guard(shard.lock);
    const std::uint32_t place = shard.Find(address, static_cast<std::uint32_t>(hash));
    if (place == kNone) return false;
    if (!Expired(shard.entries[shard.index[place] - 1].admittedAt, now)) return true;
    shard.Remove(place);
    NoteOldest(s);
    size_.fetch_sub(1, std::memory_order_relaxed);
    return false;
}

std::vector<std::string> ProcessAdmissionTable::Addresses() const {
    std::vector<admission_list::Listed> all;
    for (std::size_t s = 0; s < shardCount_; ++s) {
        Shard& shard = shards_[s];
        std::lock_guard guard(shard.lock);
        std::size_t rank = 0;
        for (std::uint32_t n = shard.newest; n != kNone; n = shard.entries[n].older) {
            all.push_back({shard.entries[n].admittedAt, rank++, shard.entries[n].address});
        }
    }
    std::vector<std::string> addresses = admission_list::NewestFirst(std::move(all));
    return addresses;
}
