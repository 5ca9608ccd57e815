#include "url_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every spelling of a file maps to its one path; what no server serves maps to none.
TEST(ServedPath, EverySpellingOfAFileIsThatFile) {
    const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
        {"/a.gif?x=/../b#c", "/a.gif"},     {"/photo.jpg#", "/photo.jpg"},
        {"/a%20b%3F%23.gif", "/a b?#.gif"}, {"/free%2F..%2Fimages/a.gif", "/images/a.gif"},
        {"/free/%2E%2e/a.gif", "/a.gif"},   {"//private/./x.gif", "/private/x.gif"},
        {"/x\\..%5c%5Cp/x.gif", "/p/x.gif"}, {"/a/b/../../c/", "/c/"},
        {"/a/.", "/a/"},                    {"/a/..", "/"},
        {"/a/...", "/a/..."},               {"/a/../../b.gif", std::nullopt},
        {"/%2e%2e/b.gif", std::nullopt},    {"/a%00.gif", std::nullopt},
        {"/a%4", std::nullopt},             {"a.gif", std::nullopt}};
    for (const auto& [target, path] : cases) {
        std::string buffer(target.size(), '\0');
        EXPECT_EQ(ServedPath(target, buffer.data()), path) << target;
    }
}

}  // namespace
