#include "machine_admission_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

#include "admission_list.h"
#include "process_admission_table.h"
#include "text.h"

namespace {

constexpr char kMagic[8] = {'P', 'I', 'X', 'W', 'A', 'D', 'M', '\0'};
// Changes whenever the layout or the hash does, so that another build's file is laid out anew.
constexpr std::uint32_t kLayoutVersion = 2;
constexpr std::uint32_t kNone = admission_list::kNoEntry;
constexpr std::int64_t kNoAdmission = admission_list::OldestTimes::kNone;
constexpr std::uint8_t kNoLength = 0xff;

// A link or count read from the shared memory that cannot be right: the shard is rebuilt.
struct Damaged {};

// The same in every process and every build of this layout (std::hash need not be).
std::uint32_t HashOf(std::string_view address) {
    const std::uint64_t hash = text::Fingerprint(address);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::size_t AlignUp(std::size_t n) { return (n + 63) / 64 * 64; }

struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t slotSize;
    std::uint64_t capacity;
    std::uint32_t shards;
    std::uint32_t buckets;
    std::uint64_t bytes;
};

// A shard's list and its count, which other processes read without its lock.
struct alignas(64) ShardState {
    std::uint32_t newest;
    std::uint32_t oldest;
    std::atomic<std::uint32_t> count;
};

// Slots never used lie beyond `nextUnused`.
struct alignas(64) Pool {
    std::uint32_t nextUnused;
    std::uint32_t free;
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

}  // namespace

// One admission. `owner` (the shard + 1, or 0 when free) changes only under the pool's lock;
// the rest under the owning shard's.
struct MachineAdmissionTable::Slot {
    std::int64_t admittedAt;
    std::uint32_t next;  // in its bucket's chain, or on the free list
    std::uint32_t newer;
    std::uint32_t older;
    std::uint32_t hash;
    std::uint16_t owner;
    std::uint8_t length;  // kNoLength until the address is written
    char address[kMaxAddress];

    std::string_view Address() const {
        if (length > kMaxAddress) throw Damaged{};
        return {address, length};
    }
};

struct MachineAdmissionTable::Layout {
    std::uint32_t capacity;
    std::uint32_t shards;
    std::uint32_t buckets;
    std::size_t shardsAt;
    std::size_t shardTimesAt;
    std::size_t groupTimesAt;
    std::size_t poolAt;
    std::size_t bucketsAt;
    std::size_t slotsAt;
    std::size_t bytes;

    Header* header = nullptr;
    ShardState* shard = nullptr;
    std::atomic<std::int64_t>* shardTime = nullptr;
    std::atomic<std::int64_t>* groupTime = nullptr;
    Pool* pool = nullptr;
    std::uint32_t* bucket = nullptr;  // slot + 1; 0 is an empty bucket
    Slot* slot = nullptr;

    static Layout For(std::size_t capacity, std::size_t shards) {
        Layout layout{};
        layout.capacity = static_cast<std::uint32_t>(
            std::clamp<std::size_t>(capacity, 1, std::numeric_limits<std::uint32_t>::max() - 1));
        layout.shards = static_cast<std::uint32_t>(
            admission_list::PowerOfTwoAtLeast(std::clamp<std::size_t>(shards, 1, 1u << 15)));
        layout.buckets = static_cast<std::uint32_t>(admission_list::PowerOfTwoAtLeast(
            std::max<std::size_t>(layout.capacity, layout.shards)));
        layout.shardsAt = AlignUp(sizeof(Header));
        layout.shardTimesAt = layout.shardsAt + layout.shards * sizeof(ShardState);
        layout.groupTimesAt = layout.shardTimesAt + layout.shards * sizeof(std::int64_t);
        layout.poolAt = AlignUp(layout.groupTimesAt + admission_list::OldestTimes::Groups(
                                                          layout.shards) * sizeof(std::int64_t));
        layout.bucketsAt = AlignUp(layout.poolAt + sizeof(Pool));
        layout.slotsAt = AlignUp(layout.bucketsAt + layout.buckets * sizeof(std::uint32_t));
        layout.bytes = layout.slotsAt + std::size_t{layout.capacity} * sizeof(Slot);
        return layout;
    }

