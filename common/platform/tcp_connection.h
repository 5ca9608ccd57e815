// One client TCP connection whose every step waits no longer than the caller allows: the
// filter's requests must never hang on a server that does not answer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class TcpConnection {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    TcpConnection() = default;
    ~TcpConnection() { Close(); }
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Connects to the host (a name or a numeric address) and port by the deadline. A name is
    // resolved by the system's resolver, whose own wait the deadline does not cover.
    bool Connect(const std::string& host, std::uint16_t port, Deadline deadline);
    bool IsOpen() const { return socket_ != kNone; }

    // Sends every byte by the deadline.
    bool Send(std::string_view bytes, Deadline deadline);
    // Receives what has arrived, waiting for something until the deadline; the number of bytes,
    // or 0 when the peer closed the connection, nothing came in time or the connection failed.
    std::size_t Receive(char* buffer, std::size_t size, Deadline deadline);

    void Close();

  private:
    static constexpr std::uintptr_t kNone = ~std::uintptr_t{0};

    std::uintptr_t socket_ = kNone;  // a descriptor, or a Winsock SOCKET
};

}  // namespace platform
