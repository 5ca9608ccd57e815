// The Redis reply reader on any bytes: it never reads past them, a complete reply uses some of
// them and no more, and a reply that reads as complete still does when more bytes follow it.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "redis_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    redis_protocol::Reply reply;
    std::size_t used = 0;
    const auto result = redis_protocol::Read(bytes, reply, used);
    if (result != redis_protocol::ReadResult::kComplete) return 0;
    FUZZ_CHECK(used > 0 && used <= bytes.size());
    FUZZ_CHECK(reply.text.size() <= redis_protocol::kMaxBulk);
    redis_protocol::Reply again;
    std::size_t usedAgain = 0;
    FUZZ_CHECK(redis_protocol::Read(bytes + "+OK\r\n", again, usedAgain) ==
               redis_protocol::ReadResult::kComplete);
    FUZZ_CHECK(usedAgain == used && again.type == reply.type && again.text == reply.text);
    // Cut short, a complete reply is only the start of one.
    for (std::size_t cut = 0; cut < used; ++cut) {
        FUZZ_CHECK(redis_protocol::Read(bytes.substr(0, cut), again, usedAgain) ==
                   redis_protocol::ReadResult::kIncomplete);
    }
    return 0;
}
