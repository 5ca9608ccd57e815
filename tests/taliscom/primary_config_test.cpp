// LocatePrimaryConfig and the reading of "corvane.ini", against the registry and
// profile stand-ins.
#include "primary_config.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "registry_fixture.h"
#include "wide_text.h"

namespace {

using namespace taliscom;

std::string Locate(const std::string& filterPath) {
    return text::Utf16ToUtf8(LocatePrimaryConfig(text::Utf8ToUtf16(filterPath)));
}

void SetInstallDir(const std::string& base, const std::string& folder) {
    platform::SetRegistryString(platform::RegistryRoot::LocalMachine, "SOFTWARE\\OrlenTek\\" + base,
                                "install_dir", folder);
}

TEST(FilterBaseName, DropsTheFolderThenTheExtension) {
    EXPECT_EQ(FilterBaseName(u"/opt/pixwall/pixwall.so"), u"pixwall");
    EXPECT_EQ(FilterBaseName(u"/opt/app.two/pixwall"), u"pixwall");  // a dot in a folder
    EXPECT_EQ(FilterBaseName(u"/opt/app.two/pix.wall.so"), u"pix.wall");
    EXPECT_EQ(FilterBaseName(u"pixwall.so"), u"pixwall");
    EXPECT_EQ(FilterBaseName(u""), u"");
}

TEST(LocatePrimaryConfig, UsesInstallDirWithOrWithoutTrailingSeparator) {
    RegistryFileFixture registry;
    SetInstallDir("pixwall", "/srv/orlentek");
    EXPECT_EQ(Locate("/opt/filter/pixwall.so"), "/srv/orlentek/corvane.ini");
    SetInstallDir("pixwall", "/srv/orlentek/");
    EXPECT_EQ(Locate("/opt/filter/pixwall.so"), "/srv/orlentek/corvane.ini");
}

TEST(LocatePrimaryConfig, FallsBackToTheModuleFolder) {
    RegistryFileFixture registry;
    EXPECT_EQ(Locate("/opt/filter/pixwall.so"), "/opt/filter/corvane.ini");
    SetInstallDir("pixwall", "");
    EXPECT_EQ(Locate("/opt/filter/pixwall.so"), "/opt/filter/corvane.ini");
    SetInstallDir("other", "/srv/other");
    EXPECT_EQ(Locate("/opt/filter/pixwall.so"), "/opt/filter/corvane.ini");
    EXPECT_EQ(Locate("pixwall.so"), "/corvane.ini");
}

TEST(LocatePrimaryConfig, ADotInAFolderNameDoesNotCutTheBaseName) {
    RegistryFileFixture registry;
    SetInstallDir("app", "/srv/wrong");
    SetInstallDir("pixwall", "/srv/right");
    EXPECT_EQ(Locate("/opt/app.two/pixwall"), "/srv/right/corvane.ini");
}

TEST(LocatePrimaryConfig, AnOverlongInstallDirCountsAsEmpty) {
    RegistryFileFixture registry;
    SetInstallDir("pixwall", "/" + std::string(260, 'd'));
    EXPECT_EQ(Locate("/opt/filter/pixwall.so"), "/opt/filter/corvane.ini");
}

TEST(ReadPrimaryConfigValue, ReadsWithTheProfileRules) {
    RegistryFileFixture registry;
    const TempFolder& folder = registry.Folder();
    folder.Write("corvane.ini",
                 "[Settings]\nFilterName = \"pixwall\"\nfilterdesc=Hot-link protection\n"
                 "[other]\nfiltername=wrong\n");
    SetInstallDir("pixwall", folder.Path());
    const std::u16string config = LocatePrimaryConfig(u"/elsewhere/pixwall.so");
    EXPECT_EQ(ReadPrimaryConfigValue(config, u"settings", u"filtername"), u"pixwall");
    EXPECT_EQ(ReadPrimaryConfigValue(config, u"settings", u"filterdesc"), u"Hot-link protection");
    EXPECT_EQ(ReadPrimaryConfigValue(config, u"settings", u"filterpath"), u"");
    EXPECT_EQ(
        ReadPrimaryConfigValue(text::Utf8ToUtf16(folder.PathOf("none.ini")), u"settings", u"filtername"),
        u"");
}

TEST(ReadPrimaryConfigValue, TheWordDefaultReadsAsEmptyOnlyInLowerCase) {
    RegistryFileFixture registry;
    const TempFolder& folder = registry.Folder();
    folder.Write("a.ini", "[settings]\nfiltername=default\n");
    folder.Write("b.ini", "[settings]\nfiltername=Default\n");
    folder.Write("c.ini", "[settings]\nfiltername=" + std::string(300, 'n') + "\n");
    EXPECT_EQ(
        ReadPrimaryConfigValue(text::Utf8ToUtf16(folder.PathOf("a.ini")), u"settings", u"filtername"),
        u"");
    EXPECT_EQ(
        ReadPrimaryConfigValue(text::Utf8ToUtf16(folder.PathOf("b.ini")), u"settings", u"filtername"),
        u"Default");
    EXPECT_EQ(
        ReadPrimaryConfigValue(text::Utf8ToUtf16(folder.PathOf("c.ini")), u"settings", u"filtername")
            .size(),
        259u);
}

TEST(ReadPrimaryConfigValue, FoundBesideTheModuleWithoutInstallDir) {
    RegistryFileFixture registry;
    const TempFolder& folder = registry.Folder();
    folder.Write("corvane.ini", "[settings]\nfiltername=beside\n");
    const std::u16string config = LocatePrimaryConfig(text::Utf8ToUtf16(folder.PathOf("pixwall.so")));
    EXPECT_EQ(ReadPrimaryConfigValue(config, u"settings", u"filtername"), u"beside");
}

}  // namespace
