// The catalogue against a fake component: which calls it makes with which strings, the entries it
// builds, and what LastError says afterwards.
#include "site_catalog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "fake_filter_manager.h"
#include "system_message.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr taliscom::HResult kDispException = static_cast<taliscom::HResult>(0x80020009);
constexpr taliscom::HResult kAccessDenied = static_cast<taliscom::HResult>(0x80070005);
constexpr const char* kGlobal = SiteCatalog::kGlobalLabel;

// The system's words for the test: one known message number.
std::string Lookup(std::uint32_t number) { return number == 0x80070005 ? "Access is denied." : ""; }

struct CatalogCase {
    const char* name{};
    std::vector<std::u16string> sites{};
    std::map<std::string, std::int16_t> installed{};
    std::map<std::string, taliscom::HResult> failures{};
    taliscom::HResult listResult = 0;
    std::function<void(SiteCatalog&)> operation;
    std::vector<std::string> calls{};
    std::vector<SiteEntry> entries{};
    std::string lastError{};
};

void PrintTo(const CatalogCase& c, std::ostream* out) { *out << c.name; }

class SiteCatalogTable : public testing::TestWithParam<CatalogCase> {};

TEST_P(SiteCatalogTable, MakesTheCallsAndRecordsTheOutcome) {
    const CatalogCase& c = GetParam();
    std::vector<std::string> log;
    auto state = std::make_shared<FakeComponentState>(FakeComponentState{.sites = c.sites,
                                                                         .installed = c.installed,
                                                                         .failures = c.failures,
                                                                         .listResult = c.listResult,
                                                                         .log = &log});
    SiteCatalog catalog([&] { return std::make_unique<FakeFilterManager>(state); }, Lookup);
    c.operation(catalog);
    EXPECT_EQ(log, c.calls);
    EXPECT_EQ(catalog.Entries(), c.entries);
    EXPECT_EQ(catalog.LastError(), c.lastError);
}

void Refresh(SiteCatalog& catalog) { catalog.Refresh("pixwall"); }

INSTANTIATE_TEST_SUITE_P(
    Operations, SiteCatalogTable,
    testing::Values(
        CatalogCase{.name = "RefreshAsksEachSiteInOrderThenTheGlobalLevel",
                    .sites = {u"Default Web Site", u"Shop"},
                    .installed = {{"Shop", -1}},
                    .operation = Refresh,
                    .calls = {"GetVirtualServerList",
                              "IsWebFilterInstalled(\"pixwall\", \"Default Web Site\")",
                              "IsWebFilterInstalled(\"pixwall\", \"Shop\")",
                              "IsWebFilterInstalled(\"pixwall\", null)"},
                    .entries = {{kGlobal, false}, {"Default Web Site", false}, {"Shop", true}}},
        CatalogCase{.name = "RefreshWithoutSitesHoldsTheGlobalEntryAlone",
                    .installed = {{"", -1}},
                    .operation = Refresh,
                    .calls = {"GetVirtualServerList", "IsWebFilterInstalled(\"pixwall\", null)"},
                    .entries = {{kGlobal, true}}},
        CatalogCase{.name = "AnUnreadableListLeavesNoEntries",
                    .listResult = kAccessDenied,
                    .operation = Refresh,
                    .calls = {"GetVirtualServerList"},
                    .lastError = "Access is denied."},
        CatalogCase{
            .name = "AFailureAfterReadingTheListKeepsTheSitesWithoutTheGlobalEntry",
            .sites = {u"Shop"},
            .listResult = kDispException,
            .operation = Refresh,
            .calls = {"GetVirtualServerList", "IsWebFilterInstalled(\"pixwall\", \"Shop\")"},
            .entries = {{"Shop", false}},
            .lastError = "Error 0x80020009."},
        CatalogCase{.name = "AFailingQuestionReadsAsNotInstalledAndIsRecorded",
                    .sites = {u"Shop"},
                    .installed = {{"Shop", -1}},
                    .failures = {{"IsWebFilterInstalled(\"pixwall\", \"Shop\")", kAccessDenied}},
                    .operation = Refresh,
                    .calls = {"GetVirtualServerList", "IsWebFilterInstalled(\"pixwall\", \"Shop\")",
                              "IsWebFilterInstalled(\"pixwall\", null)"},
                    .entries = {{kGlobal, false}, {"Shop", false}},
                    .lastError = "Access is denied."},
        CatalogCase{
            .name = "InstallAtNoSiteIsTheGlobalLevel",
            .operation = [](SiteCatalog& c) { c.InstallAt("/opt/pixwall.so", std::nullopt); },
            .calls = {"AddWebFilter(\"/opt/pixwall.so\", null)"}},
        CatalogCase{.name = "InstallAtPassesTheGlobalLabelUnchanged",
                    .operation = [](SiteCatalog& c) { c.InstallAt("/p", kGlobal); },
                    .calls = {"AddWebFilter(\"/p\", \"" + std::string(kGlobal) + "\")"}},
        CatalogCase{.name = "RemoveAtTheGlobalLabelIsTheGlobalLevel",
                    .operation = [](SiteCatalog& c) { c.RemoveAt("pixwall", kGlobal); },
                    .calls = {"RemoveWebFilter(\"pixwall\", null)"}},
        CatalogCase{.name = "RemoveAtASiteNamesIt",
                    .operation = [](SiteCatalog& c) { c.RemoveAt("pixwall", "Shop"); },
                    .calls = {"RemoveWebFilter(\"pixwall\", \"Shop\")"}},
        CatalogCase{.name = "RemoveAtComparesTheLabelWithCase",
                    .operation =
                        [](SiteCatalog& c) {
                            c.RemoveAt("pixwall",
                                       "global setting (All current and future virtual sites)");
                        },
                    .calls = {"RemoveWebFilter(\"pixwall\", \"global setting (All current and "
                              "future virtual sites)\")"}},
        CatalogCase{.name = "AnEmptyFilterNameIsAnEmptyStringNotANullOne",
                    .operation = [](SiteCatalog& c) { c.RemoveAt("", std::nullopt); },
                    .calls = {"RemoveWebFilter(\"\", null)"}},
        CatalogCase{.name = "AFailingInstallationRecordsTheSystemText",
                    .failures = {{"AddWebFilter(\"/p\", \"Shop\")", kAccessDenied}},
                    .operation = [](SiteCatalog& c) { c.InstallAt("/p", "Shop"); },
                    .calls = {"AddWebFilter(\"/p\", \"Shop\")"},
                    .lastError = "Access is denied."},
        // A transient failure does not make the next, successful call look failed.
        CatalogCase{.name = "ASucceedingCallAfterAFailureLeavesNoError",
                    .failures = {{"RemoveWebFilter(\"pixwall\", \"Shop\")", kDispException}},
                    .operation =
                        [](SiteCatalog& c) {
                            c.RemoveAt("pixwall", "Shop");
                            ASSERT_EQ(c.LastError(), "Error 0x80020009.");
                            c.RemoveAt("pixwall", "Blog");
                        },
                    .calls = {"RemoveWebFilter(\"pixwall\", \"Shop\")",
                              "RemoveWebFilter(\"pixwall\", \"Blog\")"}}),
    [](const testing::TestParamInfo<CatalogCase>& info) { return std::string(info.param.name); });

