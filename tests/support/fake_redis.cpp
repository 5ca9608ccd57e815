#include "fake_redis.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stdexcept>
#include <vector>

namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
constexpr int kSendFlags = 0;
void CloseSocket(Socket s) { closesocket(s); }
int Poll(pollfd* entries, std::size_t count, int ms) {
    return WSAPoll(entries, static_cast<ULONG>(count), ms);
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that left must not end the test
void CloseSocket(Socket s) { close(s); }
int Poll(pollfd* entries, std::size_t count, int ms) {
    return poll(entries, static_cast<nfds_t>(count), ms);
}
#endif

constexpr int kPollMilliseconds = 10;

// The words of the first whole command in `bytes`, which loses it; nothing while it is not whole.
std::optional<std::vector<std::string>> TakeCommand(std::string& bytes) {
    std::size_t at = 0;
    auto line = [&]() -> std::optional<std::string> {
        const std::size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) return std::nullopt;
        std::string text = bytes.substr(at, end - at);
        at = end + 2;
        return text;
    };
    const auto count = line();
    if (!count || count->empty() || (*count)[0] != '*') return std::nullopt;
    std::vector<std::string> words;
    for (long i = std::stol(count->substr(1)); i > 0; --i) {
        const auto length = line();
        if (!length) return std::nullopt;
        const std::size_t size = std::stoul(length->substr(1));
        if (bytes.size() < at + size + 2) return std::nullopt;
        words.push_back(bytes.substr(at, size));
        at += size + 2;
    }
    bytes.erase(0, at);
    return words;
}

}  // namespace

struct FakeRedis::Server {
    Socket listener = kNoSocket;
    sockaddr_in address{};
    struct Client {
        Socket socket;
        std::string received;
    };
    std::vector<Client> clients;
    std::atomic<Mode> mode{Mode::kAnswer};
    std::atomic<bool> drop{false};

    bool Listen() {
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener == kNoSocket) return false;
        const int on = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof on);
        if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener, 64) != 0) {
            CloseSocket(listener);
            listener = kNoSocket;
            return false;
        }
        return true;
    }

    void CloseClients() {
        for (const Client& client : clients) CloseSocket(client.socket);
        clients.clear();
    }
};

FakeRedis::FakeRedis() : server_(new Server) {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    server_->address.sin_family = AF_INET;
    server_->address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!server_->Listen()) throw std::runtime_error("the fake Redis cannot listen");
    socklen_t length = sizeof server_->address;
    getsockname(server_->listener, reinterpret_cast<sockaddr*>(&server_->address), &length);
    port_ = ntohs(server_->address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FakeRedis::~FakeRedis() {
    stop_ = true;
    thread_.join();
    server_->CloseClients();
    if (server_->listener != kNoSocket) CloseSocket(server_->listener);
#ifdef _WIN32
    WSACleanup();
#endif
}

void FakeRedis::SetMode(Mode mode) {
    server_->mode = mode;
    AwaitRound();
}

void FakeRedis::DropConnections() {
    server_->drop = true;
    AwaitRound();
}

void FakeRedis::AwaitRound() const {
    // A round that had begun may have read the old state: wait for the start of the one after.
    const unsigned seen = rounds_.load();
    while (rounds_.load() < seen + 2) std::this_thread::yield();
}

std::optional<std::string> FakeRedis::Value(const std::string& key) const {
    std::lock_guard guard(lock_);
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> FakeRedis::Expiry(const std::string& key) const {
    std::lock_guard guard(lock_);
    const auto found = expiries_.find(key);
    if (found == expiries_.end()) return std::nullopt;
    return found->second;
}

void FakeRedis::Store(const std::string& key, const std::string& value) {
    std::lock_guard guard(lock_);
    values_[key] = value;
}

void FakeRedis::Serve() {
    Server& server = *server_;
    while (!stop_) {
        ++rounds_;
        const Mode mode = server.mode;
        if (server.drop.exchange(false)) server.CloseClients();
        if (mode == Mode::kRefuse && server.listener != kNoSocket) {
            server.CloseClients();
            CloseSocket(server.listener);
            server.listener = kNoSocket;
        } else if (mode != Mode::kRefuse && server.listener == kNoSocket) {
            server.Listen();  // the same port again
        }

        std::vector<pollfd> entries;
        if (server.listener != kNoSocket) entries.push_back({server.listener, POLLIN, 0});
        for (const auto& client : server.clients) entries.push_back({client.socket, POLLIN, 0});
        if (entries.empty() || Poll(entries.data(), entries.size(), kPollMilliseconds) <= 0) {
            if (entries.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        std::size_t e = 0;
        if (server.listener != kNoSocket && (entries[e++].revents & POLLIN)) {
            const Socket accepted = accept(server.listener, nullptr, nullptr);
            if (accepted != kNoSocket) server.clients.push_back({accepted, {}});
        }
        for (std::size_t c = 0; c < entries.size() - e; ++c) {
            Server::Client& client = server.clients[c];
            if (!(entries[e + c].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const int got = static_cast<int>(recv(client.socket, buffer, sizeof buffer, 0));
            if (got <= 0) {
                CloseSocket(client.socket);
                client.socket = kNoSocket;
                continue;
            }
            client.received.append(buffer, static_cast<std::size_t>(got));
            while (auto words = TakeCommand(client.received)) {
                ++commands_;
                std::string reply;
                if (mode == Mode::kError) {
                    reply = "-ERR the store is unwell\r\n";
                } else if (mode == Mode::kDamaged) {
                    reply = "?\r\n";
                } else if (mode == Mode::kAnswer && !words->empty()) {
                    std::lock_guard guard(lock_);
                    const std::string& name = (*words)[0];
                    if (name == "PING") {
                        reply = "+PONG\r\n";
                    } else if (name == "SET" && words->size() >= 3) {
                        values_[(*words)[1]] = (*words)[2];
                        if (words->size() == 5 && (*words)[3] == "EX")
                            expiries_[(*words)[1]] = (*words)[4];
                        reply = "+OK\r\n";
                    } else if (name == "GET" && words->size() == 2) {
                        const auto found = values_.find((*words)[1]);
                        reply = found == values_.end()
                                    ? "$-1\r\n"
                                    : "$" + std::to_string(found->second.size()) + "\r\n" +
                                          found->second + "\r\n";
                    } else {
                        reply = "-ERR unknown command\r\n";
                    }
                }
                if (!reply.empty())
                    send(client.socket, reply.data(), static_cast<int>(reply.size()), kSendFlags);
            }
        }
        std::erase_if(server.clients,
                      [](const Server::Client& client) { return client.socket == kNoSocket; });
    }
}
