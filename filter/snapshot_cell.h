// The current snapshot of something replaced whole now and then and read by every request.
//
// A reader takes it without a lock and without writing any count that other readers write: it
// announces the snapshot it holds in a slot of its own (a hazard slot, a pair of cache lines
// each) and checks that the snapshot is still the current one. Publishing swaps the current
// snapshot and frees the old one only once no slot announces it, so a reader keeps the snapshot
// it started with for as long as it holds it, and nobody ever sees a half-made one.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

template <typename T>
class SnapshotCell {
    struct Slot;  // a reader's announcement, below

  public:
    // Holds one snapshot (or none) until it goes out of scope.
    class Reader {
      public:
        explicit Reader(const SnapshotCell& cell) { Enter(cell); }
        ~Reader() {
            if (slot_) slot_->held.store(nullptr, std::memory_order_release);
        }
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;

        explicit operator bool() const { return value_ != nullptr; }
        const T& operator*() const { return *value_; }
        const T* operator->() const { return value_; }
        const T* get() const { return value_; }

      private:
        void Enter(const SnapshotCell& cell);

        Slot* slot_ = nullptr;
        const T* value_ = nullptr;
    };

    SnapshotCell() = default;
    ~SnapshotCell() { Publish(nullptr); }
    SnapshotCell(const SnapshotCell&) = delete;
    SnapshotCell& operator=(const SnapshotCell&) = delete;

    Reader Read() const { return Reader(*this); }

    // Makes `next` the current snapshot; returns once no reader holds the previous one, which
    // is freed then unless its owner is shared elsewhere. The caller must hold no Reader.
    void Publish(std::shared_ptr<const T> next);

  private:
    // More slots than requests run at once in practice; a reader that finds its own taken tries
    // the next ones.
    static constexpr std::size_t kSlots = 128;

    // Processors fetch cache lines in pairs (the adjacent-line prefetcher): two slots in one
    // 128-byte pair would make neighbouring readers take each other's line away.
    static constexpr std::size_t kLinePair = 128;
    struct alignas(kLinePair) Slot {
        std::atomic<const T*> held{nullptr};
    };

    static std::size_t SlotHint();

    mutable Slot slots_[kSlots];
    alignas(kLinePair) std::atomic<const T*> current_{nullptr};  // read by all, off their lines
    std::mutex publishLock_;          // one publisher at a time
    std::shared_ptr<const T> owner_;  // of current_; touched by publishers only
};

template <typename T>
std::size_t SnapshotCell<T>::SlotHint() {
    // Threads spread over the slots in the order they first read; a plain number, so that the
    // thread-local storage needs no destructor when the module is unloaded.
    static std::atomic<std::size_t> nextThread{0};
    thread_local std::size_t hint = nextThread.fetch_add(1, std::memory_order_relaxed);
    return hint;
}

template <typename T>
void SnapshotCell<T>::Reader::Enter(const SnapshotCell& cell) {
    const T* value = cell.current_.load(std::memory_order_seq_cst);
    if (value == nullptr) return;
    for (std::size_t i = SlotHint(), tried = 0;; ++i, ++tried) {
        if (tried != 0 && tried % kSlots == 0) std::this_thread::yield();
        Slot& slot = cell.slots_[i % kSlots];
        const T* expected = nullptr;
        if (slot.held.load(std::memory_order_relaxed) != nullptr ||
            !slot.held.compare_exchange_strong(expected, value, std::memory_order_seq_cst)) {
            continue;
        }
        // Announced; it counts only if it is still the current one, else announce that.
        for (;;) {
            const T* now = cell.current_.load(std::memory_order_seq_cst);
            if (now == value) break;
            if (now == nullptr) {
                slot.held.store(nullptr, std::memory_order_release);
                return;
            }
            value = now;
            slot.held.store(value, std::memory_order_seq_cst);
        }
        slot_ = &slot;
        value_ = value;
        return;
    }
}

template <typename T>
void SnapshotCell<T>::Publish(std::shared_ptr<const T> next) {
    std::lock_guard guard(publishLock_);
    const T* const previous = owner_.get();
    current_.store(next.get(), std::memory_order_seq_cst);
    if (previous != nullptr) {
        for (Slot& slot : slots_) {
            while (slot.held.load(std::memory_order_seq_cst) == previous) {
                std::this_thread::yield();
            }
        }
    }
    owner_.swap(next);
    // The previous snapshot goes with `next`, after every reader of it has left.
}
