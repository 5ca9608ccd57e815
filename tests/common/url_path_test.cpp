#include "url_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every spelling of a file maps to that file's one path; what no server serves maps to none.
TEST(ServedPath, EverySpellingOfAFileIsThatFile) {
    const struct {
        std::string_view target;
        std::optional<std::string_view> path;
    } cases[] = {
        {"/images/logo.gif", "/images/logo.gif"},
        {"/images/logo.gif?x=/a/../b#c", "/images/logo.gif"},
        {"/images/photo.jpg#", "/images/photo.jpg"},
        {"/images/photo.jpg#?x", "/images/photo.jpg"},
        {"/a%20b%3F%23%25.gif", "/a b?#%.gif"},
        {"/free%2F..%2Fimages/logo.gif", "/images/logo.gif"},
        {"/free/../images/logo.gif", "/images/logo.gif"},
        {"/free/%2E%2e/images/logo.gif", "/images/logo.gif"},
        {"//private/x.gif", "/private/x.gif"},
        {"/./private/./x.gif", "/private/x.gif"},
        {"/x%2F..%2Fprivate/x.gif", "/private/x.gif"},
        {"/private\\x.gif", "/private/x.gif"},
        {"/private%5c..%5Cimages\\\\logo.gif", "/images/logo.gif"},
        {"/a/b/../../c/", "/c/"},
        {"/a/.", "/a/"},
        {"/a/..", "/"},
        {"/a/...", "/a/..."},
        {"/", "/"},
        {"/..", std::nullopt},
        {"/a/../../b.gif", std::nullopt},
        {"/%2e%2e/secret.txt", std::nullopt},
        {"/a%00.gif", std::nullopt},
        {"/a%4", std::nullopt},
        {"/a%zz.gif", std::nullopt},
        {"a.gif", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        std::string buffer(c.target.size(), '\0');
        EXPECT_EQ(ServedPath(c.target, buffer.data()), c.path) << c.target;
    }
    EXPECT_EQ(PathBelowRoot("/images//a%20b.gif"), std::filesystem::path("images/a b.gif"));
    EXPECT_EQ(PathBelowRoot("/c:/secret.txt"), std::nullopt);
}

}  // namespace
