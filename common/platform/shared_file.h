// Files that others may read and write while this process has them open: the activity log,
// the rule lists and the stand-in's profile files. No handle outlives a call, except the reader
// that the caller closes.
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

// The file's whole text, read as OpenSharedForReading opens it; nothing when it cannot be opened.
inline std::optional<std::string> ReadSharedFile(const std::string& path) {
    std::FILE* file = OpenSharedForReading(path);
    if (file == nullptr) return std::nullopt;
    std::string text;
    char block[16384];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
        text.append(block, got);
    }
    std::fclose(file);
    return text;
}

bool FileExists(const std::string& path);

}  // namespace platform
