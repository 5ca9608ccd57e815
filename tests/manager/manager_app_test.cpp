// The program's start-up: the checks in their order with their boxes, the working folder rule,
// clear mode's calls, and what opens the dialog.
#include "manager_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_filter_manager.h"
#include "fake_machine.h"
#include "platform/paths.h"
#include "temp_folder.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class FakeScreen final : public ManagerApp::Screen {
  public:
    explicit FakeScreen(std::vector<std::string>& log) : log_(log) {}
    void ShowStartupMessage(const MessageRequest& message) override { messages.push_back(message); }
    bool RunDeployDialog(SiteCatalog&, const ProfileReader& config, Machine&) override {
        log_.push_back("Dialog(" + config.Path() + ")");
        return true;
    }
    std::vector<MessageRequest> messages;

  private:
    std::vector<std::string>& log_;
};

const std::string kFolder = "/srv/corvane";
const std::string kConfigPath = kFolder + platform::kPathSeparator + "corvane.ini";

struct StartCase {
    const char* name{};
    std::function<void(FakeMachine&)> machine;
    bool registered = true;
    std::optional<MessageRequest> message{};  // the one box shown, if any
};

void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

MessageRequest Box(const char* text, MessageIcon icon) {
    return {.text = text, .caption = "corvane", .buttons = MessageButtons::Ok, .icon = icon};
}

class StartTable : public testing::TestWithParam<StartCase> {};

