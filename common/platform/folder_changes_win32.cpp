// ReadDirectoryChangesW for last-write and name changes in the folder alone, completed through a
// completion routine while the thread waits alertably for its stop event. Only records that name
// a watched file count; a failed or overflowed read (no records) counts as a change.
#include <process.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "platform/folder_changes.h"
#include "text.h"

namespace platform {

namespace {

constexpr DWORD kBufferSize = 4096;
constexpr DWORD kThreadEndWait = 1000;  // ms; under the loader lock a thread cannot finish exiting
constexpr int kCancelWaits = 10;        // times 100 ms for a cancelled read to complete

}  // namespace

struct FolderChanges::Thread {
    std::string folder;
    std::vector<std::string> names;
    std::function<void()> onChange;
    HANDLE directory = INVALID_HANDLE_VALUE;
    alignas(DWORD) BYTE buffer[kBufferSize];
    OVERLAPPED overlapped;
    HANDLE stopEvent = nullptr;
    HANDLE doneEvent = nullptr;
    HANDLE readyEvent = nullptr;
    HANDLE thread = nullptr;
    std::atomic<bool> watching{false};
    // Touched on the watcher thread only.
    bool readPending = false;
    bool stopping = false;

    static unsigned __stdcall Run(void* self);
    static VOID CALLBACK Completed(DWORD error, DWORD bytes, LPOVERLAPPED overlapped);
    bool NamesWatchedFile(DWORD bytes) const;
    bool IssueRead();
    void CloseEvents();
};

bool FolderChanges::Thread::NamesWatchedFile(DWORD bytes) const {
    for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
        const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + at);
        char name[MAX_PATH * 3] = {};
        const int length = WideCharToMultiByte(
            CP_ACP, 0, record->FileName, static_cast<int>(record->FileNameLength / sizeof(WCHAR)),
            name, sizeof name - 1, nullptr, nullptr);
        for (const auto& wanted : names) {
            if (length > 0 && text::EqualsIgnoreCase(wanted, std::string_view(name, length))) {
                return true;
            }
        }
        if (record->NextEntryOffset == 0) break;
        at += record->NextEntryOffset;
    }
    return false;
}

VOID CALLBACK FolderChanges::Thread::Completed(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    // With a completion routine the system leaves hEvent to the caller: it carries the watch.
    Thread* self = static_cast<Thread*>(overlapped->hEvent);
    self->readPending = false;
    // The cancelled read of the stop does not count.
    if (self->stopping) return;
    if (error != ERROR_SUCCESS || bytes == 0 || self->NamesWatchedFile(bytes)) self->onChange();
}

bool FolderChanges::Thread::IssueRead() {
    ZeroMemory(&overlapped, sizeof overlapped);
    overlapped.hEvent = this;
    readPending =
        ReadDirectoryChangesW(directory, buffer, kBufferSize, FALSE,
                              FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                              &overlapped, &Thread::Completed) != FALSE;
    return readPending;
}

unsigned __stdcall FolderChanges::Thread::Run(void* arg) {
    Thread* self = static_cast<Thread*>(arg);
    self->directory =
        CreateFileA(self->folder.c_str(), FILE_LIST_DIRECTORY,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (self->directory != INVALID_HANDLE_VALUE) {
        ZeroMemory(self->buffer, sizeof self->buffer);
        self->watching = self->IssueRead();
    }
    SetEvent(self->readyEvent);

    // A folder that could not be opened leaves nothing to complete: the wait ends with the stop.
    while (WaitForSingleObjectEx(self->stopEvent, INFINITE, TRUE) == WAIT_IO_COMPLETION) {
        if (self->directory != INVALID_HANDLE_VALUE && !self->readPending) self->IssueRead();
    }

    self->stopping = true;
    if (self->directory != INVALID_HANDLE_VALUE) {
        if (self->readPending) {
            // The system writes into the buffer and the record until the read has completed.
            CancelIo(self->directory);
            for (int i = 0; self->readPending && i < kCancelWaits; ++i) SleepEx(100, TRUE);
        }
        CloseHandle(self->directory);
        self->directory = INVALID_HANDLE_VALUE;
    }
    self->watching = false;
    SetEvent(self->doneEvent);  // the last touch of *self: Stop may free it from here on
    return 0;
}

void FolderChanges::Thread::CloseEvents() {
    for (HANDLE* event : {&stopEvent, &doneEvent, &readyEvent}) {
        if (*event != nullptr) CloseHandle(*event);
        *event = nullptr;
    }
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
    thread->stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread->doneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread->readyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!thread->stopEvent || !thread->doneEvent || !thread->readyEvent) {
        thread->CloseEvents();
        return ENOMEM;
    }
    const uintptr_t handle = _beginthreadex(nullptr, 0, &Thread::Run, thread.get(), 0, nullptr);
    if (handle == 0) {
        const int error = errno != 0 ? errno : EAGAIN;
        thread->CloseEvents();
        return error;
    }
    thread->thread = reinterpret_cast<HANDLE>(handle);
    // Until the new thread has been let in by the loader it could not answer a Stop made under
    // the loader lock; wait for it to run (or to have died).
    HANDLE started[2] = {thread->readyEvent, thread->thread};
    WaitForMultipleObjects(2, started, FALSE, INFINITE);
    thread_ = std::move(thread);
    return 0;
}

void FolderChanges::Stop() {
    if (!thread_) return;
    Thread& thread = *thread_;
    // At process exit the system has ended the thread before the module's destructors run: its
    // handle is signalled and nobody will signal the done event.
    const bool finished = WaitForSingleObject(thread.thread, 0) == WAIT_OBJECT_0;
    bool done = WaitForSingleObject(thread.doneEvent, 0) == WAIT_OBJECT_0;
    if (!finished && !done) {
        SetEvent(thread.stopEvent);
        HANDLE ends[2] = {thread.doneEvent, thread.thread};
        done = WaitForMultipleObjects(2, ends, FALSE, INFINITE) == WAIT_OBJECT_0;
        WaitForSingleObject(thread.thread, kThreadEndWait);
    }
    CloseHandle(thread.thread);
    thread.thread = nullptr;
    thread.CloseEvents();
    if (!done) {
        // Ended by the system in the middle of its watch: the process is going away, and the
        // buffer may still be the target of the read it left behind. Leave it be.
        static_cast<void>(thread_.release());
        return;
    }
    thread_.reset();
}

bool FolderChanges::Watching() const { return thread_ && thread_->watching; }

bool FolderChanges::Settle() { return false; }

}  // namespace platform