    void Attach(void* data) {
        char* base = static_cast<char*>(data);
        header = reinterpret_cast<Header*>(base);
        shard = reinterpret_cast<ShardState*>(base + shardsAt);
        shardTime = reinterpret_cast<std::atomic<std::int64_t>*>(base + shardTimesAt);
        groupTime = reinterpret_cast<std::atomic<std::int64_t>*>(base + groupTimesAt);
        pool = reinterpret_cast<Pool*>(base + poolAt);
        bucket = reinterpret_cast<std::uint32_t*>(base + bucketsAt);
        slot = reinterpret_cast<Slot*>(base + slotsAt);
    }

    Header Expected() const {
        Header expected{};
        std::memcpy(expected.magic, kMagic, sizeof kMagic);
        expected.version = kLayoutVersion;
        expected.slotSize = sizeof(Slot);
        expected.capacity = capacity;
        expected.shards = shards;
        expected.buckets = buckets;
        expected.bytes = bytes;
        return expected;
    }

    bool Fits(const void* data) const {
        const Header expected = Expected();
        return std::memcmp(data, &expected, sizeof expected) == 0;
    }

    // On a zero-filled region: the buckets stay empty and the slots unused, so that neither is
    // given memory before it is needed.
    void Prepare(void* data) {
        Attach(data);
        for (std::uint32_t s = 0; s < shards; ++s) {
            new (&shard[s]) ShardState{kNone, kNone, {0}};
            new (&shardTime[s]) std::atomic<std::int64_t>{kNoAdmission};
        }
        for (std::size_t g = 0; g < admission_list::OldestTimes::Groups(shards); ++g) {
            new (&groupTime[g]) std::atomic<std::int64_t>{kNoAdmission};
        }
        new (pool) Pool{0, kNone};
        // The header last: a file with it is laid out whole.
        const Header expected = Expected();
        std::memcpy(header, &expected, sizeof expected);
    }

    std::uint32_t BucketOf(std::uint32_t hash) const { return hash & (buckets - 1); }
    std::uint32_t ShardOf(std::uint32_t hash) const { return hash & (shards - 1); }
    std::size_t PoolLock() const { return shards; }
    admission_list::OldestTimes OldestTimes() const { return {shardTime, groupTime, shards}; }
};

MachineAdmissionTable::Slot& MachineAdmissionTable::At(std::uint32_t slot) const {
    static_assert(sizeof(Slot) == 96);
    if (slot >= layout_->capacity) throw Damaged{};
    return layout_->slot[slot];
}

class MachineAdmissionTable::PoolGuard {
  public:
    explicit PoolGuard(MachineAdmissionTable& table) : table_(table) {
        if (table_.memory_->Lock(table_.layout_->PoolLock()) ==
            platform::SharedMemory::Taken::FromTheDead) {
            table_.RebuildPool();
        }
    }
    ~PoolGuard() { table_.memory_->Unlock(table_.layout_->PoolLock()); }
    PoolGuard(const PoolGuard&) = delete;
    PoolGuard& operator=(const PoolGuard&) = delete;

