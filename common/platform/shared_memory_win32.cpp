#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/shared_memory.h"
#include "text.h"

namespace platform {

namespace {

// The region's objects are named after the file's path, letter case aside as Windows paths
// are, so that the processes of one folder meet and those of two folders never do.
std::string NamePrefix(const std::string& path) {
    char name[48];
    std::snprintf(name, sizeof name, "Local\\pixwall-admissions-%016llx-",
                  static_cast<unsigned long long>(text::Fingerprint(text::ToLower(path))));
    return name;
}

// A waited-for mutex whose owner exited without releasing it is ours all the same.
bool Acquired(DWORD waited) { return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED; }

}  // namespace

std::string SharedMemory::PlaceFor(const std::string& folder, const std::string& name) {
    std::string place = folder;
    if (!place.empty() && place.back() != '\\' && place.back() != '/') place += '\\';
    return place + "LogFiles\\" + name;
}

struct SharedMemory::Handles {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    std::vector<HANDLE> locks;

    ~Handles() {
        for (HANDLE lock : locks) CloseHandle(lock);
        if (mapping) CloseHandle(mapping);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

std::unique_ptr<SharedMemory> SharedMemory::Open(const std::string& path, std::size_t bytes,
                                                 std::size_t lockCount, const Check& ready,
                                                 const Prepare& prepare) {
    const std::string prefix = NamePrefix(path);
    HANDLE opening = CreateMutexA(nullptr, FALSE, (prefix + "open").c_str());
    if (!opening) return nullptr;
    if (!Acquired(WaitForSingleObject(opening, INFINITE))) {
        CloseHandle(opening);
        return nullptr;
    }

    auto handles = std::make_unique<Handles>();
    void* view = nullptr;
    const std::string mappingName = prefix + "map";
    const auto map = [&] {
        const std::uint64_t wide = bytes;
        handles->mapping = CreateFileMappingA(handles->file, nullptr, PAGE_READWRITE,
                                              static_cast<DWORD>(wide >> 32),
                                              static_cast<DWORD>(wide), mappingName.c_str());
        if (handles->mapping)
            view = MapViewOfFile(handles->mapping, FILE_MAP_ALL_ACCESS, 0, 0, bytes);
        return view != nullptr;
    };
    const auto unmap = [&] {
        if (view) UnmapViewOfFile(view);
        view = nullptr;
        if (handles->mapping) CloseHandle(handles->mapping);
        handles->mapping = nullptr;
    };
    // Cut to nothing and grown again: zero-filled, and given its disk space whole (not sparse, as
    // an earlier build made it), so that no page written later can find the disk full. Fails
    // while another process maps the file, or when the disk has no room for it.
    const auto refill = [&] {
        FILE_SET_SPARSE_BUFFER dense{};
        dense.SetSparse = FALSE;
        DWORD returned = 0;
        DeviceIoControl(handles->file, FSCTL_SET_SPARSE, &dense, sizeof dense, nullptr, 0,
                        &returned, nullptr);
        for (const std::uint64_t size : {std::uint64_t{0}, std::uint64_t{bytes}}) {
            LARGE_INTEGER end{};
            end.QuadPart = static_cast<LONGLONG>(size);
            if (!SetFilePointerEx(handles->file, end, nullptr, FILE_BEGIN) ||
                !SetEndOfFile(handles->file)) {
                return false;
            }
        }
        return true;
    };
    [&] {
        handles->file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handles->file == INVALID_HANDLE_VALUE) return;
        for (std::size_t n = 0; n < lockCount; ++n) {
            HANDLE lock =
                CreateMutexA(nullptr, FALSE, (prefix + "lock-" + std::to_string(n)).c_str());
            if (!lock) return;
            handles->locks.push_back(lock);
        }
        LARGE_INTEGER size{};
        BY_HANDLE_FILE_INFORMATION about{};
        if (!GetFileSizeEx(handles->file, &size) ||
            !GetFileInformationByHandle(handles->file, &about)) {
            return;
        }
        // A sparse file of an earlier build is laid out again, whole.
        if (static_cast<std::uint64_t>(size.QuadPart) == bytes &&
            !(about.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE)) {
            if (!map()) return;
            if (ready(view)) return;
            unmap();
        }
        if (!refill() || !map()) {
            unmap();
            return;
        }
        prepare(view);
    }();
    ReleaseMutex(opening);
    CloseHandle(opening);
    if (!view) return nullptr;

    std::unique_ptr<SharedMemory> memory(new SharedMemory);
    memory->data_ = view;
    memory->handles_ = std::move(handles);
    return memory;
}

SharedMemory::~SharedMemory() {
    if (data_) UnmapViewOfFile(data_);
}

SharedMemory::Taken SharedMemory::Lock(std::size_t lock) {
    return WaitForSingleObject(handles_->locks[lock], INFINITE) == WAIT_ABANDONED
               ? Taken::FromTheDead
               : Taken::Clean;
}

void SharedMemory::Unlock(std::size_t lock) { ReleaseMutex(handles_->locks[lock]); }

}  // namespace platform
