#include "base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Vector {
    const char* plain;
    const char* encoded;
};

// RFC 4648, section 10.
constexpr Vector kRfcVectors[] = {{"", ""},
                                  {"f", "Zg=="},
                                  {"fo", "Zm8="},
                                  {"foo", "Zm9v"},
                                  {"foob", "Zm9vYg=="},
                                  {"fooba", "Zm9vYmE="},
                                  {"foobar", "Zm9vYmFy"}};

TEST(Base64, EncodesTheRfcTestVectors) {
    for (const Vector& v : kRfcVectors) EXPECT_EQ(base64::Encode(v.plain), v.encoded) << v.plain;
}

TEST(Base64, DecodesTheRfcTestVectors) {
    for (const Vector& v : kRfcVectors) {
        EXPECT_EQ(base64::Decode(v.encoded), std::optional<std::string>(v.plain)) << v.encoded;
    }
}

TEST(Base64, EveryByteValueSurvivesTheRoundTrip) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    for (std::size_t length = 0; length <= all.size(); length += 37) {
        const std::string data = all.substr(all.size() - length);
        const std::string text = base64::Encode(data);
        EXPECT_EQ(text.size(), (data.size() + 2) / 3 * 4);
        EXPECT_EQ(text.find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        EXPECT_EQ(base64::Decode(text), std::optional<std::string>(data));
    }
}

TEST(Base64, MalformedTextDecodesToNothing) {
    const char* malformed[] = {
        "Zg",         // not whole groups
        "Zm9vY",      // not whole groups
        "Zg=",        // not whole groups
        "Z===",       // three fill characters
        "====",       // fill only
        "Zg==Zg==",   // fill before the last group
        "Z=g=",       // fill in the middle of a group
        "Zm9v Zg==",  // blank
        " Zm9v",      // leading blank, never trimmed
        "Zm9v\r\n",   // line end
        "Zm9v-_8=",   // the URL-safe alphabet is not this one
        "Zm\x80v",    // a byte outside ASCII
        "Zh==",       // bits under the fill set: "Zg==" is the only spelling of "f"
        "Zm9=",       // bits under the fill set: "Zm8=" is the only spelling of "fo"
    };
    for (const char* text : malformed) {
        EXPECT_EQ(base64::Decode(text), std::nullopt) << text;
    }
    EXPECT_EQ(base64::Decode(std::string_view("Zm9v\0Zg=", 8)), std::nullopt);
}

}  // namespace
