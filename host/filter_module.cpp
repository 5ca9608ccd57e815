#include "filter_module.h"

#include <dlfcn.h>

#include <cstring>

std::unique_ptr<FilterModule> FilterModule::Load(const std::string& path, std::string& error) {
    std::unique_ptr<FilterModule> module(new FilterModule);
    module->path_ = path;
    module->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module->handle_ == nullptr) {
        const char* reason = dlerror();
        error = "cannot load filter module " + path + ": " + (reason ? reason : "unknown error");
        return nullptr;
    }
    auto getFilterVersion =
        reinterpret_cast<GetFilterVersionFn>(dlsym(module->handle_, "GetFilterVersion"));
    module->httpFilterProc_ =
        reinterpret_cast<HttpFilterProcFn>(dlsym(module->handle_, "HttpFilterProc"));
    if (getFilterVersion == nullptr || module->httpFilterProc_ == nullptr) {
        error =
            "not a filter module (GetFilterVersion and HttpFilterProc are not both exported): " +
            path;
        return nullptr;
    }

    HTTP_FILTER_VERSION version{};
    version.dwServerFilterVersion = 0x60000;  // the interface of IIS 6
    if (!getFilterVersion(&version)) {
        error = "filter module refused to start (GetFilterVersion returned FALSE): " + path;
        return nullptr;
    }
    version.lpszFilterDesc[SF_MAX_FILTER_DESC_LEN - 1] = '\0';
    module->description_ = version.lpszFilterDesc;
    module->flags_ = version.dwFlags;
    return module;
}

FilterModule::~FilterModule() {
    if (handle_ != nullptr) dlclose(handle_);
}

DWORD FilterModule::PreprocHeaders(HTTP_FILTER_CONTEXT* context,
                                   HTTP_FILTER_PREPROC_HEADERS* headers) const {
    constexpr DWORD kWanted = SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_NONSECURE_PORT;
    if ((flags_ & kWanted) != kWanted) return SF_STATUS_REQ_NEXT_NOTIFICATION;
    return httpFilterProc_(context, SF_NOTIFY_PREPROC_HEADERS, headers);
}
