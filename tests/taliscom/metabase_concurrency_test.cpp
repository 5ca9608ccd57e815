// Two processes that write to one stand-in store at the same time lose none of each other's
// changes (POSIX: the second process is a fork).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "metabase_fixture.h"
#include "wide_text.h"

namespace {

using namespace taliscom;

constexpr int kRounds = 25;

// Runs a change until it reports success: under heavy contention a key can stay busy past the
// 1000-millisecond open time-out, which is reported, not lost; the caller tries again.
template <typename Change>
bool Retry(Change&& change) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (change()) return true;
    }
    return false;
}

// Adds its own filters to its own site and its own keys below a node both processes share.
bool Work(const MetabaseFixture& fixture, const std::string& who, const char16_t* site) {
    MetabaseConnection connection(fixture.Connector());
    MetabaseStore store(fixture.File());
    bool ok = true;
    for (int i = 0; i < kRounds; ++i) {
        const std::u16string name = text::Utf8ToUtf16(who + std::to_string(i));
        ok = Retry([&] { return connection.AddFilter(site, name, u"/x/" + name + u".so"); }) && ok;
        ok = Retry([&] {
                 MetadataHandle key = 0;
                 if (Failed(store.OpenKey(kMasterRootHandle, u"/shared", kPermissionWrite, 1000,
                                          &key))) {
                     return false;
                 }
                 const HResult added = store.AddKey(key, name.c_str());
                 store.CloseKey(key);
                 return Succeeded(added);
             }) &&
             ok;
    }
    return ok;
}

TEST(MetabaseConcurrency, TwoProcessesLoseNothing) {
    MetabaseFixture fixture("[/lm/w3svc/1]\n[/lm/w3svc/2]\n[/shared]\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(Work(fixture, "c", u"/lm/w3svc/2") ? 0 : 1);
    EXPECT_TRUE(Work(fixture, "p", u"/lm/w3svc/1"));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    MetabaseConnection connection(fixture.Connector());
    std::string parentOrder, childOrder;
    for (int i = 0; i < kRounds; ++i) {
        parentOrder += (i ? ",p" : "p") + std::to_string(i);
        childOrder += (i ? ",c" : "c") + std::to_string(i);
    }
    EXPECT_EQ(text::Utf16ToUtf8(connection.ReadFilterLoadOrder(u"/lm/w3svc/1")), parentOrder);
    EXPECT_EQ(text::Utf16ToUtf8(connection.ReadFilterLoadOrder(u"/lm/w3svc/2")), childOrder);
    MetabaseStore store(fixture.File());
    int shared = 0;
    char16_t name[kMaxNameLength];
    while (Succeeded(store.EnumKeys(kMasterRootHandle, u"/shared", name, shared))) ++shared;
    EXPECT_EQ(shared, 2 * kRounds);
    for (int i = 0; i < kRounds; ++i) {
        for (const char* who : {"p", "c"}) {
            const std::string site = who[0] == 'p' ? "1" : "2";
            const std::u16string key =
                text::Utf8ToUtf16("/lm/w3svc/" + site + "/Filters/" + who + std::to_string(i));
            MetadataHandle handle = 0;
            EXPECT_EQ(store.OpenKey(kMasterRootHandle, key.c_str(), kPermissionRead, 1000, &handle),
                      hr::kOk)
                << text::Utf16ToUtf8(key);
            store.CloseKey(handle);
        }
    }
}

}  // namespace
