#include "metabase_connection.h"

#include <cstring>

#include "wide_text.h"

namespace taliscom {
namespace {

constexpr std::u16string_view kWebService = u"/lm/w3svc";
constexpr std::uint32_t kRead = kPermissionRead;
constexpr std::uint32_t kWrite = kPermissionWrite;
constexpr std::uint32_t kReadWrite = kPermissionRead | kPermissionWrite;

bool IsInsufficientBuffer(HResult result) { return (result & 0xFFFF) == 122; }

// Closes a metabase key when it goes out of scope.
class KeyGuard {
  public:
    KeyGuard(AdminBase& metabase, MetadataHandle key) : metabase_(metabase), key_(key) {}
    ~KeyGuard() { metabase_.CloseKey(key_); }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

  private:
    AdminBase& metabase_;
    MetadataHandle key_;
};

// The number that a decimal child name spells, in decimal without leading zeros.
std::u16string ServerNumber(std::u16string_view name) {
    std::size_t first = 0;
    while (first + 1 < name.size() && name[first] == u'0') ++first;
    return std::u16string(name.substr(first));
}

}  // namespace

MetabaseConnection::MetabaseConnection() : MetabaseConnection(PlatformConnector()) {}

MetabaseConnection::MetabaseConnection(Connector connector) : connector_(std::move(connector)) {}

MetabaseConnection::~MetabaseConnection() = default;

HResult MetabaseConnection::Connect() {
    if (metabase_) return hr::kOk;
    if (!connector_) return hr::kClassNotRegistered;
    std::unique_ptr<AdminBase> metabase;
    const HResult result = connector_(metabase);
    if (Failed(result)) return result;
    if (!metabase) return hr::kFail;
    metabase_ = std::move(metabase);
    return hr::kOk;
}

std::u16string MetabaseConnection::FiltersNode(std::u16string_view serverPath) {
    if (serverPath.find(u"Filters") != std::u16string_view::npos) {
        return std::u16string(serverPath);
    }
    std::u16string node(serverPath);
    if (node.empty() || node.back() != u'/') node.push_back(u'/');
    return node + u"Filters";
}

HResult MetabaseConnection::Open(std::u16string_view path, std::uint32_t access,
                                 MetadataHandle& key) {
    const std::u16string text(path);
    return metabase_->OpenKey(kMasterRootHandle, text.c_str(), access, kOpenTimeoutMs, &key);
}

HResult MetabaseConnection::ReadString(MetadataHandle key, std::uint32_t identifier,
                                       std::u16string& value) {
    std::vector<unsigned char> buffer(64);
    while (true) {
        MetadataRecord record;
        record.identifier = identifier;
        record.attributes = kNoAttributes;
        record.userType = kUserTypeServer;
        record.dataType = kStringMetadata;
        record.dataLength = static_cast<std::uint32_t>(buffer.size());
        record.data = buffer.data();
        std::uint32_t required = 0;
        const HResult result = metabase_->GetData(key, u"/", &record, &required);
        if (IsInsufficientBuffer(result) && required > buffer.size()) {
            buffer.assign(required, 0);
            continue;
        }
        if (Failed(result)) return result;
        std::u16string text(record.dataLength / 2, u'\0');
        std::memcpy(text.data(), buffer.data(), text.size() * sizeof(char16_t));
        value = text.substr(0, text.find(u'\0'));
        return hr::kOk;
    }
}

HResult MetabaseConnection::WriteString(MetadataHandle key, std::uint32_t identifier,
                                        std::u16string_view value) {
    std::u16string text(value);
    MetadataRecord record;
    record.identifier = identifier;
    record.attributes = kNoAttributes;
    record.userType = kUserTypeServer;
    record.dataType = kStringMetadata;
    if (!text.empty()) {
        record.dataLength = static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t));
        record.data = reinterpret_cast<unsigned char*>(text.data());
    }
    record.dataTag = 0;
    return metabase_->SetData(key, u"/", &record);
}

HResult MetabaseConnection::WriteDword(MetadataHandle key, std::uint32_t identifier,
                                       std::uint32_t value) {
    MetadataRecord record;
    record.identifier = identifier;
    record.attributes = kNoAttributes;
    record.userType = kUserTypeServer;
    record.dataType = kDwordMetadata;
    record.dataLength = sizeof value;
    record.data = reinterpret_cast<unsigned char*>(&value);
    record.dataTag = 0;
    return metabase_->SetData(key, u"/", &record);
}

