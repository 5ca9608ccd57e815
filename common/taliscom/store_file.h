// The file operations of the stand-in metabase store: a lock on "<store>.lock" that excludes
// writers from each other and from readers (flock on POSIX, LockFileEx on Windows; two handles
// of one process exclude each other as two processes do), whole-file reads, and atomic
// replacement (a temporary file beside the store renamed over it).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace taliscom {

// Environment variable that names the stand-in store's file.
inline constexpr const char* kMetabaseFileVariable = "PIXWALL_METABASE";

class StoreFileLock {
  public:
    // Shared or exclusive, waiting up to timeoutMs; null when the lock was not had in time or the
    // lock file cannot be opened.
    static std::unique_ptr<StoreFileLock> Acquire(const std::filesystem::path& store,
                                                  bool exclusive, std::uint32_t timeoutMs);
    ~StoreFileLock();
    StoreFileLock(const StoreFileLock&) = delete;
    StoreFileLock& operator=(const StoreFileLock&) = delete;

  private:
    StoreFileLock() = default;
    std::intptr_t handle_ = -1;
};

// The whole file; nothing when it does not exist or cannot be read.
std::optional<std::string> ReadStoreFile(const std::filesystem::path& store);
// Writes text to a temporary file, flushes it to disk and renames it over the store.
bool ReplaceStoreFile(const std::filesystem::path& store, const std::string& text);

// The path that PIXWALL_METABASE names, read from the process's environment; nothing when unset.
std::optional<std::filesystem::path> MetabaseFileFromEnvironment();

}  // namespace taliscom
