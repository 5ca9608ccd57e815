// The stand-in metabase's file format: what Format writes Parse reads back, and what Parse refuses.
#include "metabase/metabase_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string Canonical(const std::string& text) {
    std::string error;
    const auto root = metabase::Parse(text, error);
    return root ? metabase::Format(*root) : "unreadable: " + error;
}

TEST(MetabaseText, FormatAndParseAgree) {
    const std::string text = R"(
[/]
1 DWORD 5
[/lm/w3svc/1]
1015 STRING "a\tb\nc"
3 BINARY 00ff10
4 BINARY ut=3
5 MULTISZ "one\0two"
6 EXPANDSZ "%x%" attr=8
)";
    const std::string once = Canonical(text);
    EXPECT_EQ(Canonical(once), once);
    EXPECT_THAT(once, testing::HasSubstr("3 BINARY 00ff10\n"));
    EXPECT_THAT(once, testing::HasSubstr("4 BINARY  ut=3\n"));
    EXPECT_THAT(once, testing::HasSubstr("5 MULTISZ \"one\\0two\"\n"));
    EXPECT_THAT(once, testing::HasSubstr("6 EXPANDSZ \"%x%\" attr=8\n"));
    EXPECT_THAT(once, testing::HasSubstr("[/]\n1 DWORD 5\n"));
    EXPECT_THAT(once, testing::HasSubstr("[/lm]\n"));
}

TEST(MetabaseText, RefusesATextThatDoesNotParseWhole) {
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"comment", "[/lm/w3svc]\n; hand note\n", "line 2: comments are not allowed"},
        {"unknown type", "[/lm]\n7 QWORD 1\n", "line 2: unreadable property"},
        {"bad number", "[/lm]\n7 DWORD 12x\n", "line 2: unreadable property"},
        {"unknown word", "[/lm]\n7 DWORD 1 tag=2\n", "line 2: unreadable property"},
        {"outside a key", "7 DWORD 1\n", "line 1: a property outside any key"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(metabase::Parse(c.text, error), nullptr) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
    // A key two million levels deep is refused, not built (its destruction would recurse).
    std::string deep = "[";
    for (int i = 0; i < 2'000'000; ++i) deep += "/k";
    deep += "]\n";
    std::string error;
    EXPECT_EQ(metabase::Parse(deep, error), nullptr);
    EXPECT_EQ(error, "line 1: key path deeper than 64 levels");
}

// Bytes of a hand-edited file that are no UTF-8 read as U+FFFD, each sequence once, and never as
// another character: an overlong "/" must not split a key.
TEST(MetabaseText, ReadsMalformedUtf8AsReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string key;
        std::string read;
    } cases[] = {
        {"overlong slash", "/lm/a\xE0\x80\xAF" "b", "/lm/a" + replacement + "b"},
        {"overlong letter in four bytes", "/lm/\xF0\x80\x81\x81", "/lm/" + replacement},
        {"past U+10FFFF", "/lm/\xF4\x90\x80\x80", "/lm/" + replacement},
        {"cut short by a letter", "/lm/\xE2\x82x", "/lm/" + replacement + "x"},
        {"cut short at the end", "/lm/x\xE2", "/lm/x" + replacement},
        {"stray continuation", "/lm/\x80x", "/lm/" + replacement + "x"},
        {"four-byte character", "/lm/\xF0\x9F\x98\x80", "/lm/\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        const std::string canonical = Canonical("[" + c.key + "]\n1 DWORD 1\n");
        EXPECT_THAT(canonical, testing::HasSubstr("\n[" + c.read + "]\n1 DWORD 1\n")) << c.name;
    }
}

}  // namespace
