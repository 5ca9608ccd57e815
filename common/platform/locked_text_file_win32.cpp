#include <windows.h>

#include <atomic>
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

FileText ReadWholeFile(const std::filesystem::path& file) {
    FileText result;
    const auto fail = [&](const char* reason) {
        result.state = FileText::State::Unreadable;
        result.error =
            file.string() + ": " + reason + " (error " + std::to_string(GetLastError()) + ")";
        return result;
    };
    HANDLE handle = CreateFileW(file.wstring().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return result;
        return fail("cannot be opened");
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) {
        CloseHandle(handle);
        return fail("size unknown");
    }
    std::string text;
    char buffer[65536];
    while (true) {
        DWORD read = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &read, nullptr)) {
            CloseHandle(handle);
            return fail("read failed");
        }
        if (read == 0) break;
        text.append(buffer, read);
    }
    CloseHandle(handle);
    if (text.size() != static_cast<std::size_t>(size.QuadPart)) return fail("short read");
    result.state = FileText::State::Read;
    result.text = std::move(text);
    return result;
}

bool ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text) {
    static std::atomic<unsigned> counter{0};
    std::wstring temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    // CREATE_NEW never opens a name that already exists (a planted file or link).
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temp = file.wstring() + L".tmp." + std::to_wstring(GetCurrentProcessId()) + L"." +
               std::to_wstring(counter++);
        handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(handle);
    CloseHandle(handle);
    // ReplaceFileW keeps the original's security descriptor and attributes; a new store is moved.
    const bool placed =
        ok && (GetFileAttributesW(file.wstring().c_str()) != INVALID_FILE_ATTRIBUTES
                   ? ReplaceFileW(file.wstring().c_str(), temp.c_str(), nullptr,
                                  REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                   : MoveFileExW(temp.c_str(), file.wstring().c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0);
    if (!placed) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
