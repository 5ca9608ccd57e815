// The stand-in metabase's tree of keys and properties, with IIS's data types and the property
// identifiers that the component writes and the stand-in web server reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace metabase {

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

struct Property {
    std::uint32_t identifier = 0;
    std::uint32_t attributes = 0;
    std::uint32_t userType = 0;
    std::uint32_t dataType = 0;
    std::vector<unsigned char> data;
};

struct Node {
    std::u16string name;
    std::vector<Property> properties;
    std::vector<std::unique_ptr<Node>> children;
};

// Keys deeper than this are refused (IIS paths are a few levels deep); it also bounds the
// recursion of every walk over the tree.
inline constexpr std::size_t kMaxKeyDepth = 64;

// The names of a key path; "/" and "\\" both separate, empty names are dropped.
std::vector<std::u16string> SplitPath(std::u16string_view path);
// The child of that name, without regard to the case of A-Z; null when there is none.
Node* FindChild(Node& node, std::u16string_view name);
// The key at the first `count` names of path below root; null when one is missing.
Node* FindNode(Node& root, const std::vector<std::u16string>& path, std::size_t count);
Node* FindNode(Node& root, const std::vector<std::u16string>& path);
// The key at path below root, created with every missing key above it.
Node& MakeNode(Node& root, const std::vector<std::u16string>& path);
// The property with that identifier; null when the key has none.
const Property* FindProperty(const Node& node, std::uint32_t identifier);
// Replaces the property with the same identifier, else adds it.
void SetProperty(Node& node, Property property);

// UTF-16 text and its little-endian bytes, as the metabase stores strings.
std::u16string FromBytes(const std::vector<unsigned char>& data);
std::vector<unsigned char> ToBytes(std::u16string_view text);

bool IsStringType(std::uint32_t type);
// The data type's name in the file ("DWORD", "STRING", ...); null for an unknown type.
const char* TypeName(std::uint32_t type);

// IIS's conventions below /LM/W3SVC: a web site's key is named by its number in decimal digits,
// and FilterLoadOrder names the filter keys separated by commas (each entry as written, empty
// ones included).
bool IsServerNumber(std::u16string_view name);
std::vector<std::u16string> SplitLoadOrder(std::u16string_view order);

}  // namespace metabase
