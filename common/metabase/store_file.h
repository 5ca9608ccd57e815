// The stand-in metabase's store file: where it is (the path that the environment variable
// PIXWALL_METABASE names) and the one locked read of it that the component's store and the
// stand-in web server share. The file is guarded by a lock on "<file>.lock"
// (platform/locked_text_file.h): shared for reading, exclusive for writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/locked_text_file.h"

namespace metabase {

// Environment variable that names the stand-in store's file.
inline constexpr const char* kMetabaseFileVariable = "PIXWALL_METABASE";

// How long a reader waits for a writer to let go of the file.
inline constexpr std::uint32_t kLockTimeoutMs = 1000;

// The path that PIXWALL_METABASE names, read from the process's environment; nothing when unset.
std::optional<std::filesystem::path> MetabaseFileFromEnvironment();

// The file read whole under its lock, which the result keeps: a caller that goes on to rewrite
// the file holds the lock until it lets go of it. `lock` null: the lock was not had within
// timeoutMs (another holder, or no lock file to be had), and nothing was read.
struct LockedRead {
    std::unique_ptr<platform::FileLock> lock;
    platform::FileText file;
};
LockedRead ReadLocked(const std::filesystem::path& file, bool exclusive, std::uint32_t timeoutMs);

}  // namespace metabase
