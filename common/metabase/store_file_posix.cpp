#include <cstdlib>

#include "metabase/store_file.h"

namespace metabase {

std::optional<std::filesystem::path> MetabaseFileFromEnvironment() {
    const char* value = std::getenv(kMetabaseFileVariable);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace metabase
