// The four methods of FilterManager with their result codes and error texts, against the
// stand-in store, table-driven over their edge cases.
#include "filter_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "metabase_fixture.h"
#include "platform/paths.h"
#include "primary_config.h"
#include "wide_text.h"

namespace {

using namespace taliscom;
using testing::ElementsAre;
using testing::IsEmpty;

const std::string kSites = R"(
[/lm/w3svc]
[/lm/w3svc/1]
1015 STRING "Default Web Site"
[/lm/w3svc/1/Filters]
1002 STRING "IIsFilters"
2040 STRING "other"
[/lm/w3svc/1/Filters/other]
[/lm/w3svc/2]
1015 STRING "Shop"
)";

// A metabase that refuses every change, as one whose keys another user holds.
class RefusingMetabase : public MetabaseStore {
  public:
    using MetabaseStore::MetabaseStore;
    HResult SetData(MetadataHandle, const char16_t*, const MetadataRecord*) override {
        return hr::kAccessDenied;
    }
    HResult AddKey(MetadataHandle, const char16_t*) override { return hr::kAccessDenied; }
    HResult DeleteKey(MetadataHandle, const char16_t*) override { return hr::kAccessDenied; }
};

enum class Metabase { Store, Refusing, Unreachable };

// The filter module lies in the test folder with "corvane.ini" beside it.
struct ManagerSetup {
    explicit ManagerSetup(const std::string& store, const std::string& configuredName = "pixwall")
        : metabase(store) {
        const char sep = platform::kPathSeparator;
        filterPath = text::Utf8ToUtf16(metabase.Folder().Path() + sep + "pixwall.dll");
        metabase.Folder().Write("corvane.ini", "[settings]\nfiltername=" + configuredName + "\n");
    }
    FilterManager Manager(Metabase kind = Metabase::Store) const {
        const std::string file = metabase.File();
        MetabaseConnection::Connector connector = MetabaseFixture::Unreachable();
        if (kind == Metabase::Store) connector = metabase.Connector();
        if (kind == Metabase::Refusing) {
            connector = [file](std::unique_ptr<AdminBase>& admin) {
                admin = std::make_unique<RefusingMetabase>(file);
                return hr::kOk;
            };
        }
        const std::u16string loadable = filterPath;
        return FilterManager(connector,
                             [loadable](std::u16string_view path) { return path == loadable; });
    }
    MetabaseFixture metabase;
    std::u16string filterPath;
};

std::string Describe(const MethodResult& result) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result.code));
    return std::string(code) +
           (result.errorText.empty() ? "" : " " + text::Utf16ToUtf8(result.errorText));
}

std::string Installed(const std::string& name, const std::string& place) {
    const std::string node = place.empty() ? "/lm/w3svc/Filters" : place + "/Filters";
    return "[" + node + "/" + name + "]";
}

struct MethodCase {
    const char* name;
    std::string store;
    Metabase metabase;
    std::function<MethodResult(const ManagerSetup&, const FilterManager&)> call;
    std::string result;
    // Text that the store must (true) or must not (false) hold afterwards; none: unchanged.
    std::vector<std::pair<std::string, bool>> after;
};

const std::string kInstalledOnShop = kSites + R"(
[/lm/w3svc/2/Filters]
2040 STRING "pixwall"
[/lm/w3svc/2/Filters/pixwall]
)";

// Test names carry the case; gtest need not print the whole case.
void PrintTo(const MethodCase& c, std::ostream* out) { *out << c.name; }

