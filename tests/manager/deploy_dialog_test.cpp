// The deployment dialog's logic against a fake component, a fake view and a fake machine: what
// it shows when it opens, the greying, and the exact calls, boxes and cursors of OK.
#include "deploy_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_deploy_view.h"
#include "fake_filter_manager.h"
#include "fake_machine.h"
#include "temp_folder.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr taliscom::HResult kDispException = static_cast<taliscom::HResult>(0x80020009);
constexpr const char* kConfig =
    "[settings]\nfiltername=pixwall\nfilterpath=/opt/pixwall/pixwall.so\n";
constexpr OsVersion kWindowsXp{.ntFamily = true, .major = 5};

const std::string kQuestion =
    "Box(Corvane, question, YesNo): You must restart the IIS web server before the new settings "
    "will take effect.\r\n\r\nDo you want to restart IIS now?";
const std::string kNotice =
    "Box(Corvane, information, OK): You must restart the IIS web server before the new settings "
    "will take effect.";

class DeployDialogTest : public testing::Test {
  protected:
    void Open(const std::string& config = kConfig) {
        folder_.Write("corvane.ini", config);
        state_->log = &log_;
        reader_.emplace(folder_.PathOf("corvane.ini"));
        catalog_.emplace([this] { return std::make_unique<FakeFilterManager>(state_); },
                         [](std::uint32_t) { return std::string(); });
        dialog_.emplace(view_, *catalog_, *reader_, machine_);
        dialog_->Open();
    }
    // A click on a line's check box, as the view reports it.
    bool Click(std::size_t line) {
        const bool changed = view_.Toggle(line);
        if (changed) dialog_->UpdateSiteStates();
        return changed;
    }
    std::vector<bool> Greyed() const {
        std::vector<bool> out;
        for (const auto& line : view_.lines) out.push_back(line.greyed);
        return out;
    }
    std::vector<bool> Checked() const {
        std::vector<bool> out;
        for (const auto& line : view_.lines) out.push_back(line.checked);
        return out;
    }

    TempFolder folder_;
    std::vector<std::string> log_;
    std::shared_ptr<FakeComponentState> state_ = std::make_shared<FakeComponentState>(
        FakeComponentState{.sites = {u"Default Web Site", u"Shop"}});
    FakeDeployView view_{log_};
    FakeMachine machine_{log_};
    std::optional<ProfileReader> reader_;
    std::optional<SiteCatalog> catalog_;
    std::optional<DeployDialog> dialog_;
};

TEST_F(DeployDialogTest, TwoSitesWithNothingInstalledShowThreeAvailableLines) {
    Open();
    EXPECT_THAT(log_,
                ElementsAre("AddAboutItem(&About Corvane...)", "SetIcons", "GetVirtualServerList",
                            "IsWebFilterInstalled(\"pixwall\", \"Default Web Site\")",
                            "IsWebFilterInstalled(\"pixwall\", \"Shop\")",
                            "IsWebFilterInstalled(\"pixwall\", null)"));
    ASSERT_EQ(view_.lines.size(), 3u);
    EXPECT_EQ(view_.lines[0].text, "Global Setting (All current and future virtual sites)");
    EXPECT_EQ(view_.lines[1].text, "Default Web Site");
    EXPECT_EQ(view_.lines[2].text, "Shop");
    EXPECT_THAT(Checked(), ElementsAre(false, false, false));
    EXPECT_THAT(Greyed(), ElementsAre(false, false, false));
    EXPECT_EQ(dialog_->Title(), "Corvane");
}

TEST_F(DeployDialogTest, TheDescriptionExtendsTheTitle) {
    Open(std::string(kConfig) + "filterdesc=Hot-link protection\n");
    EXPECT_EQ(log_[2], "SetTitle(Corvane (Hot-link protection))");
}

TEST_F(DeployDialogTest, AnAbsentFilterNameIsPassedAsAnEmptyString) {
    Open("[settings]\nfilterpath=/p\n");
    EXPECT_EQ(log_.back(), "IsWebFilterInstalled(\"\", null)");
    Click(0);
    log_.clear();
    dialog_->Apply();
    EXPECT_THAT(log_, testing::Contains("RemoveWebFilter(\"\", \"Shop\")"));
}

