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

TEST(TopCounterTest, KeepsTheStartOfALongValueUpToAWholeCharacter) {
    const std::string full(TopCounter::kMaxKeyLength, 'a');
    const std::string e = "\xC3\xA9", cut = "\xE2\x80\xA6";
    const struct {
        const char* name;
        std::string value;
        std::string kept;
    } cases[] = {
        {"LongestKeptWhole", full, full},
        {"LongerCut", full + "b", full + cut},
        {"CharacterAcrossTheCutLeftOut", full.substr(1) + e, full.substr(1) + cut},
        {"CharacterEndingAtTheCutKept", full.substr(2) + e + "b", full.substr(2) + e + cut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TopCounter counter;
        counter.Add(c.value);
        counter.Add(c.value + "x");  // counted with the value when it is cut
        EXPECT_EQ(counter.Top(1), (Entries{{c.kept, c.kept == full ? 1u : 2u}}));
    }
}

}  // namespace
