// The seven operations of the IIS Admin Base Object (IMSAdminBaseW) that the component uses,
// with IIS's handles, paths, property identifiers, data types and failure codes. On Windows the
// real object stands behind it (metabase_connect_win32.cpp); the stand-in store
// (MetabaseStore) implements it on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hresult.h"
#include "metabase/metabase_tree.h"

namespace taliscom {

using MetadataHandle = std::uint32_t;

inline constexpr MetadataHandle kMasterRootHandle = 0;  // METADATA_MASTER_ROOT_HANDLE
inline constexpr std::uint32_t kPermissionRead = 1;     // METADATA_PERMISSION_READ
inline constexpr std::uint32_t kPermissionWrite = 2;    // METADATA_PERMISSION_WRITE
inline constexpr std::uint32_t kOpenTimeoutMs = 1000;
inline constexpr std::size_t kMaxNameLength = 256;  // METADATA_MAX_NAME_LEN

// The data types and property identifiers are the metabase's own, as its stand-in keeps them.
using metabase::kAllMetadata;
using metabase::kBinaryMetadata;
using metabase::kDwordMetadata;
using metabase::kExpandSzMetadata;
using metabase::kMdFilterImagePath;
using metabase::kMdFilterLoadOrder;
using metabase::kMdFilterState;
using metabase::kMdFilterStateLoaded;
using metabase::kMdKeyType;
using metabase::kMdServerBindings;
using metabase::kMdServerComment;
using metabase::kMdVrPath;
using metabase::kMultiSzMetadata;
using metabase::kNoAttributes;
using metabase::kStringMetadata;
using metabase::kUserTypeServer;

// METADATA_RECORD, field for field.
struct MetadataRecord {
    std::uint32_t identifier = 0;
    std::uint32_t attributes = 0;
    std::uint32_t userType = 0;
    std::uint32_t dataType = 0;
    std::uint32_t dataLength = 0;
    unsigned char* data = nullptr;
    std::uint32_t dataTag = 0;
};

class AdminBase {
  public:
    virtual ~AdminBase() = default;

    // A handle to handle + path; kPathNotFound when the key is missing, kPathBusy when another
    // handle conflicts for longer than timeoutMs.
    virtual HResult OpenKey(MetadataHandle handle, const char16_t* path, std::uint32_t access,
                            std::uint32_t timeoutMs, MetadataHandle* newHandle) = 0;
    virtual HResult CloseKey(MetadataHandle handle) = 0;
    // The index-th child of handle + path into name (kMaxNameLength characters);
    // kNoMoreItems past the last child.
    virtual HResult EnumKeys(MetadataHandle handle, const char16_t* path, char16_t* name,
                             std::uint32_t index) = 0;
    // kDataNotFound for a missing property; kInsufficientBuffer with *requiredLength set when
    // record->dataLength is too small.
    virtual HResult GetData(MetadataHandle handle, const char16_t* path, MetadataRecord* record,
                            std::uint32_t* requiredLength) = 0;
    virtual HResult SetData(MetadataHandle handle, const char16_t* path,
                            const MetadataRecord* record) = 0;
    // kAlreadyExists when the key exists.
    virtual HResult AddKey(MetadataHandle handle, const char16_t* path) = 0;
    // Removes the key and everything below it; kPathNotFound when missing.
    virtual HResult DeleteKey(MetadataHandle handle, const char16_t* path) = 0;
};

}  // namespace taliscom
