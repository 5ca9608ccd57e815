#include <windows.h>

#include "platform/shared_library.h"

namespace platform {

SharedLibrary::SharedLibrary(const std::string& path) {
    // No error box for a file that is no library.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    handle_ = LoadLibraryA(path.c_str());
    const DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (handle_ == nullptr)
        error_ = "cannot load " + path + " (error " + std::to_string(code) + ")";
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
