// Full path of the loaded module (shared library or program) that holds the calling code.
#pragma once

#include <string>

namespace platform {

// Empty when the platform cannot tell. At most MAX_PATH (260) characters on Windows.
std::string ThisModulePath();

}  // namespace platform