std::vector<MethodCase> Cases() {
    return {
        {"AddWithoutDescriptionInstallsForAllSites",
         kSites,
         Metabase::Store,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"");
         },
         "00000000",
         {{Installed("pixwall", ""), true}, {"2040 STRING \"pixwall\"", true}}},
        {"AddForOneSiteByItsDescriptionInAnyCase",
         kSites,
         Metabase::Store,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"default WEB site");
         },
         "00000000",
         {{Installed("pixwall", "/lm/w3svc/1"), true}, {"2040 STRING \"other,pixwall\"", true}}},
        {"AddToAnUnknownSiteFailsAndChangesNothing",
         kSites,
         Metabase::Store,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"Nowhere");
         },
         "80020009 Virtual server Nowhere not found",
         {}},
        {"AddOfAMissingModuleFailsBeforeTheMetabase",
         kSites,
         Metabase::Unreachable,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.AddWebFilter(u"C:\\missing\\pixwall.dll", u"Shop");
         },
         "80020009 C:\\missing\\pixwall.dll not found or invalid dll",
         {}},
        {"AddWithAnUnreachableMetabaseGivesItsCode",
         kSites,
         Metabase::Unreachable,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"");
         },
         "80040154",
         {}},
        {"AddThatTheMetabaseRefusesFails",
         kSites,
         Metabase::Refusing,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"Shop");
         },
         "80020009 The web filter could not be added to virtual server Shop",
         {}},
        {"AddForAllSitesThatTheMetabaseRefusesFails",
         kSites,
         Metabase::Refusing,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"");
         },
         "80020009 The web filter could not be added to all virtual servers",
         {}},
        {"AddWithAnUnreadableDescriptionGivesTheMetabaseCode",
         "[/lm/w3svc/1]\n[/lm/w3svc/2]\n1015 STRING \"Shop\"\n",
         Metabase::Store,
         [](const ManagerSetup& s, const FilterManager& m) {
             return m.AddWebFilter(s.filterPath, u"Shop");
         },
         "800CC801",
         {}},
        {"RemoveTakesTheFilterAway",
         kInstalledOnShop,
         Metabase::Store,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.RemoveWebFilter(u"pixwall", u"Shop");
         },
         "00000000",
         {{"[/lm/w3svc/2/Filters", false}, {"[/lm/w3svc/1/Filters/other]", true}}},
        {"RemovingWhatIsNotInstalledSucceeds",
         kSites,
         Metabase::Store,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.RemoveWebFilter(u"pixwall", u"Shop");
         },
         "00000000",
         {}},
        {"RemovingWhatIsNotInstalledSucceedsAlsoWhenTheMetabaseIsReadOnly",
         kSites,
         Metabase::Refusing,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.RemoveWebFilter(u"pixwall", u"");
         },
         "00000000",
         {}},
        {"RemovalThatTheMetabaseRefusesFails",
         kInstalledOnShop,
         Metabase::Refusing,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.RemoveWebFilter(u"pixwall", u"SHOP");
         },
         "80020009 The web filter could not be removed from virtual server SHOP",
         {}},
        {"RemoveFromAnUnknownSiteFails",
         kInstalledOnShop,
         Metabase::Store,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.RemoveWebFilter(u"pixwall", u"Shop ");
         },
         "80020009 Virtual server Shop  not found",
         {}},
        {"RemoveWithAnUnreachableMetabaseGivesItsCode",
         kSites,
         Metabase::Unreachable,
         [](const ManagerSetup&, const FilterManager& m) {
             return m.RemoveWebFilter(u"pixwall", u"");
         },
         "80040154",
         {}},
    };
}

class FilterManagerMethod : public testing::TestWithParam<MethodCase> {};

TEST_P(FilterManagerMethod, GivesItsResultAndChangesTheMetabase) {
    const MethodCase& c = GetParam();
    ManagerSetup setup(c.store);
    const std::string before = setup.metabase.Text();
    EXPECT_EQ(Describe(c.call(setup, setup.Manager(c.metabase))), c.result);
    const std::string after = setup.metabase.Text();
    if (c.after.empty()) {
        EXPECT_EQ(after, before);
    }
    for (const auto& [text, present] : c.after) {
        EXPECT_EQ(after.find(text) != std::string::npos, present) << text << "\n" << after;
    }
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, FilterManagerMethod, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FilterManager, TheFilterNameComesFromTheConfigurationNotTheCaller) {
    ManagerSetup setup(kSites, "configured");
    ASSERT_EQ(setup.Manager().AddWebFilter(setup.filterPath, u"Shop").code, hr::kOk);
    const std::string after = setup.metabase.Text();
    EXPECT_THAT(after, testing::HasSubstr("[/lm/w3svc/2/Filters/configured]"));
    // The module path is written exactly as the caller passed it.
    std::string escaped;
    for (const char c : text::Utf16ToUtf8(setup.filterPath)) {
        if (c == '\\') escaped.push_back('\\');
        escaped.push_back(c);
    }
    EXPECT_THAT(after, testing::HasSubstr("2041 STRING \"" + escaped + "\""));
    EXPECT_TRUE(setup.Manager().IsWebFilterInstalled(u"configured", u"shop"));
    EXPECT_FALSE(setup.Manager().IsWebFilterInstalled(u"pixwall", u"shop"));
}

