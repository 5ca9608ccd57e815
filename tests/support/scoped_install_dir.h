// Sets the registry value "install_dir" of the filter for one test and restores the registry.
#pragma once

#include <string>

#include "temp_folder.h"

class ScopedInstallDir {
  public:
    explicit ScopedInstallDir(const std::string& folder);
    ~ScopedInstallDir();
    ScopedInstallDir(const ScopedInstallDir&) = delete;
    ScopedInstallDir& operator=(const ScopedInstallDir&) = delete;

  private:
    TempFolder registryFolder_;  // holds the stand-in registry file where there is no registry
};
