// File format of the stand-in metabase (UTF-8 text, lines ending in LF):
//
//   ; comment
//   [/lm/w3svc/1]                       a key, by its full path; every key has a section
//   1015 STRING "Default Web Site"      a property: identifier, data type, value
//   2042 DWORD 1
//   1002 STRING "IIsFilters" ut=1 attr=0
//
// Data types: DWORD (decimal), STRING, EXPANDSZ and MULTISZ (double-quoted, with \\ \" \n \r \t
// and \0 escapes; the strings of a MULTISZ separated by \0), BINARY (hex digits). "ut=" (user
// type, default 1) and "attr=" (attributes, default 0) follow the value when they differ from
// their defaults. Keys keep their order of creation, which is the order in which EnumKeys gives
// them.
#include "metabase_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wide_text.h"

namespace taliscom {
namespace {

using Node = MetabaseStore::Node;
using Property = MetabaseStore::Property;

std::vector<std::u16string> SplitPath(std::u16string_view path) {
    std::vector<std::u16string> parts;
    std::u16string part;
    for (const char16_t c : path) {
        if (c == u'/' || c == u'\\') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

Node* FindChild(Node& node, std::u16string_view name) {
    for (auto& child : node.children) {
        if (EqualsFolded(child->name, name)) return child.get();
    }
    return nullptr;
}

Node* FindNode(Node& root, const std::vector<std::u16string>& path, std::size_t count) {
    Node* node = &root;
    for (std::size_t i = 0; i < count && node != nullptr; ++i) node = FindChild(*node, path[i]);
    return node;
}

Node* FindNode(Node& root, const std::vector<std::u16string>& path) {
    return FindNode(root, path, path.size());
}

Node& MakeNode(Node& root, const std::vector<std::u16string>& path) {
    Node* node = &root;
    for (const auto& name : path) {
        Node* child = FindChild(*node, name);
        if (child == nullptr) {
            node->children.push_back(std::make_unique<Node>());
            child = node->children.back().get();
            child->name = name;
        }
        node = child;
    }
    return *node;
}

std::u16string FromBytes(const std::vector<unsigned char>& data) {
    std::u16string text(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return text;
}

std::vector<unsigned char> ToBytes(std::u16string_view text) {
    std::vector<unsigned char> data(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        data[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        data[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
    return data;
}

bool IsStringType(std::uint32_t type) {
    return type == kStringMetadata || type == kExpandSzMetadata || type == kMultiSzMetadata;
}

const char* TypeName(std::uint32_t type) {
    switch (type) {
        case kDwordMetadata:
            return "DWORD";
        case kStringMetadata:
            return "STRING";
        case kBinaryMetadata:
            return "BINARY";
        case kExpandSzMetadata:
            return "EXPANDSZ";
        case kMultiSzMetadata:
            return "MULTISZ";
        default:
            return nullptr;
    }
}

std::uint32_t TypeFromName(std::string_view name) {
    for (std::uint32_t type = kDwordMetadata; type <= kMultiSzMetadata; ++type) {
        if (name == TypeName(type)) return type;
    }
    return kAllMetadata;
}

// The text of a string property without its terminating zero(s).
std::u16string StoredText(const Property& property) {
    std::u16string text = FromBytes(property.data);
    const std::size_t zeros = property.dataType == kMultiSzMetadata ? 2 : 1;
    for (std::size_t i = 0; i < zeros && !text.empty() && text.back() == u'\0'; ++i) {
        text.pop_back();
    }
    return text;
}

void AppendQuoted(std::string& out, const std::string& value) {
    out.push_back('"');
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out.push_back(c);
        }
    }
    out.push_back('"');
}

void FormatNode(const Node& node, const std::string& path, std::string& out) {
    if (!path.empty()) out += "\n[" + path + "]\n";
    for (const Property& property : node.properties) {
        const char* type = TypeName(property.dataType);
        if (type == nullptr) continue;
        out += std::to_string(property.identifier) + " " + type + " ";
        if (property.dataType == kDwordMetadata) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < 4 && i < property.data.size(); ++i) {
                value |= static_cast<std::uint32_t>(property.data[i]) << (8 * i);
            }
            out += std::to_string(value);
        } else if (property.dataType == kBinaryMetadata) {
            char hex[3];
            for (const unsigned char byte : property.data) {
                std::snprintf(hex, sizeof hex, "%02x", byte);
                out += hex;
            }
        } else {
            AppendQuoted(out, Utf16ToUtf8(StoredText(property)));
        }
        if (property.userType != kUserTypeServer) {
            out += " ut=" + std::to_string(property.userType);
        }
        if (property.attributes != kNoAttributes) {
            out += " attr=" + std::to_string(property.attributes);
        }
        out += "\n";
    }
    for (const auto& child : node.children) {
        FormatNode(*child, path + "/" + Utf16ToUtf8(child->name), out);
    }
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool ParseQuoted(std::string_view& rest, std::string& value) {
    if (rest.empty() || rest.front() != '"') return false;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < rest.size()) {
            const char next = rest[++i];
            value.push_back(next == 'n'   ? '\n'
                            : next == 'r' ? '\r'
                            : next == 't' ? '\t'
                            : next == '0' ? '\0'
                                          : next);
        } else {
            value.push_back(c);
        }
    }
    return false;
}

std::string_view NextWord(std::string_view& rest) {
    rest = Trim(rest);
    const auto end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    return word;
}

bool ParseNumber(std::string_view word, std::uint32_t& value) {
    if (word.empty() || word.size() > 10) return false;
    std::uint64_t number = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFu) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool ParseProperty(std::string_view line, Property& property) {
    if (!ParseNumber(NextWord(line), property.identifier)) return false;
    property.dataType = TypeFromName(NextWord(line));
    property.userType = kUserTypeServer;
    property.attributes = kNoAttributes;
    line = Trim(line);
    if (property.dataType == kDwordMetadata) {
        std::uint32_t value = 0;
        if (!ParseNumber(NextWord(line), value)) return false;
        property.data = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                         static_cast<unsigned char>(value >> 16),
                         static_cast<unsigned char>(value >> 24)};
    } else if (property.dataType == kBinaryMetadata) {
        std::string_view peek = line;
        std::string_view hex = NextWord(peek);
        if (hex.starts_with("ut=") || hex.starts_with("attr=")) {
            hex = {};  // no bytes; the word is read again below
        } else {
            line = peek;
        }
        if (hex.size() % 2 != 0) return false;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const std::string digits(hex.substr(i, 2));
            char* end = nullptr;
            const unsigned long byte = std::strtoul(digits.c_str(), &end, 16);
            if (end != digits.c_str() + 2) return false;
            property.data.push_back(static_cast<unsigned char>(byte));
        }
    } else if (IsStringType(property.dataType)) {
        std::string value;
        if (!ParseQuoted(line, value)) return false;
        std::u16string text = Utf8ToUtf16(value);
        text.push_back(u'\0');
        if (property.dataType == kMultiSzMetadata) text.push_back(u'\0');
        property.data = ToBytes(text);
    } else {
        return false;
    }
    for (std::string_view word = NextWord(line); !word.empty(); word = NextWord(line)) {
        if (word.starts_with("ut=")) {
            if (!ParseNumber(word.substr(3), property.userType)) return false;
        } else if (word.starts_with("attr=")) {
            if (!ParseNumber(word.substr(5), property.attributes)) return false;
        } else {
            return false;
        }
    }
    return true;
}

void SetProperty(Node& node, Property property) {
    for (Property& existing : node.properties) {
        if (existing.identifier == property.identifier) {
            existing = std::move(property);
            return;
        }
    }
    node.properties.push_back(std::move(property));
}

}  // namespace

