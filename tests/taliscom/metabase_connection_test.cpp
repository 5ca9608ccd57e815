// The metabase algorithms against the stand-in store, table-driven over its edge
// cases: the store's content before, the operation, its result and the store's content after.
#include "metabase_connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "metabase_fixture.h"
#include "wide_text.h"

namespace {

using namespace taliscom;
using testing::ElementsAre;

// Two sites; site 1 has two other filters installed.
const std::string kTwoSites = R"(
[/lm/w3svc]
[/lm/w3svc/1]
1015 STRING "Default Web Site"
[/lm/w3svc/1/Filters]
1002 STRING "IIsFilters"
2040 STRING "alpha,beta"
[/lm/w3svc/1/Filters/alpha]
1002 STRING "IIsFilter"
[/lm/w3svc/1/Filters/beta]
1002 STRING "IIsFilter"
[/lm/w3svc/2]
1015 STRING "Shop"
)";

std::string FilterKey(const std::string& node, const std::string& name, const std::string& path) {
    return "[" + node + "/" + name + "]\n1002 STRING \"IIsFilter\"\n2041 STRING \"" + path +
           "\"\n2042 DWORD 1\n";
}

struct AlgorithmCase {
    const char* name;
    std::string before;
    // Runs the operation and gives its result as text.
    std::function<std::string(MetabaseConnection&)> operation;
    std::string result;
    std::string after;  // empty: unchanged
};

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string Found(MetabaseConnection& c, const char16_t* description) {
    std::u16string path;
    const HResult code = c.FindServerPath(description, path);
    return std::to_string(code) + " " + text::Utf16ToUtf8(path);
}

std::string List(MetabaseConnection& c) {
    const auto list = c.ListVirtualServers();
    if (!list) return "none";
    std::string out;
    for (const auto& entry : *list) out += "[" + text::Utf16ToUtf8(entry) + "]";
    return out;
}

const std::string kLongName(70, 'x');

// Test names carry the case; gtest need not print the whole case.
void PrintTo(const AlgorithmCase& c, std::ostream* out) { *out << c.name; }

