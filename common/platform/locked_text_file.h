// A text file that several processes share: read whole, replaced atomically (written to a
// temporary file beside it, flushed to disk and renamed over it) and guarded by a lock on
// "<file>.lock" (flock on POSIX, LockFileEx on Windows; two locks taken in one process exclude
// each other as two processes do). The registry stand-in and the metabase store keep their data
// this way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class FileLock {
  public:
    static constexpr std::uint32_t kWaitForever = UINT32_MAX;

    // Shared or exclusive, waiting up to timeoutMs; null when the lock was not had in time or the
    // lock file cannot be opened.
    static std::unique_ptr<FileLock> Acquire(const std::filesystem::path& file, bool exclusive,
                                             std::uint32_t timeoutMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    FileLock() = default;
    std::intptr_t handle_ = -1;
};

// What reading a whole file found. Only a file that does not exist is Missing: one that exists but
// cannot be read whole (permissions, an I/O error, a short read) is Unreadable, so that a caller
// never mistakes it for an empty store and overwrites it.
struct FileText {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string text;   // the whole file when Read
    std::string error;  // why not, when Unreadable: "<file>: <reason>"
};
FileText ReadWholeFile(const std::filesystem::path& file);

// Writes text to a temporary file beside the file, created exclusively (never through a link
// left there), flushes it to disk and renames it over the file. The replacement keeps the
// original file's permissions.
bool ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text);

}  // namespace platform
