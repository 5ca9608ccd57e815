// The registrar interpreter and the component's two scripts, against the registry stand-in.
#include "registrar.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/registry_file.h"
#include "registration_scripts.h"
#include "registry_fixture.h"

namespace {

using platform::RegistryRoot;
using taliscom::HResult;
using taliscom::Registrar;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;

constexpr auto kCr = RegistryRoot::ClassesRoot;
constexpr auto kLm = RegistryRoot::LocalMachine;
constexpr const char* kClsidKey = "CLSID\\{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}";
constexpr const char* kAppId = "{09A29094-59B7-4EE9-9329-D12FB3DD0E12}";
constexpr const char* kModule = "/opt/orlentek/taliscom.so";

std::optional<std::string> Read(const std::string& key, const std::string& value = "",
                                RegistryRoot root = kCr) {
    return platform::ReadRegistryString(root, key, value, 4096);
}

void ExpectRegistered() {
    EXPECT_EQ(Read("AppID\\" + std::string(kAppId)), "taliscom");
    EXPECT_EQ(Read("AppID\\taliscom.dll", "AppID"), kAppId);
    EXPECT_EQ(Read("OrlenTek.FilterManager"), "FilterManager Class");
    EXPECT_EQ(Read("OrlenTek.FilterManager\\CLSID"), "{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}");
    EXPECT_EQ(Read("OrlenTek.FilterManager\\CurVer"), "OrlenTek.FilterManager.1");
    EXPECT_EQ(Read("OrlenTek.FilterManager.1"), "FilterManager Class");
    EXPECT_EQ(Read("OrlenTek.FilterManager.1\\CLSID"), "{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}");
    EXPECT_THAT(platform::EnumRegistrySubKeys(kCr, "OrlenTek.FilterManager.1"),
                ElementsAre("CLSID"));
    EXPECT_EQ(Read(kClsidKey), "FilterManager Class");
    EXPECT_EQ(Read(kClsidKey, "AppID"), kAppId);
    const std::string clsid = kClsidKey;
    EXPECT_EQ(Read(clsid + "\\ProgID"), "OrlenTek.FilterManager.1");
    EXPECT_EQ(Read(clsid + "\\VersionIndependentProgID"), "OrlenTek.FilterManager");
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, clsid + "\\Programmable"));
    EXPECT_EQ(Read(clsid + "\\Programmable"), std::nullopt);
    EXPECT_EQ(Read(clsid + "\\InprocServer32"), kModule);
    EXPECT_EQ(Read(clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Read(clsid + "\\TypeLib"), "{08E6BEC5-EAEF-4274-9A5E-5C6664CB473B}");
    EXPECT_THAT(platform::EnumRegistrySubKeys(kCr, clsid),
                UnorderedElementsAre("ProgID", "VersionIndependentProgID", "Programmable",
                                     "InprocServer32", "TypeLib"));
}

TEST(RegistrationScripts, RegisterWritesEveryKeyOfPart31) {
    RegistryFileFixture registry;
    ASSERT_EQ(taliscom::RegisterScripts(kModule), 0);
    ExpectRegistered();
}

TEST(RegistrationScripts, RegisteringTwiceLeavesNoStaleSubkeys) {
    RegistryFileFixture registry;
    ASSERT_EQ(taliscom::RegisterScripts("/old/place/taliscom.so"), 0);
    platform::CreateRegistryKey(kCr, std::string(kClsidKey) + "\\Stale\\Deeper");
    platform::SetRegistryString(kCr, std::string(kClsidKey) + "\\Programmable", "Old", "x");
    ASSERT_EQ(taliscom::RegisterScripts(kModule), 0);
    ExpectRegistered();
    EXPECT_EQ(Read(std::string(kClsidKey) + "\\Programmable", "Old"), std::nullopt);
}

TEST(RegistrationScripts, UnregisterRemovesTheKeysAndKeepsTheRoots) {
    RegistryFileFixture registry;
    platform::SetRegistryString(kCr, "CLSID\\{11111111-2222-3333-4444-555555555555}", "", "other");
    platform::SetRegistryString(kCr, "AppID\\other.dll", "AppID", "{other}");
    ASSERT_EQ(taliscom::RegisterScripts(kModule), 0);
    ASSERT_EQ(taliscom::UnregisterScripts(kModule), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, kClsidKey));
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "AppID\\" + std::string(kAppId)));
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "AppID\\taliscom.dll"));
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "OrlenTek.FilterManager"));
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "OrlenTek.FilterManager.1"));
    EXPECT_THAT(platform::EnumRegistrySubKeys(kCr, "CLSID"),
                ElementsAre("{11111111-2222-3333-4444-555555555555}"));
    EXPECT_THAT(platform::EnumRegistrySubKeys(kCr, "AppID"), ElementsAre("other.dll"));
    // Unregistering again finds nothing to do and succeeds.
    EXPECT_EQ(taliscom::UnregisterScripts(kModule), 0);
}