std::string MetabaseStore::Format(const Node& root) {
    std::string out =
        "; Stand-in IIS metabase of pixwall/taliscom: [key path], then \"identifier TYPE "
        "value\" lines.\n";
    if (!root.properties.empty()) {
        out += "\n[/]\n";
        Node copy;
        copy.properties = root.properties;
        FormatNode(copy, "", out);
    }
    for (const auto& child : root.children) {
        FormatNode(*child, "/" + Utf16ToUtf8(child->name), out);
    }
    return out;
}

std::unique_ptr<Node> MetabaseStore::Parse(const std::string& text) {
    auto root = std::make_unique<Node>();
    Node* current = nullptr;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            current = &MakeNode(*root, SplitPath(Utf8ToUtf16(line.substr(1, line.size() - 2))));
            continue;
        }
        Property property;
        if (current != nullptr && ParseProperty(line, property)) {
            SetProperty(*current, std::move(property));
        }
    }
    return root;
}

MetabaseStore::MetabaseStore(std::filesystem::path file) : file_(std::move(file)) {}

MetabaseStore::~MetabaseStore() = default;

bool MetabaseStore::Resolve(MetadataHandle handle, const char16_t* path,
                            std::vector<std::u16string>& out, HResult& failure) const {
    out.clear();
    if (handle != kMasterRootHandle) {
        const auto found = handles_.find(handle);
        if (found == handles_.end()) {
            failure = hr::kInvalidHandle;
            return false;
        }
        out = found->second.path;
    }
    if (path != nullptr) {
        for (auto& part : SplitPath(path)) out.push_back(std::move(part));
    }
    return true;
}