  private:
    MachineAdmissionTable& table_;
};

std::unique_ptr<MachineAdmissionTable> MachineAdmissionTable::Open(const std::string& path,
                                                           std::size_t capacity,
                                                           std::size_t shards) {
    Layout layout = Layout::For(capacity, shards);
    auto memory = platform::SharedMemory::Open(
        path, layout.bytes, layout.shards + 1, [&](const void* data) { return layout.Fits(data); },
        [&](void* data) { layout.Prepare(data); });
    if (!memory) return nullptr;
    return std::unique_ptr<MachineAdmissionTable>(new MachineAdmissionTable(std::move(memory), layout));
}

MachineAdmissionTable::MachineAdmissionTable(std::unique_ptr<platform::SharedMemory> memory,
                                     const Layout& layout)
    : memory_(std::move(memory)), layout_(std::make_unique<Layout>(layout)),
      overlong_(std::make_unique<ProcessAdmissionTable>()) {
    layout_->Attach(memory_->Data());
}

MachineAdmissionTable::~MachineAdmissionTable() = default;

template <typename Operation>
auto MachineAdmissionTable::InShard(std::uint32_t shard, Operation operation) {
    struct Guard {
        platform::SharedMemory& memory;
        std::size_t lock;
        ~Guard() { memory.Unlock(lock); }
    };
    const bool dead = memory_->Lock(shard) == platform::SharedMemory::Taken::FromTheDead;
    Guard guard{*memory_, shard};
    if (dead) RebuildShard(shard);
    try {
        return operation();
    } catch (const Damaged&) {
        RebuildShard(shard);
    }
    try {
        return operation();
    } catch (const Damaged&) {
        return decltype(operation())();
    }
}

void MachineAdmissionTable::SetTimeToLive(std::int32_t seconds) {
    timeToLive_.store(seconds, std::memory_order_relaxed);
    overlong_->SetTimeToLive(seconds);
}

bool MachineAdmissionTable::Expired(std::int64_t admittedAt, std::int64_t now) const {
    return admission_list::Age(now, admittedAt) >
           static_cast<std::int64_t>(timeToLive_.load(std::memory_order_relaxed));
}

std::uint32_t MachineAdmissionTable::Find(std::uint32_t shard, std::string_view address,
                                      std::uint32_t hash) const {
    std::uint32_t steps = 0;
    for (std::uint32_t link = layout_->bucket[layout_->BucketOf(hash)]; link != 0;) {
        const Slot& slot = At(link - 1);
        if (slot.owner != shard + 1 || ++steps > layout_->capacity) throw Damaged{};
        if (slot.hash == hash && slot.Address() == address) return link - 1;
        link = slot.next;
    }
    return kNone;
}

void MachineAdmissionTable::LinkNewest(std::uint32_t shard, std::uint32_t n) {
    admission_list::LinkNewest(layout_->shard[shard], n,
                               [this](std::uint32_t slot) -> Slot& { return At(slot); });
}

void MachineAdmissionTable::Unlink(std::uint32_t shard, std::uint32_t n) {
    admission_list::Unlink(layout_->shard[shard], n,
                           [this](std::uint32_t slot) -> Slot& { return At(slot); });
}

void MachineAdmissionTable::Remove(std::uint32_t shard, std::uint32_t n) {
    Slot& slot = At(n);
    std::uint32_t* link = &layout_->bucket[layout_->BucketOf(slot.hash)];
    for (std::uint32_t steps = 0; *link != n + 1; link = &At(*link - 1).next) {
        if (*link == 0 || ++steps > layout_->capacity) throw Damaged{};
    }
    *link = slot.next;
    Unlink(shard, n);
    layout_->shard[shard].count.fetch_sub(1, std::memory_order_relaxed);
    Free(n);
}

// Entries leave from the oldest end while they are expired: each once, so this costs nothing
// per call in the long run, and only entries that a lookup now would find expired go.
void MachineAdmissionTable::PurgeExpired(std::uint32_t shard, std::int64_t now) {
    ShardState& state = layout_->shard[shard];
    while (state.oldest != kNone && Expired(At(state.oldest).admittedAt, now)) {
        Remove(shard, state.oldest);
    }
}

void MachineAdmissionTable::NoteOldest(std::uint32_t shard) {
    const ShardState& state = layout_->shard[shard];
    layout_->OldestTimes().Note(shard,
                                state.oldest == kNone ? kNoAdmission : At(state.oldest).admittedAt);
}

std::uint32_t MachineAdmissionTable::Allocate(std::uint32_t shard) {
    PoolGuard guard(*this);
    Pool& pool = *layout_->pool;
    std::uint32_t n = pool.free;
    if (n != kNone) {
        if (n >= layout_->capacity || layout_->slot[n].owner != 0) {
            RebuildPool();
            n = pool.free;
        }
    }
    if (n != kNone) {
        pool.free = layout_->slot[n].next;
    } else if (pool.nextUnused < layout_->capacity) {
        n = pool.nextUnused++;
    } else {
        return kNone;
    }
    Slot& slot = layout_->slot[n];
    slot.length = kNoLength;
    slot.owner = static_cast<std::uint16_t>(shard + 1);
    return n;
}

void MachineAdmissionTable::Free(std::uint32_t n) {
    PoolGuard guard(*this);
    Slot& slot = layout_->slot[n];
    slot.owner = 0;
    slot.length = kNoLength;
    slot.next = layout_->pool->free;
    layout_->pool->free = n;
}

void MachineAdmissionTable::Admit(std::string_view address, std::int64_t now) {
    if (address.size() > kMaxAddress) {
        overlong_->Admit(address, now);
        return;
    }
    const std::uint32_t hash = HashOf(address);
    const std::uint32_t shard = layout_->ShardOf(hash);
    // When every slot is taken, the oldest admission of the whole table makes room.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const bool done = InShard(shard, [&] {
            std::uint32_t n = Find(shard, address, hash);
            if (n != kNone) {
                // Re-admission moves the entry to the newest end with the new time.
                Unlink(shard, n);
                At(n).admittedAt = now;
                LinkNewest(shard, n);
            } else {
                n = Allocate(shard);
                if (n == kNone) return false;
                Slot& slot = At(n);
                // An empty address may have no storage behind it at all.
                if (!address.empty()) std::memcpy(slot.address, address.data(), address.size());
                slot.admittedAt = now;
                slot.hash = hash;
                slot.length = static_cast<std::uint8_t>(address.size());
                std::uint32_t& head = layout_->bucket[layout_->BucketOf(hash)];
                slot.next = head;
                head = n + 1;
                LinkNewest(shard, n);
                layout_->shard[shard].count.fetch_add(1, std::memory_order_relaxed);
            }
            PurgeExpired(shard, now);
            NoteOldest(shard);
            return true;
        });
        if (done) return;
        if (!EvictOldest()) {
            // Slots that a dead process took but never linked: the rebuild finds them.
            for (std::uint32_t s = 0; s < layout_->shards; ++s) {
                InShard(s, [&] { RebuildShard(s); });
            }
        }
    }
}

