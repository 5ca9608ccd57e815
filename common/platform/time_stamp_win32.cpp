#include <ctime>

#include "platform/time_stamp.h"

namespace platform {

// The C runtime's "%c" in the "C" locale gives the two-digit date and 24-hour time.
std::string LocalTimeStamp(std::time_t now) {
    const std::tm* local = std::localtime(&now);  // per-thread buffer in the Windows runtime
    if (local == nullptr) return {};
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, "%c", local);
    return std::string(text, length);
}

}  // namespace platform
