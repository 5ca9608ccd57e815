#include <windows.h>

#include "system_message.h"

namespace {
constexpr DWORD kNeutralDefaultLanguage = 0x0400;
constexpr DWORD kBufferSize = 128;  // 127 characters and the terminating zero
}  // namespace

std::string LookUpSystemMessage(std::uint32_t number) {
    char text[kBufferSize] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number,
                       kNeutralDefaultLanguage, text, kBufferSize, nullptr);
    return std::string(text, length);
}
