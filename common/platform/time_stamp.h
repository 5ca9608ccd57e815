// The local time as the activity log writes it: "12/31/05 23:59:58".
#pragma once

#include <ctime>
#include <string>

namespace platform {

// Empty when the time cannot be formatted. At most 127 characters.
std::string LocalTimeStamp(std::time_t now);

}  // namespace platform
