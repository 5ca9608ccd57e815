#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/inotify.h>
#endif

#include <string>

#include "platform/shared_file.h"

namespace platform {

namespace {

bool SameFile(const struct stat& a, std::uint64_t volume, std::uint64_t index) {
    return static_cast<std::uint64_t>(a.st_dev) == volume &&
           static_cast<std::uint64_t>(a.st_ino) == index;
}

}  // namespace

bool AppendFile::Holds(const std::string& path) {
    if (handle_ < 0) return false;
#if defined(__linux__)
    if (changes_ >= 0 && watch_ >= 0) {
        alignas(inotify_event) char notes[4096];
        if (::read(static_cast<int>(changes_), notes, sizeof notes) < 0 && errno == EAGAIN) {
            return true;  // nothing has moved or unlinked the file
        }
        while (::read(static_cast<int>(changes_), notes, sizeof notes) > 0) {
        }
        // Something did (or only changed its mode): the path tells.
    }
#endif
    struct stat named {};
    return ::stat(path.c_str(), &named) == 0 && SameFile(named, volume_, index_);
}

bool AppendFile::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat held {};
    if (::fstat(fd, &held) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    volume_ = static_cast<std::uint64_t>(held.st_dev);
    index_ = static_cast<std::uint64_t>(held.st_ino);
#if defined(__linux__)
    // Watched through the descriptor, so that the watch is on the file held whatever the path
    // names by now; a move between the opening and the watch is caught by one more look at the
    // path. The queue lives as long as this object (closing one waits for the kernel), its watch
    // goes with the file; without a watch every line looks at the path.
    if (changes_ < 0) changes_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (changes_ < 0) return true;
    const int notes = static_cast<int>(changes_);
    if (watch_ >= 0) ::inotify_rm_watch(notes, static_cast<int>(watch_));
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    watch_ = ::inotify_add_watch(notes, self.c_str(), IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB);
    alignas(inotify_event) char drained[4096];
    while (::read(notes, drained, sizeof drained) > 0) {
    }
    struct stat named {};
    if (watch_ >= 0 &&
        (::stat(path.c_str(), &named) != 0 || !SameFile(named, volume_, index_))) {
        ::inotify_rm_watch(notes, static_cast<int>(watch_));
        watch_ = -1;  // the next line looks at the path
    }
#endif
    return true;
}

std::optional<std::int64_t> AppendFile::Append(const std::string& path, std::string_view text) {
    if (!Holds(path)) {
        Close();
        if (!Open(path)) return std::nullopt;
    }
    const int fd = static_cast<int>(handle_);
    // One write keeps the text whole against other appenders; a short one (a full disk) is
    // finished rather than left cut.
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return std::nullopt;
        done += static_cast<std::size_t>(wrote);
    }
    // Appending leaves the offset at the end of what was written: the length, others' lines
    // included.
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end < 0) return std::nullopt;
    return static_cast<std::int64_t>(end);
}

AppendFile::~AppendFile() {
    Close();
    if (changes_ >= 0) ::close(static_cast<int>(changes_));
}

void AppendFile::Close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

bool TouchFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::FILE* OpenSharedForReading(const std::string& path) { return std::fopen(path.c_str(), "r"); }

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace platform
