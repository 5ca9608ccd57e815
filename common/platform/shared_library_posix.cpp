#include <dlfcn.h>

#include "platform/shared_library.h"

namespace platform {

SharedLibrary::SharedLibrary(const std::filesystem::path& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason ? reason : "cannot load " + path.string();
    }
}

void SharedLibrary::Unload() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
}

SharedLibrary::GenericFunction SharedLibrary::FindFunction(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<GenericFunction>(dlsym(handle_, name));
}

}  // namespace platform
