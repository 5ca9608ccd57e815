#include <windows.h>

#include <string>

#include "metabase/store_file.h"

namespace metabase {

std::optional<std::filesystem::path> MetabaseFileFromEnvironment() {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(L"PIXWALL_METABASE", buffer, 1024);
    if (length == 0 || length >= 1024) return std::nullopt;
    return std::filesystem::path(std::wstring(buffer, length));
}

}  // namespace metabase