// Drops the oldest admission of the whole table. Expired admissions are the oldest, so they go
// before any that still counts.
bool MachineAdmissionTable::EvictOldest() {
    const admission_list::OldestTimes times = layout_->OldestTimes();
    std::size_t chosen = times.OldestShard();
    if (chosen == layout_->shards) {
        // A group's time may be a step behind.
        times.NoteGroups();
        chosen = times.OldestShard();
        if (chosen == layout_->shards) return false;
    }
    const auto shard = static_cast<std::uint32_t>(chosen);
    return InShard(shard, [&] {
        ShardState& state = layout_->shard[shard];
        if (state.oldest == kNone) {
            // Another process was quicker, or the times were a step behind.
            NoteOldest(shard);
            times.NoteGroups();
            return true;
        }
        Remove(shard, state.oldest);
        NoteOldest(shard);
        return true;
    });
}

bool MachineAdmissionTable::IsAdmitted(std::string_view address, std::int64_t now) {
    if (address.size() > kMaxAddress) return overlong_->IsAdmitted(address, now);
    const std::uint32_t hash = HashOf(address);
    const std::uint32_t shard = layout_->ShardOf(hash);
    return InShard(shard, [&] {
        const std::uint32_t n = Find(shard, address, hash);
        if (n == kNone) return false;
        if (!Expired(At(n).admittedAt, now)) return true;
        Remove(shard, n);
        NoteOldest(shard);
        return false;
    });
}

std::size_t MachineAdmissionTable::Size() const {
    std::size_t size = overlong_->Size();
    for (std::uint32_t s = 0; s < layout_->shards; ++s) {
        size += layout_->shard[s].count.load(std::memory_order_relaxed);
    }
    return size;
}

