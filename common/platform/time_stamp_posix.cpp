#include <ctime>

#include "platform/time_stamp.h"

namespace platform {

// glibc's "%c" differs from the Windows runtime's, so the same text is spelled out.
std::string LocalTimeStamp(std::time_t now) {
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return {};
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, "%m/%d/%y %H:%M:%S", &local);
    return std::string(text, length);
}

}  // namespace platform
