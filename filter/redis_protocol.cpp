#include "redis_protocol.h"

#include <algorithm>

namespace redis_protocol {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// A bulk string's length: "-1" (null) or decimal digits without sign or leading zeros.
// Returns false for anything else, a length over kMaxBulk included.
bool ReadLength(std::string_view digits, long& length) {
    if (digits == "-1") {
        length = -1;
        return true;
    }
    if (digits.empty() || (digits.size() > 1 && digits[0] == '0')) return false;
    length = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        length = length * 10 + (c - '0');
        if (length > static_cast<long>(kMaxBulk)) return false;
    }
    return true;
}

}  // namespace

std::string Command(std::initializer_list<std::string_view> words) {
    std::string command = "*" + std::to_string(words.size()) + "\r\n";
    for (const std::string_view word : words) {
        command.append("$").append(std::to_string(word.size())).append(kLineEnd);
        command.append(word).append(kLineEnd);
    }
    return command;
}

ReadResult Read(std::string_view bytes, Reply& reply, std::size_t& used) {
    if (bytes.empty()) return ReadResult::kIncomplete;
    const char kind = bytes[0];
    if (kind != '+' && kind != '-' && kind != '$') return ReadResult::kDamaged;

    const std::size_t end = bytes.find(kLineEnd);
    if (end == std::string_view::npos) {
        // A lone CR may be the start of the line end; a long line never ends soundly.
        if (bytes.size() > kMaxLine + 2) return ReadResult::kDamaged;
        const std::string_view partial = bytes.substr(1);
        const std::size_t cr = partial.find('\r');
        if (cr != std::string_view::npos && cr + 1 < partial.size()) return ReadResult::kDamaged;
        return ReadResult::kIncomplete;
    }
    const std::string_view line = bytes.substr(1, end - 1);
    if (line.size() > kMaxLine || line.find_first_of("\r\n") != std::string_view::npos)
        return ReadResult::kDamaged;

    if (kind != '$') {
        reply.type = kind == '+' ? Reply::Type::kStatus : Reply::Type::kError;
        reply.text.assign(line);
        used = end + kLineEnd.size();
        return ReadResult::kComplete;
    }
    long length = 0;
    if (!ReadLength(line, length)) return ReadResult::kDamaged;
    const std::size_t start = end + kLineEnd.size();
    if (length < 0) {
        reply.type = Reply::Type::kNull;
        reply.text.clear();
        used = start;
        return ReadResult::kComplete;
    }
    const std::size_t size = static_cast<std::size_t>(length);
    const std::string_view rest = bytes.substr(start);
    // The bytes of the string, then its line end, which must be exactly that.
    const std::size_t have = std::min(rest.size(), size + kLineEnd.size());
    if (have > size && rest.substr(size, have - size) != kLineEnd.substr(0, have - size))
        return ReadResult::kDamaged;
    if (have < size + kLineEnd.size()) return ReadResult::kIncomplete;
    reply.type = Reply::Type::kBulk;
    reply.text.assign(rest.substr(0, size));
    used = start + size + kLineEnd.size();
    return ReadResult::kComplete;
}

}  // namespace redis_protocol
