// Debian's redis-server started for a test on a free loopback port, with nothing saved to disk,
// and stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

class RedisServerProcess {
  public:
    // The program, or empty when it is not installed (package redis-server).
    static std::string Program();

    // Starts it and waits (at most 10 s) until it answers PING; Running() tells whether it does.
    RedisServerProcess();
    ~RedisServerProcess() { Stop(); }
    RedisServerProcess(const RedisServerProcess&) = delete;
    RedisServerProcess& operator=(const RedisServerProcess&) = delete;

    bool Running() const { return pid_ > 0; }
    unsigned short Port() const { return port_; }
    std::string Url() const { return "redis://127.0.0.1:" + std::to_string(port_); }
    // Ends it (SIGTERM) and waits until it has gone.
    void Stop();

  private:
    pid_t pid_ = -1;
    unsigned short port_ = 0;
};
