// Counts how often each text occurs, in bounded memory: past its capacity it forgets the rarest
// half and remembers by how much any count may since fall short; of a long text it keeps the
// start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TopCounter {
  public:
    static constexpr std::size_t kDefaultCapacity = 100000;
    // A longer text is kept as its first bytes, up to a whole UTF-8 character, and "…"; texts
    // that start alike are counted together.
    static constexpr std::size_t kMaxKeyLength = 256;

    explicit TopCounter(std::size_t capacity = kDefaultCapacity);

    void Add(std::string_view key, std::uint64_t count = 1);

    struct Entry {
        std::string key;
        std::uint64_t count = 0;
        bool operator==(const Entry&) const = default;
    };
    // The `limit` most frequent, most frequent first, equal counts by key.
    std::vector<Entry> Top(std::size_t limit) const;

    // Every key still counted.
    void ForEach(const std::function<void(std::string_view, std::uint64_t)>& visit) const;

    std::size_t Size() const { return counts_.size(); }
    // 0 while every count is exact; otherwise the most by which a count may fall short.
    std::uint64_t MaxError() const { return maxError_; }

  private:
    void Forget();

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const {
            return std::hash<std::string_view>{}(key);
        }
    };
    using Counts = std::unordered_map<std::string, std::uint64_t, Hash, std::equal_to<>>;
    Counts counts_;
    std::size_t capacity_;
    std::uint64_t maxError_ = 0;
};
