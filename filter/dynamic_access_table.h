// The clients admitted by a page request of the site, each with the time of its admission. A
// protected request from an admitted client is let through within the time to live.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class DynamicAccessTable {
  public:
    // Seconds since 1970-01-01 UTC.
    using Clock = std::function<std::int64_t()>;

    DynamicAccessTable();  // the system's clock
    explicit DynamicAccessTable(Clock clock);
    DynamicAccessTable(const DynamicAccessTable&) = delete;
    DynamicAccessTable& operator=(const DynamicAccessTable&) = delete;

    void SetTimeToLive(std::int32_t seconds);

    // Records the address as admitted now, replacing an earlier admission of it.
    void Admit(std::string_view address);

    // The address was admitted no more than the time to live ago. An admission found expired is
    // removed.
    bool IsAdmitted(std::string_view address);

    std::size_t Size() const;
    // The admitted addresses, the most recently admitted first.
    std::vector<std::string> Addresses() const;

  private:
    struct Entry {
        std::string address;
        std::int64_t admittedAt;
    };
    using Entries = std::list<Entry>;

    bool Expired(const Entry& entry, std::int64_t now) const;
    void Remove(Entries::iterator entry);
    void PurgeExpired(std::int64_t now);

    mutable std::mutex lock_;  // held for the whole of each operation
    Clock clock_;
    std::int32_t timeToLive_ = 0;
    Entries entries_;  // most recently admitted first
    // By address; the keys view the addresses held in the entries.
    std::unordered_map<std::string_view, Entries::iterator> index_;
};
