// Where the stand-in metabase store's file is: the path that the environment variable
// PIXWALL_METABASE names.
#pragma once

#include <filesystem>
#include <optional>

namespace taliscom {

// Environment variable that names the stand-in store's file.
inline constexpr const char* kMetabaseFileVariable = "PIXWALL_METABASE";

// The path that PIXWALL_METABASE names, read from the process's environment; nothing when unset.
std::optional<std::filesystem::path> MetabaseFileFromEnvironment();

}  // namespace taliscom
