// How many client connections the host keeps open at once. At the maximum a new connection
// takes the place of the longest idle keep-alive one (told to close); with none idle Admit says
// no and the listener lets it wait. Shared by the listeners and the sessions of every thread.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>

class ConnectionLimit {
  public:
    using Closer = std::function<void()>;
    struct Idle {
        Closer close;
        bool taken = false;  // moved to taken_ to make room
    };
    using IdleMark = std::list<Idle>::iterator;

    explicit ConnectionLimit(std::size_t maximum) : maximum_(maximum) {}

    // Whether a new connection may stay open (then counted until Release).
    bool Admit();
    void Release();
    // A connection waiting for its next request; `close` ends it when room is needed. Unmarked
    // by Busy (a request came in or the connection ends); each mark is unmarked once at most.
    IdleMark MarkIdle(Closer close);
    void Busy(IdleMark mark);
    // Whether the mark is still in the idle list (it was not taken to make room).
    bool IsIdle(IdleMark mark) const;

    // For tests: the connections counted as open.
    std::size_t Open() const;

  private:
    const std::size_t maximum_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::list<Idle> idle_;   // oldest first
    std::list<Idle> taken_;  // taken to make room, kept until their Busy
};
