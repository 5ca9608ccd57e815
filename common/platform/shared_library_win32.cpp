#include <windows.h>

#include <string>

#include "platform/shared_library.h"

namespace platform {

namespace {

// The path in the ANSI code page, for the error text; what it cannot spell becomes "?".
std::string Narrow(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace

SharedLibrary::SharedLibrary(const std::filesystem::path& path) {
    // No error box for a file that is no library.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    handle_ = LoadLibraryW(path.c_str());
    const DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (handle_ == nullptr)
        error_ = "cannot load " + Narrow(path.native()) + " (error " + std::to_string(code) + ")";
}

void SharedLibrary::Unload() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

SharedLibrary::GenericFunction SharedLibrary::FindFunction(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<GenericFunction>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
}

}  // namespace platform