TEST(FilterManager, AnEmptyConfiguredNameChangesNothingAndFails) {
    ManagerSetup setup(kSites, "default");
    const std::string before = setup.metabase.Text();
    EXPECT_EQ(Describe(setup.Manager().AddWebFilter(setup.filterPath, u"")),
              "80020009 The web filter could not be added to all virtual servers");
    EXPECT_EQ(setup.metabase.Text(), before);
    EXPECT_EQ(setup.Manager().RemoveWebFilter(u"", u"").code, hr::kOk);
    EXPECT_EQ(setup.metabase.Text(), before);
}

TEST(FilterManager, InstallRemoveRoundTripReportsTheState) {
    ManagerSetup setup(kSites);
    const FilterManager manager = setup.Manager();
    EXPECT_FALSE(manager.IsWebFilterInstalled(u"pixwall", u"Shop"));
    ASSERT_EQ(manager.AddWebFilter(setup.filterPath, u"Shop").code, hr::kOk);
    EXPECT_TRUE(manager.IsWebFilterInstalled(u"PixWall", u"shop"));
    EXPECT_FALSE(manager.IsWebFilterInstalled(u"pixwall", u""));
    EXPECT_FALSE(manager.IsWebFilterInstalled(u"pixwall", u"Nowhere"));
    ASSERT_EQ(manager.RemoveWebFilter(u"pixwall", u"Shop").code, hr::kOk);
    EXPECT_FALSE(manager.IsWebFilterInstalled(u"pixwall", u"Shop"));
    EXPECT_EQ(setup.metabase.Text(), MetabaseFixture::Canonical(kSites));
}

TEST(FilterManager, ListsTheSitesOrNothingWhenUnreachable) {
    ManagerSetup setup(kSites);
    std::vector<std::u16string> list = {u"stale"};
    EXPECT_EQ(setup.Manager().GetVirtualServerList(list), hr::kOk);
    EXPECT_THAT(list, ElementsAre(u"Default Web Site", u"Shop"));
    EXPECT_EQ(setup.Manager(Metabase::Unreachable).GetVirtualServerList(list), hr::kOk);
    EXPECT_THAT(list, IsEmpty());
    EXPECT_FALSE(setup.Manager(Metabase::Unreachable).IsWebFilterInstalled(u"pixwall", u""));
}

TEST(FilterManager, ProbesRealLibraries) {
    TempFolder folder;
    folder.Write("not-a-library.dll", "text, not code");
    EXPECT_FALSE(FilterManager::ProbeLibrary(text::Utf8ToUtf16(folder.PathOf("not-a-library.dll"))));
    EXPECT_FALSE(FilterManager::ProbeLibrary(text::Utf8ToUtf16(folder.PathOf("missing.dll"))));
    EXPECT_FALSE(FilterManager::ProbeLibrary(u""));
    std::string module = PIXWALL_MODULE;
#ifdef _WIN32
    // The build folder as Wine shows it: drive Z: is the root of the file system.
    for (char& c : module) c = c == '/' ? '\\' : c;
    module = "Z:" + module;
#endif
    EXPECT_TRUE(FilterManager::ProbeLibrary(text::Utf8ToUtf16(module)));
}

}  // namespace