std::vector<AlgorithmCase> Cases() {
    const std::string site1 = "/lm/w3svc/1/Filters";
    return {
        {"AddAppendsToTheLoadOrderAndCreatesTheKey", kTwoSites,
         [](MetabaseConnection& c) {
             return Bool(c.AddFilter(u"/lm/w3svc/1", u"pixwall", u"C:\\pw\\pixwall.dll"));
         },
         "true",
         [&] {
             std::string after = kTwoSites;
             after.replace(after.find("alpha,beta"), 10, "alpha,beta,pixwall");
             after.replace(after.find("[/lm/w3svc/2]"), 0,
                           FilterKey(site1, "pixwall", "C:\\\\pw\\\\pixwall.dll"));
             return after;
         }()},
        {"RemoveRestoresTheLoadOrderAndKeepsTheNode",
         [&] {
             std::string before = kTwoSites;
             before.replace(before.find("alpha,beta"), 10, "alpha,beta,pixwall");
             before.replace(before.find("[/lm/w3svc/2]"), 0,
                            FilterKey(site1, "pixwall", "/pw/pixwall.so"));
             return before;
         }(),
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/1", u"pixwall")); },
         "true", kTwoSites},
        {"AddAtTheGlobalLevelCreatesTheFiltersNodeOfTheService", kTwoSites,
         [](MetabaseConnection& c) {
             std::u16string path;
             if (c.FindServerPath(u"", path) != 0) return std::string("not found");
             return text::Utf16ToUtf8(path) + " " + Bool(c.AddFilter(path, u"pixwall", u"/p/pixwall.so"));
         },
         "/lm/w3svc true",
         kTwoSites + "[/lm/w3svc/Filters]\n1002 STRING \"IIsFilters\"\n2040 STRING \"pixwall\"\n" +
             FilterKey("/lm/w3svc/Filters", "pixwall", "/p/pixwall.so")},
        {"RemovingTheLastFilterRemovesTheFiltersNode",
         kTwoSites +
             "[/lm/w3svc/2/Filters]\n1002 STRING \"IIsFilters\"\n2040 STRING \"pixwall\"\n" +
             FilterKey("/lm/w3svc/2/Filters", "pixwall", "/p/pixwall.so"),
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/2", u"pixwall")); },
         "true", kTwoSites},
        {"RemovingTheFirstOfTwoEntriesLeavesNoLeadingComma",
         "[/lm/w3svc/1/Filters]\n2040 STRING \"pixwall,other\"\n[/lm/w3svc/1/Filters/pixwall]\n"
         "[/lm/w3svc/1/Filters/other]\n",
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/1", u"pixwall")); },
         "true", "[/lm/w3svc/1/Filters]\n2040 STRING \"other\"\n[/lm/w3svc/1/Filters/other]\n"},
        {"RemovingTheOnlyEntryWithAnotherKeyLeftLeavesAnEmptyLoadOrder",
         "[/lm/w3svc/1/Filters]\n2040 STRING \"pixwall\"\n[/lm/w3svc/1/Filters/pixwall]\n"
         "[/lm/w3svc/1/Filters/stray]\n",
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/1", u"pixwall")); },
         "true", "[/lm/w3svc/1/Filters]\n2040 STRING \"\"\n[/lm/w3svc/1/Filters/stray]\n"},
        {"RemovingDropsEmptyEntriesAndEveryCopyCaseSensitively",
         "[/lm/w3svc/1/Filters]\n2040 STRING \"a,,pixwall,PixWall,pixwall,\"\n"
         "[/lm/w3svc/1/Filters/a]\n",
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/1", u"pixwall")); },
         "true", "[/lm/w3svc/1/Filters]\n2040 STRING \"a,PixWall\"\n[/lm/w3svc/1/Filters/a]\n"},
        {"ReinstallEndsLastWithOneEntry",
         "[/lm/w3svc/1/Filters]\n1002 STRING \"IIsFilters\"\n2040 STRING \"pixwall,other\"\n" +
             FilterKey("/lm/w3svc/1/Filters", "pixwall", "/old.so") +
             "[/lm/w3svc/1/Filters/other]\n",
         [](MetabaseConnection& c) {
             return Bool(c.AddFilter(u"/lm/w3svc/1", u"pixwall", u"/new.so"));
         },
         "true",
         "[/lm/w3svc/1/Filters]\n1002 STRING \"IIsFilters\"\n2040 STRING \"other,pixwall\"\n"
         "[/lm/w3svc/1/Filters/other]\n" +
             FilterKey("/lm/w3svc/1/Filters", "pixwall", "/new.so")},
        {"RemovingAFilterThatIsNotInstalledChangesNothing", kTwoSites,
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/1", u"pixwall")); },
         "true", ""},
        {"RemovingWhereThereIsNoFiltersNodeIsFalse", kTwoSites,
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/2", u"pixwall")); },
         "false", ""},
        {"RemovingPixwallKeepsPixwall2",
         "[/lm/w3svc/1/Filters]\n2040 STRING \"pixwall2\"\n[/lm/w3svc/1/Filters/pixwall2]\n",
         [](MetabaseConnection& c) { return Bool(c.RemoveFilter(u"/lm/w3svc/1", u"pixwall")); },
         "true", ""},
        {"AnEmptyFilterNameIsRefusedAndChangesNothing", kTwoSites,
         [](MetabaseConnection& c) {
             return Bool(c.AddFilter(u"/lm/w3svc/1", u"", u"/p.so")) + " " +
                    Bool(c.RemoveFilter(u"/lm/w3svc/1", u"")) + " " +
                    Bool(c.AddFilterKeys(u"/lm/w3svc/1", u"", u"/p.so"));
         },
         "false false false", ""},
        {"InstalledComparesWholeEntries",
         "[/lm/w3svc/1]\n1015 STRING \"Site\"\n[/lm/w3svc/1/Filters]\n"
         "2040 STRING \"pixwall2,Other\"\n",
         [](MetabaseConnection& c) {
             return Bool(c.IsFilterInstalled(u"pixwall", u"Site")) + " " +
                    Bool(c.IsFilterInstalled(u"PIXWALL2", u"site")) + " " +
                    Bool(c.IsFilterInstalled(u"other", u"SITE")) + " " +
                    Bool(c.IsFilterInstalled(u"wall2", u"Site")) + " " +
                    Bool(c.IsFilterInstalled(u"pixwall2", u"Nowhere")) + " " +
                    Bool(c.IsFilterInstalled(u"", u"Site"));
         },
         "false true true false false false", ""},
        {"InstalledAtTheGlobalLevel",
         "[/lm/w3svc/Filters]\n2040 STRING \"PixWall\"\n[/lm/w3svc/1]\n1015 STRING \"Site\"\n",
         [](MetabaseConnection& c) {
             return Bool(c.IsFilterInstalled(u"pixwall", u"")) + " " +
                    Bool(c.IsFilterInstalled(u"pixwall", u"Site"));
         },
         "true false", ""},
        {"DescriptionsMatchRegardlessOfCaseButNotOfSpaces", kTwoSites,
         [](MetabaseConnection& c) {
             return Found(c, u"DEFAULT web SITE") + "|" + Found(c, u"Default Web Site ") + "|" +
                    Found(c, u"shop") + "|" + Found(c, u"Default  Web Site");
         },
         "0 /lm/w3svc/1|1 |0 /lm/w3svc/2|1 ", ""},
        {"TheFirstOfTwoEqualDescriptionsWins",
         "[/lm/w3svc/7]\n1015 STRING \"Same\"\n[/lm/w3svc/3]\n1015 STRING \"same\"\n",
         [](MetabaseConnection& c) { return Found(c, u"SAME"); }, "0 /lm/w3svc/7", ""},
        {"NonNumericChildrenAreNeitherListedNorSearched",
         "[/lm/w3svc/Filters]\n1015 STRING \"Filters node\"\n[/lm/w3svc/1a]\n"
         "1015 STRING \"Odd\"\n[/lm/w3svc/ 2]\n1015 STRING \"Spaced\"\n[/lm/w3svc/4]\n"
         "1015 STRING \"Four\"\n",
         [](MetabaseConnection& c) {
             return List(c) + " " + Found(c, u"Odd") + " " + Found(c, u"Filters node") + " " +
                    Found(c, u"four");
         },
         "[Four] 1  1  0 /lm/w3svc/4", ""},
        {"ASiteWithoutADescriptionIsListedEmpty",
         "[/lm/w3svc/1]\n[/lm/w3svc/2]\n1015 STRING \"Two\"\n[/lm/w3svc/3]\n1015 DWORD 3\n",
         [](MetabaseConnection& c) { return List(c); }, "[][Two][]", ""},
        {"AnUnreadableDescriptionEndsTheSearchWithTheFailure",
         "[/lm/w3svc/1]\n[/lm/w3svc/2]\n1015 STRING \"Two\"\n",
         [](MetabaseConnection& c) { return Found(c, u"Two"); },
         std::to_string(hr::kDataNotFound) + " ", ""},
        {"LongDescriptionsGrowTheBuffer", "[/lm/w3svc/1]\n1015 STRING \"" + kLongName + "\"\n",
         [](MetabaseConnection& c) {
             return List(c) + " " + Found(c, text::Utf8ToUtf16(kLongName).c_str());
         },
         "[" + kLongName + "] 0 /lm/w3svc/1", ""},
        {"NumbersAreTakenAsTheyAreSpelled",
         "[/lm/w3svc/01]\n1015 STRING \"Zero one\"\n[/lm/w3svc/1]\n1015 STRING \"One\"\n",
         [](MetabaseConnection& c) { return List(c); }, "[One][One]", ""},
        {"NoServiceNodeMeansNoSites", "[/lm]\n",
         [](MetabaseConnection& c) { return List(c) + " " + Found(c, u"x") + " " + Found(c, u""); },
         " 1  0 /lm/w3svc", ""},
        {"WritingAnEmptyLoadOrderWritesNoData", "[/lm/w3svc/1/Filters]\n2040 STRING \"a\"\n",
         [](MetabaseConnection& c) {
             return std::to_string(c.WriteFilterLoadOrder(u"/lm/w3svc/1", u"")) + " " +
                    std::to_string(c.WriteFilterLoadOrder(u"/lm/w3svc/9", u"x"));
         },
         "0 0", "[/lm/w3svc/1/Filters]\n2040 STRING \"\"\n"},
        {"AFiltersPathIsUsedUnchanged", "[/lm/w3svc/1/Filters]\n2040 STRING \"a,b\"\n",
         [](MetabaseConnection& c) {
             return text::Utf16ToUtf8(c.ReadFilterLoadOrder(u"/lm/w3svc/1/Filters")) + " " +
                    text::Utf16ToUtf8(c.ReadFilterLoadOrder(u"/lm/w3svc/1/")) + " " +
                    text::Utf16ToUtf8(MetabaseConnection::FiltersNode(u"/lm/w3svc/1/"));
         },
         "a,b a,b /lm/w3svc/1/Filters", ""},
        {"PresenceLooksAtTheKeyAndTheLoadOrder",
         "[/lm/w3svc/1/Filters]\n2040 STRING \"listed\"\n[/lm/w3svc/1/Filters/keyed]\n",
         [](MetabaseConnection& c) {
             return Bool(c.IsFilterPresent(u"/lm/w3svc/1", u"listed")) + " " +
                    Bool(c.IsFilterPresent(u"/lm/w3svc/1", u"keyed")) + " " +
                    Bool(c.IsFilterPresent(u"/lm/w3svc/1", u"absent")) + " " +
                    Bool(c.IsFilterPresent(u"/lm/w3svc/1", u""));
         },
         "true true false false", ""},
    };
}

