#include "filter_module.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

std::string FilterModule::BuiltModulePath() {
    std::string path = PIXWALL_MODULE_PATH;
#ifdef _WIN32
    // Under Wine the build tree is reached through the drive that maps the Unix root.
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
#endif
    return path;
}

const char* FilterModule::FileName() {
#ifdef _WIN32
    return "pixwall.dll";
#else
    return "pixwall.so";
#endif
}

FilterModule::FilterModule(const std::string& folder, const std::string& fileName) {
    const std::filesystem::path target = std::filesystem::path(folder) / fileName;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(BuiltModulePath(), target,
                               std::filesystem::copy_options::overwrite_existing);
#ifdef _WIN32
    HMODULE module = LoadLibraryA(target.string().c_str());
    if (module == nullptr) return;
    // Through void (*)(): GetProcAddress's own function type fits neither export.
    getFilterVersion_ = reinterpret_cast<GetFilterVersionFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "GetFilterVersion")));
    httpFilterProc_ = reinterpret_cast<HttpFilterProcFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "HttpFilterProc")));
    handle_ = module;
#else
    void* module = dlopen(target.string().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return;
    getFilterVersion_ = reinterpret_cast<GetFilterVersionFn>(dlsym(module, "GetFilterVersion"));
    httpFilterProc_ = reinterpret_cast<HttpFilterProcFn>(dlsym(module, "HttpFilterProc"));
    handle_ = module;
#endif
    if (getFilterVersion_ == nullptr || httpFilterProc_ == nullptr) Unload();
}

FilterModule::~FilterModule() { Unload(); }

void FilterModule::Unload() {
    if (handle_ == nullptr) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}
