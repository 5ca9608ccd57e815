// The filter with a farm's store named in its settings: a rebuild that changes the store moves
// the requests to the new one, while requests are in flight too. (The store's own behaviour is
// tested on its own, and two servers sharing one in the host's tests.)
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "fake_redis.h"
#include "filter_fixture.h"

namespace {

constexpr DWORD kAllowed = SF_STATUS_REQ_NEXT_NOTIFICATION;

// Of one length whatever the store (values are trimmed), so that a rewrite in place never shows
// a rebuild a file cut short.
std::string Settings(const std::string& store) {
    return "[settings]\ntimetolive=600\n[DynamicAuthorization]\nDynamicAuthorization=on\nstore=" +
           store + std::string(40 - store.size(), ' ') + "\n";
}

void RewriteInPlace(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

std::string StoreOf(const FakeRedis& redis) {
    return "redis://127.0.0.1:" + std::to_string(redis.Port());
}

FilterFixture SiteWith(const std::string& store) {
    return FilterFixture({{"pixwall.ini", Settings(store)}, {"blocked_types.txt", "gif\n"}}, true,
                         [] { return std::int64_t{1'136'073'600}; });
}

DWORD Visit(FilterFixture& site, const std::string& url, const std::string& client) {
    const auto request = FilterFixture::Request(url, client);
    return site.Send(*request);
}

TEST(FarmFilter, ARebuildMovesTheAdmissionsToTheStoreTheSettingsNameNow) {
    FakeRedis before;
    FakeRedis after;
    FilterFixture site = SiteWith(StoreOf(before));
    Visit(site, "/index.html", "10.0.0.1");
    EXPECT_TRUE(before.Value("pixwall:admission:10.0.0.1"));

    site.Folder().Write("pixwall.ini", Settings(StoreOf(after)));
    site.Filter().RebuildConfiguration();
    Visit(site, "/index.html", "10.0.0.2");
    EXPECT_TRUE(after.Value("pixwall:admission:10.0.0.2"));
    EXPECT_FALSE(before.Value("pixwall:admission:10.0.0.2"));

    // Without a store the admissions stay in the filter's own table, which kept the earlier ones.
    site.Folder().Write("pixwall.ini", Settings(""));
    site.Filter().RebuildConfiguration();
    const std::size_t commands = before.Commands() + after.Commands();
    Visit(site, "/index.html", "10.0.0.3");
    EXPECT_EQ(Visit(site, "/img/logo.gif", "10.0.0.3"), kAllowed);
    EXPECT_EQ(Visit(site, "/img/logo.gif", "10.0.0.1"), kAllowed);
    EXPECT_EQ(before.Commands() + after.Commands(), commands);
}

TEST(FarmFilter, RequestsInFlightKeepTheirStoreWhileItIsReplaced) {
    FakeRedis stores[2];
    FilterFixture site = SiteWith(StoreOf(stores[0]));
    std::atomic<bool> done{false};
    std::atomic<int> refused{0};
    std::vector<std::thread> requests;
    for (int t = 0; t < 4; ++t) {
        requests.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                const std::string client = "10.0." + std::to_string(t) + "." + std::to_string(i);
                Visit(site, "/index.html", client);
                if (Visit(site, "/img/logo.gif", client) != kAllowed) ++refused;
            }
        });
    }
    std::thread rebuilds([&] {
        for (int i = 1; !done; ++i) {
            RewriteInPlace(site.Folder().PathOf("pixwall.ini"),
                           Settings(i % 3 ? StoreOf(stores[i % 2]) : ""));
            site.Filter().RebuildConfiguration();
        }
    });
    for (auto& thread : requests) thread.join();
    done = true;
    rebuilds.join();
    EXPECT_EQ(refused.load(), 0);
}

}  // namespace
