#include "filter_config.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/isapi.h"
#include "platform/paths.h"
#include "scoped_install_dir.h"
#include "temp_folder.h"

namespace {

std::shared_ptr<const FilterConfig> Loaded(const TempFolder& folder) {
    return FilterConfig::Load(FilterConfig::Paths::Find(folder.Path()));
}

TEST(FilterConfig, MissingSettingsFileGivesDefaults) {
    TempFolder folder;
    folder.Write("corvane.ini", "");
    folder.Write("blocked_types.txt", "gif\n");
    const auto config = Loaded(folder);
    EXPECT_EQ(config->priority(), static_cast<std::uint32_t>(SF_NOTIFY_ORDER_MEDIUM));
    EXPECT_FALSE(config->blockNullReferrer());
    EXPECT_EQ(config->timeToLive(), 0u);
    EXPECT_EQ(config->logFilePath(), "");
    EXPECT_EQ(config->maxLogSize(), 50000);
    EXPECT_FALSE(config->dynamicAuthorization());
    EXPECT_FALSE(config->useCookie());
    EXPECT_TRUE(config->alternates().empty());
    EXPECT_TRUE(config->IsBlockedType("gif"));  // lists load all the same
}

TEST(FilterConfig, PathsLieInTheModuleFolder) {
    TempFolder folder;
    const auto config = Loaded(folder);
    const std::string base = folder.Path() + platform::kPathSeparator;
    EXPECT_EQ(config->paths().settings, base + "pixwall.ini");
    EXPECT_EQ(config->paths().primaryConfig, base + "corvane.ini");
    EXPECT_EQ(config->paths().lists[FilterConfig::kUrlBlackList], base + "url_blacklist.txt");
    EXPECT_EQ(config->paths().lists[FilterConfig::kUserAgentWhiteList], base + "ua_whitelist.txt");
}

TEST(FilterConfig, InstallFolderFromTheRegistryHoldsThePrimaryConfig) {
    TempFolder module;
    TempFolder install;
    module.Write("corvane.ini", "");  // ignored: the registry names another folder
    module.Write("pixwall.ini", "[DynamicAuthorization]\nDynamicAuthorization=on\n");
    for (const std::string& installDir :
         {install.Path(), install.Path() + platform::kPathSeparator}) {
        ScopedInstallDir registry(installDir);
        const auto without = Loaded(module);
        EXPECT_EQ(without->paths().primaryConfig,
                  install.Path() + platform::kPathSeparator + "corvane.ini");
        EXPECT_FALSE(without->paths().primaryConfigExists);
        EXPECT_FALSE(without->dynamicAuthorization());
    }
    // The settings themselves stay beside the module.
    install.Write("corvane.ini", "");
    ScopedInstallDir registry(install.Path());
    const auto with = Loaded(module);
    EXPECT_TRUE(with->paths().primaryConfigExists);
    EXPECT_TRUE(with->dynamicAuthorization());
    EXPECT_EQ(with->paths().settings, module.PathOf("pixwall.ini"));
}

struct SwitchCase {
    const char* ini;
    bool withPrimaryConfig;
    bool dynamicAuthorization;
    bool useCookie;
    bool blockNullReferrer;
    bool enforce = true, fetchMetadata = false, allowLinks = false;
};

void PrintTo(const SwitchCase& c, std::ostream* out) { *out << '"' << c.ini << '"'; }

class SwitchTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, SwitchesReadAsTheirWordsSay) {
    const SwitchCase& c = GetParam();
    TempFolder folder;
    folder.Write("pixwall.ini", c.ini);
    if (c.withPrimaryConfig) folder.Write("corvane.ini", "[settings]\n");
    const auto config = Loaded(folder);
    EXPECT_EQ(config->dynamicAuthorization(), c.dynamicAuthorization);
    EXPECT_EQ(config->useCookie(), c.useCookie);
    EXPECT_EQ(config->blockNullReferrer(), c.blockNullReferrer);
    EXPECT_EQ(std::tuple(config->enforce(), config->fetchMetadata(), config->allowLinks()),
              std::tuple(c.enforce, c.fetchMetadata, c.allowLinks));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SwitchTest,
    testing::Values(
        SwitchCase{"[DynamicAuthorization]\nDynamicAuthorization=On\nusecookie=YES\n", true, true,
                   true, false},
        SwitchCase{"[dynamicauthorization]\ndynamicauthorization = \"on\"\n", true, true, false,
                   false},
        SwitchCase{"[settings]\ndynamicblocking=ON\n", true, true, false, false},
        SwitchCase{
            "[settings]\ndynamicblocking=on\n[DynamicAuthorization]\nDynamicAuthorization=off\n",
            true, false, false, false},
        SwitchCase{
            "[settings]\ndynamicblocking=on\n[DynamicAuthorization]\nDynamicAuthorization=\n", true,
            true, false, false},
        SwitchCase{"[DynamicAuthorization]\nDynamicAuthorization=yes\nusecookie=on\n", true, false,
                   false, false},
        // Without "corvane.ini" there is no settings reader: both switches read as absent.
        SwitchCase{"[DynamicAuthorization]\nDynamicAuthorization=on\nusecookie=yes\n"
                   "[settings]\nblocknullreferrer=yes\n",
                   false, false, false, true},
        SwitchCase{"[settings]\nblocknullreferrer=Yes\n", true, false, false, true},
        SwitchCase{"[settings]\nblocknullreferrer=1\n", true, false, false, false},
        SwitchCase{"[settings]\nblocknullreferrer= yes \n", true, false, false, true},
        SwitchCase{"[settings]\nenforce=No\nfetchmetadata=YES\nallowlinks= yes \n", false, false,
                   false, false, false, true, true},
        SwitchCase{"[settings]\nenforce=off\nfetchmetadata=on\nallowlinks=1\n", true, false, false,
                   false}));

