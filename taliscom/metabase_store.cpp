#include "metabase_store.h"

#include <cstdio>
#include <cstring>

#include "metabase/metabase_text.h"
#include "metabase/store_file.h"
#include "wide_text.h"

namespace taliscom {

using namespace metabase;

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
    if (out.size() > kMaxKeyDepth) {
        failure = hr::kInvalidArg;
        return false;
    }
    return true;
}

std::unique_ptr<Node> MetabaseStore::Load(const platform::FileText& file,
                                          HResult& failure) const {
    if (file.state == platform::FileText::State::Missing) return std::make_unique<Node>();
    if (file.state == platform::FileText::State::Unreadable) {
        std::fprintf(stderr, "metabase file %s\n", file.error.c_str());
        failure = hr::kAccessDenied;
        return nullptr;
    }
    std::string error;
    auto root = Parse(file.text, error);
    if (!root) {
        std::fprintf(stderr, "metabase file %s: %s\n", file_.string().c_str(), error.c_str());
        failure = hr::kInvalidData;
    }
    return root;
}

template <typename Operation>
HResult MetabaseStore::WithTree(MetadataHandle handle, bool writing, Operation&& operation) {
    // Without an open handle the operation takes the lock for its own duration; with one, the
    // handles hold it already.
    LockedRead read;
    if (handle == kMasterRootHandle && handles_.empty()) {
        read = ReadLocked(file_, writing, kOpenTimeoutMs);
        if (!read.lock) return hr::kPathBusy;
    } else if (handle == kMasterRootHandle) {
        if (writing) {
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
    if (!read.lock) read.file = platform::ReadWholeFile(file_);
    HResult failure = hr::kOk;
    const std::unique_ptr<Node> root = Load(read.file, failure);
    if (!root) return failure;
    bool changed = false;
    const HResult result = operation(*root, changed);
    if (writing && changed && Succeeded(result) &&
        !platform::ReplaceFileAtomically(file_, Format(*root))) {
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
    LockedRead read = ReadLocked(file_, writing, timeoutMs);
    if (!read.lock) return hr::kPathBusy;
    const std::unique_ptr<Node> root = Load(read.file, failure);
    if (!root) return failure;
    if (FindNode(*root, names) == nullptr) return hr::kPathNotFound;
    const MetadataHandle number = nextHandle_++;
    handles_[number] = OpenHandle{std::move(names), access, std::move(read.lock)};
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
        const Property* property = FindProperty(*node, record->identifier);
        if (property == nullptr ||
            (record->dataType != kAllMetadata && record->dataType != property->dataType) ||
            (record->userType != 0 && record->userType != property->userType)) {
            return hr::kDataNotFound;
        }
        const auto size = static_cast<std::uint32_t>(property->data.size());
        // A missing buffer counts as one of no bytes.
        if (record->data == nullptr || record->dataLength < size) {
            if (requiredLength != nullptr) *requiredLength = size;
            return hr::kInsufficientBuffer;
        }
        if (size > 0) std::memcpy(record->data, property->data.data(), size);
        record->dataLength = size;
        record->dataType = property->dataType;
        record->userType = property->userType;
        record->attributes = property->attributes;
        return hr::kOk;
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
    if (relative.empty() || base.size() + relative.size() > kMaxKeyDepth) return hr::kInvalidArg;
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
            if (text::EqualsFolded((*it)->name, names.back())) {
                parent->children.erase(it);
                changed = true;
                return hr::kOk;
            }
        }
        return hr::kPathNotFound;
    });
}

}  // namespace taliscom
