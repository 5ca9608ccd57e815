#include "top_counter.h"

#include <gtest/gtest.h>

namespace {

using Entries = std::vector<TopCounter::Entry>;

TEST(TopCounterTest, MostFrequentFirstEqualCountsByKey) {
    TopCounter counter;
    for (const char* key : {"b", "a", "c", "b", "a", "d", "b"}) counter.Add(key);
    EXPECT_EQ(counter.Top(3), (Entries{{"b", 3}, {"a", 2}, {"c", 1}}));
    EXPECT_EQ(counter.Top(10).size(), 4u);
    EXPECT_EQ(counter.MaxError(), 0u);
}

TEST(TopCounterTest, PastItsCapacityForgetsTheRareAndSaysByHowMuchCountsMayBeShort) {
    TopCounter counter(4);
    counter.Add("frequent", 10);
    counter.Add("often", 5);
    counter.Add("rare1");
    counter.Add("rare2");
    counter.Add("new");  // full: the rarer half goes first
    EXPECT_LE(counter.Size(), 4u);
    EXPECT_EQ(counter.Top(2), (Entries{{"frequent", 10}, {"often", 5}}));
    EXPECT_EQ(counter.MaxError(), 1u);
    for (int i = 0; i < 1000; ++i) counter.Add("key" + std::to_string(i));
    EXPECT_LE(counter.Size(), 4u);
    EXPECT_EQ(counter.Top(1), (Entries{{"frequent", 10}}));
}

struct KeyCase {
    const char* name;
    std::string value;
    std::string kept;
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.name; }

const std::string kEllipsis = "\xE2\x80\xA6";
const std::string kFull(TopCounter::kMaxKeyLength, 'a');

class TopCounterKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(TopCounterKeyTest, KeepsTheStartOfALongValue) {
    TopCounter counter;
    counter.Add(GetParam().value);
    EXPECT_EQ(counter.Top(2), (Entries{{GetParam().kept, 1}}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, TopCounterKeyTest,
    testing::Values(
        KeyCase{"LongestKeptWhole", kFull, kFull},
        KeyCase{"LongerCut", kFull + "b", kFull + kEllipsis},
        KeyCase{"TwoByteCharacterAcrossTheCutLeftOut", kFull.substr(1) + "\xC3\xA9",
                kFull.substr(1) + kEllipsis},
        KeyCase{"FourByteCharacterAcrossTheCutLeftOut", kFull.substr(2) + "\xF0\x9F\x98\x80",
                kFull.substr(2) + kEllipsis},
        KeyCase{"CharacterEndingAtTheCutKept", kFull.substr(4) + "\xF0\x9F\x98\x80" "b",
                kFull.substr(4) + "\xF0\x9F\x98\x80" + kEllipsis},
        KeyCase{"StrayContinuationBytesCutWhereTheyAre", std::string(300, '\x80'),
                std::string(TopCounter::kMaxKeyLength, '\x80') + kEllipsis}),
    [](const auto& info) { return info.param.name; });

TEST(TopCounterTest, LongValuesThatStartAlikeAreCountedTogether) {
    TopCounter counter;
    counter.Add(kFull + "x");
    counter.Add(kFull + "y");
    EXPECT_EQ(counter.Top(2), (Entries{{kFull + kEllipsis, 2}}));
}

}  // namespace
