#include "web_server.h"

#include <algorithm>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <csignal>
#include <thread>

#include "http_session.h"

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

class WebServer::Listener : public std::enable_shared_from_this<Listener> {
  public:
    Listener(asio::io_context& context, Site::Responder respond, std::chrono::seconds timeout,
             std::shared_ptr<ConnectionLimit> limit)
        : context_(context),
          acceptor_(asio::make_strand(context)),
          retry_(acceptor_.get_executor()),
          respond_(std::move(respond)),
          timeout_(timeout),
          limit_(std::move(limit)) {}

    unsigned short Open(const std::string& address, unsigned short port) {
        address_ = address;
        port_ = port;
        const tcp::endpoint endpoint(asio::ip::make_address(address), port);
        acceptor_.open(endpoint.protocol());
        acceptor_.set_option(asio::socket_base::reuse_address(true));
        acceptor_.bind(endpoint);
        acceptor_.listen(asio::socket_base::max_listen_connections);
        return acceptor_.local_endpoint().port();
    }

    void Accept() {
        acceptor_.async_accept(
            asio::make_strand(context_),
            [self = shared_from_this()](boost::system::error_code error, tcp::socket socket) {
                // A closed listener (a restart dropped its binding) accepts nothing more.
                if (error == asio::error::operation_aborted || !self->acceptor_.is_open()) return;
                if (error) return self->RetryLater();
                self->backoff_ = kFirstBackoff;
                self->Admit(std::move(socket), std::chrono::steady_clock::now() + self->timeout_);
            });
    }

    void Close() {
        // On the acceptor's strand, where its pending accept runs.
        asio::post(acceptor_.get_executor(), [self = shared_from_this()] {
            boost::system::error_code ignored;
            self->acceptor_.close(ignored);
            self->retry_.cancel();
        });
    }

    bool Is(const std::string& address, unsigned short port) const {
        return address_ == address && port_ == port;
    }

  private:
    static constexpr std::chrono::milliseconds kFirstBackoff{10};
    static constexpr std::chrono::milliseconds kAdmitRetry{10};

    // At the connection limit with none idle the new connection waits (and no other is accepted)
    // until one closes or goes idle, or the time-out passes and it is refused.
    void Admit(tcp::socket socket, std::chrono::steady_clock::time_point deadline) {
        if (limit_->Admit()) {
            // A reply goes out in several writes (header and file chunks): without this,
            // Nagle's algorithm holds the last one back for the client's ACK.
            boost::system::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<HttpSession>(std::move(socket), respond_, timeout_, limit_)->Start();
            return Accept();
        }
        if (std::chrono::steady_clock::now() >= deadline) return Accept();  // socket closes
        retry_.expires_after(kAdmitRetry);
        retry_.async_wait([self = shared_from_this(),
                           waiting = std::make_shared<tcp::socket>(std::move(socket)),
                           deadline](boost::system::error_code error) {
            if (!error) self->Admit(std::move(*waiting), deadline);
        });
    }
    static constexpr std::chrono::milliseconds kLastBackoff{1000};

    // A failed accept (descriptors exhausted, mostly) fails again at once: waiting, doubled on
    // each failure, lets connections close instead of spinning.
    void RetryLater() {
        retry_.expires_after(backoff_);
        backoff_ = std::min(backoff_ * 2, kLastBackoff);
        retry_.async_wait([self = shared_from_this()](boost::system::error_code error) {
            if (!error) self->Accept();
        });
    }

    asio::io_context& context_;
    tcp::acceptor acceptor_;
    asio::steady_timer retry_;
    std::chrono::milliseconds backoff_ = kFirstBackoff;
    Site::Responder respond_;
    std::chrono::seconds timeout_;
    std::shared_ptr<ConnectionLimit> limit_;
    std::string address_;
    unsigned short port_ = 0;
};

WebServer::WebServer(unsigned threads, std::chrono::seconds timeout, std::size_t maxConnections)
    : threads_(threads != 0 ? threads : std::max(2u, std::thread::hardware_concurrency())),
      timeout_(timeout),
      limit_(std::make_shared<ConnectionLimit>(maxConnections)),
      context_(static_cast<int>(threads_)) {}

WebServer::~WebServer() { Stop(); }

unsigned short WebServer::AddSite(std::shared_ptr<const Site> site, const std::string& address,
                                  unsigned short port) {
    return Listen(
        address, port,
        [site = std::move(site)](const Site::Request& request, const std::string& clientAddress) {
            return site->Respond(request, clientAddress);
        });
}

unsigned short WebServer::Listen(const std::string& address, unsigned short port,
                                 Site::Responder respond) {
    auto listener = std::make_shared<Listener>(context_, std::move(respond), timeout_, limit_);
    const unsigned short bound = listener->Open(address, port);
    // Accepting starts with the pool, or at once when it already runs.
    listener->Accept();
    listeners_.push_back(std::move(listener));
    return bound;
}

void WebServer::StopListening(const std::string& address, unsigned short port) {
    for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
        if ((*it)->Is(address, port)) {
            (*it)->Close();
            listeners_.erase(it);
            return;
        }
    }
}

void WebServer::Run(bool stopOnSignals) {
    asio::signal_set signals(context_);
    asio::signal_set hangups(context_);
    if (stopOnSignals) {
        signals.add(SIGINT);
        signals.add(SIGTERM);
        signals.async_wait([this](boost::system::error_code error, int) {
            if (!error) Stop();
        });
        if (hangup_) {
            hangups.add(SIGHUP);
            WaitForHangup(hangups);
        }
    }

    std::vector<std::thread> pool;
    pool.reserve(threads_ - 1);
    for (unsigned i = 1; i < threads_; ++i) pool.emplace_back([this] { context_.run(); });
    context_.run();
    for (auto& thread : pool) thread.join();
}

void WebServer::Stop() { context_.stop(); }

void WebServer::WaitForHangup(asio::signal_set& hangups) {
    hangups.async_wait([this, &hangups](boost::system::error_code error, int) {
        if (error) return;
        hangup_();
        WaitForHangup(hangups);
    });
}
