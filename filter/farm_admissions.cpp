#include "farm_admissions.h"

#include <charconv>
#include <limits>

#include "platform/tcp_connection.h"

namespace {

constexpr std::int64_t kInUse = std::numeric_limits<std::int64_t>::min();
constexpr std::string_view kKeyPrefix = "pixwall:admission:";

std::string KeyOf(std::string_view address) {
    std::string key(kKeyPrefix);
    key.append(address);
    return key;
}

// The admission was no more than `timeToLive` seconds before `now`, counted without overflow.
bool Current(std::int64_t admittedAt, std::int64_t now, std::int32_t timeToLive) {
    std::int64_t age;
    if (__builtin_sub_overflow(now, admittedAt, &age)) return now < admittedAt;
    return age <= timeToLive;
}

std::optional<std::int64_t> TimeOf(std::string_view text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace

struct FarmAdmissions::Connection {
    platform::TcpConnection socket;
    std::string received;
};

FarmAdmissions::FarmAdmissions(Admissions& local, StoreAddress address)
    : FarmAdmissions(local, std::move(address), Options{}) {}

FarmAdmissions::FarmAdmissions(Admissions& local, StoreAddress address, Options options,
                                 Clock clock)
    : local_(local),
      address_(std::move(address)),
      options_(options),
      clock_(std::move(clock)),
      skipUntil_(kInUse) {
    const std::size_t count = std::max<std::size_t>(options_.connections, 1);
    for (std::size_t i = 0; i < count; ++i) {
        connections_.push_back(std::make_unique<Connection>());
        free_.push_back(connections_.back().get());
    }
}

FarmAdmissions::~FarmAdmissions() = default;

void FarmAdmissions::SetTimeToLive(std::int32_t seconds) {
    timeToLive_.store(seconds, std::memory_order_relaxed);
    local_.SetTimeToLive(seconds);
}

void FarmAdmissions::Admit(std::string_view address, std::int64_t now) {
    local_.Admit(address, now);
    const std::int32_t timeToLive = timeToLive_.load(std::memory_order_relaxed);
    if (timeToLive < 0) return;  // admits nobody
    // One second more than the time to live: the key must outlast every second the rule counts.
    const auto reply =
        Run(redis_protocol::Command({"SET", KeyOf(address), std::to_string(now), "EX",
                                     std::to_string(std::int64_t{timeToLive} + 1)}));
    if (reply && !(reply->type == redis_protocol::Reply::Type::kStatus && reply->text == "OK"))
        Failed();
}

bool FarmAdmissions::IsAdmitted(std::string_view address, std::int64_t now) {
    if (local_.IsAdmitted(address, now)) return true;
    const auto reply = Run(redis_protocol::Command({"GET", KeyOf(address)}));
    if (!reply || reply->type != redis_protocol::Reply::Type::kBulk) {
        if (reply && reply->type != redis_protocol::Reply::Type::kNull) Failed();
        return false;
    }
    // An expired admission is left for the store's expiry to remove: deleting it here could
    // delete another server's admission made a moment ago.
    const std::optional<std::int64_t> admittedAt = TimeOf(reply->text);
    if (!admittedAt || !Current(*admittedAt, now, timeToLive_.load(std::memory_order_relaxed)))
        return false;
    local_.Admit(address, *admittedAt);
    return true;
}

bool FarmAdmissions::Skipping() const {
    const std::int64_t until = skipUntil_.load(std::memory_order_relaxed);
    return until != kInUse && Now() < until;
}

std::int64_t FarmAdmissions::Now() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool FarmAdmissions::MayUseStore() {
    std::int64_t until = skipUntil_.load(std::memory_order_acquire);
    if (until == kInUse) return true;
    const std::int64_t now = Now();
    if (now < until) return false;
    // The pause is over: the one request that moves it on tries the store.
    return skipUntil_.compare_exchange_strong(until, now + options_.pause.count(),
                                              std::memory_order_acq_rel);
}

void FarmAdmissions::Succeeded() { skipUntil_.store(kInUse, std::memory_order_release); }

void FarmAdmissions::Failed() {
    skipUntil_.store(Now() + options_.pause.count(), std::memory_order_release);
}

FarmAdmissions::Connection* FarmAdmissions::Take(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock guard(poolLock_);
    if (!connectionFree_.wait_until(guard, deadline, [this] { return !free_.empty(); }))
        return nullptr;
    Connection* connection = free_.back();
    free_.pop_back();
    return connection;
}

void FarmAdmissions::GiveBack(Connection* connection) {
    {
        std::lock_guard guard(poolLock_);
        free_.push_back(connection);
    }
    connectionFree_.notify_one();
}

std::optional<redis_protocol::Reply> FarmAdmissions::Run(const std::string& command) {
    if (!MayUseStore()) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + options_.timeout;
    Connection* connection = Take(deadline);
    if (connection == nullptr) {
        // Every connection busy for the whole wait: the store is too slow for the requests.
        Failed();
        return std::nullopt;
    }
    // A connection kept from earlier may have been closed by the server meanwhile (a restart,
    // an idle time-out): a failure on it gets one more try on a new one.
    const bool kept = connection->socket.IsOpen();
    std::optional<redis_protocol::Reply> reply = RunOn(*connection, command, deadline);
    if (!reply && kept) reply = RunOn(*connection, command, deadline);
    GiveBack(connection);
    if (reply) {
        Succeeded();
    } else {
        Failed();
    }
    return reply;
}

std::optional<redis_protocol::Reply> FarmAdmissions::RunOn(
    Connection& connection, const std::string& command,
    std::chrono::steady_clock::time_point deadline) {
    platform::TcpConnection& socket = connection.socket;
    if (!socket.IsOpen()) {
        connection.received.clear();
        if (!socket.Connect(address_.host, address_.port, deadline)) return std::nullopt;
    }
    if (socket.Send(command, deadline)) {
        redis_protocol::Reply reply;
        char buffer[512];
        for (;;) {
            std::size_t used = 0;
            const auto result = redis_protocol::Read(connection.received, reply, used);
            if (result == redis_protocol::ReadResult::kComplete) {
                connection.received.erase(0, used);
                // Bytes nobody asked for mean the connection is out of step: start afresh.
                if (!connection.received.empty()) socket.Close();
                return reply;
            }
            if (result == redis_protocol::ReadResult::kDamaged) break;
            const std::size_t got = socket.Receive(buffer, sizeof buffer, deadline);
            if (got == 0) break;
            connection.received.append(buffer, got);
        }
    }
    socket.Close();
    connection.received.clear();
    return std::nullopt;
}