void MetabaseConnection::ForEachServer(const std::function<bool(const std::u16string&)>& visit) {
    const std::u16string service(kWebService);
    for (std::uint32_t index = 0;; ++index) {
        char16_t name[kMaxNameLength] = {};
        if (Failed(metabase_->EnumKeys(kMasterRootHandle, service.c_str(), name, index))) return;
        if (!metabase::IsServerNumber(name)) continue;
        if (!visit(ServerNumber(name))) return;
    }
}

std::optional<std::vector<std::u16string>> MetabaseConnection::ListVirtualServers() {
    if (Failed(Connect())) return std::nullopt;
    std::vector<std::u16string> list;
    ForEachServer([&](const std::u16string& number) {
        MetadataHandle key = 0;
        if (Failed(Open(std::u16string(kWebService) + u"/" + number, kRead, key))) return false;
        std::u16string description;
        if (Failed(ReadString(key, kMdServerComment, description))) description.clear();
        metabase_->CloseKey(key);
        list.push_back(std::move(description));
        return true;
    });
    return list;
}

HResult MetabaseConnection::FindServerPath(std::u16string_view description,
                                           std::u16string& serverPath) {
    serverPath.clear();
    if (const HResult result = Connect(); Failed(result)) return result;
    const std::u16string wanted = text::FoldLower(description);
    if (wanted.empty()) {
        serverPath = kWebService;
        return hr::kOk;
    }
    HResult outcome = hr::kFalse;
    ForEachServer([&](const std::u16string& number) {
        const std::u16string path = std::u16string(kWebService) + u"/" + number;
        MetadataHandle key = 0;
        if (Failed(Open(path, kRead, key))) return false;  // code 1, empty path
        KeyGuard guard(*metabase_, key);
        std::u16string comment;
        if (const HResult result = ReadString(key, kMdServerComment, comment); Failed(result)) {
            outcome = result;
            return false;
        }
        if (text::FoldLower(comment) == wanted) {
            serverPath = path;
            outcome = hr::kOk;
            return false;
        }
        return true;
    });
    return outcome;
}

std::u16string MetabaseConnection::ReadFilterLoadOrder(std::u16string_view serverPath) {
    if (Failed(Connect())) return {};
    return TryReadFilterLoadOrder(serverPath).value_or(std::u16string());
}

std::optional<std::u16string> MetabaseConnection::TryReadFilterLoadOrder(
    std::u16string_view serverPath) {
    if (Failed(Connect())) return std::nullopt;
    MetadataHandle key = 0;
    const HResult opened = Open(FiltersNode(serverPath), kRead, key);
    if (opened == hr::kPathNotFound) return std::u16string();
    if (Failed(opened)) return std::nullopt;
    KeyGuard guard(*metabase_, key);
    std::u16string order;
    const HResult read = ReadString(key, kMdFilterLoadOrder, order);
    if (read == hr::kDataNotFound) return std::u16string();
    if (Failed(read)) return std::nullopt;
    return order;
}

HResult MetabaseConnection::WriteFilterLoadOrder(std::u16string_view serverPath,
                                                 std::u16string_view text) {
    if (const HResult result = Connect(); Failed(result)) return result;
    MetadataHandle key = 0;
    // A node that is not there has no load order to write. Any other failure (a key held busy
    // by another writer past the time-out) is reported: taking it for success loses the change.
    const HResult opened = Open(FiltersNode(serverPath), kWrite, key);
    if (opened == hr::kPathNotFound) return hr::kOk;
    if (Failed(opened)) return opened;
    KeyGuard guard(*metabase_, key);
    return WriteString(key, kMdFilterLoadOrder, text);
}

bool MetabaseConnection::IsFilterInstalled(std::u16string_view filterName,
                                           std::u16string_view description) {
    std::u16string serverPath;
    if (FindServerPath(description, serverPath) != hr::kOk) return false;
    const std::u16string order = ReadFilterLoadOrder(serverPath);
    if (order.empty() || filterName.empty()) return false;
    const std::u16string name = text::FoldLower(filterName);
    for (const auto& entry : metabase::SplitLoadOrder(text::FoldLower(order))) {
        if (entry == name) return true;
    }
    return false;
}

