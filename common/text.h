// Byte-string helpers shared by the deliverables. Letter case is folded for A-Z only, as the
// C runtime does in the "C" locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace text {

inline constexpr std::string_view kWhitespace = " \t\r\n\v\f";

constexpr char ToLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string ToLower(std::string_view value);
std::string_view Trim(std::string_view value);
std::string_view TrimRight(std::string_view value);
// Inline: request adapters compare every header and variable name with it.
constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    }
    return true;
}
// A control byte that a line of text must not carry: below 0x20 (tab aside), and DEL.
constexpr bool IsControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}
// Appends `byte` as "%XX", in upper-case hex.
void AppendEscape(std::string& out, char byte);

// Removes every occurrence of `what` from `value`, comparing case-sensitively.
std::string RemoveAll(std::string_view value, std::string_view what);
// The byte that a URL escape "%XX" at value[at] stands for; absent when no well-formed escape
// (a "%" and two hex digits of either case) starts there.
std::optional<char> DecodeEscapeAt(std::string_view value, std::size_t at);
// A 64-bit FNV-1a hash: the same in every process, build and platform, so that it can name what
// processes share.
std::uint64_t Fingerprint(std::string_view value);

// A key path as the text between "[" and "]" of a store file's section line: "%" and control
// characters (line breaks above all) as "%XX", so that any name reads back as written.
std::string EscapeSectionName(std::string_view name);
// The reverse; a "%" that starts no well-formed escape stands for itself.
std::string UnescapeSectionName(std::string_view text);

struct LessIgnoreCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

}  // namespace text
