// Where the clients admitted by a page of the site are kept, so that their protected requests
// are let through within the time to live. One process keeps them in its own memory; the
// processes of one machine, or the servers of a farm, share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Admissions {
  public:
    virtual ~Admissions() = default;

    virtual void SetTimeToLive(std::int32_t seconds) = 0;

    // Records the address as admitted at `now` (seconds since 1970-01-01 UTC), replacing an
    // earlier admission of it.
    virtual void Admit(std::string_view address, std::int64_t now) = 0;

    // The address was admitted no more than the time to live before `now`. An admission found
    // expired is removed.
    virtual bool IsAdmitted(std::string_view address, std::int64_t now) = 0;

    // The admissions held here, and their addresses, the most recently admitted first.
    virtual std::size_t Size() const = 0;
    virtual std::vector<std::string> Addresses() const = 0;
};
