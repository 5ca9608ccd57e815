// Non-blocking sockets and poll(), so that every step waits at most until its deadline.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "platform/tcp_connection.h"

namespace platform {

namespace {

// Milliseconds left until the deadline, rounded up, never negative.
int MillisecondsUntil(TcpConnection::Deadline deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
}

// Waits for the event; false when the deadline passed or the wait failed.
bool WaitFor(int fd, short event, TcpConnection::Deadline deadline) {
    for (;;) {
        pollfd entry{fd, event, 0};
        const int ready = poll(&entry, 1, MillisecondsUntil(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first) freeaddrinfo(first);
    }
};

}  // namespace

bool TcpConnection::Connect(const std::string& host, std::uint16_t port, Deadline deadline) {
    Close();
    addrinfo hints{};
    // ai_family 0: IPv4 or IPv6, whichever the host has.
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    AddressList addresses;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.first) != 0)
        return false;
    for (const addrinfo* a = addresses.first; a != nullptr; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        bool connected = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS && WaitFor(fd, POLLOUT, deadline)) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (connected) {
            socket_ = static_cast<std::uintptr_t>(fd);
            return true;
        }
        close(fd);
    }
    return false;
}

bool TcpConnection::Send(std::string_view bytes, Deadline deadline) {
    if (!IsOpen()) return false;
    const int fd = static_cast<int>(socket_);
    while (!bytes.empty()) {
        // A peer that closed must not raise SIGPIPE in the web server's process.
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::size_t TcpConnection::Receive(char* buffer, std::size_t size, Deadline deadline) {
    if (!IsOpen() || size == 0) return 0;
    const int fd = static_cast<int>(socket_);
    for (;;) {
        const ssize_t got = recv(fd, buffer, size, 0);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got == 0) return 0;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return 0;
        if (!WaitFor(fd, POLLIN, deadline)) return 0;
    }
}

void TcpConnection::Close() {
    if (!IsOpen()) return;
    close(static_cast<int>(socket_));
    socket_ = kNone;
}

}  // namespace platform
