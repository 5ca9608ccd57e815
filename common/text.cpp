#include "text.h"

#include <algorithm>

namespace text {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<char> DecodeEscapeAt(std::string_view value, std::size_t at) {
    if (at + 2 >= value.size() || value[at] != '%') return std::nullopt;
    const int high = HexDigit(value[at + 1]);
    const int low = HexDigit(value[at + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    return static_cast<char>(high * 16 + low);
}

void AppendEscape(std::string& out, char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto value = static_cast<unsigned char>(byte);
    out += '%';
    out += kHex[value >> 4];
    out += kHex[value & 0xF];
}

std::string EscapeSectionName(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == '%' || c == '\t' || IsControlByte(c)) {
            AppendEscape(out, c);
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeSectionName(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (const auto byte = DecodeEscapeAt(text, at)) {
            out += *byte;
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

std::string ToLower(std::string_view value) {
    std::string lower(value);
    for (char& c : lower) c = ToLower(c);
    return lower;
}

std::uint64_t Fingerprint(std::string_view value) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : value) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string_view Trim(std::string_view value) {
    const auto first = value.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) return {};
    return value.substr(first, value.find_last_not_of(kWhitespace) - first + 1);
}

std::string_view TrimRight(std::string_view value) {
    const auto last = value.find_last_not_of(kWhitespace);
    return last == std::string_view::npos ? std::string_view() : value.substr(0, last + 1);
}

std::string RemoveAll(std::string_view value, std::string_view what) {
    std::string out;
    out.reserve(value.size());
    while (!what.empty()) {
        const auto at = value.find(what);
        if (at == std::string_view::npos) break;
        out.append(value.substr(0, at));
        value.remove_prefix(at + what.size());
    }
    out.append(value);
    return out;
}

// Each position folded and compared once (lexicographical_compare would compare it both ways):
// the registry stand-in's maps compare long key paths with it.
bool LessIgnoreCase::operator()(std::string_view a, std::string_view b) const {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(ToLower(a[i]));
        const auto y = static_cast<unsigned char>(ToLower(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

}  // namespace text
