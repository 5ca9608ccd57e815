#include "platform/profile_text.h"

#include <algorithm>
#include <optional>

#include "text.h"

namespace platform {
namespace {

// Calls `take` with each key and value of the section, in text order, until it returns true.
// Only a line's leading blanks are skipped before its first character tells what it is: the
// names and the value are trimmed on their own.
template <typename Take>
void WalkSection(std::string_view text, std::string_view section, Take take) {
    bool inSection = false;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t first = line.find_first_not_of(text::kWhitespace);
        if (first == std::string_view::npos) continue;
        if (line[first] == '[') {
            const auto close = line.find(']', first);
            const std::string_view name = text::Trim(line.substr(
                first + 1, close == std::string_view::npos ? line.npos : close - first - 1));
            inSection = text::EqualsIgnoreCase(name, section);
        } else if (inSection && line[first] != ';') {
            const auto equals = line.find('=', first);
            if (equals != std::string_view::npos) {
                std::string_view value = text::Trim(line.substr(equals + 1));
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                    value.back() == value.front()) {
                    value = value.substr(1, value.size() - 2);
                }
                if (take(text::Trim(line.substr(first, equals - first)), value)) return;
            }
        }
    }
}

std::string AsRead(std::optional<std::string_view> value, const char* defaultValue,
                   std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string_view read =
        value.value_or(defaultValue ? text::TrimRight(defaultValue) : std::string_view());
    // The profile functions hand out C strings: a NUL in the file ends the value there.
    read = read.substr(0, read.find('\0'));
    return std::string(read.substr(0, bufferSize - 1));
}

}  // namespace

std::string ReadProfileTextString(std::string_view text, std::string_view section,
                                  std::string_view key, const char* defaultValue,
                                  std::size_t bufferSize) {
    std::optional<std::string_view> found;
    WalkSection(text, section, [&](std::string_view name, std::string_view value) {
        if (!text::EqualsIgnoreCase(name, key)) return false;
        found = value;
        return true;
    });
    return AsRead(found, defaultValue, bufferSize);
}

unsigned ProfileNumber(std::string_view value, int defaultValue) {
    if (value.empty()) return static_cast<unsigned>(defaultValue);
    std::size_t i = 0;
    bool negative = false;
    if (value[i] == '-' || value[i] == '+') negative = value[i++] == '-';
    unsigned result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        result = result * 10u + static_cast<unsigned>(value[i] - '0');
    }
    return negative ? 0u - result : result;
}

ProfileTextSection::ProfileTextSection(std::string_view text, std::string_view section) {
    WalkSection(text, section, [&](std::string_view name, std::string_view value) {
        values_.emplace(text::ToLower(name), std::string(value));  // the first one stays
        return false;
    });
}

std::string ProfileTextSection::Read(std::string_view key, const char* defaultValue,
                                     std::size_t bufferSize) const {
    const auto found = values_.find(text::ToLower(key));
    return AsRead(
        found == values_.end() ? std::nullopt : std::optional<std::string_view>(found->second),
        defaultValue, bufferSize);
}

}  // namespace platform
