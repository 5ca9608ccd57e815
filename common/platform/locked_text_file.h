// A text file that several processes share: read whole, replaced atomically (written to a
// temporary file beside it, flushed to disk and renamed over it) and guarded by a lock on
// "<file>.lock" (flock on POSIX, LockFileEx on Windows; two locks taken in one process exclude
// each other as two processes do). The registry stand-in and the metabase store keep their data
// this way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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

// The whole file; nothing when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);
// Writes text to a temporary file beside the file, flushes it to disk and renames it over the
// file.
bool ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text);

}  // namespace platform
