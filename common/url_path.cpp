#include "url_path.h"

#include <string>

#include "text.h"

std::optional<std::string_view> ServedPath(std::string_view target, char* buffer) {
    if (target.empty() || target.front() != '/') return std::nullopt;
    std::size_t size = 0;
    std::size_t segment = 0;  // where the segment being written starts, after its "/"
    // Ends that segment: a "." goes, a ".." goes with the segment before it. False above the
    // root.
    const auto endSegment = [&] {
        const std::string_view written(buffer + segment, size - segment);
        if (written == ".") {
            size = segment;
        } else if (written == "..") {
            if (segment == 1) return false;
            size = segment - 1;
            while (buffer[size - 1] != '/') --size;
        }
        return true;
    };
    for (std::size_t i = 0; i < target.size(); ++i) {
        char c = target[i];
        // The query or the fragment ends the path; looked for here, since find_first_of calls
        // memchr for every byte of the target.
        if (c == '?' || c == '#') break;
        if (c == '%') {
            const auto byte = text::DecodeEscapeAt(target, i);
            if (!byte) return std::nullopt;
            c = *byte;
            i += 2;
        }
        if (c == '\0') return std::nullopt;
        if (c != '/' && c != '\\') {
            buffer[size++] = c;
            continue;
        }
        if (!endSegment()) return std::nullopt;
        if (size == 0 || buffer[size - 1] != '/') buffer[size++] = '/';
        segment = size;
    }
    if (!endSegment()) return std::nullopt;
    return std::string_view(buffer, size);
}

std::optional<std::filesystem::path> PathBelowRoot(std::string_view target) {
    std::string buffer(target.size(), '\0');
    const auto path = ServedPath(target, buffer.data());
    if (!path || path->find(':') != std::string_view::npos) return std::nullopt;
    return std::filesystem::path(path->substr(1));
}
