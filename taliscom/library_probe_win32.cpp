#include <windows.h>

#include <string>

#include "filter_manager.h"

namespace taliscom {

bool FilterManager::ProbeLibrary(std::u16string_view path) {
    if (path.empty()) return false;
    const std::wstring name(path.begin(), path.end());
    // No error box for a file that is no library.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryW(name.c_str());
    SetErrorMode(oldMode);
    if (library == nullptr) return false;
    FreeLibrary(library);
    return true;
}

}  // namespace taliscom
