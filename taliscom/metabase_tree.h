// The stand-in metabase's tree of keys and properties, as both the store's operations and its
// file format handle it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metabase_store.h"

namespace taliscom::metabase_tree {

using Node = MetabaseStore::Node;
using Property = MetabaseStore::Property;

// The names of a key path; "/" and "\\" both separate, empty names are dropped.
std::vector<std::u16string> SplitPath(std::u16string_view path);
// The child of that name, without regard to the case of A-Z; null when there is none.
Node* FindChild(Node& node, std::u16string_view name);
// The key at the first `count` names of path below root; null when one is missing.
Node* FindNode(Node& root, const std::vector<std::u16string>& path, std::size_t count);
Node* FindNode(Node& root, const std::vector<std::u16string>& path);
// The key at path below root, created with every missing key above it.
Node& MakeNode(Node& root, const std::vector<std::u16string>& path);
// Replaces the property with the same identifier, else adds it.
void SetProperty(Node& node, Property property);

// UTF-16 text and its little-endian bytes, as the metabase stores strings.
std::u16string FromBytes(const std::vector<unsigned char>& data);
std::vector<unsigned char> ToBytes(std::u16string_view text);

bool IsStringType(std::uint32_t type);
// The data type's name in the file ("DWORD", "STRING", ...); null for an unknown type.
const char* TypeName(std::uint32_t type);

}  // namespace taliscom::metabase_tree
