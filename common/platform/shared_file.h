// Files that others may read and write while this process has them open: the activity log,
// the rule lists and the stand-in's profile files. No handle outlives a call, except the reader
// that the caller closes and the log's AppendFile.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A file kept open for appending, others free to read, write, move and delete it meanwhile. Each
// Append first makes sure that the path still names the file held: when it was moved, deleted or
// replaced, the path is opened (created) anew. Linux queues a note of every move or unlink of the
// file held before the mover's call returns (inotify), and an empty queue is cheaper to read than
// the path is to look up; without one the path's identity is compared. Windows opens the file for
// each Append (see there). The text goes out in one write at the end of the file, so what several
// processes append never interleaves, and nothing waits in the process.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // The file's length after the text; nothing when the file cannot be opened or written.
    std::optional<std::int64_t> Append(const std::string& path, std::string_view text);
    // Lets the file go; the next Append opens the path.
    void Close();

  private:
    bool Holds(const std::string& path);
    bool Open(const std::string& path);

    std::intptr_t handle_ = -1;   // a descriptor, or a HANDLE on Windows
    // POSIX: the identity of handle_'s file; Linux: the inotify queue, kept while this object
    // lives, and its watch on that file.
    std::uint64_t volume_ = 0;
    std::uint64_t index_ = 0;
    std::intptr_t changes_ = -1;
    std::intptr_t watch_ = -1;
};

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
