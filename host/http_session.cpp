#include "http_session.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <string_view>
#include <utility>

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

// What the header alone makes unanswerable, refused before any body is read, as nginx refuses
// it: an HTTP/1.1 request names one host (the site and the filters would read different ones
// from two), and a body is framed by its length or in chunks; another coding is not understood.
std::optional<Site::Reply> FramingRefusal(const Site::Request& header) {
    const std::size_t hosts = header.count(http::field::host);
    if (hosts > 1 || (hosts == 0 && header.version() >= 11)) return Site::BadRequest();
    const auto coding = header.find(http::field::transfer_encoding);
    if (coding != header.end() && !beast::iequals(coding->value(), "chunked")) {
        return Site::NotImplemented();
    }
    return std::nullopt;
}

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket&& socket, Site::Responder respond,
                         std::chrono::seconds timeout, std::shared_ptr<ConnectionLimit> limit)
    : stream_(std::move(socket)),
      respond_(std::move(respond)),
      timeout_(timeout),
      limit_(std::move(limit)) {
    beast::error_code error;
    const auto peer = stream_.socket().remote_endpoint(error);
    if (!error) clientAddress_ = peer.address().to_string();
}

HttpSession::~HttpSession() {
    NotIdle();
    limit_->Release();
}

void HttpSession::NotIdle() {
    if (idle_) limit_->Busy(*idle_);
    idle_.reset();
}

void HttpSession::Start() {
    // Everything of this connection runs on its strand.
    boost::asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->Read(); });
}

void HttpSession::Read() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(kBodyLimit);
    stream_.expires_after(timeout_);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                self->OnHeader(error);
                            });
}

void HttpSession::OnHeader(beast::error_code error) {
    NotIdle();
    if (error) return Failed(error);
    const Site::Request& header = parser_->get();
    if (auto refusal = FramingRefusal(header)) return Send(std::move(*refusal));
    // A client that asks waits for this before it sends the body; one that sends none, or an
    // HTTP/1.0 client (which knows no interim answers), is not told.
    if (!parser_->is_done() && header.version() >= 11 &&
        beast::iequals(header[http::field::expect], "100-continue")) {
        static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        stream_.expires_after(timeout_);
        return boost::asio::async_write(
            stream_, boost::asio::buffer(kContinue.data(), kContinue.size()),
            [self = shared_from_this()](beast::error_code error, std::size_t) {
                if (error) return self->Close();
                self->ReadBody();
            });
    }
    ReadBody();
}

void HttpSession::ReadBody() {
    stream_.expires_after(timeout_);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->OnRead(error); });
}

void HttpSession::OnRead(beast::error_code error) {
    if (error) return Failed(error);
    Site::Reply reply;
    try {
        reply = respond_(parser_->get(), clientAddress_);
    } catch (const std::exception&) {
        reply = Site::BadRequest();
    }
    Send(std::move(reply));
}

void HttpSession::Failed(beast::error_code error) {
    // A client that went away or went silent gets nothing more; one that sent something that is
    // no HTTP request is told so.
    const bool notHttp =
        error.category() == http::make_error_code(http::error::bad_target).category() &&
        error != http::error::end_of_stream && error != http::error::partial_message;
    if (!notHttp) return Close();
    Send(Site::BadRequest());
}

void HttpSession::Send(Site::Reply reply) {
    reply_ = std::move(reply);
    if (std::holds_alternative<std::monostate>(reply_.response)) return Close();
    stream_.expires_after(timeout_);
    std::visit(
        [this](auto& response) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(response)>, std::monostate>) {
                http::async_write(
                    stream_, response,
                    [self = shared_from_this()](beast::error_code error, std::size_t) {
                        self->OnWritten(error);
                    });
            }
        },
        reply_.response);
}

void HttpSession::OnWritten(beast::error_code error) {
    if (error || reply_.closeAfter) return Close();
    reply_ = {};
    // Kept alive and waiting: the first to go when a new connection needs the room, unless a
    // request has begun to arrive.
    if (buffer_.size() == 0) {
        idle_ = limit_->MarkIdle([weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                boost::asio::post(self->stream_.get_executor(), [self] {
                    if (self->idle_ && !self->limit_->IsIdle(*self->idle_)) {
                        self->NotIdle();
                        self->Close();
                    }
                });
            }
        });
    }
    Read();
}

void HttpSession::Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.socket().close(ignored);
}
