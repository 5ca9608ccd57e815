// Profile (INI) text, read as the Windows profile functions read a file: section and key names
// without regard to case, the value after "=" with surrounding blanks and enclosing quotes
// removed, the first of two equal keys kept. The POSIX stand-in reads its files with these; they
// work on the whole text of a file, so that it is read once and parsed in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform {

// ReadProfileString (platform/profile.h) on the text of a file.
std::string ReadProfileTextString(std::string_view text, std::string_view section,
                                  std::string_view key, const char* defaultValue,
                                  std::size_t bufferSize);

// ReadProfileInt's rule, on the value read with an empty default into this many characters: the
// default when the value is empty, else the decimal number it starts with (0 when it starts with
// none), as an unsigned 32-bit number.
inline constexpr std::size_t kProfileNumberBufferSize = 30;
unsigned ProfileNumber(std::string_view value, int defaultValue);

// One section of profile text, parsed once for reading many of its keys: Read gives what
// ReadProfileTextString gives for the same key.
class ProfileTextSection {
  public:
    ProfileTextSection() = default;
    ProfileTextSection(std::string_view text, std::string_view section);
    std::string Read(std::string_view key, const char* defaultValue, std::size_t bufferSize) const;

  private:
    std::unordered_map<std::string, std::string> values_;  // by lowercased key, first one kept
};

}  // namespace platform
