// The stand-in metabase store: the seven operations with IIS's failure codes, the file, locking.
#include "metabase_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "metabase_fixture.h"

namespace {

using namespace taliscom;

constexpr std::uint32_t kRead = kPermissionRead;
constexpr std::uint32_t kWrite = kPermissionWrite;

const char* kSites = R"(
[/lm/w3svc]
[/lm/w3svc/1]
1015 STRING "Default Web Site"
[/lm/w3svc/Filters]
[/lm/w3svc/2]
1015 STRING "Second"
2042 DWORD 7 ut=2 attr=1
)";

std::u16string ReadText(MetabaseStore& store, MetadataHandle key, std::uint32_t id,
                        HResult* result = nullptr) {
    char16_t buffer[128] = {};
    MetadataRecord record;
    record.identifier = id;
    record.dataType = kStringMetadata;
    record.dataLength = sizeof buffer;
    record.data = reinterpret_cast<unsigned char*>(buffer);
    std::uint32_t required = 0;
    const HResult got = store.GetData(key, u"/", &record, &required);
    if (result != nullptr) *result = got;
    return buffer;
}

HResult WriteText(MetabaseStore& store, MetadataHandle key, const char16_t* path, std::uint32_t id,
                  std::u16string text) {
    MetadataRecord record;
    record.identifier = id;
    record.userType = kUserTypeServer;
    record.dataType = kStringMetadata;
    record.dataLength = static_cast<std::uint32_t>((text.size() + 1) * 2);
    record.data = reinterpret_cast<unsigned char*>(text.data());
    return store.SetData(key, path, &record);
}

TEST(MetabaseStore, EnumeratesChildrenInOrderOfCreation) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    char16_t name[kMaxNameLength];
    ASSERT_EQ(store.EnumKeys(kMasterRootHandle, u"/lm/w3svc", name, 0), hr::kOk);
    EXPECT_EQ(std::u16string(name), u"1");
    ASSERT_EQ(store.EnumKeys(kMasterRootHandle, u"/LM/W3SVC/", name, 1), hr::kOk);
    EXPECT_EQ(std::u16string(name), u"Filters");
    ASSERT_EQ(store.EnumKeys(kMasterRootHandle, u"/lm/w3svc", name, 2), hr::kOk);
    EXPECT_EQ(std::u16string(name), u"2");
    EXPECT_EQ(store.EnumKeys(kMasterRootHandle, u"/lm/w3svc", name, 3), hr::kNoMoreItems);
    EXPECT_EQ(static_cast<std::uint32_t>(hr::kNoMoreItems), 0x80070103u);
    EXPECT_EQ(store.EnumKeys(kMasterRootHandle, u"/lm/missing", name, 0), hr::kPathNotFound);
}

TEST(MetabaseStore, OpensExistingKeysOnly) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    MetadataHandle key = 0;
    EXPECT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/3", kRead, 1000, &key),
              hr::kPathNotFound);
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kRead, 1000, &key), hr::kOk);
    EXPECT_NE(key, kMasterRootHandle);
    EXPECT_EQ(ReadText(store, key, kMdServerComment), u"Default Web Site");
    EXPECT_EQ(store.CloseKey(key), hr::kOk);
    EXPECT_EQ(store.CloseKey(key), hr::kInvalidHandle);
    char16_t name[kMaxNameLength];
    EXPECT_EQ(store.EnumKeys(key, u"/", name, 0), hr::kInvalidHandle);
    // A missing store file is an empty metabase.
    MetabaseStore empty(fixture.Folder().PathOf("none.txt"));
    EXPECT_EQ(empty.OpenKey(kMasterRootHandle, u"/lm/w3svc", kRead, 1000, &key), hr::kPathNotFound);
}

TEST(MetabaseStore, GetDataReportsTheRequiredLength) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    MetadataHandle key = 0;
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kRead, 1000, &key), hr::kOk);
    char16_t small[4];
    MetadataRecord record;
    record.identifier = kMdServerComment;
    record.dataType = kStringMetadata;
    record.dataLength = sizeof small;
    record.data = reinterpret_cast<unsigned char*>(small);
    std::uint32_t required = 0;
    EXPECT_EQ(store.GetData(key, u"/", &record, &required), hr::kInsufficientBuffer);
    EXPECT_EQ(required, (16u + 1u) * 2u);
    EXPECT_EQ(hr::kInsufficientBuffer & 0xFFFF, 122);
    // No buffer at all: also insufficient, with the length.
    record.dataLength = 2;
    record.data = nullptr;
    required = 0;
    EXPECT_EQ(store.GetData(key, u"/", &record, &required), hr::kInsufficientBuffer);
    EXPECT_EQ(required, 34u);
    // Missing property, and a property of another data type.
    HResult result = hr::kOk;
    ReadText(store, key, kMdFilterLoadOrder, &result);
    EXPECT_EQ(result, hr::kDataNotFound);
    store.CloseKey(key);
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/2", kRead, 1000, &key), hr::kOk);
    ReadText(store, key, kMdFilterState, &result);
    EXPECT_EQ(result, hr::kDataNotFound);
    std::uint32_t value = 0;
    record = MetadataRecord{};
    record.identifier = kMdFilterState;
    record.dataLength = 4;
    record.data = reinterpret_cast<unsigned char*>(&value);
    EXPECT_EQ(store.GetData(key, u"/", &record, &required), hr::kOk);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(record.dataType, kDwordMetadata);
    EXPECT_EQ(record.userType, 2u);
    EXPECT_EQ(record.attributes, 1u);
    store.CloseKey(key);
}

