// Files that others may read and write while this process has them open: the activity log
// and the rule lists. No handle outlives a call, except the reader that the caller closes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Appends text and one line end (CR LF) to the file, creating it if needed; others may read and
// write it meanwhile. The file's length after the write, or nothing when it cannot be opened.
std::optional<std::int64_t> AppendLine(const std::string& path, std::string_view text);

// Creates the file if it does not exist, or opens it for writing if it does, and closes it.
bool TouchFile(const std::string& path);

// Opens the file for reading in text mode, others free to read and write it; null on failure.
std::FILE* OpenSharedForReading(const std::string& path);

bool FileExists(const std::string& path);

}  // namespace platform
