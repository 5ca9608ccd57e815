// One loaded filter module, reached only through its two exports, registered once with
// GetFilterVersion and unloaded when destroyed.
#pragma once

#include <memory>
#include <string>

#include "platform/isapi.h"
#include "platform/shared_library.h"

class FilterModule {
  public:
    // Loads the module, resolves the exports and calls GetFilterVersion. On failure returns null
    // and says why in `error`.
    static std::unique_ptr<FilterModule> Load(const std::string& path, std::string& error);
    // Loads the module only to check that it is a filter module, and unloads it again without
    // starting it (a started module runs threads of its own). False with the reason in `error`.
    static bool Check(const std::string& path, std::string& error);
    ~FilterModule();
    FilterModule(const FilterModule&) = delete;
    FilterModule& operator=(const FilterModule&) = delete;

    // The preprocessed-headers notification, when the module registered for it on plain HTTP
    // ports; SF_STATUS_REQ_NEXT_NOTIFICATION otherwise.
    DWORD PreprocHeaders(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers) const;

    const std::string& Path() const { return path_; }
    const std::string& Description() const { return description_; }

  private:
    FilterModule() = default;
    // Loads the library and resolves both exports; false with the reason in `error`.
    bool Open(const std::string& path, std::string& error);

    std::string path_;
    platform::SharedLibrary library_;
    GetFilterVersionFn getFilterVersion_ = nullptr;
    HttpFilterProcFn httpFilterProc_ = nullptr;
    std::string description_;
    DWORD flags_ = 0;
};
