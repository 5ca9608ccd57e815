#include "filter_module_copy.h"

#include <filesystem>

std::string FilterModuleCopy::BuiltModulePath() {
    std::string path = PIXWALL_MODULE;
#ifdef _WIN32
    // Under Wine the build tree is reached through the drive that maps the Unix root.
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
#endif
    return path;
}

const char* FilterModuleCopy::FileName() {
#ifdef _WIN32
    return "pixwall.dll";
#else
    return "pixwall.so";
#endif
}

FilterModuleCopy::FilterModuleCopy(const std::string& folder, const std::string& fileName) {
    const std::filesystem::path target = std::filesystem::path(folder) / fileName;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(BuiltModulePath(), target,
                               std::filesystem::copy_options::overwrite_existing);
    library_ = platform::SharedLibrary(target.string());
    getFilterVersion_ = library_.Find<GetFilterVersionFn>("GetFilterVersion");
    httpFilterProc_ = library_.Find<HttpFilterProcFn>("HttpFilterProc");
}
