// The stand-in for ReadDirectoryChangesW: inotify on the folder alone. IN_MODIFY (data written,
// file truncated) and IN_ATTRIB (last-write time set, as by "touch") are the last-write changes;
// IN_CREATE, IN_DELETE, IN_MOVED_TO and IN_MOVED_FROM the name changes, so that a save that
// renames a file into place (mv, sed -i, rsync) and a deleted file are seen. Only records that
// name a watched file count; an overflowed queue counts as a change. A pipe wakes the thread for
// Stop and Settle.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "platform/folder_changes.h"
#include "text.h"

namespace platform {

namespace {

constexpr std::uint32_t kReportedChanges =
    IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR;
constexpr char kStopMessage = 'q';
constexpr char kSettleMessage = 's';

bool Named(const std::vector<std::string>& names, std::string_view name) {
    for (const auto& wanted : names) {
        if (text::EqualsIgnoreCase(wanted, name)) return true;
    }
    return false;
}

// Reads every queued record; true when one names a watched file or records were lost.
bool Drain(int inotifyFd, const std::vector<std::string>& names) {
    if (inotifyFd < 0) return false;
    alignas(inotify_event) char buffer[4096 + NAME_MAX + 1];
    bool any = false;
    for (;;) {
        const ssize_t length = read(inotifyFd, buffer, sizeof buffer);
        if (length > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_Q_OVERFLOW) ||
                    (event->len > 0 && Named(names, std::string_view(event->name)))) {
                    any = true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            continue;
        }
        if (length < 0 && errno == EINTR) continue;
        return any;  // EAGAIN: nothing more queued
    }
}

}  // namespace

struct FolderChanges::Thread {
    std::string folder;
    std::vector<std::string> names;
    std::function<void()> onChange;
    int wakeRead = -1;
    int wakeWrite = -1;
    pthread_t thread{};
    std::atomic<bool> watching{false};

    std::mutex lock;
    std::condition_variable signal;
    bool ready = false;
    bool ended = false;
    std::uint64_t settleAsked = 0;
    std::uint64_t settleDone = 0;

    void Run();
    void Tell(char message) {
        while (write(wakeWrite, &message, 1) < 0 && errno == EINTR) {
        }
    }
};

void FolderChanges::Thread::Run() {
    int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd >= 0 && inotify_add_watch(inotifyFd, folder.c_str(), kReportedChanges) < 0) {
        close(inotifyFd);
        inotifyFd = -1;  // nothing to watch: only wait to be stopped
    }
    watching = inotifyFd >= 0;
    {
        std::lock_guard guard(lock);
        ready = true;
    }
    signal.notify_all();

    bool stopping = false;
    while (!stopping) {
        pollfd waits[2] = {{wakeRead, POLLIN, 0}, {inotifyFd, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if ((waits[1].revents & POLLIN) && Drain(inotifyFd, names)) onChange();
        if (!(waits[0].revents & (POLLIN | POLLHUP))) continue;
        char messages[64];
        const ssize_t count = read(wakeRead, messages, sizeof messages);
        if (count <= 0) {
            if (count < 0 && errno == EINTR) continue;
            break;
        }
        std::uint64_t settled = 0;
        for (ssize_t i = 0; i < count; ++i) {
            if (messages[i] == kStopMessage) stopping = true;
            if (messages[i] == kSettleMessage) ++settled;
        }
        if (settled > 0) {
            // The kernel queued the records of earlier writes when they were made.
            if (Drain(inotifyFd, names)) onChange();
            {
                std::lock_guard guard(lock);
                settleDone += settled;
            }
            signal.notify_all();
        }
    }
    if (inotifyFd >= 0) close(inotifyFd);
    watching = false;
    {
        std::lock_guard guard(lock);
        ended = true;
    }
    signal.notify_all();
}

FolderChanges::FolderChanges() = default;

FolderChanges::~FolderChanges() { Stop(); }

int FolderChanges::Start(const std::string& folder, std::vector<std::string> names,
                         std::function<void()> onChange) {
    Stop();
    auto thread = std::make_unique<Thread>();
    thread->folder = folder;
    thread->names = std::move(names);
    thread->onChange = std::move(onChange);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return errno;
    thread->wakeRead = pipeEnds[0];
    thread->wakeWrite = pipeEnds[1];
    const int error = pthread_create(
        &thread->thread, nullptr,
        [](void* self) -> void* {
            static_cast<Thread*>(self)->Run();
            return nullptr;
        },
        thread.get());
    if (error != 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return error;
    }
    {
        std::unique_lock guard(thread->lock);
        thread->signal.wait(guard, [&] { return thread->ready; });
    }
    thread_ = std::move(thread);
    return 0;
}

void FolderChanges::Stop() {
    if (!thread_) return;
    thread_->Tell(kStopMessage);
    pthread_join(thread_->thread, nullptr);
    close(thread_->wakeRead);
    close(thread_->wakeWrite);
    thread_.reset();
}

bool FolderChanges::Watching() const { return thread_ && thread_->watching; }

bool FolderChanges::Settle() {
    if (!thread_) return true;
    Thread& thread = *thread_;
    std::unique_lock guard(thread.lock);
    const std::uint64_t ticket = ++thread.settleAsked;
    thread.Tell(kSettleMessage);
    thread.signal.wait(guard, [&] { return thread.settleDone >= ticket || thread.ended; });
    return true;
}

}  // namespace platform
