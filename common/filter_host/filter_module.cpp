#include "filter_module.h"

#include <cstring>

bool FilterModule::Open(const std::string& path, std::string& error) {
    path_ = path;
    library_ = platform::SharedLibrary(path);
    if (!library_.Loaded()) {
        error = "cannot load filter module " + path + ": " + library_.Error();
        return false;
    }
    getFilterVersion_ = library_.Find<GetFilterVersionFn>("GetFilterVersion");
    httpFilterProc_ = library_.Find<HttpFilterProcFn>("HttpFilterProc");
    if (getFilterVersion_ == nullptr || httpFilterProc_ == nullptr) {
        error =
            "not a filter module (GetFilterVersion and HttpFilterProc are not both exported): " +
            path;
        return false;
    }
    return true;
}

bool FilterModule::Check(const std::string& path, std::string& error) {
    FilterModule module;
    return module.Open(path, error);
}

std::unique_ptr<FilterModule> FilterModule::Load(const std::string& path, std::string& error) {
    std::unique_ptr<FilterModule> module(new FilterModule);
    if (!module->Open(path, error)) return nullptr;

    HTTP_FILTER_VERSION version{};
    version.dwServerFilterVersion = 0x60000;  // the interface of IIS 6
    if (!module->getFilterVersion_(&version)) {
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
