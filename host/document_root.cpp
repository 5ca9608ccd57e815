#include "document_root.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "text.h"

namespace fs = std::filesystem;

namespace {

// Decodes %XX escapes; absent for a malformed escape or one that would give a NUL or a
// separator, so that no escape can change how the path splits.
std::optional<std::string> DecodePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == '%') {
            const auto byte = text::DecodeEscapeAt(path, i);
            if (!byte) return std::nullopt;
            c = *byte;
            if (c == '/' || c == '\\' || c == '\0') return std::nullopt;
            i += 2;
        } else if (c == '\\' || c == '\0') {
            return std::nullopt;
        }
        out.push_back(c);
    }
    return out;
}

bool IsInside(const fs::path& file, const fs::path& root) {
    auto f = file.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++f) {
        if (f == file.end() || *f != *r) return false;
    }
    return true;
}

}  // namespace

DocumentRoot::DocumentRoot(const fs::path& root) : root_(fs::canonical(root)) {}

DocumentRoot::Lookup DocumentRoot::Resolve(std::string_view target) const {
    const std::string_view path = target.substr(0, target.find_first_of("?#"));
    if (path.empty() || path.front() != '/') return {Outcome::kBadRequest, {}};
    const auto decoded = DecodePath(path);
    if (!decoded) return {Outcome::kBadRequest, {}};

    fs::path relative;
    std::string_view rest = *decoded;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty()) continue;
        if (segment == "." || segment == "..") return {Outcome::kBadRequest, {}};
        relative /= std::string(segment);
    }

    std::error_code error;
    fs::path file = fs::canonical(root_ / relative, error);
    if (error) return {Outcome::kNotFound, {}};
    if (fs::is_directory(file, error)) {
        file = fs::canonical(file / "index.html", error);
        if (error) return {Outcome::kNotFound, {}};
    }
    // Links are followed only as far as the root: whatever resolves outside it does not exist.
    if (!IsInside(file, root_) || !fs::is_regular_file(file, error)) {
        return {Outcome::kNotFound, {}};
    }
    return {Outcome::kFound, std::move(file)};
}

std::string_view DocumentRoot::ContentType(const fs::path& file) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 16> kTypes{{
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".txt", "text/plain; charset=utf-8"},
        {".json", "application/json"},
        {".gif", "image/gif"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".png", "image/png"},
        {".bmp", "image/bmp"},
        {".svg", "image/svg+xml"},
        {".webp", "image/webp"},
        {".ico", "image/x-icon"},
        {".pdf", "application/pdf"},
        {".zip", "application/zip"},
    }};
    const std::string extension = text::ToLower(file.extension().string());
    for (const auto& [suffix, type] : kTypes) {
        if (extension == suffix) return type;
    }
    return "application/octet-stream";
}
