// The registry stand-in's write operations (POSIX).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry.h"
#include "platform/registry_file.h"
#include "registry_fixture.h"

namespace {

using platform::RegistryRoot;
using testing::ElementsAre;
using testing::UnorderedElementsAre;

constexpr auto kCr = RegistryRoot::ClassesRoot;
constexpr auto kLm = RegistryRoot::LocalMachine;

TEST(RegistryWrite, CreatesKeysWithTheirParents) {
    RegistryFileFixture registry;
    EXPECT_EQ(platform::CreateRegistryKey(kCr, "A\\B\\C"), 0);
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "A"));
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "a\\b"));
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "A\\B\\C"));
    EXPECT_FALSE(platform::RegistryKeyExists(kLm, "A"));
    EXPECT_THAT(platform::EnumRegistrySubKeys(kCr, "A"), ElementsAre("B"));
    // The file is readable REGEDIT4 text.
    EXPECT_THAT(registry.Folder().Read("registry.reg"),
                testing::HasSubstr("[HKEY_CLASSES_ROOT\\A\\B\\C]"));
}

TEST(RegistryWrite, SetsAndDeletesValues) {
    RegistryFileFixture registry;
    EXPECT_EQ(platform::SetRegistryString(kLm, "Software\\X", "", "default text"), 0);
    EXPECT_EQ(platform::SetRegistryString(kLm, "Software\\X", "Name", "a \"quoted\" \\ value"), 0);
    EXPECT_EQ(platform::SetRegistryDword(kLm, "Software\\X", "Number", 7), 0);
    EXPECT_EQ(platform::ReadRegistryString(kLm, "Software\\X", "", 260), "default text");
    EXPECT_EQ(platform::ReadRegistryString(kLm, "software\\x", "name", 260),
              "a \"quoted\" \\ value");
    EXPECT_EQ(platform::ReadRegistryString(kLm, "Software\\X", "Number", 260), std::nullopt);
    EXPECT_EQ(platform::DeleteRegistryValue(kLm, "Software\\X", "Name"), 0);
    EXPECT_EQ(platform::ReadRegistryString(kLm, "Software\\X", "Name", 260), std::nullopt);
    EXPECT_EQ(platform::DeleteRegistryValue(kLm, "Software\\X", "Name"),
              platform::kRegistryFileNotFound);
    EXPECT_EQ(platform::DeleteRegistryValue(kLm, "Software\\Missing", "Name"),
              platform::kRegistryFileNotFound);
}

TEST(RegistryWrite, DeletesKeysAndTrees) {
    RegistryFileFixture registry;
    platform::CreateRegistryKey(kCr, "Root\\Key\\Child");
    platform::CreateRegistryKey(kCr, "Root\\Keyboard");
    EXPECT_EQ(platform::DeleteRegistryKey(kCr, "Root\\Key"), platform::kRegistryAccessDenied);
    EXPECT_EQ(platform::DeleteRegistryKey(kCr, "Root\\Key\\Child"), 0);
    EXPECT_EQ(platform::DeleteRegistryKey(kCr, "Root\\Key\\Child"),
              platform::kRegistryFileNotFound);
    platform::CreateRegistryKey(kCr, "Root\\Key\\Child\\Grandchild");
    EXPECT_EQ(platform::DeleteRegistryTree(kCr, "Root\\Key"), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "Root\\Key"));
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "Root\\Key\\Child"));
    // A sibling whose name starts with the deleted key's name stays.
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "Root\\Keyboard"));
    EXPECT_THAT(platform::EnumRegistrySubKeys(kCr, "Root"), ElementsAre("Keyboard"));
    EXPECT_EQ(platform::DeleteRegistryTree(kCr, "Root\\Key"), platform::kRegistryFileNotFound);
}

TEST(RegistryWrite, FailsWithoutAFile) {
    RegistryFileFixture registry;
    ::unsetenv(platform::kRegistryFileVariable);
    EXPECT_NE(platform::CreateRegistryKey(kCr, "A"), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "A"));
}

TEST(RegistryWrite, TwoProcessesLoseNoChange) {
    RegistryFileFixture registry;
    constexpr int kWrites = 40;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const char* who = child == 0 ? "child" : "parent";
    for (int i = 0; i < kWrites; ++i) {
        platform::SetRegistryString(kLm, std::string("Software\\") + who, std::to_string(i), who);
    }
    if (child == 0) ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const auto tree = platform::LoadRegistryFile();
    for (const char* name : {"parent", "child"}) {
        const auto key = tree.find(std::string("HKEY_LOCAL_MACHINE\\Software\\") + name);
        ASSERT_NE(key, tree.end()) << name;
        EXPECT_EQ(key->second.values.size(), static_cast<std::size_t>(kWrites)) << name;
    }
}

}  // namespace
