// UTF-16 text: conversions to and from UTF-8 and the platform's narrow spelling, and case folding
// for A-Z only. The component works in UTF-16; the manager and the stand-in web server meet it here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace text {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Maps A-Z to a-z and leaves every other character unchanged.
std::u16string FoldLower(std::u16string_view text);
bool EqualsFolded(std::u16string_view a, std::u16string_view b);

// Text in the platform's narrow spelling for file names and the registry: UTF-8 on POSIX, the
// ANSI code page on Windows.
std::string ToNarrow(std::u16string_view text);
std::u16string FromNarrow(std::string_view text);
// A file name as the platform's file functions take it: the UTF-16 text itself on Windows, its
// narrow spelling elsewhere.
std::filesystem::path ToNativePath(std::u16string_view text);

}  // namespace text
