#include <dlfcn.h>

#include <utility>

#include "platform/shared_library.h"

namespace platform {

SharedLibrary::SharedLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason ? reason : "cannot load " + path;
    }
}

SharedLibrary::~SharedLibrary() { Unload(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
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