TEST(FilterConfig, TheFarmStoreIsReadBesideTheOtherDynamicSettings) {
    struct StoreCase {
        const char* ini;
        bool withPrimaryConfig;
        std::optional<StoreAddress> store;
    };
    const StoreCase cases[] = {
        {"[DynamicAuthorization]\nstore = \"redis://10.0.0.5:6379\"\n", true,
         StoreAddress{"10.0.0.5", 6379}},
        {"[dynamicauthorization]\nSTORE=redis://cache:7000\n", true, StoreAddress{"cache", 7000}},
        {"[DynamicAuthorization]\nstore=redis://10.0.0.5\n", true, std::nullopt},
        {"[settings]\nstore=redis://10.0.0.5:6379\n", true, std::nullopt},
        {"[DynamicAuthorization]\nstore=redis://10.0.0.5:6379\n", false, std::nullopt},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(c.ini);
        TempFolder folder;
        folder.Write("pixwall.ini", c.ini);
        if (c.withPrimaryConfig) folder.Write("corvane.ini", "[settings]\n");
        EXPECT_EQ(Loaded(folder)->store(), c.store);
    }
}

TEST(FilterConfig, NumbersAndPriority) {
    TempFolder folder;
    folder.Write("pixwall.ini",
                 "[settings]\npriority=HIGH\ntimetolive=120\n[logging]\nmaxlogsize=1234\n");
    const auto config = Loaded(folder);
    EXPECT_EQ(config->priority(), static_cast<std::uint32_t>(SF_NOTIFY_ORDER_HIGH));
    EXPECT_EQ(config->timeToLive(), 120u);
    EXPECT_EQ(config->maxLogSize(), 1234);
}

TEST(FilterConfig, AlternatesFollowTheBlockedTypes) {
    TempFolder folder;
    folder.Write("blocked_types.txt", "gif\njpg\nbmp\n");
    folder.Write("pixwall.ini",
                 "[alternates]\ngif=/img/stop.gif\ndefault=/img/none.gif\njpg=default\n"
                 "png=/img/png.gif\nbmp=DEFAULT\n");
    const auto config = Loaded(folder);
    EXPECT_EQ(config->LookupAlternate("gif"), "/img/stop.gif");
    EXPECT_EQ(config->LookupAlternate("jpg"), "/img/none.gif");
    EXPECT_EQ(config->LookupAlternate("bmp"), "/img/none.gif");
    // "png" is no blocked type, so its key is never read.
    EXPECT_EQ(config->LookupAlternate("png"), "/img/none.gif");
    EXPECT_EQ(config->alternates().count("png"), 0u);
    EXPECT_EQ(config->alternates().count("jpg"), 0u);
    EXPECT_EQ(config->LookupAlternate("GIF"), "/img/none.gif");
}

TEST(FilterConfig, NoDefaultAlternateMeansNone) {
    TempFolder folder;
    folder.Write("blocked_types.txt", "gif\njpg\n");
    folder.Write("pixwall.ini", "[alternates]\ngif=http://s/stop.gif\ndefault=\n");
    const auto config = Loaded(folder);
    EXPECT_EQ(config->LookupAlternate("jpg"), "");
    EXPECT_TRUE(config->IsAlternateResource("s", "/stop.gif"));
    EXPECT_FALSE(config->IsAlternateResource("S", "/stop.gif"));
    EXPECT_FALSE(config->IsAlternateResource("s", "/STOP.gif"));
}

TEST(FilterConfig, RuleTestsCombineTheirValues) {
    TempFolder folder;
    folder.Write("referrer_whitelist.txt", "friend\n");
    folder.Write("url_whitelist.txt", "imgserver/private/\n");
    folder.Write("client_blacklist.txt", "bad.host\n");
    const auto config = Loaded(folder);
    EXPECT_TRUE(config->ReferrerLists("IMGSERVER", "imgserver").white);
    EXPECT_FALSE(config->ReferrerLists("imgserver2", "imgserver").white);
    EXPECT_TRUE(config->ReferrerLists("a.friend.org", "imgserver").white);
    EXPECT_TRUE(config->UrlLists("imgserver", "/private/a.gif").white);
    EXPECT_FALSE(config->UrlLists("server", "/private/a.gif").white);
    EXPECT_TRUE(config->IsClientBlackListed("1.2.3.4", "x.BAD.host"));
    EXPECT_FALSE(config->IsClientBlackListed("1.2.3.4", ""));
}

