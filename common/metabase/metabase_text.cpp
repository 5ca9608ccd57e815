// File format of the stand-in metabase (UTF-8 text, lines ending in LF):
//
//   ; Stand-in IIS metabase ...         the first line, as Format writes it; no other comments
//   [/lm/w3svc/1]                       a key, by its full path; every key has a section
//   1015 STRING "Default Web Site"      a property: identifier, data type, value
//   2042 DWORD 1
//   1002 STRING "IIsFilters" ut=1 attr=0
//
// Data types: DWORD (decimal), STRING, EXPANDSZ and MULTISZ (double-quoted, with \\ \" \n \r \t
// and \0 escapes; the strings of a MULTISZ separated by \0), BINARY (hex digits). "ut=" (user
// type, default 1) and "attr=" (attributes, default 0) follow the value when they differ from
// their defaults. In a key path "%" and control characters are written "%XX". Keys keep their
// order of creation, which is the order in which EnumKeys gives them. A line that cannot be read
// makes the whole file unreadable, so that no change ever drops what it could not understand.
#include <cstdio>
#include <cstdlib>

#include "metabase/metabase_text.h"
#include "text.h"
#include "wide_text.h"

namespace metabase {
namespace {

std::uint32_t TypeFromName(std::string_view name) {
    for (std::uint32_t type = kDwordMetadata; type <= kMultiSzMetadata; ++type) {
        if (name == TypeName(type)) return type;
    }
    return kAllMetadata;
}

// The text of a string property without its terminating zero(s).
std::u16string StoredText(const Property& property) {
    std::u16string text = FromBytes(property.data);
    const std::size_t zeros = property.dataType == kMultiSzMetadata ? 2 : 1;
    for (std::size_t i = 0; i < zeros && !text.empty() && text.back() == u'\0'; ++i) {
        text.pop_back();
    }
    return text;
}

void AppendQuoted(std::string& out, const std::string& value) {
    out.push_back('"');
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out.push_back(c);
        }
    }
    out.push_back('"');
}

constexpr const char* kHeader =
    "; Stand-in IIS metabase of pixwall/taliscom: [key path], then \"identifier TYPE "
    "value\" lines.";

void FormatNode(const Node& node, const std::string& path, std::string& out) {
    if (!path.empty()) out += "\n[" + text::EscapeSectionName(path) + "]\n";
    for (const Property& property : node.properties) {
        const char* type = TypeName(property.dataType);
        if (type == nullptr) continue;
        out += std::to_string(property.identifier) + " " + type + " ";
        if (property.dataType == kDwordMetadata) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < 4 && i < property.data.size(); ++i) {
                value |= static_cast<std::uint32_t>(property.data[i]) << (8 * i);
            }
            out += std::to_string(value);
        } else if (property.dataType == kBinaryMetadata) {
            char hex[3];
            for (const unsigned char byte : property.data) {
                std::snprintf(hex, sizeof hex, "%02x", byte);
                out += hex;
            }
        } else {
            AppendQuoted(out, text::Utf16ToUtf8(StoredText(property)));
        }
        if (property.userType != kUserTypeServer) {
            out += " ut=" + std::to_string(property.userType);
        }
        if (property.attributes != kNoAttributes) {
            out += " attr=" + std::to_string(property.attributes);
        }
        out += "\n";
    }
    for (const auto& child : node.children) {
        FormatNode(*child, path + "/" + text::Utf16ToUtf8(child->name), out);
    }
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool ParseQuoted(std::string_view& rest, std::string& value) {
    if (rest.empty() || rest.front() != '"') return false;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < rest.size()) {
            const char next = rest[++i];
            value.push_back(next == 'n'   ? '\n'
                            : next == 'r' ? '\r'
                            : next == 't' ? '\t'
                            : next == '0' ? '\0'
                                          : next);
        } else {
            value.push_back(c);
        }
    }
    return false;
}

std::string_view NextWord(std::string_view& rest) {
    rest = Trim(rest);
    const auto end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    return word;
}

