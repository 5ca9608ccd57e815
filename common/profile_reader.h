// Reader of one profile (INI) file.
#pragma once

#include <string>

class ProfileReader {
  public:
    explicit ProfileReader(std::string path);
    ~ProfileReader();
    ProfileReader(const ProfileReader&) = delete;
    ProfileReader& operator=(const ProfileReader&) = delete;

    // At most 259 characters; the default when the key is absent or its value is empty.
    std::string Read(const char* section, const char* key, const char* defaultValue = "") const;

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};
