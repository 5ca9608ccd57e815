#include "redis_protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using redis_protocol::ReadResult;
using Type = redis_protocol::Reply::Type;

TEST(RedisProtocol, ACommandIsAnArrayOfBulkStringsThatMayHoldAnyBytes) {
    EXPECT_EQ(redis_protocol::Command({"GET", "pixwall:admission:10.0.0.1"}),
              "*2\r\n$3\r\nGET\r\n$26\r\npixwall:admission:10.0.0.1\r\n");
    EXPECT_EQ(redis_protocol::Command({"SET", std::string_view("a\r\n\0b", 5), ""}),
              std::string("*3\r\n$3\r\nSET\r\n$5\r\na\r\n\0b\r\n$0\r\n\r\n", 30));
}

struct ReplyCase {
    const char* name;
    std::string bytes;
    ReadResult result;
    Type type = Type::kNull;
    std::string text = {};
    std::size_t used = 0;
};

TEST(RedisProtocol, ReadsSoundRepliesAndRefusesDamagedOnes) {
    const std::string longLine(redis_protocol::kMaxLine + 1, 'x');
    const ReplyCase cases[] = {
        {"status", "+OK\r\n", ReadResult::kComplete, Type::kStatus, "OK", 5},
        {"error", "-ERR wrong\r\n", ReadResult::kComplete, Type::kError, "ERR wrong", 12},
        {"bulk", "$10\r\n1136073600\r\n", ReadResult::kComplete, Type::kBulk, "1136073600", 17},
        {"empty bulk", "$0\r\n\r\n", ReadResult::kComplete, Type::kBulk, "", 6},
        {"bulk holding a line end", "$4\r\na\r\nb\r\n", ReadResult::kComplete, Type::kBulk,
         "a\r\nb", 10},
        {"null", "$-1\r\n", ReadResult::kComplete, Type::kNull, "", 5},
        {"what follows is left", "+OK\r\n+OK\r\n", ReadResult::kComplete, Type::kStatus, "OK", 5},
        {"largest bulk", "$4096\r\n" + std::string(4096, 'a') + "\r\n", ReadResult::kComplete,
         Type::kBulk, std::string(4096, 'a'), 4105},

        {"nothing yet", "", ReadResult::kIncomplete},
        {"type only", "$", ReadResult::kIncomplete},
        {"line without end", "+OK", ReadResult::kIncomplete},
        {"half a line end", "+OK\r", ReadResult::kIncomplete},
        {"length only", "$10\r\n", ReadResult::kIncomplete},
        {"bulk cut short", "$10\r\n11360", ReadResult::kIncomplete},
        {"bulk without its line end", "$2\r\nab", ReadResult::kIncomplete},
        {"bulk with half its line end", "$2\r\nab\r", ReadResult::kIncomplete},

        {"unknown type", "?\r\n", ReadResult::kDamaged},
        {"integer, which no command here gets", ":1\r\n", ReadResult::kDamaged},
        {"array, which no command here gets", "*1\r\n$1\r\na\r\n", ReadResult::kDamaged},
        {"text before the type", " +OK\r\n", ReadResult::kDamaged},
        {"lone CR in a line", "+O\rK\r\n", ReadResult::kDamaged},
        {"lone CR before more", "+O\rK", ReadResult::kDamaged},
        {"lone LF in a line", "+O\nK\r\n", ReadResult::kDamaged},
        {"line too long", "+" + longLine + "\r\n", ReadResult::kDamaged},
        {"endless line", "+" + longLine + "xx", ReadResult::kDamaged},
        {"bulk too long", "$4097\r\n", ReadResult::kDamaged},
        {"huge length", "$99999999999999999999999\r\n", ReadResult::kDamaged},
        {"negative length", "$-2\r\n", ReadResult::kDamaged},
        {"signed length", "$+3\r\nabc\r\n", ReadResult::kDamaged},
        {"leading zero", "$03\r\nabc\r\n", ReadResult::kDamaged},
        {"no length", "$\r\n\r\n", ReadResult::kDamaged},
        {"letters in the length", "$1a\r\na\r\n", ReadResult::kDamaged},
        {"bulk longer than said", "$2\r\nabc\r\n", ReadResult::kDamaged},
        {"bulk ending in LF alone", "$2\r\nab\n\r", ReadResult::kDamaged},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        redis_protocol::Reply reply;
        std::size_t used = 0;
        ASSERT_EQ(redis_protocol::Read(c.bytes, reply, used), c.result);
        if (c.result != ReadResult::kComplete) continue;
        EXPECT_EQ(reply.type, c.type);
        EXPECT_EQ(reply.text, c.text);
        EXPECT_EQ(used, c.used);
    }
}

}  // namespace
