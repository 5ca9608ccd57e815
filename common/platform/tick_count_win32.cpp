// The cross compiler's thread library, linked into every binary, calls GetTickCount64, which
// Windows XP and Server 2003 lack. Its import is answered here instead, so that the binaries
// load there: Windows' own GetTickCount64 where it has one, found at run time, otherwise
// GetTickCount with its wraps counted. The link pulls this file in by the import's name.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

using TickCountFunction = ULONGLONG(WINAPI*)();

// The high half counts the wraps of GetTickCount (every 49.7 days), the low half is the last
// count seen. A count below the last one seen is a wrap: the last one was read before this one.
ULONGLONG WINAPI CountedTickCount() {
    static std::atomic<std::uint64_t> last{0};
    std::uint64_t seen = last.load();
    for (;;) {
        const std::uint32_t now = GetTickCount();
        const std::uint64_t wraps = (seen >> 32) + (now < static_cast<std::uint32_t>(seen) ? 1 : 0);
        const std::uint64_t next = (wraps << 32) | now;
        if (next == seen || last.compare_exchange_weak(seen, next)) return next;
    }
}

std::atomic<TickCountFunction> g_chosen{nullptr};

ULONGLONG WINAPI TickCount64() {
    TickCountFunction chosen = g_chosen.load(std::memory_order_relaxed);
    if (chosen == nullptr) {
        chosen = reinterpret_cast<TickCountFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
        if (chosen == nullptr) chosen = &CountedTickCount;
        g_chosen.store(chosen, std::memory_order_relaxed);
    }
    return chosen();
}

}  // namespace

// The import's address slot, by the name the import library would give it.
#ifdef _WIN64
#define PIXWALL_TICK_COUNT_IMPORT "__imp_GetTickCount64"
#else
#define PIXWALL_TICK_COUNT_IMPORT "__imp__GetTickCount64@0"
#endif
extern "C" {
extern TickCountFunction g_tickCount64Import __asm__(PIXWALL_TICK_COUNT_IMPORT);
TickCountFunction g_tickCount64Import = &TickCount64;
}
