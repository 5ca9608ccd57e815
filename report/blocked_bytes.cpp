#include "blocked_bytes.h"

#include "url_path.h"

namespace fs = std::filesystem;

std::optional<std::uint64_t> BlockedBytes::SizeOf(std::string_view url) const {
    const auto relative = PathBelowRoot(url);
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