TEST(MetabaseStore, WritesNeedAWriteHandle) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    MetadataHandle key = 0;
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kRead, 1000, &key), hr::kOk);
    EXPECT_EQ(WriteText(store, key, u"/", kMdKeyType, u"x"), hr::kAccessDenied);
    EXPECT_EQ(store.AddKey(key, u"Filters"), hr::kAccessDenied);
    store.CloseKey(key);
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kRead | kWrite, 1000, &key),
              hr::kOk);
    EXPECT_EQ(store.AddKey(key, u"/Filters"), hr::kOk);
    EXPECT_EQ(store.AddKey(key, u"/filters"), hr::kAlreadyExists);
    EXPECT_EQ(WriteText(store, key, u"/Filters", kMdKeyType, u"IIsFilters"), hr::kOk);
    EXPECT_EQ(store.AddKey(key, u"Filters/one/two"), hr::kOk);
    EXPECT_EQ(store.DeleteKey(key, u"/Filters/one"), hr::kOk);
    EXPECT_EQ(store.DeleteKey(key, u"/Filters/one"), hr::kPathNotFound);
    store.CloseKey(key);
    EXPECT_EQ(fixture.Text(), MetabaseFixture::Canonical(std::string(kSites) + R"(
[/lm/w3svc/1/Filters]
1002 STRING "IIsFilters"
)"));
}

TEST(MetabaseStore, KeepsStringsWithOneTerminatingZero) {
    MetabaseFixture fixture("[/a]\n");
    MetabaseStore store(fixture.File());
    MetadataHandle key = 0;
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/a", kWrite, 1000, &key), hr::kOk);
    MetadataRecord record;
    record.identifier = kMdFilterLoadOrder;
    record.userType = kUserTypeServer;
    record.dataType = kStringMetadata;
    EXPECT_EQ(store.SetData(key, u"/", &record), hr::kOk);  // empty: no data, length 0
    EXPECT_EQ(WriteText(store, key, u"/", kMdServerComment, u"quote \" back \\ \u00e9t\u00e9"),
              hr::kOk);
    store.CloseKey(key);
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/a", kRead, 1000, &key), hr::kOk);
    HResult result = hr::kFail;
    EXPECT_EQ(ReadText(store, key, kMdFilterLoadOrder, &result), u"");
    EXPECT_EQ(result, hr::kOk);
    EXPECT_EQ(ReadText(store, key, kMdServerComment), u"quote \" back \\ \u00e9t\u00e9");
    store.CloseKey(key);
    EXPECT_THAT(fixture.Folder().Read("metabase.txt"),
                testing::HasSubstr("1015 STRING \"quote \\\" back \\\\ \xc3\xa9t\xc3\xa9\""));
}

TEST(MetabaseStore, AWriteHandleMakesOthersWaitAndThenFailBusy) {
    MetabaseFixture fixture(kSites);
    MetabaseStore first(fixture.File());
    MetabaseStore second(fixture.File());
    MetadataHandle writer = 0;
    ASSERT_EQ(first.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kWrite, 1000, &writer), hr::kOk);
    MetadataHandle other = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(second.OpenKey(kMasterRootHandle, u"/lm/w3svc/2", kRead, 100, &other), hr::kPathBusy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(static_cast<std::uint32_t>(hr::kPathBusy), 0x80070094u);
    first.CloseKey(writer);
    ASSERT_EQ(second.OpenKey(kMasterRootHandle, u"/lm/w3svc/2", kRead, 100, &other), hr::kOk);
    // Readers share.
    MetadataHandle reader = 0;
    ASSERT_EQ(first.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kRead, 100, &reader), hr::kOk);
    EXPECT_EQ(first.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kWrite, 50, &writer), hr::kPathBusy);
    first.CloseKey(reader);
    second.CloseKey(other);
}

TEST(MetabaseStore, LeavesNoTemporaryFiles) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    MetadataHandle key = 0;
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc", kWrite, 1000, &key), hr::kOk);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(store.AddKey(key, (u"k" + std::u16string(1, char16_t(u'0' + i))).c_str()),
                  hr::kOk);
    }
    store.CloseKey(key);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(fixture.Folder().Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_THAT(names, testing::UnorderedElementsAre("metabase.txt", "metabase.txt.lock"));
}

