// Points the registry stand-in (PIXWALL_REGISTRY) at a fresh file for one test.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/registry.h"
#include "temp_folder.h"

class RegistryFileFixture {
  public:
    RegistryFileFixture() : path_(folder_.PathOf("registry.reg")) {
        const char* old = std::getenv(platform::kRegistryFileVariable);
        if (old != nullptr) old_ = old;
        ::setenv(platform::kRegistryFileVariable, path_.c_str(), 1);
    }
    ~RegistryFileFixture() {
        if (old_) {
            ::setenv(platform::kRegistryFileVariable, old_->c_str(), 1);
        } else {
            ::unsetenv(platform::kRegistryFileVariable);
        }
    }
    const std::string& Path() const { return path_; }
    const TempFolder& Folder() const { return folder_; }

  private:
    TempFolder folder_;
    std::string path_;
    std::optional<std::string> old_;
};