TEST(RegistrationScripts, RootsStayEvenWhenEmpty) {
    RegistryFileFixture registry;
    ASSERT_EQ(taliscom::RegisterScripts(kModule), 0);
    ASSERT_EQ(taliscom::UnregisterScripts(kModule), 0);
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "CLSID"));
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "AppID"));
}

TEST(Registrar, SetsDwordAndQuotedNames) {
    RegistryFileFixture registry;
    Registrar registrar;
    registrar.AddReplacement("NAME", "it's");
    ASSERT_EQ(registrar.Register(R"(HKLM { 'Software' { 'My Key' = s '%NAME% 100%%' {
        val 'Two Words' = s 'a ''b'''
        val Count = d '42'
        val Hex = d 0x10 } } })"),
              0);
    EXPECT_EQ(Read("Software\\My Key", "", kLm), "it's 100%");
    EXPECT_EQ(Read("Software\\My Key", "Two Words", kLm), "a 'b'");
    const auto tree = platform::LoadRegistryFile();
    const auto& values = tree.at("HKEY_LOCAL_MACHINE\\Software\\My Key").values;
    EXPECT_EQ(std::get<std::uint32_t>(values.at("Count")), 42u);
    EXPECT_EQ(std::get<std::uint32_t>(values.at("Hex")), 16u);
    // Unregistering deletes the key; "Software" is a protected root key.
    ASSERT_EQ(registrar.Unregister(R"(HKLM { Software { 'My Key' = s 'x' } })"), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(kLm, "Software\\My Key"));
    EXPECT_TRUE(platform::RegistryKeyExists(kLm, "Software"));
}

TEST(Registrar, PlainKeyStaysWhileForeignSubkeysRemain) {
    RegistryFileFixture registry;
    Registrar registrar;
    const char* script = "HKCR { Thing = s 'x' { Mine = s 'y' { val V = s 'z' } } }";
    ASSERT_EQ(registrar.Register(script), 0);
    platform::CreateRegistryKey(kCr, "Thing\\Foreign");
    ASSERT_EQ(registrar.Unregister(script), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "Thing\\Mine"));
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "Thing\\Foreign"));
}

TEST(Registrar, NoRemoveKeyLosesOnlyItsNamedValues) {
    RegistryFileFixture registry;
    Registrar registrar;
    platform::SetRegistryString(kCr, "Keep", "Other", "stays");
    const char* script = "HKCR { NoRemove Keep { val Mine = s 'v' } }";
    ASSERT_EQ(registrar.Register(script), 0);
    EXPECT_EQ(Read("Keep", "Mine"), "v");
    ASSERT_EQ(registrar.Unregister(script), 0);
    EXPECT_EQ(Read("Keep", "Mine"), std::nullopt);
    EXPECT_EQ(Read("Keep", "Other"), "stays");
}

TEST(Registrar, DeleteKeyIsRemovedOnRegister) {
    RegistryFileFixture registry;
    platform::CreateRegistryKey(kCr, "Old\\Below");
    Registrar registrar;
    ASSERT_EQ(registrar.Register("HKCR { Delete Old }"), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "Old"));
}

TEST(Registrar, ProtectedRootKeyIsNeverDeleted) {
    RegistryFileFixture registry;
    Registrar registrar;
    ASSERT_EQ(registrar.Register("HKCR { CLSID { Sub } ForceRemove Interface }"), 0);
    ASSERT_EQ(registrar.Unregister("HKCR { CLSID { Sub } ForceRemove Interface }"), 0);
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "CLSID"));
    EXPECT_TRUE(platform::RegistryKeyExists(kCr, "Interface"));
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "CLSID\\Sub"));
}

TEST(Registrar, RejectsScriptsItCannotParseAndChangesNothing) {
    RegistryFileFixture registry;
    Registrar registrar;
    constexpr HResult kSyntax = taliscom::hr::kDispException;
    for (const char* script : {
             "HKCR { A = s 'unterminated }",
             "HKCR { A { B }",
             "HKXX { A }",
             "HKCR { A = q 'x' }",
             "HKCR { A = d 'twelve' }",
             "HKCR { A = s '%UNKNOWN%' }",
             "HKCR { A } }",
         }) {
        EXPECT_EQ(registrar.Register(script), kSyntax) << script;
        EXPECT_EQ(registrar.Unregister(script), kSyntax) << script;
    }
    EXPECT_FALSE(platform::RegistryKeyExists(kCr, "A"));
}

TEST(Registrar, ReportsRegistryFailures) {
    RegistryFileFixture registry;
    ::unsetenv(platform::kRegistryFileVariable);
    Registrar registrar;
    EXPECT_EQ(registrar.Register("HKCR { A }"), taliscom::hr::kFileNotFound);
    EXPECT_EQ(taliscom::RegisterScripts(kModule), taliscom::hr::kSelfRegClass);
}

}  // namespace
