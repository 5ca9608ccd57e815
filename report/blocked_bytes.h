// What the blocked requests would have cost: the size of each blocked file under the document
// root, times the number of times it was blocked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "top_counter.h"

class BlockedBytes {
  public:
    explicit BlockedBytes(std::filesystem::path root) : root_(std::move(root)) {}

    // The size of the file a URL names under the root, the one the server served for it
    // (PathBelowRoot). Absent when there is no such regular file, or the URL would leave the root.
    std::optional<std::uint64_t> SizeOf(std::string_view url) const;

    struct Total {
        std::uint64_t bytes = 0;
        std::uint64_t requests = 0;  // blocked requests whose file was found
        std::uint64_t missing = 0;   // blocked requests whose file was not
    };
    // Sizes are looked up once per file and kept for SizeOf's callers after.
    Total Sum(const TopCounter& blockedFiles);
    std::optional<std::uint64_t> KnownSize(const std::string& url) const;

  private:
    std::filesystem::path root_;
    std::unordered_map<std::string, std::optional<std::uint64_t>> sizes_;
};
