// Admissions shared by the servers of a web farm through a Redis server, in front of the
// admissions this process or machine keeps itself (the local ones, which it does not own).
//
// A page admits its client in both: locally, and in the store as the key "pixwall:admission:"
// followed by the address, whose value is the time of the admission and whose expiry is one
// second more than the time to live (the exact rule is judged on the time, not on the expiry). A
// lookup asks the local admissions first and the store only when they do not admit; an admission
// found in the store is copied into the local ones with its own time, so that the page's other
// files are decided locally.
//
// A store that cannot be reached must not stall the web server: each request waits for it at
// most `timeout` (connecting, sending and the reply together), and after a failure the store is
// skipped for `pause`, while requests are decided by the local admissions alone. When the pause
// is over, one request tries the store again while the others go on skipping it.
//
// Request threads use it all at once. Each holds one connection of a small pool for the time of
// one command, so commands run side by side; the pool's lock is held only to take or give back
// a connection.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admissions.h"
#include "redis_protocol.h"
#include "store_address.h"

class FarmAdmissions final : public Admissions {
  public:
    struct Options {
        std::chrono::milliseconds timeout{50};
        std::chrono::milliseconds pause{5000};
        std::size_t connections = 16;
    };
    // Milliseconds on a clock that never goes back; it times the pause after a failure.
    using Clock = std::function<std::int64_t()>;

    // Connects only when a request first needs the store.
    FarmAdmissions(Admissions& local, StoreAddress address);
    FarmAdmissions(Admissions& local, StoreAddress address, Options options, Clock clock = {});
    ~FarmAdmissions();
    FarmAdmissions(const FarmAdmissions&) = delete;
    FarmAdmissions& operator=(const FarmAdmissions&) = delete;

    void SetTimeToLive(std::int32_t seconds) override;
    void Admit(std::string_view address, std::int64_t now) override;
    bool IsAdmitted(std::string_view address, std::int64_t now) override;

    // The local admissions: the store is no list to walk.
    std::size_t Size() const override { return local_.Size(); }
    std::vector<std::string> Addresses() const override { return local_.Addresses(); }

    const StoreAddress& address() const { return address_; }
    // The store is being skipped after a failure.
    bool Skipping() const;

  private:
    struct Connection;

    std::optional<redis_protocol::Reply> Run(const std::string& command);
    // Sends the command and reads its reply on the connection, connecting first if it is closed.
    std::optional<redis_protocol::Reply> RunOn(Connection& connection, const std::string& command,
                                               std::chrono::steady_clock::time_point deadline);
    Connection* Take(std::chrono::steady_clock::time_point deadline);
    void GiveBack(Connection* connection);

    bool MayUseStore();
    void Succeeded();
    void Failed();
    std::int64_t Now() const;

    Admissions& local_;
    const StoreAddress address_;
    const Options options_;
    const Clock clock_;  // empty: the steady clock
    std::atomic<std::int32_t> timeToLive_{0};
    // Until when the store is skipped, on `clock_`; kInUse while it is.
    std::atomic<std::int64_t> skipUntil_;

    std::mutex poolLock_;
    std::condition_variable connectionFree_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<Connection*> free_;
};