template <typename Operation>
HResult MetabaseStore::WithTree(MetadataHandle handle, bool writing, Operation&& operation) {
    std::unique_ptr<StoreFileLock> transient;
    if (handle == kMasterRootHandle) {
        if (handles_.empty()) {
            transient = StoreFileLock::Acquire(file_, writing, kOpenTimeoutMs);
            if (!transient) return hr::kPathBusy;
        } else if (writing) {
            bool exclusive = false;
            for (const auto& [number, open] : handles_) {
                exclusive = exclusive || (open.access & kPermissionWrite) != 0;
            }
            if (!exclusive) return hr::kPathBusy;
        }
    } else {
        const auto found = handles_.find(handle);
        if (found == handles_.end()) return hr::kInvalidHandle;
        if (writing && (found->second.access & kPermissionWrite) == 0) return hr::kAccessDenied;
    }
    const auto text = ReadStoreFile(file_);
    std::unique_ptr<Node> root = text ? Parse(*text) : std::make_unique<Node>();
    bool changed = false;
    const HResult result = operation(*root, changed);
    if (writing && changed && Succeeded(result) && !ReplaceStoreFile(file_, Format(*root))) {
        return hr::kAccessDenied;
    }
    return result;
}

HResult MetabaseStore::OpenKey(MetadataHandle handle, const char16_t* path, std::uint32_t access,
                               std::uint32_t timeoutMs, MetadataHandle* newHandle) {
    if (newHandle == nullptr) return hr::kInvalidArg;
    *newHandle = 0;
    if ((access & (kPermissionRead | kPermissionWrite)) == 0) return hr::kInvalidArg;
    std::vector<std::u16string> names;
    HResult failure = hr::kOk;
    if (!Resolve(handle, path, names, failure)) return failure;
    const bool writing = (access & kPermissionWrite) != 0;
    auto lock = StoreFileLock::Acquire(file_, writing, timeoutMs);
    if (!lock) return hr::kPathBusy;
    const auto text = ReadStoreFile(file_);
    std::unique_ptr<Node> root = text ? Parse(*text) : std::make_unique<Node>();
    if (FindNode(*root, names) == nullptr) return hr::kPathNotFound;
    const MetadataHandle number = nextHandle_++;
    handles_[number] = OpenHandle{std::move(names), access, std::move(lock)};
    *newHandle = number;
    return hr::kOk;
}

HResult MetabaseStore::CloseKey(MetadataHandle handle) {
    return handles_.erase(handle) == 1 ? hr::kOk : hr::kInvalidHandle;
}

HResult MetabaseStore::EnumKeys(MetadataHandle handle, const char16_t* path, char16_t* name,
                                std::uint32_t index) {
    if (name == nullptr) return hr::kInvalidArg;
    std::vector<std::u16string> names;
    HResult failure = hr::kOk;
    if (!Resolve(handle, path, names, failure)) return failure;
    return WithTree(handle, false, [&](Node& root, bool&) {
        Node* node = FindNode(root, names);
        if (node == nullptr) return hr::kPathNotFound;
        if (index >= node->children.size()) return hr::kNoMoreItems;
        const std::u16string& child = node->children[index]->name;
        const std::size_t length = std::min(child.size(), kMaxNameLength - 1);
        std::memcpy(name, child.data(), length * sizeof(char16_t));
        name[length] = u'\0';
        return hr::kOk;
    });
}