TEST(MetabaseStore, NeverRewritesAStoreItCannotReadWhole) {
    // A hand-edited comment: an unrelated change must not drop the load order below it.
    const std::string text = std::string(kSites) + "; note\n2040 STRING \"a,b\"\n";
    MetabaseFixture fixture(text);
    MetabaseStore store(fixture.File());
    MetadataHandle key = 0;
    EXPECT_EQ(store.OpenKey(kMasterRootHandle, u"/lm/w3svc/1", kWrite, 100, &key),
              hr::kInvalidData);
    EXPECT_EQ(store.AddKey(kMasterRootHandle, u"/lm/w3svc/3"), hr::kInvalidData);
    EXPECT_EQ(fixture.Folder().Read("metabase.txt"), text);
    // A store that exists but cannot be read is no empty store.
    MetabaseFixture unreadable;
    std::filesystem::create_directory(unreadable.File());
    MetabaseStore other(unreadable.File());
    EXPECT_EQ(other.AddKey(kMasterRootHandle, u"/lm"), hr::kAccessDenied);
    EXPECT_TRUE(std::filesystem::is_directory(unreadable.File()));
}

TEST(MetabaseStore, NamesWithLineBreaksAndBracketsReadBack) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    const std::u16string awkward = u"a\nb] 100%\r[c]";
    ASSERT_EQ(store.AddKey(kMasterRootHandle, (u"/lm/w3svc/1/" + awkward).c_str()), hr::kOk);
    ASSERT_EQ(WriteText(store, kMasterRootHandle, (u"/lm/w3svc/1/" + awkward).c_str(), 7,
                        u"x\"\n[/lm/w3svc/9]\n1015 STRING \"evil\""),
              hr::kOk);
    char16_t name[kMaxNameLength];
    ASSERT_EQ(store.EnumKeys(kMasterRootHandle, u"/lm/w3svc/1", name, 0), hr::kOk);
    EXPECT_EQ(std::u16string(name), awkward);
    EXPECT_EQ(store.EnumKeys(kMasterRootHandle, u"/lm/w3svc", name, 3), hr::kNoMoreItems);
    MetadataHandle key = 0;
    ASSERT_EQ(
        store.OpenKey(kMasterRootHandle, (u"/lm/w3svc/1/" + awkward).c_str(), kRead, 100, &key),
        hr::kOk);
    EXPECT_EQ(ReadText(store, key, 7), u"x\"\n[/lm/w3svc/9]\n1015 STRING \"evil\"");
    store.CloseKey(key);
}

// Names are UTF-16 and may hold anything, a surrogate without its other half too; the file must
// give each back as it was, or two keys become one when the store is read again.
TEST(MetabaseStore, EveryUtf16NameReadsBackFromTheFile) {
    MetabaseFixture fixture(kSites);
    const std::u16string names[] = {u"a\xD800", u"a\xDC00", u"a\xFFFD", u"a\xD83D\xDE00" u"b",
                                    u"a\xDC00\xD800"};
    {
        MetabaseStore store(fixture.File());
        for (const std::u16string& name : names) {
            ASSERT_EQ(store.AddKey(kMasterRootHandle, (u"/lm/w3svc/1/" + name).c_str()), hr::kOk);
        }
        ASSERT_EQ(WriteText(store, kMasterRootHandle, u"/lm/w3svc/1/a\xD800", 7, u"v\xDBFF"),
                  hr::kOk);
    }
    MetabaseStore again(fixture.File());
    char16_t name[kMaxNameLength];
    for (std::uint32_t i = 0; i < std::size(names); ++i) {
        ASSERT_EQ(again.EnumKeys(kMasterRootHandle, u"/lm/w3svc/1", name, i), hr::kOk) << i;
        EXPECT_EQ(std::u16string(name), names[i]) << i;
    }
    EXPECT_EQ(again.EnumKeys(kMasterRootHandle, u"/lm/w3svc/1", name, std::size(names)),
              hr::kNoMoreItems);
    MetadataHandle key = 0;
    ASSERT_EQ(again.OpenKey(kMasterRootHandle, u"/lm/w3svc/1/a\xD800", kRead, 100, &key), hr::kOk);
    EXPECT_EQ(ReadText(again, key, 7), u"v\xDBFF");
    again.CloseKey(key);
}

TEST(MetabaseStore, RefusesKeysDeeperThanTheLimit) {
    MetabaseFixture fixture(kSites);
    MetabaseStore store(fixture.File());
    std::u16string path;
    for (std::size_t i = 0; i < metabase::kMaxKeyDepth; ++i) path += u"/k";
    EXPECT_EQ(store.AddKey(kMasterRootHandle, path.c_str()), hr::kOk);
    EXPECT_EQ(store.AddKey(kMasterRootHandle, (path + u"/k").c_str()), hr::kInvalidArg);
    MetadataHandle key = 0;
    ASSERT_EQ(store.OpenKey(kMasterRootHandle, path.c_str(), kWrite, 100, &key), hr::kOk);
    EXPECT_EQ(store.AddKey(key, u"k"), hr::kInvalidArg);
    store.CloseKey(key);
    EXPECT_EQ(store.OpenKey(kMasterRootHandle, (path + u"/k").c_str(), kRead, 100, &key),
              hr::kInvalidArg);
}

}  // namespace
