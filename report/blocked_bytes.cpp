#include "blocked_bytes.h"

#include "text.h"

namespace fs = std::filesystem;

namespace {

// The URL's path as a path below the root; absent if it would lead anywhere else.
std::optional<fs::path> RelativePath(std::string_view url) {
    const std::string_view path = url.substr(0, url.find_first_of("?#"));
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
    fs::path relative;
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

}  // namespace

std::optional<std::uint64_t> BlockedBytes::SizeOf(std::string_view url) const {
    const auto relative = RelativePath(url);
    if (!relative || relative->empty()) return std::nullopt;
    std::error_code error;
    const fs::path file = root_ / *relative;
    if (!fs::is_regular_file(file, error)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error) return std::nullopt;
    return static_cast<std::uint64_t>(size);
}

BlockedBytes::Total BlockedBytes::Sum(const TopCounter& blockedFiles) {
    Total total;
    blockedFiles.ForEach([&](std::string_view url, std::uint64_t count) {
        auto [slot, added] = sizes_.try_emplace(std::string(url));
        if (added) slot->second = SizeOf(url);
        if (slot->second) {
            total.bytes += *slot->second * count;
            total.requests += count;
        } else {
            total.missing += count;
        }
    });
    return total;
}

std::optional<std::uint64_t> BlockedBytes::KnownSize(const std::string& url) const {
    const auto found = sizes_.find(url);
    return found == sizes_.end() ? std::nullopt : found->second;
}
