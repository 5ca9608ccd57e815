#include "platform/registry_text.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

// Reads a quoted REGEDIT4 string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < text.size()) ++pos;
        out.push_back(text[pos]);
    }
    return std::nullopt;
}

void AppendQuoted(std::string& out, std::string_view value) {
    out.push_back('"');
    for (const char c : value) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

RegistryTree ParseRegistryText(std::string_view text) {
    RegistryTree tree;
    RegistryKeyData* current = nullptr;
    for (std::string_view rest = text; !rest.empty();) {
        const auto end = rest.find('\n');
        const std::string_view line = text::Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            current = &tree[std::string(line.substr(1, line.size() - 2))];
            continue;
        }
        if (current == nullptr) continue;
        std::size_t pos = 0;
        std::string name;
        if (line.front() == '@') {
            pos = 1;
        } else if (auto quoted = ReadQuoted(line, pos)) {
            name = *quoted;
        } else {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        if (auto value = ReadQuoted(line, pos)) {
            current->values[name] = *value;
        } else if (line.substr(pos).starts_with("dword:")) {
            const std::string digits(line.substr(pos + 6));
            current->values[name] =
                static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        }
    }
    return tree;
}

std::string FormatRegistryText(const RegistryTree& tree) {
    std::string out = "REGEDIT4\n";
    for (const auto& [path, key] : tree) {
        out += "\n[" + path + "]\n";
        for (const auto& [name, value] : key.values) {
            if (name.empty()) {
                out += "@";
            } else {
                AppendQuoted(out, name);
            }
            out += "=";
            if (const auto* text = std::get_if<std::string>(&value)) {
                AppendQuoted(out, *text);
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
