#include <windows.h>

#include <vector>

#include "platform/string_resource.h"

namespace platform {

std::string LoadStringResource(unsigned id, std::size_t maxLength) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&LoadStringResource), &module)) {
        return {};
    }
    std::vector<char> buffer(maxLength + 1, '\0');
    const int length = LoadStringA(module, id, buffer.data(), static_cast<int>(buffer.size()));
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length))
                      : std::string();
}

}  // namespace platform
