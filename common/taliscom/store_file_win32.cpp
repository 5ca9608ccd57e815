#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "store_file.h"

namespace taliscom {

std::unique_ptr<StoreFileLock> StoreFileLock::Acquire(const std::filesystem::path& store,
                                                      bool exclusive, std::uint32_t timeoutMs) {
    const std::wstring name = store.wstring() + L".lock";
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    while (true) {
        OVERLAPPED where{};
        if (LockFileEx(file, flags, 0, 1, 0, &where)) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(file);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::unique_ptr<StoreFileLock> lock(new StoreFileLock());
    lock->handle_ = reinterpret_cast<std::intptr_t>(file);
    return lock;
}

StoreFileLock::~StoreFileLock() {
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED where{};
    UnlockFileEx(file, 0, 1, 0, &where);
    CloseHandle(file);
}

bool ReplaceStoreFile(const std::filesystem::path& store, const std::string& text) {
    const std::wstring temp = store.wstring() + L".tmp." + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok || !MoveFileExW(temp.c_str(), store.wstring().c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

std::optional<std::filesystem::path> MetabaseFileFromEnvironment() {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(L"PIXWALL_METABASE", buffer, 1024);
    if (length == 0 || length >= 1024) return std::nullopt;
    return std::filesystem::path(std::wstring(buffer, length));
}

}  // namespace taliscom
