#include "document_root.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "text.h"
#include "url_path.h"

namespace fs = std::filesystem;

namespace {

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
    // The path the filter judged (ServedPath), so that the file served is the file judged.
    const auto relative = PathBelowRoot(target);
    if (!relative) return {Outcome::kBadRequest, {}};

    std::error_code error;
    fs::path file = fs::canonical(root_ / *relative, error);
    if (error) return {Outcome::kNotFound, {}};
    if (fs::is_directory(file, error)) {
        file = fs::canonical(file / "index.html", error);
        if (error) return {Outcome::kNotFound, {}};
    } else if (!relative->empty() && !relative->has_filename()) {
        // "photo.jpg/" names a folder that is not there (as IIS, nginx and Apache answer); the
        // filter reads its type as "jpg/" and must not let the file out under it.
        return {Outcome::kNotFound, {}};
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
