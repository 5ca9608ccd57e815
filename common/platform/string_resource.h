// String resources of the module that holds the calling code: its .rc string table on Windows;
// elsewhere the table the deliverable compiles in (kStringTable).
#pragma once

#include <span>
#include <string>

namespace platform {

struct StringResourceEntry {
    unsigned id;
    const char* text;
};

#ifndef _WIN32
// Defined once by each deliverable, beside its .rc file.
extern const std::span<const StringResourceEntry> kStringTable;
#endif

// Empty when there is no such string. At most maxLength characters.
std::string LoadStringResource(unsigned id, std::size_t maxLength);

}  // namespace platform
