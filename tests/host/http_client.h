// A plain HTTP/1.1 client for the host's tests: one loopback connection, requests sent as given,
// replies parsed by Boost.Beast. Every read has a time limit, so a test never hangs.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class HttpClient {
  public:
    using Response = boost::beast::http::response<boost::beast::http::string_body>;
    using Headers = std::vector<std::pair<std::string, std::string>>;

    explicit HttpClient(unsigned short port, int timeoutSeconds = 10);
    // Connects from the given loopback address (127.0.0.x), as a visitor of its own.
    HttpClient(unsigned short port, const std::string& fromAddress);

    // GET on this connection (kept alive); absent when the server closed it without a reply.
    std::optional<Response> Get(const std::string& target, const std::string& host,
                                const Headers& headers = {});
    // Sends raw bytes.
    void SendRaw(const std::string& bytes);
    // Reads one reply; absent when the connection closed first.
    std::optional<Response> ReadResponse(bool headRequest = false);
    // Everything the server sends until it closes the connection.
    std::string ReadToClose();
    // True when the server closed the connection (reads end) within the time limit; what it sent
    // until then is passed over, or added to `received`.
    bool ServerClosed(std::string* received = nullptr);

  private:
    // Runs the started operations until they finish or the time limit passes (they are then
    // cancelled); the error they ended with.
    boost::system::error_code Finish(boost::system::error_code& result);

    int timeoutSeconds_;
    boost::asio::io_context context_;
    boost::asio::ip::tcp::socket socket_;
    boost::beast::flat_buffer buffer_;
};

// The value of one header of a reply; empty when absent.
std::string HeaderOf(const HttpClient::Response& response, const std::string& name);
