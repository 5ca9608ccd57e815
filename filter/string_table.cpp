// The module's string resources where there is no resource compiler; pixwall.rc holds the same.
#include "platform/string_resource.h"

namespace {
constexpr platform::StringResourceEntry kEntries[] = {{101, "Pixwall Filter"}};
}

namespace platform {
const std::span<const StringResourceEntry> kStringTable(kEntries);
}
