#include "blocked_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_folder.h"

namespace {

struct SizeCase {
    const char* name;
    const char* url;
    std::optional<std::uint64_t> size;
};

class BlockedBytesTest : public testing::TestWithParam<SizeCase> {};

TEST_P(BlockedBytesTest, SizeOfTheFileTheUrlNames) {
    TempFolder folder;
    std::filesystem::create_directories(folder.PathOf("site/images"));
    folder.Write("site/images/a.gif", std::string(1000, 'a'));
    folder.Write("site/images/a b.gif", std::string(20, 'b'));
    folder.Write("secret.txt", std::string(7, 's'));
    const BlockedBytes bytes(folder.PathOf("site"));
    EXPECT_EQ(bytes.SizeOf(GetParam().url), GetParam().size) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Urls, BlockedBytesTest,
                         testing::Values(SizeCase{"Plain", "/images/a.gif", 1000},
                                         SizeCase{"QueryLeftOut", "/images/a.gif?width=10", 1000},
                                         SizeCase{"EscapesDecoded", "/images/a%20b.gif", 20},
                                         SizeCase{"DoubledSlashes", "//images//a.gif", 1000},
                                         SizeCase{"Missing", "/images/none.gif", std::nullopt},
                                         SizeCase{"Folder", "/images", std::nullopt},
                                         SizeCase{"Root", "/", std::nullopt},
                                         SizeCase{"NotAPath", "images/a.gif", std::nullopt},
                                         SizeCase{"UpAndOut", "/../secret.txt", std::nullopt},
                                         SizeCase{"EscapedUp", "/%2e%2e/secret.txt", std::nullopt},
                                         SizeCase{"BadEscape", "/images/a%2.gif", std::nullopt}),
                         [](const auto& info) { return info.param.name; });

TEST(BlockedBytesSumTest, SizeTimesBlocksAndFilesNotFound) {
    TempFolder folder;
    folder.Write("a.gif", std::string(1000, 'a'));
    TopCounter files;
    files.Add("/a.gif", 3);
    files.Add("/gone.gif", 2);
    BlockedBytes bytes(folder.Path());
    const auto total = bytes.Sum(files);
    EXPECT_EQ(total.bytes, 3000u);
    EXPECT_EQ(total.requests, 3u);
    EXPECT_EQ(total.missing, 2u);
    EXPECT_EQ(bytes.KnownSize("/a.gif"), 1000u);
    EXPECT_EQ(bytes.KnownSize("/gone.gif"), std::nullopt);
}

}  // namespace
