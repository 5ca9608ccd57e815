#include "wide_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace text {

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t code = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead < 0xF5) {
            const std::size_t wanted = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            code = lead & (0x3F >> (wanted - 1));
            // A sequence cut short ends at the first byte that does not continue it, which
            // starts the next character.
            while (length < wanted && i + length < text.size() &&
                   (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
                code = (code << 6) | (static_cast<unsigned char>(text[i + length]) & 0x3F);
                ++length;
            }
            // A longer form than needed ("\xE0\x80\xAF" for "/") or a code point past
            // U+10FFFF is no character: each would read as another text than it shows.
            const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
            if (length < wanted || overlong || code > 0x10FFFF) code = 0xFFFD;
        }
        i += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        // A surrogate without its other half keeps its own three-byte form, which the reader
        // above takes back, so that every UTF-16 text comes back as it was written: two names
        // that differ only there must not become one.
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

std::u16string FoldLower(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    return out;
}

bool EqualsFolded(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && FoldLower(a) == FoldLower(b);
}

#ifdef _WIN32
std::string ToNarrow(std::u16string_view text) {
    if (text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), length, nullptr, nullptr);
    return out;
}

std::u16string FromNarrow(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(length > 0 ? length : 0), u'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                            length);
    }
    return out;
}

std::filesystem::path ToNativePath(std::u16string_view text) {
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
}
#else
std::string ToNarrow(std::u16string_view text) { return Utf16ToUtf8(text); }
std::u16string FromNarrow(std::string_view text) { return Utf8ToUtf16(text); }
std::filesystem::path ToNativePath(std::u16string_view text) {
    return std::filesystem::path(ToNarrow(text));
}
#endif

}  // namespace text
