// A site's document root: maps a request target to a file inside it, as the filter reads the
// target (ServedPath), and never to anything outside it (no ".." above it, no links leading out).
#pragma once

#include <filesystem>
#include <string_view>

class DocumentRoot {
  public:
    // The root must exist; it is resolved once, links included.
    explicit DocumentRoot(const std::filesystem::path& root);

    enum class Outcome { kFound, kNotFound, kBadRequest };
    struct Lookup {
        Outcome outcome = Outcome::kNotFound;
        std::filesystem::path file;  // when found: the regular file to serve
    };

    // `target` is the request target in origin form ("/images/a.gif?x=1"). A folder stands for
    // its "index.html".
    Lookup Resolve(std::string_view target) const;

    const std::filesystem::path& Path() const { return root_; }

    // The Content-Type for a file, by its extension.
    static std::string_view ContentType(const std::filesystem::path& file);

  private:
    std::filesystem::path root_;
};
