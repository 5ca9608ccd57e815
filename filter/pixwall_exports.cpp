// The module's two exports and its single filter object, which lives from load to unload.
#include <new>

#include "hotlink_filter.h"
#include "platform/module_file.h"
#include "platform/paths.h"

#ifdef _WIN32
#define PIXWALL_EXPORT
#else
#define PIXWALL_EXPORT __attribute__((visibility("default")))
#endif

namespace {

HotlinkFilter* g_filter = nullptr;

// Creates the filter object when the module is loaded and destroys it when it is unloaded.
struct FilterLifetime {
    FilterLifetime() { g_filter = new (std::nothrow) HotlinkFilter; }
    ~FilterLifetime() {
        delete g_filter;
        g_filter = nullptr;
    }
} g_lifetime;

}  // namespace

extern "C" PIXWALL_EXPORT BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
    if (g_filter == nullptr || version == nullptr) return FALSE;
    try {
        // The folder part of the module's own path, whatever the file is called: a copy named
        // pixwall-v2.so must find its settings too, not take its own path for a folder.
        const std::string path = platform::ThisModulePath();
        const std::size_t separator = path.rfind(platform::kPathSeparator);
        const std::string folder =
            separator == std::string::npos ? std::string() : path.substr(0, separator);
        return g_filter->GetFilterVersion(version, folder);
    } catch (...) {
        return TRUE;  // start-up never fails; whatever did not come up stays absent
    }
}

extern "C" PIXWALL_EXPORT DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* context,
                                                      DWORD notificationType, void* notification) {
    if (g_filter == nullptr || notificationType != SF_NOTIFY_PREPROC_HEADERS) {
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    }
    try {
        return g_filter->HandleRequestHeaders(
            context, static_cast<HTTP_FILTER_PREPROC_HEADERS*>(notification));
    } catch (...) {
        // Out of memory in the middle of a request: let the server go on with it.
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    }
}
