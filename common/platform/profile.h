// Profile (INI) files, read as the Windows profile functions read them: section and key names
// without regard to case, the value after "=" with surrounding blanks and enclosing quotes
// removed, the default when the key is absent, the value cut to the buffer.
#pragma once

#include <cstddef>
#include <string>

#include "platform/profile_text.h"

namespace platform {

// Like GetPrivateProfileStringA: at most bufferSize - 1 characters; a key that is present with
// an empty value reads as empty, not as the default.
std::string ReadProfileString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, std::size_t bufferSize);

// Like GetPrivateProfileIntA: the default when the key is absent or empty, else the decimal
// number the value starts with (0 when it starts with none), as an unsigned 32-bit number.
unsigned ReadProfileInt(const std::string& path, const char* section, const char* key,
                        int defaultValue);

// Drops the platform's cached copy of the file so that the next read sees its contents.
void FlushProfileCache(const std::string& path);

// One section of a profile file, for reading many of its keys: Read gives what
// ReadProfileString gives for the same key, where the file is parsed once for all of them
// instead of once per key.
class ProfileSection {
  public:
    ProfileSection(const std::string& path, const char* section);
    std::string Read(const char* key, const char* defaultValue, std::size_t bufferSize) const;

  private:
    // Windows caches the file, so each key is read from it by name there; elsewhere the section
    // is parsed once into parsed_.
    std::string path_;
    std::string section_;
    ProfileTextSection parsed_;
};

}  // namespace platform
