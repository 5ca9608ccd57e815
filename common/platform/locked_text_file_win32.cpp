#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/locked_text_file.h"

namespace platform {

std::unique_ptr<FileLock> FileLock::Acquire(const std::filesystem::path& file, bool exclusive,
                                            std::uint32_t timeoutMs) {
    const std::wstring name = file.wstring() + L".lock";
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const DWORD mode = exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    const DWORD flags = timeoutMs == kWaitForever ? mode : mode | LOCKFILE_FAIL_IMMEDIATELY;
    while (true) {
        OVERLAPPED where{};
        if (LockFileEx(handle, flags, 0, 1, 0, &where)) break;
        if (timeoutMs == kWaitForever || std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(handle);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::unique_ptr<FileLock> lock(new FileLock());
    lock->handle_ = reinterpret_cast<std::intptr_t>(handle);
    return lock;
}

FileLock::~FileLock() {
    HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED where{};
    UnlockFileEx(handle, 0, 1, 0, &where);
    CloseHandle(handle);
}

bool ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text) {
    const std::wstring temp = file.wstring() + L".tmp." + std::to_wstring(GetCurrentProcessId());
    HANDLE handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(handle);
    CloseHandle(handle);
    if (!ok || !MoveFileExW(temp.c_str(), file.wstring().c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
