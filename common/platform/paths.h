// How file names and paths are spelled on this platform.
#pragma once

#include <string_view>

namespace platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kSharedLibrarySuffix = ".dll";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kSharedLibrarySuffix = ".so";
#endif

}  // namespace platform