TEST_P(StartTable, TheFirstFailingCheckShowsItsMessage) {
    const StartCase& c = GetParam();
    std::vector<std::string> log;
    FakeMachine machine(log);
    machine.currentFolder = kFolder;
    machine.files = {kConfigPath};
    c.machine(machine);
    FakeScreen screen(log);
    auto state = std::make_shared<FakeComponentState>(FakeComponentState{.log = &log});
    int status = 0;
    {
        ManagerApp app(machine, screen, "corvane", [&]() -> std::unique_ptr<FilterManagerLink> {
            if (!c.registered) return nullptr;
            return std::make_unique<FakeFilterManager>(state);
        });
        status = app.Run("");
    }
    if (c.message) {
        EXPECT_THAT(screen.messages, ElementsAre(*c.message));
        EXPECT_EQ(status, 1);
        EXPECT_THAT(log, testing::Not(testing::Contains(testing::StartsWith("Dialog"))));
    } else {
        EXPECT_THAT(screen.messages, IsEmpty());
        EXPECT_EQ(status, 0);
        EXPECT_THAT(log, testing::Contains("Dialog(" + kConfigPath + ")"));
    }
    // The sockets layer is released at the end when it was taken.
    EXPECT_EQ(log.back() == "StopSockets", machine.sockets);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, StartTable,
    testing::Values(
        StartCase{.name = "AllPassOpensTheDialog", .machine = [](FakeMachine&) {}},
        StartCase{.name = "Sockets",
                  .machine = [](FakeMachine& m) { m.sockets = false; },
                  .message = Box("Windows sockets initialization failed.", MessageIcon::None)},
        // An ordinary user on a machine without IIS sees only the administrators message.
        StartCase{.name = "AdministratorBeforeIis",
                  .machine =
                      [](FakeMachine& m) {
                          m.administrator = false;
                          m.iis = false;
                      },
                  .message = Box("You are not logged on as a member of the administrators "
                                 "group.\r\nThis program requires administrator privileges. "
                                 "\r\nPlease log on as an administrator and try again.",
                                 MessageIcon::Stop)},
        StartCase{.name = "Iis",
                  .machine = [](FakeMachine& m) { m.iis = false; },
                  .message = Box("This computer does not have Internet Information Services "
                                 "(IIS) installed.\r\nPlease install IIS and try again.",
                                 MessageIcon::Stop)},
        StartCase{.name = "ConfigOnlyInAnotherFolder",
                  .machine = [](FakeMachine& m) { m.currentFolder = "/home/admin"; },
                  .message = Box("The primary configuration file was not found in the current "
                                 "working folder.\r\nPlease re-install the program and try again.",
                                 MessageIcon::Stop)},
        StartCase{.name = "NoWorkingFolder",
                  .machine = [](FakeMachine& m) { m.currentFolder.reset(); },
                  .message = Box("The primary configuration file was not found in the current "
                                 "working folder.\r\nPlease re-install the program and try again.",
                                 MessageIcon::Stop)},
        StartCase{.name = "UnregisteredComponent",
                  .machine = [](FakeMachine&) {},
                  .registered = false,
                  .message = Box("The OrlenTek.FilterManager COM Object is not registered "
                                 "correctly.\r\nPlease re-install and try again.",
                                 MessageIcon::Exclamation)}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

struct ClearCase {
    const char* name{};
    std::string arguments{};
    std::map<std::string, std::int16_t> installed{};
    std::map<std::string, taliscom::HResult> failures{};
    std::vector<std::string> removals{};
    bool dialog = false;
};

void PrintTo(const ClearCase& c, std::ostream* out) { *out << c.name; }

class ClearTable : public testing::TestWithParam<ClearCase> {};

TEST_P(ClearTable, RemovesTheFilterWhereverItIsInstalled) {
    const ClearCase& c = GetParam();
    std::vector<std::string> log;
    TempFolder folder;
    folder.Write("corvane.ini", "[settings]\nfiltername=pixwall\n");
    FakeMachine machine(log);
    machine.currentFolder = folder.Path();
    machine.files = {folder.PathOf("corvane.ini")};
    FakeScreen screen(log);
    auto state = std::make_shared<FakeComponentState>(
        FakeComponentState{.sites = {u"Default Web Site", u"Shop"},
                           .installed = c.installed,
                           .failures = c.failures,
                           .log = &log});
    ManagerApp app(machine, screen, "corvane",
                   [&] { return std::make_unique<FakeFilterManager>(state); });
    EXPECT_EQ(app.Run(c.arguments), 0);
    std::vector<std::string> removals;
    for (const std::string& event : log) {
        if (event.starts_with("RemoveWebFilter")) removals.push_back(event);
    }
    EXPECT_EQ(removals, c.removals);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Dialog(" + folder.PathOf("corvane.ini") + ")"),
              c.dialog ? 1 : 0);
    EXPECT_THAT(screen.messages, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ClearTable,
    testing::Values(ClearCase{.name = "NothingInstalledMakesNoRemoval", .arguments = "/clear"},
                    ClearCase{.name = "GlobalFirstThenEachInstalledSite",
                              .arguments = "/clear",
                              .installed = {{"", -1}, {"Default Web Site", -1}, {"Shop", -1}},
                              .removals = {"RemoveWebFilter(\"pixwall\", null)",
                                           "RemoveWebFilter(\"pixwall\", \"Default Web Site\")",
                                           "RemoveWebFilter(\"pixwall\", \"Shop\")"}},
                    ClearCase{.name = "AFailureNeitherShowsNorStops",
                              .arguments = "/clear",
                              .installed = {{"", -1}, {"Shop", -1}},
                              .failures = {{"RemoveWebFilter(\"pixwall\", null)",
                                            static_cast<taliscom::HResult>(0x80020009)}},
                              .removals = {"RemoveWebFilter(\"pixwall\", null)",
                                           "RemoveWebFilter(\"pixwall\", \"Shop\")"}},
                    ClearCase{.name = "APrefixOfALongerWordSelectsIt",
                              .arguments = "-x /clearall",
                              .installed = {{"Shop", -1}},
                              .removals = {"RemoveWebFilter(\"pixwall\", \"Shop\")"}},
                    ClearCase{.name = "CapitalsDoNot",
                              .arguments = "/CLEAR",
                              .installed = {{"Shop", -1}},
                              .dialog = true}),
    [](const testing::TestParamInfo<ClearCase>& info) { return std::string(info.param.name); });

TEST(ManagerApp, ProgramNameIsTheExecutablesBaseName) {
    EXPECT_EQ(ManagerApp::ProgramName("C:\\Program Files\\OrlenTek\\corvane.exe"), "corvane");
    EXPECT_EQ(ManagerApp::ProgramName("/usr/local/bin/corvane"), "corvane");
    EXPECT_EQ(ManagerApp::ProgramName("corvane"), "corvane");
}

}  // namespace
