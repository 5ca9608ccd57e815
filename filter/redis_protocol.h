// The few pieces of the Redis protocol (RESP) the farm's admissions need: commands as arrays of
// bulk strings, and the replies they can get (simple strings, errors, bulk strings, null).
// Replies come from the network, so the reader takes nothing on trust: a length that does not
// parse, a line without its end or a reply larger than any the filter asks for is damage.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace redis_protocol {

// The command as the server reads it; its words may hold any bytes.
std::string Command(std::initializer_list<std::string_view> words);

struct Reply {
    enum class Type { kStatus, kError, kBulk, kNull };
    Type type = Type::kNull;
    std::string text;  // a status's or an error's line, a bulk string's bytes
};

enum class ReadResult {
    kComplete,    // `reply` holds the first reply; `used` bytes belong to it
    kIncomplete,  // the bytes so far are the start of a sound reply: wait for more
    kDamaged,     // no reply starts like this, or it is larger than this reader takes
};

// The longest status or error line and the longest bulk string the reader takes.
constexpr std::size_t kMaxLine = 1024;
constexpr std::size_t kMaxBulk = 4096;

ReadResult Read(std::string_view bytes, Reply& reply, std::size_t& used);

}  // namespace redis_protocol
