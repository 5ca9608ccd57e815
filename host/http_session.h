// One client connection: reads requests one after another, has the site answer each, and writes
// the replies. Every read and write has a time limit, so a slow or silent client only holds its
// own connection.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "connection_limit.h"
#include "site.h"

class HttpSession : public std::enable_shared_from_this<HttpSession> {
  public:
    // Limits on what a client may send; a larger request gets "400 Bad Request".
    static constexpr std::uint32_t kHeaderLimit = 16 * 1024;
    static constexpr std::uint64_t kBodyLimit = 1024 * 1024;

    // The session was admitted by `limit` and releases its place when it ends.
    HttpSession(boost::asio::ip::tcp::socket&& socket, Site::Responder respond,
                std::chrono::seconds timeout, std::shared_ptr<ConnectionLimit> limit);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;
    void Start();

  private:
    void Read();
    void OnHeader(boost::beast::error_code error);
    void ReadBody();
    void OnRead(boost::beast::error_code error);
    // The reply to a read that failed: none for a client that went away or went silent.
    void Failed(boost::beast::error_code error);
    void Send(Site::Reply reply);
    void OnWritten(boost::beast::error_code error);
    void Close();
    void NotIdle();

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    Site::Responder respond_;
    std::chrono::seconds timeout_;
    std::string clientAddress_;
    Site::Reply reply_;  // kept alive while it is written
    std::shared_ptr<ConnectionLimit> limit_;
    std::optional<ConnectionLimit::IdleMark> idle_;  // waiting for a further request
};
