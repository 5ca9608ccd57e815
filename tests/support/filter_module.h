// A copy of the built filter module in a folder of the test's choosing, loaded through the
// platform's loader and called only through its two exports.
#pragma once

#include <string>

#include "platform/isapi.h"

class FilterModule {
  public:
    // Copies the module to folder/fileName and loads it; Loaded() tells whether that worked.
    FilterModule(const std::string& folder, const std::string& fileName);
    ~FilterModule();  // unloads
    FilterModule(const FilterModule&) = delete;
    FilterModule& operator=(const FilterModule&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    void Unload();

    BOOL GetFilterVersion(HTTP_FILTER_VERSION* version) const { return getFilterVersion_(version); }
    DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* context, DWORD type, void* notification) const {
        return httpFilterProc_(context, type, notification);
    }

    // The built module's own path, and its file name on this platform ("pixwall.dll"/".so").
    static std::string BuiltModulePath();
    static const char* FileName();

  private:
    void* handle_ = nullptr;
    GetFilterVersionFn getFilterVersion_ = nullptr;
    HttpFilterProcFn httpFilterProc_ = nullptr;
};
