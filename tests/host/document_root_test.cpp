// Mapping request targets to files, and nothing outside the root.
#include "document_root.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(DocumentRootTest, MapsTargetsToFilesInsideTheRootOnly) {
    TempFolder folder;
    folder.Write("root/index.html", "home");
    folder.Write("root/images/a b.gif", "gif");
    folder.Write("root/images/index.html", "images");
    folder.Write("root/empty/.keep", "");
    folder.Write("secret.txt", "secret");
    fs::create_symlink(folder.PathOf("secret.txt"), folder.PathOf("root/out.txt"));
    fs::create_symlink(folder.PathOf("root/index.html"), folder.PathOf("root/in.html"));
    fs::create_directory_symlink(folder.Path(), folder.PathOf("root/up"));
    const DocumentRoot root(folder.PathOf("root"));
    using O = DocumentRoot::Outcome;
    const struct {
        std::string target;
        O outcome;
        std::string file;  // relative to the root
    } cases[] = {
        {"/", O::kFound, "index.html"},
        {"/index.html?x=../../secret.txt", O::kFound, "index.html"},
        {"/images/a%20b.gif", O::kFound, "images/a b.gif"},
        {"/images//a%20b.gif", O::kFound, "images/a b.gif"},
        {"/images", O::kFound, "images/index.html"},
        {"/images/", O::kFound, "images/index.html"},
        {"/in.html", O::kFound, "index.html"},
        {"/empty/", O::kNotFound, ""},
        {"/images/a%20b.gif/", O::kNotFound, ""},
        {"/images/a%20b.gif//", O::kNotFound, ""},
        {"/missing.gif", O::kNotFound, ""},
        {"/out.txt", O::kNotFound, ""},
        {"/up/secret.txt", O::kNotFound, ""},
        {"/../secret.txt", O::kBadRequest, ""},
        {"/images/../../secret.txt", O::kBadRequest, ""},
        {"/%2e%2e/secret.txt", O::kBadRequest, ""},
        {"/images%2f..%2f..%2fsecret.txt", O::kBadRequest, ""},
        {"/a%00.gif", O::kBadRequest, ""},
        {"/a%4", O::kBadRequest, ""},
        {"/a%zz", O::kBadRequest, ""},
        {"/c:/secret.txt", O::kBadRequest, ""},
        {"index.html", O::kBadRequest, ""},
        {"", O::kBadRequest, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const auto lookup = root.Resolve(c.target);
        EXPECT_EQ(lookup.outcome, c.outcome);
        if (c.outcome == O::kFound) {
            EXPECT_EQ(lookup.file, fs::canonical(folder.PathOf("root/" + c.file)));
        }
    }
}

TEST(DocumentRootTest, NamesContentTypesByExtension) {
    const struct {
        const char* file;
        const char* type;
    } cases[] = {
        {"a.gif", "image/gif"},
        {"a.JPG", "image/jpeg"},
        {"a.jpeg", "image/jpeg"},
        {"a.png", "image/png"},
        {"index.html", "text/html; charset=utf-8"},
        {"noextension", "application/octet-stream"},
        {"a.gif.exe", "application/octet-stream"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentRoot::ContentType(c.file), c.type) << c.file;
    }
}

}  // namespace
