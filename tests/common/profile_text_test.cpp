// The profile text parser where reading files does not show it; profile_test.cpp holds the rules
// that the real profile functions share.
#include "platform/profile_text.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
    const char* name;
    std::string_view text;
    const char* key;
    const char* defaultValue;
    const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class ProfileTextTest : public testing::TestWithParam<TextCase> {};

// A section parsed once answers each key as reading that key alone does.
TEST_P(ProfileTextTest, SectionAndSingleKeyReadAlike) {
    const TextCase& c = GetParam();
    EXPECT_EQ(platform::ReadProfileTextString(c.text, "s", c.key, c.defaultValue, 260), c.expected);
    EXPECT_EQ(platform::ProfileTextSection(c.text, "s").Read(c.key, c.defaultValue, 260),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProfileTextTest,
    testing::Values(TextCase{.name = "LastLineWithoutLineEnd",
                             .text = "[s]\nk=v",
                             .key = "k",
                             .defaultValue = "",
                             .expected = "v"},
                    TextCase{.name = "FirstOfKeysEqualButForCase",
                             .text = "[S]\nKey=1\nkEY=2\n",
                             .key = "key",
                             .defaultValue = "",
                             .expected = "1"},
                    TextCase{.name = "AbsentKeyGivesTheDefaultLessTrailingBlanks",
                             .text = "[s]\nk=v\n",
                             .key = "other",
                             .defaultValue = "  dflt \t",
                             .expected = "  dflt"},
                    TextCase{.name = "KeyBeforeAnySectionBelongsToNone",
                             .text = "k=v\n[s]\n",
                             .key = "k",
                             .defaultValue = "dflt",
                             .expected = "dflt"}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

}  // namespace
