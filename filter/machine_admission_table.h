// The admissions of every process that loads the filter from one module folder, kept in memory
// that those processes share (a file each of them maps, laid out whole when it is made). It answers as the
// in-process table does: one list, newest admission first, an admission found expired removed,
// at most `capacity` addresses with the oldest dropped for a new one. Each process judges with
// its own time to live.
//
// The layout is fixed: a header that names the build's layout, the shards (each with its own
// lock, its buckets and its list from newest to oldest), and a pool of address slots. A process
// that dies holding a shard's lock leaves the shard to the next one, which rebuilds it from the
// slots. Every count and link read from the file is checked before it is followed, so that a
// damaged file costs its admissions, never the process.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "admission_list.h"
#include "admissions.h"
#include "platform/shared_memory.h"

class ProcessAdmissionTable;

class MachineAdmissionTable final : public Admissions {
  public:
    static constexpr std::size_t kCapacity = admission_list::kCapacity;
    static constexpr std::size_t kShards = admission_list::kShards;
    // The longest address a slot holds: an IPv6 address with a zone. A longer one, which no
    // socket gives, is kept in this process alone.
    static constexpr std::size_t kMaxAddress = 69;
    // The name the file's place is made from (`platform::SharedMemory::PlaceFor`).
    static constexpr const char* kFileName = "pixwall.admissions";

    // Opens the table kept in the file at `path`, laying it out afresh when the file is new,
    // from another build or damaged. Null when the file cannot be created or mapped. `shards`
    // is rounded up to a power of two.
    static std::unique_ptr<MachineAdmissionTable> Open(const std::string& path,
                                                   std::size_t capacity = kCapacity,
                                                   std::size_t shards = kShards);
    ~MachineAdmissionTable();
    MachineAdmissionTable(const MachineAdmissionTable&) = delete;
    MachineAdmissionTable& operator=(const MachineAdmissionTable&) = delete;

    void SetTimeToLive(std::int32_t seconds) override;
    void Admit(std::string_view address, std::int64_t now) override;
    bool IsAdmitted(std::string_view address, std::int64_t now) override;

    std::size_t Size() const override;
    // Admissions of the same second in different shards come in no particular order; those too
    // long for a slot come last.
    std::vector<std::string> Addresses() const override;

    struct Layout;

  private:
    struct Slot;
    class PoolGuard;

    MachineAdmissionTable(std::unique_ptr<platform::SharedMemory> memory, const Layout& layout);

    // Runs `operation` holding the shard's lock; a shard left half changed by a process that
    // died, or found unsound, is rebuilt first.
    template <typename Operation>
    auto InShard(std::uint32_t shard, Operation operation);

    Slot& At(std::uint32_t slot) const;
    bool Expired(std::int64_t admittedAt, std::int64_t now) const;
    std::uint32_t Find(std::uint32_t shard, std::string_view address, std::uint32_t hash) const;
    void LinkNewest(std::uint32_t shard, std::uint32_t slot);
    void Unlink(std::uint32_t shard, std::uint32_t slot);
    void Remove(std::uint32_t shard, std::uint32_t slot);
    void PurgeExpired(std::uint32_t shard, std::int64_t now);
    void NoteOldest(std::uint32_t shard);
    std::uint32_t Allocate(std::uint32_t shard);
    void Free(std::uint32_t slot);
    bool EvictOldest();
    void RebuildPool();
    void RebuildShard(std::uint32_t shard);

    std::unique_ptr<platform::SharedMemory> memory_;
    std::unique_ptr<Layout> layout_;
    std::atomic<std::int32_t> timeToLive_{0};
    std::unique_ptr<ProcessAdmissionTable> overlong_;
};