std::vector<std::string> MachineAdmissionTable::Addresses() const {
    auto& self = const_cast<MachineAdmissionTable&>(*this);  // a shard may need rebuilding
    std::vector<admission_list::Listed> all;
    for (std::uint32_t s = 0; s < layout_->shards; ++s) {
        self.InShard(s, [&] {
            std::size_t rank = 0;
            std::uint32_t steps = 0;
            for (std::uint32_t n = layout_->shard[s].newest; n != kNone; n = At(n).older) {
                if (++steps > layout_->capacity) throw Damaged{};
                all.push_back({At(n).admittedAt, rank++, std::string(At(n).Address())});
            }
        });
    }
    std::vector<std::string> addresses = admission_list::NewestFirst(std::move(all));
    for (std::string& address : overlong_->Addresses()) addresses.push_back(std::move(address));
    return addresses;
}

// The free list again from the slots that no shard owns. Called holding the pool's lock.
void MachineAdmissionTable::RebuildPool() {
    Pool& pool = *layout_->pool;
    pool.nextUnused = std::min(pool.nextUnused, layout_->capacity);
    pool.free = kNone;
    for (std::uint32_t n = pool.nextUnused; n-- > 0;) {
        Slot& slot = layout_->slot[n];
        if (slot.owner > layout_->shards) slot.owner = 0;
        if (slot.owner != 0) continue;
        slot.next = pool.free;
        pool.free = n;
    }
}

// The shard again from the slots it owns, each checked; one a dead process left half written
// goes back to the pool. Called holding the shard's lock.
void MachineAdmissionTable::RebuildShard(std::uint32_t shard) {
    PoolGuard guard(*this);
    Layout& layout = *layout_;
    if (layout.pool->nextUnused > layout.capacity) RebuildPool();
    for (std::uint32_t b = shard; b < layout.buckets; b += layout.shards) layout.bucket[b] = 0;
    ShardState& state = layout.shard[shard];
    state.newest = kNone;
    state.oldest = kNone;

    std::vector<std::uint32_t> owned;
    for (std::uint32_t n = 0; n < layout.pool->nextUnused; ++n) {
        Slot& slot = layout.slot[n];
        if (slot.owner != shard + 1) continue;
        const bool sound = slot.length <= kMaxAddress && HashOf(slot.Address()) == slot.hash &&
                           layout.ShardOf(slot.hash) == shard;
        if (sound) {
            owned.push_back(n);
        } else {
            slot.owner = 0;
            slot.length = kNoLength;
            slot.next = layout.pool->free;
            layout.pool->free = n;
        }
    }
    std::stable_sort(owned.begin(), owned.end(), [&](std::uint32_t a, std::uint32_t b) {
        return layout.slot[a].admittedAt < layout.slot[b].admittedAt;
    });
    // Oldest first, so that the newest admission of an address found twice is the one kept.
    std::unordered_map<std::string_view, std::uint32_t> seen;
    std::uint32_t count = 0;
    for (const std::uint32_t n : owned) {
        Slot& slot = layout.slot[n];
        auto [it, added] = seen.emplace(slot.Address(), n);
        if (!added) {
            const std::uint32_t older = it->second;
            it->second = n;
            // Unlinking needs only sound links, which the list built so far has.
            std::uint32_t* link = &layout.bucket[layout.BucketOf(slot.hash)];
            while (*link != older + 1) link = &layout.slot[*link - 1].next;
            *link = layout.slot[older].next;
            Unlink(shard, older);
            layout.slot[older].owner = 0;
            layout.slot[older].length = kNoLength;
            layout.slot[older].next = layout.pool->free;
            layout.pool->free = older;
            --count;
        }
        std::uint32_t& head = layout.bucket[layout.BucketOf(slot.hash)];
        slot.next = head;
        head = n + 1;
        LinkNewest(shard, n);
        ++count;
    }
    state.count.store(count, std::memory_order_relaxed);
    NoteOldest(shard);
}
