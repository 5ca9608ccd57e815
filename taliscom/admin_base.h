// The seven operations of the IIS Admin Base Object (IMSAdminBaseW) that the component uses,
// with IIS's handles, paths, property identifiers, data types and failure codes. On Windows the
// real object stands behind it (metabase_connect_win32.cpp); the stand-in store
// (MetabaseStore) implements it on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hresult.h"

namespace taliscom {

using MetadataHandle = std::uint32_t;

inline constexpr MetadataHandle kMasterRootHandle = 0;  // METADATA_MASTER_ROOT_HANDLE
inline constexpr std::uint32_t kPermissionRead = 1;     // METADATA_PERMISSION_READ
inline constexpr std::uint32_t kPermissionWrite = 2;    // METADATA_PERMISSION_WRITE
inline constexpr std::uint32_t kOpenTimeoutMs = 1000;
inline constexpr std::size_t kMaxNameLength = 256;  // METADATA_MAX_NAME_LEN

// Data types.
inline constexpr std::uint32_t kAllMetadata = 0;     // ALL_METADATA
inline constexpr std::uint32_t kDwordMetadata = 1;   // DWORD_METADATA
inline constexpr std::uint32_t kStringMetadata = 2;  // STRING_METADATA
inline constexpr std::uint32_t kBinaryMetadata = 3;  // BINARY_METADATA
inline constexpr std::uint32_t kExpandSzMetadata = 4;
inline constexpr std::uint32_t kMultiSzMetadata = 5;

// Property identifiers (iiscnfg.h) and values.
inline constexpr std::uint32_t kMdKeyType = 1002;          // MD_KEY_TYPE
inline constexpr std::uint32_t kMdServerComment = 1015;    // MD_SERVER_COMMENT
inline constexpr std::uint32_t kMdServerBindings = 1023;   // MD_SERVER_BINDINGS
inline constexpr std::uint32_t kMdFilterLoadOrder = 2040;  // MD_FILTER_LOAD_ORDER
inline constexpr std::uint32_t kMdFilterImagePath = 2041;  // MD_FILTER_IMAGE_PATH
inline constexpr std::uint32_t kMdFilterState = 2042;      // MD_FILTER_STATE
inline constexpr std::uint32_t kMdFilterStateLoaded = 1;   // MD_FILTER_STATE_LOADED
inline constexpr std::uint32_t kMdVrPath = 3001;           // MD_VR_PATH
inline constexpr std::uint32_t kNoAttributes = 0;          // METADATA_NO_ATTRIBUTES
inline constexpr std::uint32_t kUserTypeServer = 1;        // IIS_MD_UT_SERVER

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