bool ParseNumber(std::string_view word, std::uint32_t& value) {
    if (word.empty() || word.size() > 10) return false;
    std::uint64_t number = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFu) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool ParseProperty(std::string_view line, Property& property) {
    if (!ParseNumber(NextWord(line), property.identifier)) return false;
    property.dataType = TypeFromName(NextWord(line));
    property.userType = kUserTypeServer;
    property.attributes = kNoAttributes;
    line = Trim(line);
    if (property.dataType == kDwordMetadata) {
        std::uint32_t value = 0;
        if (!ParseNumber(NextWord(line), value)) return false;
        property.data = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                         static_cast<unsigned char>(value >> 16),
                         static_cast<unsigned char>(value >> 24)};
    } else if (property.dataType == kBinaryMetadata) {
        std::string_view peek = line;
        std::string_view hex = NextWord(peek);
        if (hex.starts_with("ut=") || hex.starts_with("attr=")) {
            hex = {};  // no bytes; the word is read again below
        } else {
            line = peek;
        }
        if (hex.size() % 2 != 0) return false;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const std::string digits(hex.substr(i, 2));
            char* end = nullptr;
            const unsigned long byte = std::strtoul(digits.c_str(), &end, 16);
            if (end != digits.c_str() + 2) return false;
            property.data.push_back(static_cast<unsigned char>(byte));
        }
    } else if (IsStringType(property.dataType)) {
        std::string value;
        if (!ParseQuoted(line, value)) return false;
        std::u16string text = text::Utf8ToUtf16(value);
        text.push_back(u'\0');
        if (property.dataType == kMultiSzMetadata) text.push_back(u'\0');
        property.data = ToBytes(text);
    } else {
        return false;
    }
    for (std::string_view word = NextWord(line); !word.empty(); word = NextWord(line)) {
        if (word.starts_with("ut=")) {
            if (!ParseNumber(word.substr(3), property.userType)) return false;
        } else if (word.starts_with("attr=")) {
            if (!ParseNumber(word.substr(5), property.attributes)) return false;
        } else {
            return false;
        }
    }
    return true;
}

// Parse with `skipped` null, ParseSkipping with it.
std::unique_ptr<Node> ParseLines(const std::string& text, std::string& error,
                                 std::vector<SkippedLine>* skipped) {
    auto root = std::make_unique<Node>();
    Node* current = nullptr;
    std::string currentKey;  // as written, for the lines skipped in it
    std::string_view rest = text;
    // Strict: the first unreadable line fails the whole text. Skipping: the line is listed.
    const auto fail = [&](std::size_t line, const char* reason, bool keyUncertain = false) {
        if (skipped == nullptr) {
            error = "line " + std::to_string(line) + ": " + reason;
            return false;
        }
        skipped->push_back({line, reason, currentKey, keyUncertain});
        return true;
    };
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const auto end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || (number == 1 && line == kHeader)) continue;
        if (line.front() == ';') {
            if (skipped != nullptr) continue;
            if (!fail(number, "comments are not allowed")) return nullptr;
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            const std::string name = text::UnescapeSectionName(line.substr(1, line.size() - 2));
            const auto path = SplitPath(text::Utf8ToUtf16(name));
            currentKey = name;
            if (path.size() > kMaxKeyDepth) {
                current = nullptr;
                if (!fail(number, "key path deeper than 64 levels")) return nullptr;
                continue;
            }
            current = &MakeNode(*root, path);
            continue;
        }
        if (current == nullptr) {
            if (!fail(number, "a property outside any key")) return nullptr;
            continue;
        }
        Property property;
        if (!ParseProperty(line, property)) {
            if (!fail(number, "unreadable property", line.front() == '[')) return nullptr;
            continue;
        }
        SetProperty(*current, std::move(property));
    }
    return root;
}

}  // namespace

std::string Format(const Node& root) {
    std::string out = std::string(kHeader) + "\n";
    if (!root.properties.empty()) {
        out += "\n[/]\n";
        Node copy;
        copy.properties = root.properties;
        FormatNode(copy, "", out);
    }
    for (const auto& child : root.children) {
        FormatNode(*child, "/" + text::Utf16ToUtf8(child->name), out);
    }
    return out;
}

std::unique_ptr<Node> Parse(const std::string& text, std::string& error) {
    return ParseLines(text, error, nullptr);
}

std::unique_ptr<Node> ParseSkipping(const std::string& text, std::vector<SkippedLine>& skipped) {
    std::string unused;
    return ParseLines(text, unused, &skipped);
}

}  // namespace metabase
