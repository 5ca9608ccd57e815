#include "platform/string_resource.h"

namespace platform {

std::string LoadStringResource(unsigned id, std::size_t maxLength) {
    for (const StringResourceEntry& entry : kStringTable) {
        if (entry.id == id) return std::string(entry.text).substr(0, maxLength);
    }
    return {};
}

}  // namespace platform
