// A region of memory that every process opening the same file shares, with a fixed number of
// locks that those processes take to change it. A process that dies holding a lock does not
// wedge the others: the next one to take the lock gets it, told that the data it guards may be
// half changed.
//
// POSIX: the file itself is mapped, its locks are robust process-shared mutexes at its start. It
// is laid out whole when it is made, so that no later write needs memory or disk that may be
// missing, and the last process to close it removes it.
// Windows: the file is mapped under a name derived from its path, and each lock is a named
// mutex, so that two folders' regions never meet.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class SharedMemory {
  public:
    // Whether a region holds what this build laid out, and how to lay out one that does not.
    using Check = std::function<bool(const void* data)>;
    using Prepare = std::function<void(void* data)>;

    // Where the processes of the install in `folder` keep the region `name`: on POSIX a file in
    // the machine's shared memory ("/dev/shm/NAME-" and a hash of the folder's real path), where
    // no log tool goes; on Windows the file NAME in the folder's "LogFiles" folder.
    static std::string PlaceFor(const std::string& folder, const std::string& name);

    // Opens the region kept in the file at `path`, creating the file when it is missing. The
    // opening processes take turns: a region that `ready` refuses (new, from another build,
    // damaged, of another size) is zero-filled and laid out by `prepare` before any other
    // process sees it. A new file is created readable and writable by its owner and group
    // alone. Null when the file cannot be created, opened, given its memory or mapped, or
    // holds a region of another size that a process still maps.
    static std::unique_ptr<SharedMemory> Open(const std::string& path, std::size_t bytes,
                                              std::size_t lockCount, const Check& ready,
                                              const Prepare& prepare);
    ~SharedMemory();
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    void* Data() const { return data_; }

    enum class Taken {
        Clean,
        // The previous holder died holding it: what the lock guards must be checked or rebuilt
        // before it is released.
        FromTheDead,
    };
    Taken Lock(std::size_t lock);
    void Unlock(std::size_t lock);

  private:
    struct Handles;
    SharedMemory() = default;

    void* data_ = nullptr;
    std::unique_ptr<Handles> handles_;
};

}  // namespace platform
