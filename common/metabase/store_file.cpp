#include "metabase/store_file.h"

namespace metabase {

LockedRead ReadLocked(const std::filesystem::path& file, bool exclusive, std::uint32_t timeoutMs) {
    LockedRead read;
    read.lock = platform::FileLock::Acquire(file, exclusive, timeoutMs);
    if (read.lock) read.file = platform::ReadWholeFile(file);
    return read;
}

}  // namespace metabase
