#include "platform/registry_text.h"

#include <cstdio>

namespace platform {
namespace {

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote. Besides
// REGEDIT4's \" and \\, \n and \r stand for line breaks, which a line cannot hold.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < text.size()) {
            const char next = text[++pos];
            out.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : next);
        } else {
            out.push_back(c);
        }
    }
    return std::nullopt;
}

void AppendQuoted(std::string& out, std::string_view value) {
    out.push_back('"');
    for (const char c : value) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            if (c == '"' || c == '\\') out.push_back('\\');
            out.push_back(c);
        }
    }
    out.push_back('"');
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "hex:" or "hex(N):" followed by comma-separated bytes, as regedit writes other value types.
bool IsRawValue(std::string_view value) {
    std::size_t at = 0;
    if (value.starts_with("hex:")) {
        at = 4;
    } else if (value.starts_with("hex(")) {
        const auto close = value.find("):");
        if (close == std::string_view::npos || close == 4) return false;
        for (std::size_t i = 4; i < close; ++i) {
            if (!IsHexDigit(value[i])) return false;
        }
        at = close + 2;
    } else {
        return false;
    }
    for (; at < value.size(); ++at) {
        const char c = value[at];
        if (!IsHexDigit(c) && c != ',' && c != ' ' && c != '\t') return false;
    }
    return true;
}

std::optional<std::uint32_t> ReadDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (!IsHexDigit(c)) return std::nullopt;
        const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace

std::optional<RegistryTree> ParseRegistryText(std::string_view text, std::string& error) {
    RegistryTree tree;
    RegistryKeyData* current = nullptr;
    bool header = false;
    std::size_t number = 0;
    const auto fail = [&](std::size_t line, const char* reason) {
        error = "line " + std::to_string(line) + ": " + reason;
        return std::nullopt;
    };
    for (std::string_view rest = text; !rest.empty();) {
        auto end = rest.find('\n');
        std::string joined(text::Trim(rest.substr(0, end)));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t first = ++number;
        // A long hex value continues on the next line after a trailing "\".
        while (!joined.empty() && joined.back() == '\\' &&
               joined.find("=hex") != std::string::npos && !rest.empty()) {
            joined.pop_back();
            end = rest.find('\n');
            joined += text::Trim(rest.substr(0, end));
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            ++number;
        }
        // Blanks before a "\" that a continuation line did not follow up end the line, as
        // blanks at its end do: the value reads back the same once written on one line.
        const std::string_view line = text::Trim(joined);
        if (line.empty()) continue;
        if (!header) {
            if (line != "REGEDIT4") return fail(first, "the file must begin with REGEDIT4");
            header = true;
            continue;
        }
        if (line.front() == ';') return fail(first, "comments are not allowed");
        if (line.front() == '[' && line.back() == ']') {
            const std::string path = text::UnescapeSectionName(line.substr(1, line.size() - 2));
            if (path.empty() || path.front() == '-') return fail(first, "not a key name");
            current = &tree[path];
            continue;
        }
        if (current == nullptr) return fail(first, "a value outside any key");
        std::size_t pos = 0;
        std::string name;
        if (line.front() == '@') {
            pos = 1;
        } else if (auto quoted = ReadQuoted(line, pos)) {
            name = *quoted;
        } else {
            return fail(first, "not a key, a value or a blank line");
        }
        if (pos >= line.size() || line[pos] != '=') return fail(first, "\"=\" expected");
        ++pos;
        const std::string_view value = line.substr(pos);
        if (!value.empty() && value.front() == '"') {
            auto read = ReadQuoted(line, pos);
            if (!read || pos != line.size()) return fail(first, "unreadable string value");
            current->values[name] = std::move(*read);
        } else if (value.starts_with("dword:")) {
            const auto dword = ReadDword(value.substr(6));
            if (!dword) return fail(first, "unreadable dword value");
            current->values[name] = *dword;
        } else if (IsRawValue(value)) {
            current->values[name] = RegistryRawValue{std::string(value)};
        } else {
            return fail(first, "unknown value type");
        }
    }
    return tree;
}

std::string FormatRegistryText(const RegistryTree& tree) {
    std::string out = "REGEDIT4\n";
    for (const auto& [path, key] : tree) {
        out += "\n[" + text::EscapeSectionName(path) + "]\n";
        for (const auto& [name, value] : key.values) {
            if (name.empty()) {
                out += "@";
            } else {
                AppendQuoted(out, name);
            }
            out += "=";
            if (const auto* string = std::get_if<std::string>(&value)) {
                AppendQuoted(out, *string);
            } else if (const auto* raw = std::get_if<RegistryRawValue>(&value)) {
                out += raw->text;
            } else {
                char digits[16];
                std::snprintf(digits, sizeof digits, "dword:%08x",
                              static_cast<unsigned>(std::get<std::uint32_t>(value)));
                out += digits;
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace platform
