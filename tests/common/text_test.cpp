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

TEST(Text, DecodeEscapeAtTakesOnlyAPercentAndTwoHexDigits) {
    struct Case {
        const char* name;
        std::string_view value;
        std::size_t at;
        std::optional<char> byte;
    };
    const Case cases[] = {
        {"upper-case digits", "/a%2Eb", 2, '.'},
        {"lower-case digits", "%2e", 0, '.'},
        {"highest byte", "%fF", 0, '\xFF'},
        {"escaped NUL", "%00", 0, '\0'},
        {"escape at the very end", "ab%41", 2, 'A'},
        {"one digit short", "ab%4", 2, std::nullopt},
        {"not a hex digit", "%4G", 0, std::nullopt},
        {"no percent sign there", "%41", 1, std::nullopt},
        {"past the end", "%41", 3, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text::DecodeEscapeAt(c.value, c.at), c.byte) << c.name;
    }
}

}  // namespace
