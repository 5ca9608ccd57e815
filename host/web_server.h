// The listening side of the host: one acceptor per site, all served by a pool of threads.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection_limit.h"
#include "site.h"

class WebServer {
  public:
    // At most `maxConnections` client connections are open at once (see ConnectionLimit).
    WebServer(unsigned threads, std::chrono::seconds timeout, std::size_t maxConnections);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens for the site on address:port (port 0: a free one) and returns the port taken.
    // Throws boost::system::system_error when the address cannot be bound.
    unsigned short AddSite(std::shared_ptr<const Site> site, const std::string& address,
                           unsigned short port);
    // The same for any responder; the listener is known by address and the port asked for
    // (0 included) to StopListening. Callable while the server runs.
    unsigned short Listen(const std::string& address, unsigned short port, Site::Responder respond);
    // Closes the listener opened with that address and port; its connections go on.
    void StopListening(const std::string& address, unsigned short port);

    // Called on a pool thread for each SIGHUP while Run serves with `stopOnSignals`.
    void OnHangup(std::function<void()> hangup) { hangup_ = std::move(hangup); }

    // Serves on the thread pool until Stop (or SIGINT / SIGTERM when `stopOnSignals`).
    void Run(bool stopOnSignals);
    void Stop();

  private:
    class Listener;
    void WaitForHangup(boost::asio::signal_set& hangups);

    unsigned threads_;
    std::chrono::seconds timeout_;
    std::shared_ptr<ConnectionLimit> limit_;
    boost::asio::io_context context_;
    std::vector<std::shared_ptr<Listener>> listeners_;
    std::function<void()> hangup_;
};
