// A request that no rule decides, with logging off, costs the heap nothing: its values are read
// into fixed buffers and viewed, the lists are matched in place, and the configuration is read
// without a copy of anything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "filter_fixture.h"

namespace {

thread_local bool g_counting = false;
thread_local int g_allocations = 0;

void* Allocate(std::size_t size) {
    if (g_counting) ++g_allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}

}  // namespace

// Every form that plain (not over-aligned) allocations take, so that each pair matches.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

int AllocationsFor(FilterFixture& site, FakeRequest& request, DWORD expected) {
    request.RecordCalls(false);
    EXPECT_EQ(site.Send(request), expected);  // the first may set up what lasts
    g_allocations = 0;
    g_counting = true;
    const DWORD status = site.Send(request);
    g_counting = false;
    EXPECT_EQ(status, expected);
    return g_allocations;
}

TEST(RequestPath, ARequestNoRuleDecidesAllocatesNothing) {
    const std::string entries = "no-match-1\nno-match-2\nUser-Agent: Bot/1.0\n10.6.6.6\n";
    FilterFixture site({{"pixwall.ini",
                         "[logging]\nlogging=off\n[alternates]\n"
                         "default=http://imgserver/stop.gif\n"},
                        {"blocked_types.txt", "gif\njpg\n"},
                        {"client_blacklist.txt", entries},
                        {"client_whitelist.txt", entries},
                        {"ua_blacklist.txt", entries},
                        {"ua_whitelist.txt", entries},
                        {"referrer_blacklist.txt", entries},
                        {"referrer_whitelist.txt", entries},
                        {"url_blacklist.txt", entries},
                        {"url_whitelist.txt", entries}});
    site.Filter().Watcher()->Stop();  // no rebuild in between

    FakeRequest image;
    image.Server("imgserver")
        .Url("/images/photos/holiday/a%20long%20name%20of%20a%20picture.gif?size=large")
        .Client("2001:db8:85a3::8a2e:370:7334", "a-rather-long-client-host-name.example.net")
        .Referrer("http://www.someone-else.example:8080/pages/with/a/long/path.html")
        .UserAgent("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 Chrome/120.0");
    EXPECT_EQ(AllocationsFor(site, image, SF_STATUS_REQ_NEXT_NOTIFICATION), 0);

    FakeRequest page;
    page.Server("imgserver").Url("/index.html").Client("10.0.0.1");
    EXPECT_EQ(AllocationsFor(site, page, SF_STATUS_REQ_NEXT_NOTIFICATION), 0);

    // The count sees what a redirect builds.
    FakeRequest blocked;
    blocked.Server("imgserver").Url("/a.gif").Client("10.6.6.6");
    EXPECT_GT(AllocationsFor(site, blocked, SF_STATUS_REQ_HANDLED_NOTIFICATION), 0);
}

}  // namespace
