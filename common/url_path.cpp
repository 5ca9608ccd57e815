#include "url_path.h"

#include <string>

#include "text.h"

std::optional<std::filesystem::path> PathBelowRoot(std::string_view path) {
    if (path.empty() || path.front() != '/') return std::nullopt;
    std::string decoded;
    decoded.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == '%') {
            const auto byte = text::DecodeEscapeAt(path, i);
            if (!byte) return std::nullopt;
            c = *byte;
            if (c == '/' || c == '\\' || c == '\0') return std::nullopt;
            i += 2;
        } else if (c == '\\' || c == '\0' || c == ':') {
            return std::nullopt;
        }
        decoded.push_back(c);
    }
    std::filesystem::path relative;
    std::string_view rest = decoded;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty()) continue;
        if (segment == "." || segment == "..") return std::nullopt;
        relative /= std::string(segment);
    }
    return relative;
}