TEST_F(DeployDialogTest, CheckingTheGlobalLineGreysTheSitesAndKeepsTheirMarks) {
    state_->installed = {{"Shop", -1}};
    Open();
    EXPECT_THAT(Checked(), ElementsAre(false, false, true));
    ASSERT_TRUE(Click(0));
    EXPECT_THAT(Greyed(), ElementsAre(false, true, true));
    EXPECT_THAT(Checked(), ElementsAre(true, false, true));
    EXPECT_FALSE(Click(2));  // a greyed line cannot be toggled
    EXPECT_THAT(Checked(), ElementsAre(true, false, true));
    ASSERT_TRUE(Click(0));
    EXPECT_THAT(Greyed(), ElementsAre(false, false, false));
    EXPECT_THAT(Checked(), ElementsAre(false, false, true));
}

TEST_F(DeployDialogTest, AGlobalInstallationGreysTheSitesWhenTheDialogOpens) {
    state_->installed = {{"", -1}, {"Default Web Site", -1}};
    Open();
    EXPECT_THAT(Checked(), ElementsAre(true, true, false));
    EXPECT_THAT(Greyed(), ElementsAre(false, true, true));
}

struct ApplyCase {
    const char* name{};
    std::map<std::string, std::int16_t> installed{};
    std::vector<std::size_t> clicks{};
    std::optional<OsVersion> version{};
    std::vector<MessageAnswer> answers{};
    std::map<std::string, taliscom::HResult> failures{};
    std::vector<std::string> events{};  // after opening
    bool closed = true;
};

void PrintTo(const ApplyCase& c, std::ostream* out) { *out << c.name; }

class ApplyTable : public DeployDialogTest, public testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplyTable, MakesTheCallsOfItsCase) {
    const ApplyCase& c = GetParam();
    state_->installed = c.installed;
    state_->failures = c.failures;
    machine_.version = c.version;
    view_.answers.assign(c.answers.begin(), c.answers.end());
    Open();
    for (const std::size_t line : c.clicks) ASSERT_TRUE(Click(line)) << "line " << line;
    log_.clear();
    dialog_->Apply();
    EXPECT_EQ(log_, c.events);
    EXPECT_EQ(view_.closed, c.closed);
}

const std::string kAddGlobal = "AddWebFilter(\"/opt/pixwall/pixwall.so\", null)";
const std::string kRemoveGlobal = "RemoveWebFilter(\"pixwall\", null)";
const std::string kAddSite1 = "AddWebFilter(\"/opt/pixwall/pixwall.so\", \"Default Web Site\")";
const std::string kRemoveSite1 = "RemoveWebFilter(\"pixwall\", \"Default Web Site\")";
const std::string kRemoveSite2 = "RemoveWebFilter(\"pixwall\", \"Shop\")";

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyTable,
    testing::Values(
        ApplyCase{.name = "GlobalOnRemovesFromEverySiteThenAsksToRestartOnXp",
                  .clicks = {0},
                  .version = kWindowsXp,
                  .answers = {MessageAnswer::Yes},
                  .events = {"WaitCursor", kAddGlobal, kRemoveSite1, kRemoveSite2, "ArrowCursor",
                             kQuestion, "Run(iisreset /restart)", "ArrowCursor", "Close"}},
        ApplyCase{.name = "AnsweringNoRunsNothing",
                  .clicks = {0},
                  .version = kWindowsXp,
                  .answers = {MessageAnswer::No},
                  .events = {"WaitCursor", kAddGlobal, kRemoveSite1, kRemoveSite2, "ArrowCursor",
                             kQuestion, "ArrowCursor", "Close"}},
        ApplyCase{.name = "WindowsVistaGetsTheNotice",
                  .clicks = {0},
                  .version = OsVersion{.ntFamily = true, .major = 6},
                  .events = {"WaitCursor", kAddGlobal, kRemoveSite1, kRemoveSite2, "ArrowCursor",
                             kNotice, "ArrowCursor", "Close"}},
        ApplyCase{.name = "ASystemOutsideTheNtFamilyGetsTheNotice",
                  .clicks = {0},
                  .version = OsVersion{.ntFamily = false, .major = 5},
                  .events = {"WaitCursor", kAddGlobal, kRemoveSite1, kRemoveSite2, "ArrowCursor",
                             kNotice, "ArrowCursor", "Close"}},
        ApplyCase{.name = "AnUnknownVersionGetsTheNotice",
                  .clicks = {0},
                  .events = {"WaitCursor", kAddGlobal, kRemoveSite1, kRemoveSite2, "ArrowCursor",
                             kNotice, "ArrowCursor", "Close"}},
        // Shop stays as it is: unchecked but installed.
        ApplyCase{.name = "GlobalOffInstallsNewlyCheckedSitesOnly",
                  .installed = {{"", -1}, {"Shop", -1}},
                  .clicks = {0, 1, 2},
                  .version = kWindowsXp,
                  .events = {"WaitCursor", kRemoveGlobal, kAddSite1, "ArrowCursor", kQuestion,
                             "ArrowCursor", "Close"}},
        ApplyCase{.name = "SiteChangesAloneInListOrderWithoutRestart",
                  .installed = {{"Shop", -1}},
                  .clicks = {2, 1},
                  .version = kWindowsXp,
                  .events = {"WaitCursor", kAddSite1, kRemoveSite2, "ArrowCursor", "Close"}},
        ApplyCase{.name = "NoChangeMakesNoCall",
                  .installed = {{"Default Web Site", -1}},
                  .events = {"WaitCursor", "ArrowCursor", "Close"}},
        ApplyCase{.name = "AFailureInTheSiteLoopStopsWithTheDialogOpen",
                  .clicks = {0},
                  .version = kWindowsXp,
                  .failures = {{kRemoveSite1, kDispException}},
                  .events = {"WaitCursor", kAddGlobal, kRemoveSite1, "ArrowCursor",
                             "Box(Corvane, exclamation, OK): Error 0x80020009."},
                  .closed = false},
        ApplyCase{.name = "AFailureAtTheGlobalLevelStopsBeforeTheSites",
                  .installed = {{"", -1}},
                  .clicks = {0, 1},
                  .failures = {{kRemoveGlobal, kDispException}},
                  .events = {"WaitCursor", kRemoveGlobal, "ArrowCursor",
                             "Box(Corvane, exclamation, OK): Error 0x80020009."},
                  .closed = false}),
    [](const testing::TestParamInfo<ApplyCase>& info) { return std::string(info.param.name); });