struct LogPathCase {
    const char* name;
    std::string ini;
    bool on;
    bool inModuleLogFiles;  // else in the "logs" subfolder of the module folder
};

void PrintTo(const LogPathCase& c, std::ostream* out) { *out << c.name; }

class LogPathTest : public testing::TestWithParam<LogPathCase> {};

TEST_P(LogPathTest, FormsThePathAndTestsIt) {
    const LogPathCase& c = GetParam();
    TempFolder folder;
    folder.Write("LogFiles/keep", "");
    folder.Write("logs/keep", "");
    std::string ini = c.ini;
    const std::string logs = folder.PathOf("logs");
    for (auto at = ini.find("$LOGS"); at != std::string::npos; at = ini.find("$LOGS")) {
        ini.replace(at, 5, logs);
    }
    folder.Write("pixwall.ini", ini);
    const auto config = Loaded(folder);
    const char sep = platform::kPathSeparator;
    if (!c.on) {
        EXPECT_EQ(config->logFilePath(), "");
        return;
    }
    const std::string expected = c.inModuleLogFiles
                                     ? folder.Path() + sep + "LogFiles" + sep + "pixwall.log"
                                     : logs + sep + "pixwall.log";
    EXPECT_EQ(config->logFilePath(), expected);
    EXPECT_TRUE(folder.Exists(c.inModuleLogFiles ? "LogFiles/pixwall.log" : "logs/pixwall.log"));
}

const std::string kSep(1, platform::kPathSeparator);

INSTANTIATE_TEST_SUITE_P(
    Settings, LogPathTest,
    testing::Values(
        LogPathCase{"LowerCaseOn", "[logging]\nlogging=on\n", true, true},
        LogPathCase{"CapitalOnIsOff", "[logging]\nlogging=On\n", false, false},
        LogPathCase{"Missing", "", false, false},
        LogPathCase{"DefaultFolder", "[logging]\nlogging=on\nlogfolder=default\n", true, true},
        LogPathCase{"EmptyFolder", "[logging]\nlogging=on\nlogfolder=\n", true, true},
        LogPathCase{"OwnFolder", "[logging]\nlogging=on\nlogfolder=$LOGS\n", true, false},
        LogPathCase{"OwnFolderWithSeparator",
                    "[logging]\nlogging=on\nlogfolder=$LOGS" + kSep + "\n", true, false},
        LogPathCase{"FolderThatDoesNotExist",
                    "[logging]\nlogging=on\nlogfolder=$LOGS" + kSep + "nowhere\n", false, false}),
    [](const auto& info) { return info.param.name; });

TEST(FilterConfig, LogFolderIsNeverCreated) {
    TempFolder folder;  // no LogFiles subfolder
    folder.Write("pixwall.ini", "[logging]\nlogging=on\n");
    EXPECT_EQ(Loaded(folder)->logFilePath(), "");
    EXPECT_FALSE(folder.Exists("LogFiles"));
}

TEST(FilterConfig, ReloadForgetsWhatTheFilesNoLongerSay) {
    TempFolder folder;
    folder.Write("LogFiles/keep", "");
    folder.Write("corvane.ini", "");
    folder.Write("blocked_types.txt", "gif\n");
    folder.Write("client_blacklist.txt", "1.2.3.4\n");
    folder.Write("pixwall.ini",
                 "[logging]\nlogging=on\n[alternates]\ngif=http://s/a.gif\n"
                 "[DynamicAuthorization]\nDynamicAuthorization=on\n");
    const auto first = Loaded(folder);
    ASSERT_NE(first->logFilePath(), "");
    ASSERT_TRUE(first->dynamicAuthorization());

    folder.Remove("pixwall.ini");
    folder.Remove("client_blacklist.txt");
    const auto second = FilterConfig::Load(first->paths());
    EXPECT_EQ(second->logFilePath(), "");
    EXPECT_TRUE(second->alternates().empty());
    EXPECT_FALSE(second->dynamicAuthorization());
    EXPECT_FALSE(second->IsClientBlackListed("1.2.3.4", ""));
    EXPECT_TRUE(second->IsBlockedType("gif"));
    // The loaded snapshot itself is untouched.
    EXPECT_TRUE(first->IsClientBlackListed("1.2.3.4", ""));
    EXPECT_EQ(second->paths().primaryConfig, first->paths().primaryConfig);
    EXPECT_TRUE(second->paths().primaryConfigExists);
}

}  // namespace
