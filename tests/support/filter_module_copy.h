// A copy of the built filter module in a folder of the test's choosing, loaded through the
// platform's loader and called only through its two exports.
#pragma once

#include <string>

#include "platform/isapi.h"
#include "platform/shared_library.h"

class FilterModuleCopy {
  public:
    // Copies the module to folder/fileName and loads it; Loaded() tells whether that worked.
    FilterModuleCopy(const std::string& folder, const std::string& fileName);
    FilterModuleCopy(const FilterModuleCopy&) = delete;
    FilterModuleCopy& operator=(const FilterModuleCopy&) = delete;

    bool Loaded() const { return getFilterVersion_ != nullptr && httpFilterProc_ != nullptr; }
    void Unload() { library_.Unload(); }

    BOOL GetFilterVersion(HTTP_FILTER_VERSION* version) const { return getFilterVersion_(version); }
    DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* context, DWORD type, void* notification) const {
        return httpFilterProc_(context, type, notification);
    }

    // The built module's own path, and its file name on this platform ("pixwall.dll"/".so").
    static std::string BuiltModulePath();
    static const char* FileName();

  private:
    platform::SharedLibrary library_;
    GetFilterVersionFn getFilterVersion_ = nullptr;
    HttpFilterProcFn httpFilterProc_ = nullptr;
};