TEST_F(DeployDialogTest, ASecondOkAfterAFailureRepeatsTheCaseAndCanSucceed) {
    state_->failures = {{kRemoveSite1, kDispException}};
    Open();
    Click(0);
    dialog_->Apply();
    ASSERT_FALSE(view_.closed);
    state_->failures.clear();
    log_.clear();
    dialog_->Apply();
    EXPECT_THAT(log_, ElementsAre("WaitCursor", kAddGlobal, kRemoveSite1, kRemoveSite2,
                                  "ArrowCursor", kNotice, "ArrowCursor", "Close"));
    EXPECT_TRUE(view_.closed);
}

TEST_F(DeployDialogTest, AListThatCouldNotBeFilledChangesNothingOnOk) {
    state_->sites.clear();
    state_->listResult = static_cast<taliscom::HResult>(0x80070005);
    Open();
    const std::string box = "Box(Corvane, exclamation, OK): Error 0x80070005.";
    EXPECT_EQ(log_.back(), box);
    EXPECT_THAT(view_.lines, IsEmpty());
    log_.clear();
    dialog_->Apply();
    EXPECT_THAT(log_, ElementsAre("ArrowCursor", box));
    EXPECT_FALSE(view_.closed);
    dialog_->Cancel();
    EXPECT_TRUE(view_.closed);
}

TEST_F(DeployDialogTest, SitesWithoutTheGlobalEntryAreNotFilledEither) {
    state_->listResult = kDispException;  // the sites were read, the global entry is missing
    Open();
    EXPECT_THAT(view_.lines, IsEmpty());
    log_.clear();
    dialog_->Apply();
    EXPECT_THAT(log_,
                ElementsAre("ArrowCursor", "Box(Corvane, exclamation, OK): Error 0x80020009."));
}

TEST_F(DeployDialogTest, CancelClosesWithoutACall) {
    Open();
    Click(0);
    log_.clear();
    dialog_->Cancel();
    EXPECT_THAT(log_, ElementsAre("Close"));
}

TEST_F(DeployDialogTest, SystemCommandsSixteenToThirtyOneShowTheAboutBox) {
    Open();
    log_.clear();
    EXPECT_TRUE(dialog_->SystemCommand(16));
    EXPECT_TRUE(dialog_->SystemCommand(31));
    EXPECT_FALSE(dialog_->SystemCommand(32));
    EXPECT_FALSE(dialog_->SystemCommand(0xF060));  // the close command stays the platform's
    EXPECT_THAT(log_, ElementsAre("About", "About"));
}

}  // namespace
