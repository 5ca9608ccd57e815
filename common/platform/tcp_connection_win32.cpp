// Winsock in non-blocking mode and select (WSAPoll is missing before Vista), so that every step waits at most until its deadline.
// Each connection holds its own start-up of Winsock, released when it closes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/tcp_connection.h"

namespace platform {

namespace {

int MillisecondsUntil(TcpConnection::Deadline deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
}

enum class Ready { Readable, Writable };

// True when the socket is ready, or has failed (which the next call then reports).
bool WaitFor(SOCKET socket, Ready ready, TcpConnection::Deadline deadline) {
    fd_set wanted;
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(socket, &wanted);
    FD_SET(socket, &failed);
    const int milliseconds = MillisecondsUntil(deadline);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    // The first argument is ignored by Winsock.
    return select(0, ready == Ready::Readable ? &wanted : nullptr,
                  ready == Ready::Writable ? &wanted : nullptr, &failed, &timeout) > 0;
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
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    addrinfo hints{};
    // ai_family 0: IPv4 or IPv6, whichever the host has.
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    AddressList addresses;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.first) != 0) {
        WSACleanup();
        return false;
    }
    for (const addrinfo* a = addresses.first; a != nullptr; a = a->ai_next) {
        const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        const BOOL on = TRUE;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        bool connected = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0;
        if (!connected && WSAGetLastError() == WSAEWOULDBLOCK && WaitFor(s, Ready::Writable, deadline)) {
            int error = 0;
            int length = sizeof error;
            connected = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                   &length) == 0 &&
                        error == 0;
        }
        if (connected) {
            socket_ = static_cast<std::uintptr_t>(s);
            return true;
        }
        closesocket(s);
    }
    WSACleanup();
    return false;
}

bool TcpConnection::Send(std::string_view bytes, Deadline deadline) {
    if (!IsOpen()) return false;
    const SOCKET s = static_cast<SOCKET>(socket_);
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int sent = send(s, bytes.data(), chunk, 0);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!WaitFor(s, Ready::Writable, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::size_t TcpConnection::Receive(char* buffer, std::size_t size, Deadline deadline) {
    if (!IsOpen() || size == 0) return 0;
    const SOCKET s = static_cast<SOCKET>(socket_);
    const int chunk = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    for (;;) {
        const int got = recv(s, buffer, chunk, 0);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return 0;
        if (!WaitFor(s, Ready::Readable, deadline)) return 0;
    }
}

void TcpConnection::Close() {
    if (!IsOpen()) return;
    closesocket(static_cast<SOCKET>(socket_));
    socket_ = kNone;
    WSACleanup();
}

}  // namespace platform
