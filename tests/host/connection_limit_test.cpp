// The cap on open client connections: idle keep-alive connections make room first.
#include "connection_limit.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ConnectionLimitTest, AdmitsUpToTheMaximumThenTakesTheLongestIdleOnesPlace) {
    ConnectionLimit limit(2);
    std::vector<int> closed;
    EXPECT_TRUE(limit.Admit());
    EXPECT_TRUE(limit.Admit());
    // None idle: the third is refused.
    EXPECT_FALSE(limit.Admit());
    const auto first = limit.MarkIdle([&] { closed.push_back(1); });
    const auto second = limit.MarkIdle([&] { closed.push_back(2); });
    EXPECT_TRUE(limit.Admit());
    EXPECT_EQ(closed, std::vector<int>{1});
    EXPECT_FALSE(limit.IsIdle(first));
    EXPECT_TRUE(limit.IsIdle(second));
    // The closed one ends; a request on the other makes it busy again: nothing is left to take.
    limit.Busy(first);
    limit.Release();
    limit.Busy(second);
    EXPECT_FALSE(limit.Admit());
    EXPECT_EQ(closed, std::vector<int>{1});
    EXPECT_EQ(limit.Open(), 2u);
    limit.Release();
    EXPECT_TRUE(limit.Admit());
}

}  // namespace
