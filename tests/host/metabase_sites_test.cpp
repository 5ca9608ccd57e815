// Reading the web sites, their bindings, roots and filters from a metabase store.
#include "metabase_sites.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace {

using Binding = MetabaseSites::Binding;

// Site 1 with two bindings, its root and a filter of its own; global filters a and b.
const std::string kStore = R"([/LM/W3SVC]
[/LM/W3SVC/Filters]
1002 STRING "IIsFilters"
2040 STRING "a,b"
[/LM/W3SVC/Filters/a]
2041 STRING "/f/a.so"
[/LM/W3SVC/Filters/b]
2041 STRING "/f/b.so"
[/LM/W3SVC/1]
1002 STRING "IIsWebServer"
1015 STRING "Shop"
1023 MULTISZ "127.0.0.1:8080:localhost\0:8081:"
[/LM/W3SVC/1/ROOT]
3001 STRING "/srv/shop"
[/LM/W3SVC/1/Filters]
2040 STRING "own,a"
[/LM/W3SVC/1/Filters/own]
2041 STRING "/f/own.so"
[/LM/W3SVC/1/Filters/a]
2041 STRING "/f/../f/a.so"
)";

// A sound second site, lower-case paths as the component writes them.
const std::string kSecond = R"(
[/lm/w3svc/2]
1002 STRING "IIsWebServer"
1015 STRING "Blog"
1023 STRING ":80:blog"
[/lm/w3svc/2/ROOT]
3001 STRING "/srv/blog"
)";

TEST(MetabaseSitesTest, ReadsSitesAsIisDoes) {
    const MetabaseSites read = MetabaseSites::FromText(kStore + kSecond, "store");
    EXPECT_TRUE(read.problems.empty()) << read.problems.front();
    ASSERT_EQ(read.sites.size(), 2u);
    const auto& shop = read.sites[0];
    EXPECT_EQ(shop.key, "/LM/W3SVC/1");
    EXPECT_EQ(shop.description, "Shop");
    EXPECT_EQ(shop.root, "/srv/shop");
    ASSERT_EQ(shop.bindings.size(), 2u);
    EXPECT_EQ(shop.bindings[0].address, "127.0.0.1");
    EXPECT_EQ(shop.bindings[0].port, 8080);
    EXPECT_EQ(shop.bindings[0].hostName, "localhost");
    EXPECT_EQ(shop.bindings[1].address, "");
    EXPECT_EQ(shop.bindings[1].port, 8081);
    EXPECT_EQ(shop.bindings[1].hostName, "");
    // Global filters first, then the site's; a at both levels once, in its global place.
    EXPECT_EQ(shop.filters, (std::vector<std::string>{"/f/a.so", "/f/b.so", "/f/own.so"}));
    const auto& blog = read.sites[1];
    EXPECT_EQ(blog.root, "/srv/blog");
    EXPECT_EQ(blog.filters, (std::vector<std::string>{"/f/a.so", "/f/b.so"}));
}

TEST(MetabaseSitesTest, ReportsBrokenPiecesAndServesTheSoundSites) {
    const struct {
        const char* name;
        std::string store;
        std::string problem;  // the start of the one message expected
        std::size_t sites;    // sites still listed
    } cases[] = {
        {"no web service key", "[/LM/OTHER]\n", "store: no key /LM/W3SVC", 0},
        {"unreadable line leaves out its site", kStore + "2041 STRING unquoted\n" + kSecond,
         "store:21: unreadable property, line skipped", 1},
        {"unreadable line among the global filters leaves out every site",
         kSecond + "[/lm/w3svc/Filters]\n2040 STRING unquoted\n",
         "store:9: unreadable property, line skipped", 0},
        {"a key that cannot be read leaves out every site",
         kSecond + "[/lm/w3svc/2/Filters\n2040 STRING \"own\"\n",
         "store:8: unreadable property, line skipped", 0},
        {"a line outside any key spoils nothing", "1015 STRING \"x\"\n" + kSecond,
         "store:1: a property outside any key, line skipped", 1},
        {"no web server key type",
         "[/LM/W3SVC/3]\n1023 STRING \":1:\"\n[/LM/W3SVC/3/ROOT]\n3001 STRING \"/r\"\n" + kSecond,
         "/LM/W3SVC/3: KeyType is not IIsWebServer", 1},
        {"no root",
         kSecond + "[/lm/w3svc/3]\n1002 STRING \"IIsWebServer\"\n1015 STRING \"Bare\"\n"
                   "1023 STRING \":1:\"\n",
         "/LM/W3SVC/3 (\"Bare\"): no document root (Path of /LM/W3SVC/3/ROOT)", 1},
        {"no bindings",
         kSecond + "[/lm/w3svc/3]\n1002 STRING \"IIsWebServer\"\n[/lm/w3svc/3/ROOT]\n"
                   "3001 STRING \"/r\"\n",
         "/LM/W3SVC/3 (\"\"): no ServerBindings", 1},
        {"bad binding",
         kSecond + "[/lm/w3svc/3]\n1002 STRING \"IIsWebServer\"\n1023 STRING \"x:http:\"\n"
                   "[/lm/w3svc/3/ROOT]\n3001 STRING \"/r\"\n",
         "/LM/W3SVC/3 (\"\"): ServerBindings entry \"x:http:\" is not address:port:host name", 1},
        {"site filter without key", kSecond + "[/lm/w3svc/2/Filters]\n2040 STRING \"gone\"\n",
         "/LM/W3SVC/2/Filters: FilterLoadOrder names gone, but there is no key "
         "/LM/W3SVC/2/Filters/gone",
         0},
        {"site filter without path",
         kSecond + "[/lm/w3svc/2/Filters]\n2040 STRING \"p\"\n[/lm/w3svc/2/Filters/p]\n",
         "/LM/W3SVC/2/Filters/p: no FilterPath", 0},
        {"global filter without key spoils every site",
         kSecond + "[/lm/w3svc/Filters]\n2040 STRING \"gone\"\n",
         "/LM/W3SVC/Filters: FilterLoadOrder names gone", 0},
    };
    for (const auto& c : cases) {
        const MetabaseSites read = MetabaseSites::FromText(c.store, "store");
        ASSERT_FALSE(read.problems.empty()) << c.name;
        EXPECT_EQ(read.problems.front().substr(0, c.problem.size()), c.problem) << c.name;
        EXPECT_EQ(read.sites.size(), c.sites) << c.name;
    }
}

TEST(MetabaseSitesTest, ReportsAMissingStore) {
    TempFolder folder;
    const MetabaseSites read = MetabaseSites::Read(folder.PathOf("none.txt"));
    EXPECT_TRUE(read.sites.empty());
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_EQ(read.problems[0], folder.PathOf("none.txt") + ": no such metabase store");
    folder.Write("store.txt", kSecond);
    EXPECT_EQ(MetabaseSites::Read(folder.PathOf("store.txt")).sites.size(), 1u);
}

}  // namespace