bool MetabaseConnection::RemoveFilter(std::u16string_view serverPath,
                                      std::u16string_view filterName) {
    // With an empty name DeleteKey "/" would remove the Filters
    // node itself. It is refused and nothing changes.
    if (filterName.empty()) return false;
    // An order that exists but cannot be read now is not an empty one: removing the key while
    // the order still names it would leave the two out of step.
    const auto read = TryReadFilterLoadOrder(serverPath);
    if (!read) return false;
    const std::u16string& order = *read;
    if (!order.empty()) {
        std::u16string rebuilt;
        for (const auto& entry : metabase::SplitLoadOrder(order)) {
            if (entry.empty() || entry == filterName) continue;
            if (!rebuilt.empty()) rebuilt += u",";
            rebuilt += entry;
        }
        WriteFilterLoadOrder(serverPath, rebuilt);
    }
    if (Failed(Connect())) return false;
    MetadataHandle key = 0;
    if (Failed(Open(FiltersNode(serverPath), kReadWrite, key))) return false;
    bool childRemains = false;
    {
        KeyGuard guard(*metabase_, key);
        const std::u16string child = u"/" + std::u16string(filterName);
        metabase_->DeleteKey(key, child.c_str());
        char16_t name[kMaxNameLength] = {};
        childRemains = Succeeded(metabase_->EnumKeys(key, u"/", name, 0));
    }
    if (childRemains) return true;
    if (Failed(Open(serverPath, kWrite, key))) return false;
    KeyGuard guard(*metabase_, key);
    return Succeeded(metabase_->DeleteKey(key, u"/Filters"));
}

bool MetabaseConnection::AddFilterKeys(std::u16string_view serverPath,
                                       std::u16string_view filterName,
                                       std::u16string_view filterPath) {
    if (filterName.empty()) return false;  // see RemoveFilter
    RemoveFilter(serverPath, filterName);
    if (Failed(Connect())) return false;
    MetadataHandle key = 0;
    if (Failed(Open(serverPath, kReadWrite, key))) return false;
    metabase_->AddKey(key, u"/Filters");
    metabase_->CloseKey(key);

    const std::u16string filters = FiltersNode(serverPath);
    if (Failed(Open(filters, kReadWrite, key))) return false;
    {
        KeyGuard guard(*metabase_, key);
        if (Failed(WriteString(key, kMdKeyType, u"IIsFilters"))) return false;
        const std::u16string child(filterName);
        if (Failed(metabase_->AddKey(key, child.c_str()))) return false;
    }
    if (Failed(Open(filters + u"/" + std::u16string(filterName), kReadWrite, key))) return false;
    KeyGuard guard(*metabase_, key);
    return Succeeded(WriteString(key, kMdKeyType, u"IIsFilter")) &&
           Succeeded(WriteString(key, kMdFilterImagePath, filterPath)) &&
           Succeeded(WriteDword(key, kMdFilterState, kMdFilterStateLoaded));
}

bool MetabaseConnection::AddFilter(std::u16string_view serverPath, std::u16string_view filterName,
                                   std::u16string_view filterPath) {
    if (!AddFilterKeys(serverPath, filterName, filterPath)) return false;
    // Rewriting an order that could not be read would drop every other filter from it.
    const auto read = TryReadFilterLoadOrder(serverPath);
    if (!read) return false;
    const std::u16string& order = *read;
    const std::u16string updated =
        order.empty() ? std::u16string(filterName) : order + u"," + std::u16string(filterName);
    return Succeeded(WriteFilterLoadOrder(serverPath, updated));
}

bool MetabaseConnection::IsFilterPresent(std::u16string_view serverPath,
                                         std::u16string_view filterName) {
    if (filterName.empty()) return false;
    if (Failed(Connect())) return true;
    MetadataHandle key = 0;
    const HResult opened =
        Open(FiltersNode(serverPath) + u"/" + std::u16string(filterName), kRead, key);
    if (Succeeded(opened)) {
        metabase_->CloseKey(key);
        return true;
    }
    if (opened != hr::kPathNotFound) return true;
    for (const auto& entry : metabase::SplitLoadOrder(ReadFilterLoadOrder(serverPath))) {
        if (entry == filterName) return true;
    }
    return false;
}

}  // namespace taliscom