class MetabaseAlgorithm : public testing::TestWithParam<AlgorithmCase> {};

TEST_P(MetabaseAlgorithm, GivesTheResultAndLeavesTheStore) {
    const AlgorithmCase& c = GetParam();
    MetabaseFixture fixture(c.before);
    MetabaseConnection connection(fixture.Connector());
    EXPECT_EQ(c.operation(connection), c.result);
    EXPECT_EQ(fixture.Text(), MetabaseFixture::Canonical(c.after.empty() ? c.before : c.after));
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, MetabaseAlgorithm, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The store, except that opening one path with exactly the given access answers busy, as when
// another writer holds it past the open time-out.
class BusyPath : public MetabaseStore {
  public:
    BusyPath(const std::string& file, std::u16string path, std::uint32_t access)
        : MetabaseStore(file), path_(std::move(path)), access_(access) {}
    HResult OpenKey(MetadataHandle handle, const char16_t* path, std::uint32_t access,
                    std::uint32_t timeoutMs, MetadataHandle* newHandle) override {
        if (path != nullptr && path == path_ && access == access_) return hr::kPathBusy;
        return MetabaseStore::OpenKey(handle, path, access, timeoutMs, newHandle);
    }

  private:
    std::u16string path_;
    std::uint32_t access_;
};

MetabaseConnection::Connector BusyConnector(const MetabaseFixture& fixture, std::uint32_t access) {
    const std::string file = fixture.File();
    return [file, access](std::unique_ptr<AdminBase>& metabase) {
        metabase = std::make_unique<BusyPath>(file, u"/lm/w3svc/1/Filters", access);
        return hr::kOk;
    };
}

TEST(MetabaseConnection, ALoadOrderThatCannotBeReadIsNotTakenForEmpty) {
    MetabaseFixture fixture(kTwoSites);
    MetabaseConnection connection(BusyConnector(fixture, kPermissionRead));
    EXPECT_FALSE(connection.AddFilter(u"/lm/w3svc/1", u"pixwall", u"/pw/pixwall.so"));
    EXPECT_FALSE(connection.RemoveFilter(u"/lm/w3svc/1", u"alpha"));
    // The other filters stay listed and installed.
    MetabaseConnection reader(fixture.Connector());
    EXPECT_EQ(reader.ReadFilterLoadOrder(u"/lm/w3svc/1"), u"alpha,beta");
    EXPECT_TRUE(reader.IsFilterPresent(u"/lm/w3svc/1", u"alpha"));
}

TEST(MetabaseConnection, ALoadOrderThatCannotBeWrittenIsAFailure) {
    MetabaseFixture fixture(kTwoSites);
    MetabaseConnection connection(BusyConnector(fixture, kPermissionWrite));
    EXPECT_EQ(connection.WriteFilterLoadOrder(u"/lm/w3svc/1", u"alpha"), hr::kPathBusy);
    EXPECT_EQ(fixture.Text(), MetabaseFixture::Canonical(kTwoSites));
}

TEST(MetabaseConnection, UnreachableMetabase) {
    MetabaseConnection connection(MetabaseFixture::Unreachable());
    EXPECT_EQ(connection.Connect(), hr::kClassNotRegistered);
    EXPECT_EQ(connection.ListVirtualServers(), std::nullopt);
    std::u16string path = u"x";
    EXPECT_EQ(connection.FindServerPath(u"", path), hr::kClassNotRegistered);
    EXPECT_EQ(path, u"");
    EXPECT_EQ(connection.ReadFilterLoadOrder(u"/lm/w3svc"), u"");
    EXPECT_EQ(connection.WriteFilterLoadOrder(u"/lm/w3svc", u"a"), hr::kClassNotRegistered);
    EXPECT_FALSE(connection.IsFilterInstalled(u"a", u""));
    EXPECT_FALSE(connection.RemoveFilter(u"/lm/w3svc", u"a"));
    EXPECT_FALSE(connection.AddFilterKeys(u"/lm/w3svc", u"a", u"p"));
    EXPECT_FALSE(connection.AddFilter(u"/lm/w3svc", u"a", u"p"));
}

TEST(MetabaseConnection, ConnectsOnceAndRetriesAfterAFailure) {
    int calls = 0;
    MetabaseFixture fixture(kTwoSites);
    MetabaseConnection connection([&](std::unique_ptr<AdminBase>& metabase) {
        if (++calls == 1) return hr::kFail;
        metabase = std::make_unique<MetabaseStore>(fixture.File());
        return hr::kOk;
    });
    EXPECT_EQ(connection.Connect(), hr::kFail);
    EXPECT_EQ(connection.Connect(), hr::kOk);
    EXPECT_EQ(connection.Connect(), hr::kOk);
    EXPECT_THAT(*connection.ListVirtualServers(), ElementsAre(u"Default Web Site", u"Shop"));
    EXPECT_EQ(calls, 2);
}

}  // namespace
