#include "connection_limit.h"

bool ConnectionLimit::Admit() {
    Closer close;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_ < maximum_) {
            ++open_;
            return true;
        }
        if (idle_.empty()) return false;
        idle_.front().taken = true;
        close = idle_.front().close;
        taken_.splice(taken_.end(), idle_, idle_.begin());
        ++open_;  // the idle one counts until it has closed
    }
    close();
    return true;
}

void ConnectionLimit::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ > 0) --open_;
}

ConnectionLimit::IdleMark ConnectionLimit::MarkIdle(Closer close) {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(Idle{std::move(close), false});
    return std::prev(idle_.end());
}

void ConnectionLimit::Busy(IdleMark mark) {
    std::lock_guard<std::mutex> lock(mutex_);
    (mark->taken ? taken_ : idle_).erase(mark);
}

bool ConnectionLimit::IsIdle(IdleMark mark) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !mark->taken;
}

std::size_t ConnectionLimit::Open() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}
