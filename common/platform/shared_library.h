// A shared library loaded by the platform's loader (LoadLibrary / dlopen), unloaded when the
// object goes.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

namespace platform {

class SharedLibrary {
  public:
    SharedLibrary() = default;
    // Loads the file; Loaded() tells whether that worked and Error() why not.
    explicit SharedLibrary(const std::filesystem::path& path);
    ~SharedLibrary() { Unload(); }
    SharedLibrary(SharedLibrary&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}
    SharedLibrary& operator=(SharedLibrary&& other) noexcept {
        if (this != &other) {
            Unload();
            handle_ = std::exchange(other.handle_, nullptr);
            error_ = std::move(other.error_);
        }
        return *this;
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }
    void Unload();
    // Leaves the library loaded for the rest of the process (as COM keeps a component's library
    // until unused libraries are freed); this object lets go of it.
    void KeepLoaded() { handle_ = nullptr; }

    // The exported function of that name, or null.
    template <typename Function>
    Function Find(const char* name) const {
        // Through a generic function pointer: the loader's own type fits no real export.
        return reinterpret_cast<Function>(FindFunction(name));
    }

  private:
    using GenericFunction = void (*)();
    GenericFunction FindFunction(const char* name) const;

    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace platform
