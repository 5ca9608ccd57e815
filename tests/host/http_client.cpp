#include "http_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>
#include <chrono>

namespace asio = boost::asio;
namespace http = boost::beast::http;

HttpClient::HttpClient(unsigned short port, int timeoutSeconds)
    : timeoutSeconds_(timeoutSeconds), socket_(context_) {
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
}

HttpClient::HttpClient(unsigned short port, const std::string& fromAddress)
    : timeoutSeconds_(10), socket_(context_) {
    socket_.open(asio::ip::tcp::v4());
    socket_.bind({asio::ip::make_address(fromAddress), 0});
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
}

boost::system::error_code HttpClient::Finish(boost::system::error_code& result) {
    context_.restart();
    context_.run_for(std::chrono::seconds(timeoutSeconds_));
    if (!context_.stopped()) {
        // Time is up: cancel and let the handler see it.
        boost::system::error_code ignored;
        socket_.cancel(ignored);
        context_.run();
        result = asio::error::timed_out;
    }
    return result;
}

std::optional<HttpClient::Response> HttpClient::Get(const std::string& target,
                                                    const std::string& host,
                                                    const Headers& headers) {
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
    request += "\r\n";
    SendRaw(request);
    return ReadResponse();
}

void HttpClient::SendRaw(const std::string& bytes) { asio::write(socket_, asio::buffer(bytes)); }

std::optional<HttpClient::Response> HttpClient::ReadResponse(bool headRequest) {
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 * 1024 * 1024);
    parser.skip(headRequest);
    boost::system::error_code error;
    http::async_read(socket_, buffer_, parser,
                     [&error](boost::system::error_code e, std::size_t) { error = e; });
    if (Finish(error)) return std::nullopt;
    return parser.release();
}

std::string HttpClient::ReadToClose() {
    std::string all(static_cast<const char*>(buffer_.data().data()), buffer_.size());
    buffer_.consume(buffer_.size());
    char chunk[4096];
    for (;;) {
        boost::system::error_code error;
        std::size_t n = 0;
        socket_.async_read_some(asio::buffer(chunk),
                                [&](boost::system::error_code e, std::size_t got) {
                                    error = e;
                                    n = got;
                                });
        if (Finish(error)) break;
        all.append(chunk, n);
    }
    return all;
}

bool HttpClient::ServerClosed(std::string* received) {
    char chunk[256];
    for (;;) {
        boost::system::error_code error;
        std::size_t n = 0;
        socket_.async_read_some(asio::buffer(chunk),
                                [&](boost::system::error_code e, std::size_t got) {
                                    error = e;
                                    n = got;
                                });
        Finish(error);
        if (received != nullptr) received->append(chunk, n);
        if (error == asio::error::eof || error == asio::error::connection_reset) return true;
        if (error) return false;  // still open when the time limit passed
    }
}

std::string HeaderOf(const HttpClient::Response& response, const std::string& name) {
    const auto found = response.find(name);
    return found == response.end() ? std::string() : std::string(found->value());
}
