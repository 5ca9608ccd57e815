#include "filter_module.h"

#include <cstring>

std::unique_ptr<FilterModule> FilterModule::Load(const std::string& path, std::string& error) {
    std::unique_ptr<FilterModule> module(new FilterModule);
    module->path_ = path;
    module->library_ = platform::SharedLibrary(path);
    if (!module->library_.Loaded()) {
        error = "cannot load filter module " + path + ": " + module->library_.Error();
        return nullptr;
    }
    auto getFilterVersion = module->library_.Find<GetFilterVersionFn>("GetFilterVersion");
    module->httpFilterProc_ = module->library_.Find<HttpFilterProcFn>("HttpFilterProc");
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

FilterModule::~FilterModule() = default;

DWORD FilterModule::PreprocHeaders(HTTP_FILTER_CONTEXT* context,
                                   HTTP_FILTER_PREPROC_HEADERS* headers) const {
    constexpr DWORD kWanted = SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_NONSECURE_PORT;
    if ((flags_ & kWanted) != kWanted) return SF_STATUS_REQ_NEXT_NOTIFICATION;
    return httpFilterProc_(context, SF_NOTIFY_PREPROC_HEADERS, headers);
}
