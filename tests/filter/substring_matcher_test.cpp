// The rule lists' substring test, and the one automaton over two lists, answer exactly as
// lowercasing the value and scanning every entry would, on random lists and values.
#include "substring_matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "request_facts.h"
#include "rule_list.h"
#include "text.h"

namespace {

bool ScanEveryEntry(const std::vector<std::string>& entries, std::string_view value) {
    const std::string lowered = text::ToLower(value);
    for (const std::string& entry : entries) {
        if (lowered.find(entry) != std::string::npos) return true;
    }
    return false;
}

struct Case {
    const char* name;
    std::vector<std::string> fragments;
    const char* value;
    bool found;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class SubstringMatcherTest : public testing::TestWithParam<Case> {};

TEST_P(SubstringMatcherTest, FindsTheFragments) {
    EXPECT_EQ(SubstringMatcher(GetParam().fragments).FoundIn(GetParam().value), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SubstringMatcherTest,
    testing::Values(Case{"NoFragmentsMatchNothing", {}, "abc", false},
                    Case{"NoFragmentsNotEvenEmpty", {}, "", false},
                    Case{"EmptyFragmentMatchesEverything", {"x", ""}, "", true},
                    Case{"FoldsTheValue", {"leech"}, "BigLEECH2", true},
                    Case{"FallsBackAfterAPartialMatch", {"aab"}, "aaab", true},
                    Case{"FragmentInsideALongerOne", {"abcd", "bc"}, "xbcx", true},
                    Case{"SuffixOfAPartialMatch", {"abcx", "bcd"}, "abcd", true},
                    Case{"NearMissIsNoMatch", {"192.168.1."}, "192.168.10.1", false},
                    Case{"HighBytesAreNotFolded", {"\xe4"}, "\xc4", false},
                    Case{"HighBytesMatchThemselves", {"\xe4x"}, "a\xe4X", true}),
    [](const auto& info) { return info.param.name; });

TEST(SubstringMatcher, FindsAFragmentAcrossTheTwoParts) {
    const SubstringMatcher matcher({"imgserver/private/"});
    EXPECT_TRUE(matcher.FoundIn("ImgServer", "/private/a.gif"));
    EXPECT_FALSE(matcher.FoundIn("server", "/private/a.gif"));
    EXPECT_TRUE(matcher.FoundIn("", "x.imgserver/private/"));
}

// Texts from few bytes, so that entries overlap: upper case, bytes above 0x7F, blanks and ";";
// both ends of either case and the bytes just outside them, where folding is easiest to get wrong.
std::string RandomText(std::mt19937& random, std::size_t length) {
    static const char kBytes[] = {'a',    'b', 'c', 'A', 'B', '.', ' ', ';',    '\x80',
                                  '\xc4', 'z', 'Z', '@', '[', '`', '{', '\xe4', '\xff',
                                  'u',    's', 'e', 'r', '-', ':', 'y', '\xda', '\xfa'};
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(kBytes[random() % sizeof kBytes]);
    return text;
}

TEST(SubstringMatcher, AnswersAsLowercasingAndScanningOnRandomListsAndValues) {
    // Around the sixteen-byte blocks too: a part shorter than a block, one that ends inside
    // the last block, one of whole blocks.
    const std::size_t kLengths[] = {0,
                                    1,
                                    3,
                                    8,
                                    15,
                                    16,
                                    17,
                                    31,
                                    32,
                                    33,
                                    40,
                                    RequestFacts::kUserAgentBuffer - 1,
                                    RequestFacts::kUrlBuffer - 1};
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        std::mt19937 random(seed);
        // Lines cut from one text, so that entries are prefixes, suffixes and substrings of each
        // other, and a few of their own.
        const std::string source = RandomText(random, 2 + random() % 30);
        RuleList list;
        // Now and then many lines, so that nodes branch often and get rows of moves.
        const int lines = static_cast<int>(random() % (seed % 4 == 0 ? 60 : 12));
        for (int i = 0; i < lines; ++i) {
            if (random() % 4 == 0) {
                // The source's first bytes go on in many ways, so that their nodes get rows.
                list.AddLine(source.substr(0, random() % 3) + RandomText(random, random() % 6));
            } else {
                const std::size_t from = random() % source.size();
                list.AddLine(source.substr(from, 1 + random() % (source.size() - from)));
            }
        }
        if (random() % 10 == 0) list.AddLine("User-Agent:");  // becomes the empty entry
        if (random() % 3 == 0) list.RewriteUserAgentEntries();
        // A second list from the same source shares fragments and prefixes with the first; one
        // automaton over both tells them apart, as a black list and its white list share one.
        std::vector<std::string> other;
        const int otherLines = static_cast<int>(random() % 8);
        for (int i = 0; i < otherLines; ++i) {
            const std::size_t from = random() % source.size();
            other.push_back(text::ToLower(source.substr(from, random() % (source.size() - from))));
        }
        const SubstringMatcher matcher(list.Entries());
        const SubstringMatcher both({&list.Entries(), &other});
        // The same automaton passing over bytes one table step at a time, whatever the processor.
        SubstringMatcher bothByBytes = both;
        bothByBytes.UseByteSteps();
        SubstringMatcher bothOneByOne = both;
        bothOneByOne.UseWindowsOneByOne();

        for (int v = 0; v < 12; ++v) {
            const std::size_t length =
                random() % 2 ? kLengths[random() % std::size(kLengths)] : random() % 13;
            std::string value = RandomText(random, length);
            if (random() % 2) {
                // Mostly bytes that start no entry, so that whole runs of them are passed over.
                for (char& c : value) c = random() % 8 ? "xw0"[random() % 3] : c;
            }
            if (!value.empty() && random() % 2 == 0) {
                // Splice some of the source or an entry in, in either case.
                const auto& entries = list.Entries();
                std::string piece = entries.empty() || random() % 2
                                        ? source.substr(random() % source.size(), 1 + random() % 8)
                                        : entries[random() % entries.size()];
                if (random() % 2) {
                    for (char& c : piece) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
                }
                // Anywhere, the very end included, where the last window starts.
                value.replace(random() % (value.size() + 1), 0, piece);
            }
            const bool expected = ScanEveryEntry(list.Entries(), value);
            ASSERT_EQ(matcher.FoundIn(value), expected) << "seed " << seed << " value " << v;
            const std::size_t cut = value.empty() ? 0 : random() % value.size();
            const std::string_view head = std::string_view(value).substr(0, cut);
            const std::string_view tail = std::string_view(value).substr(cut);
            ASSERT_EQ(matcher.FoundIn(head, tail), expected)
                << "seed " << seed << " value " << v << " cut " << cut;
            const unsigned lists = (expected ? 1u : 0u) | (ScanEveryEntry(other, value) ? 2u : 0u);
            ASSERT_EQ(both.ListsIn(value), lists) << "seed " << seed << " value " << v;
            ASSERT_EQ(both.ListsIn(head, tail), lists)
                << "seed " << seed << " value " << v << " cut " << cut;
            for (const SubstringMatcher* way : {&bothByBytes, &bothOneByOne}) {
                ASSERT_EQ(way->ListsIn(value), lists) << "seed " << seed << " value " << v;
                ASSERT_EQ(way->ListsIn(head, tail), lists)
                    << "seed " << seed << " value " << v << " cut " << cut;
            }
        }
    }
}

}  // namespace
