#include <cstdio>
#include <optional>

#include "platform/profile.h"
#include "text.h"

namespace platform {
namespace {

// Calls `take` with each key and value of the section, in file order, until it returns true;
// false when the file cannot be opened. Reads the file afresh on every call: there is no cache
// to go stale.
template <typename Take>
bool WalkSection(const std::string& path, const char* section, Take take) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bool inSection = false;
    std::string line;
    int c = 0;
    do {
        c = std::fgetc(file);
        if (c != '\n' && c != EOF) {
            line.push_back(static_cast<char>(c));
            continue;
        }
        const std::string_view text = text::Trim(line);
        if (!text.empty() && text.front() == '[') {
            const auto close = text.find(']');
            const std::string_view name =
                text::Trim(text.substr(1, close == std::string_view::npos ? text.npos : close - 1));
            inSection = text::EqualsIgnoreCase(name, section);
        } else if (inSection && !text.empty() && text.front() != ';') {
            const auto equals = text.find('=');
            if (equals != std::string_view::npos) {
                std::string_view value = text::Trim(text.substr(equals + 1));
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                    value.back() == value.front()) {
                    value = value.substr(1, value.size() - 2);
                }
                if (take(text::Trim(text.substr(0, equals)), value)) break;
            }
        }
        line.clear();
    } while (c != EOF);
    std::fclose(file);
    return true;
}

std::optional<std::string> FindValue(const std::string& path, const char* section,
                                     const char* key) {
    std::optional<std::string> found;
    WalkSection(path, section, [&](std::string_view name, std::string_view value) {
        if (!text::EqualsIgnoreCase(name, key)) return false;
        found = std::string(value);
        return true;
    });
    return found;
}

std::string AsRead(std::optional<std::string> value, const char* defaultValue,
                   std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::string read = std::move(value).value_or(
        defaultValue ? std::string(text::TrimRight(defaultValue)) : std::string());
    // The profile functions hand out C strings: a NUL in the file ends the value there.
    if (const auto nul = read.find('\0'); nul != std::string::npos) read.resize(nul);
    if (read.size() > bufferSize - 1) read.resize(bufferSize - 1);
    return read;
}

}  // namespace

std::string ReadProfileString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    return AsRead(FindValue(path, section, key), defaultValue, bufferSize);
}

unsigned ReadProfileInt(const std::string& path, const char* section, const char* key,
                        int defaultValue) {
    const std::string value = ReadProfileString(path, section, key, "", 30);
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

void FlushProfileCache(const std::string&) {}

ProfileSection::ProfileSection(const std::string& path, const char* section) {
    WalkSection(path, section, [&](std::string_view name, std::string_view value) {
        values_.emplace(text::ToLower(name), std::string(value));  // the first one stays
        return false;
    });
}

std::string ProfileSection::Read(const char* key, const char* defaultValue,
                                 std::size_t bufferSize) const {
    const auto found = values_.find(text::ToLower(key));
    return AsRead(found == values_.end() ? std::nullopt : std::optional<std::string>(found->second),
                  defaultValue, bufferSize);
}

}  // namespace platform