HResult MetabaseStore::GetData(MetadataHandle handle, const char16_t* path, MetadataRecord* record,
                               std::uint32_t* requiredLength) {
    if (record == nullptr) return hr::kInvalidArg;
    std::vector<std::u16string> names;
    HResult failure = hr::kOk;
    if (!Resolve(handle, path, names, failure)) return failure;
    return WithTree(handle, false, [&](Node& root, bool&) {
        Node* node = FindNode(root, names);
        if (node == nullptr) return hr::kPathNotFound;
        for (const Property& property : node->properties) {
            if (property.identifier != record->identifier) continue;
            if ((record->dataType != kAllMetadata && record->dataType != property.dataType) ||
                (record->userType != 0 && record->userType != property.userType)) {
                return hr::kDataNotFound;
            }
            const auto size = static_cast<std::uint32_t>(property.data.size());
            // A missing buffer counts as one of no bytes.
            if (record->data == nullptr || record->dataLength < size) {
                if (requiredLength != nullptr) *requiredLength = size;
                return hr::kInsufficientBuffer;
            }
            if (size > 0) std::memcpy(record->data, property.data.data(), size);
            record->dataLength = size;
            record->dataType = property.dataType;
            record->userType = property.userType;
            record->attributes = property.attributes;
            return hr::kOk;
        }
        return hr::kDataNotFound;
    });
}

HResult MetabaseStore::SetData(MetadataHandle handle, const char16_t* path,
                               const MetadataRecord* record) {
    if (record == nullptr || TypeName(record->dataType) == nullptr ||
        (record->data == nullptr && record->dataLength > 0)) {
        return hr::kInvalidArg;
    }
    Property property;
    property.identifier = record->identifier;
    property.attributes = record->attributes;
    property.userType = record->userType;
    property.dataType = record->dataType;
    if (record->dataType == kDwordMetadata) {
        if (record->dataLength < 4) return hr::kInvalidArg;
        property.data.assign(record->data, record->data + 4);
    } else if (record->dataType == kBinaryMetadata) {
        property.data.assign(record->data, record->data + record->dataLength);
    } else {
        // Strings are kept up to their terminating zero (two for a MULTISZ) and stored with it.
        const std::u16string raw = FromBytes(
            std::vector<unsigned char>(record->data, record->data + (record->dataLength / 2) * 2));
        std::u16string text;
        if (record->dataType == kMultiSzMetadata) {
            const auto end = raw.find(std::u16string_view(u"\0\0", 2));
            text = raw.substr(0, end);
            text += std::u16string(u"\0\0", 2);
        } else {
            text = raw.substr(0, raw.find(u'\0'));
            text.push_back(u'\0');
        }
        property.data = ToBytes(text);
    }
    std::vector<std::u16string> names;
    HResult failure = hr::kOk;
    if (!Resolve(handle, path, names, failure)) return failure;
    return WithTree(handle, true, [&](Node& root, bool& changed) {
        Node* node = FindNode(root, names);
        if (node == nullptr) return hr::kPathNotFound;
        SetProperty(*node, std::move(property));
        changed = true;
        return hr::kOk;
    });
}

HResult MetabaseStore::AddKey(MetadataHandle handle, const char16_t* path) {
    std::vector<std::u16string> base;
    HResult failure = hr::kOk;
    if (!Resolve(handle, nullptr, base, failure)) return failure;
    const auto relative = SplitPath(path == nullptr ? u"" : path);
    if (relative.empty()) return hr::kInvalidArg;
    return WithTree(handle, true, [&](Node& root, bool& changed) {
        Node* node = FindNode(root, base);
        if (node == nullptr) return hr::kPathNotFound;
        if (FindNode(*node, relative) != nullptr) return hr::kAlreadyExists;
        MakeNode(*node, relative);
        changed = true;
        return hr::kOk;
    });
}

HResult MetabaseStore::DeleteKey(MetadataHandle handle, const char16_t* path) {
    std::vector<std::u16string> names;
    HResult failure = hr::kOk;
    if (!Resolve(handle, path, names, failure)) return failure;
    std::vector<std::u16string> base;
    Resolve(handle, nullptr, base, failure);
    if (names.size() <= base.size()) return hr::kInvalidArg;  // not below the handle's key
    return WithTree(handle, true, [&](Node& root, bool& changed) {
        Node* parent = FindNode(root, names, names.size() - 1);
        if (parent == nullptr) return hr::kPathNotFound;
        for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
            if (EqualsFolded((*it)->name, names.back())) {
                parent->children.erase(it);
                changed = true;
                return hr::kOk;
            }
        }
        return hr::kPathNotFound;
    });
}

}  // namespace taliscom
