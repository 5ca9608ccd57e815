#include "base64.h"

#include <array>
#include <cstdint>

namespace base64 {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr std::int8_t kNotInAlphabet = -1;

constexpr std::array<std::int8_t, 256> MakeValues() {
    std::array<std::int8_t, 256> values{};
    values.fill(kNotInAlphabet);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    }
    return values;
}
constexpr std::array<std::int8_t, 256> kValues = MakeValues();

}  // namespace

std::string Encode(std::string_view data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const std::uint32_t bits =
            static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << 16 |
            static_cast<std::uint32_t>(static_cast<unsigned char>(data[i + 1])) << 8 |
            static_cast<unsigned char>(data[i + 2]);
        out += kAlphabet[bits >> 18 & 63];
        out += kAlphabet[bits >> 12 & 63];
        out += kAlphabet[bits >> 6 & 63];
        out += kAlphabet[bits & 63];
    }
    const std::size_t rest = data.size() - i;
    if (rest > 0) {
        std::uint32_t bits = static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << 16;
        if (rest == 2)
            bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i + 1])) << 8;
        out += kAlphabet[bits >> 18 & 63];
        out += kAlphabet[bits >> 12 & 63];
        out += rest == 2 ? kAlphabet[bits >> 6 & 63] : kPad;
        out += kPad;
    }
    return out;
}

std::optional<std::string> Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t group = 0; group < text.size(); group += 4) {
        const bool last = group + 4 == text.size();
        std::uint32_t bits = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[group + k];
            if (c == kPad) {
                // Fill only at the end of the last group, and never more than two.
                if (!last || k < 2) return std::nullopt;
                ++padding;
                bits <<= 6;
                continue;
            }
            const std::int8_t value = kValues[static_cast<unsigned char>(c)];
            if (value == kNotInAlphabet || padding > 0) return std::nullopt;
            bits = bits << 6 | static_cast<std::uint32_t>(value);
        }
        // Encode leaves the bits the fill stands for zero; other text would be a second spelling
        // of the same bytes.
        if ((padding == 1 && (bits & 0xFF) != 0) || (padding == 2 && (bits & 0xFFFF) != 0)) {
            return std::nullopt;
        }
        out += static_cast<char>(bits >> 16 & 0xFF);
        if (padding < 2) out += static_cast<char>(bits >> 8 & 0xFF);
        if (padding < 1) out += static_cast<char>(bits & 0xFF);
    }
    return out;
}

}  // namespace base64
