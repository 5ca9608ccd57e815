// A Redis server stand-in for the tests, on a free loopback port: it keeps what SET stores (and
// the expiry asked for, which it does not enforce) and answers GET and PING. It can be made to
// fail as a real store does: answer nothing, refuse connections, answer with an error or with
// bytes that are no reply, or drop the connections it holds.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class FakeRedis {
  public:
    enum class Mode {
        kAnswer,   // as Redis does
        kSilent,   // reads commands, answers none
        kRefuse,   // listens no more: connections are refused
        kError,    // answers every command with an error
        kDamaged,  // answers every command with bytes that are no reply
    };

    FakeRedis();
    ~FakeRedis();
    FakeRedis(const FakeRedis&) = delete;
    FakeRedis& operator=(const FakeRedis&) = delete;

    unsigned short Port() const { return port_; }
    // In effect when it returns; kRefuse closes the connections too.
    void SetMode(Mode mode);
    // Closes the connections it holds and goes on listening, as a restarted server does; done
    // when it returns.
    void DropConnections();

    // Commands received, answered or not.
    std::size_t Commands() const { return commands_.load(); }
    std::optional<std::string> Value(const std::string& key) const;
    std::optional<std::string> Expiry(const std::string& key) const;  // the seconds of SET's EX
    void Store(const std::string& key, const std::string& value);

  private:
    struct Server;

    void Serve();
    // Returns once the serving thread has begun a new round after the call.
    void AwaitRound() const;

    unsigned short port_ = 0;
    std::unique_ptr<Server> server_;
    std::atomic<std::size_t> commands_{0};
    std::atomic<bool> stop_{false};
    std::atomic<unsigned> rounds_{0};
    mutable std::mutex lock_;
    std::map<std::string, std::string> values_;
    std::map<std::string, std::string> expiries_;
    std::thread thread_;
};
