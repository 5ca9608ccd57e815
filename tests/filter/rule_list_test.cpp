#include "rule_list.h"

#include <gtest/gtest.h>

#include "substring_matcher.h"
#include "temp_folder.h"

namespace {

using Entries = std::vector<std::string>;

struct ParseCase {
    const char* name;
    std::string file;
    Entries entries;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class RuleListParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(RuleListParseTest, ReadsEntriesAsStored) {
    TempFolder folder;
    folder.Write("list.txt", GetParam().file);
    RuleList list;
    EXPECT_TRUE(list.Load(folder.PathOf("list.txt")));
    EXPECT_EQ(list.Entries(), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RuleListParseTest,
    testing::Values(
        ParseCase{"Empty", "", {}},
        ParseCase{"OnlyBlanksAndComments", "\n  \n\t; note\n;x\n   ;indented\r\n\v\f\n", {}},
        ParseCase{"TrimmedAndLowercased", "  GIF  \r\nJpG\t\n", {"gif", "jpg"}},
        ParseCase{"LastLineWithoutLineFeed", "gif\npng", {"gif", "png"}},
        ParseCase{
            "CommentCutAndTrimmedAgain", "jpg;images\njpg ;x\njpg  ;y\n", {"jpg", "jpg", "jpg"}},
        ParseCase{"CommentCutLeavingNothing", " ;\n  ; ;\n", {}},
        ParseCase{"DuplicatesKeptInOrder", "b\na\nb\n", {"b", "a", "b"}},
        ParseCase{"InnerBlanksKept", "Mozilla/4.0 (Compatible)\n", {"mozilla/4.0 (compatible)"}},
        ParseCase{"CarriageReturnsOnly", "a\r\r\nb\r\n", {"a", "b"}},
        ParseCase{"LineLongerThanOneReadOfTheFile",
                  std::string(20000, 'a') + "\nb",
                  {std::string(20000, 'a'), "b"}}),
    [](const auto& info) { return info.param.name; });

TEST(RuleList, MissingFileGivesEmptyListAndFalse) {
    TempFolder folder;
    RuleList list;
    list.AddLine("old");
    EXPECT_FALSE(list.Load(folder.PathOf("absent.txt")));
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_FALSE(SubstringMatcher(list.Entries()).FoundIn("anything"));
}

TEST(RuleList, ReloadStartsFromEmpty) {
    TempFolder folder;
    folder.Write("list.txt", "one\n");
    RuleList list;
    list.Load(folder.PathOf("list.txt"));
    folder.Write("list.txt", "two\n");
    list.Load(folder.PathOf("list.txt"));
    EXPECT_EQ(list.Entries(), Entries{"two"});
}

struct MatchCase {
    Entries lines;
    const char* value;
    bool contains;
};

void PrintTo(const MatchCase& c, std::ostream* out) { *out << '"' << c.value << '"'; }

class RuleListMatchTest : public testing::TestWithParam<MatchCase> {};

TEST_P(RuleListMatchTest, SubstringWithoutRegardToCase) {
    RuleList list;
    for (const auto& line : GetParam().lines) list.AddLine(line);
    EXPECT_EQ(SubstringMatcher(list.Entries()).FoundIn(GetParam().value), GetParam().contains);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RuleListMatchTest,
    testing::Values(MatchCase{{"leech"}, "leech", true}, MatchCase{{"leech"}, "LeechSite", true},
                    MatchCase{{"LEECH"}, "bigleech2", true}, MatchCase{{"leech"}, "lee-ch", false},
                    MatchCase{{"10.0.0.1"}, "10.0.0.12", true},
                    MatchCase{{"192.168.1."}, "192.168.1.77", true},
                    MatchCase{{"192.168.1."}, "192.168.10.1", false},
                    MatchCase{{}, "anything", false}, MatchCase{{"x"}, "", false},
                    MatchCase{{"a", "b"}, "zzb", true}));

TEST(RuleList, ExactTestComparesBytes) {
    RuleList list;
    list.AddLine("  GIF  ");
    EXPECT_TRUE(list.ContainsExact("gif"));
    EXPECT_FALSE(list.ContainsExact("GIF"));
    EXPECT_FALSE(list.ContainsExact("gif?size=2"));
    EXPECT_FALSE(list.ContainsExact(""));
}

TEST(RuleList, UserAgentEntriesLoseTheHeaderName) {
    RuleList list;
    list.AddLine("User-Agent: Mozilla/4.0 (compatible)");
    list.AddLine("USER-AGENT:  Bot/1.0");
    list.AddLine("plain agent");
    list.AddLine("x user-agent: y user-agent: z");
    list.AddLine("User-Agent:");
    list.RewriteUserAgentEntries();
    EXPECT_EQ(list.Entries(), (Entries{"mozilla/4.0 (compatible)", "bot/1.0", "plain agent",
                                       "y user-agent: z", ""}));
    EXPECT_TRUE(list.ContainsExact("bot/1.0"));
    // The entry left empty matches every agent.
    EXPECT_TRUE(SubstringMatcher(list.Entries()).FoundIn("Anything/2.0"));
}

}  // namespace