TEST(SiteCatalog, WithoutTheComponentEveryOperationReportsItUnregistered) {
    SiteCatalog catalog([] { return nullptr; }, Lookup);
    EXPECT_EQ(catalog.LastError(), SiteCatalog::kNotRegisteredMessage);
    const std::vector<std::function<void()>> operations = {
        [&] { catalog.Refresh("pixwall"); },
        [&] { catalog.InstallAt("/p", std::nullopt); },
        [&] { catalog.RemoveAt("pixwall", std::nullopt); }};
    for (const auto& operation : operations) {
        operation();
        EXPECT_EQ(catalog.LastError(),
                  "The OrlenTek.FilterManager COM Object is not registered correctly.\r\n"
                  "Please re-install and try again.");
    }
    EXPECT_THAT(catalog.Entries(), IsEmpty());
}

TEST(SiteCatalog, ConvertsSiteNamesBetweenNarrowTextAndUtf16) {
    std::vector<std::string> log;
    auto state = std::make_shared<FakeComponentState>(
        FakeComponentState{.sites = {u"Caf\u00e9"}, .log = &log});
    SiteCatalog catalog([&] { return std::make_unique<FakeFilterManager>(state); }, Lookup);
    catalog.Refresh("pixwall");
    ASSERT_EQ(catalog.Entries().size(), 2u);
    catalog.RemoveAt("pixwall", catalog.Entries()[1].name);
    EXPECT_EQ(log.back(), "RemoveWebFilter(\"pixwall\", \"Caf\xC3\xA9\")");
}

struct MessageCase {
    const char* name{};
    std::uint32_t code{};
    std::uint32_t asked{};  // the message number looked up
    std::string system{};   // the system's text for it
    std::string text{};
};

void PrintTo(const MessageCase& c, std::ostream* out) { *out << c.name; }

class FormatSystemMessageTable : public testing::TestWithParam<MessageCase> {};

TEST_P(FormatSystemMessageTable, GivesTheSystemTextOrTheNumberedFallback) {
    const MessageCase& c = GetParam();
    std::vector<std::uint32_t> asked;
    const std::string text =
        FormatSystemMessage(static_cast<std::int32_t>(c.code), [&](std::uint32_t number) {
            asked.push_back(number);
            return c.system;
        });
    EXPECT_THAT(asked, ElementsAre(c.asked));
    EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FormatSystemMessageTable,
    testing::Values(
        MessageCase{"WindowsFacilityGivesItsLow16Bits", 0x80080005, 5, "Denied.", "Denied."},
        MessageCase{"Win32FacilityGivesTheWholeCode", 0x80070005, 0x80070005, "Denied.", "Denied."},
        MessageCase{"NoSystemTextGivesTheFullCode", 0x80020009, 0x80020009, "",
                    "Error 0x80020009."},
        MessageCase{"WindowsFacilityWithoutTextStillShowsTheFullCode", 0x80080011, 0x11, "",
                    "Error 0x80080011."},
        MessageCase{"ATextOf127CharactersIsKept", 0x80070005, 0x80070005, std::string(127, 'x'),
                    std::string(127, 'x')},
        MessageCase{"ALongerTextGivesTheFallback", 0x80070005, 0x80070005, std::string(128, 'x'),
                    "Error 0x80070005."}),
    [](const testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

}  // namespace
