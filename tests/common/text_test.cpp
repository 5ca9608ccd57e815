#include "text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, RemoveAllIsCaseSensitiveAndRemovesEveryOccurrence) {
    EXPECT_EQ(text::RemoveAll("C:\\a\\pixwall.dll\\pixwall.dll", "\\pixwall.dll"), "C:\\a");
    EXPECT_EQ(text::RemoveAll("C:\\a\\PIXWALL.DLL", "\\pixwall.dll"), "C:\\a\\PIXWALL.DLL");
    EXPECT_EQ(text::RemoveAll("aaaa", "aa"), "");
    EXPECT_EQ(text::RemoveAll("abc", ""), "abc");
}

TEST(Text, TrimTakesEveryWhitespaceCharacter) {
    EXPECT_EQ(text::Trim(" \t\r\n\v\fx y\f\v\n\r\t "), "x y");
    EXPECT_EQ(text::Trim(" \t "), "");
    EXPECT_EQ(text::TrimRight("  x  "), "  x");
}

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters) {
    EXPECT_EQ(text::ToLower("AbC-Z@[`\xC4"), "abc-z@[`\xC4");
    EXPECT_TRUE(text::EqualsIgnoreCase("ImgServer", "IMGSERVER"));
    EXPECT_FALSE(text::EqualsIgnoreCase("imgserver", "imgserver "));
    EXPECT_FALSE(text::EqualsIgnoreCase("\xC4", "\xE4"));
    EXPECT_TRUE(text::LessIgnoreCase()("abc", "ABD"));
    EXPECT_FALSE(text::LessIgnoreCase()("ABC", "abc"));
}

}  // namespace
