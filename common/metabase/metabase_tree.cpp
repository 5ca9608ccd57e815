#include "metabase/metabase_tree.h"

#include "wide_text.h"

namespace metabase {

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
        if (text::EqualsFolded(child->name, name)) return child.get();
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

const Property* FindProperty(const Node& node, std::uint32_t identifier) {
    for (const Property& property : node.properties) {
        if (property.identifier == identifier) return &property;
    }
    return nullptr;
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

bool IsServerNumber(std::u16string_view name) {
    if (name.empty()) return false;
    for (const char16_t c : name) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

std::vector<std::u16string> SplitLoadOrder(std::u16string_view order) {
    std::vector<std::u16string> entries;
    std::size_t start = 0;
    while (true) {
        const auto comma = order.find(u',', start);
        entries.emplace_back(order.substr(start, comma - start));
        if (comma == std::u16string_view::npos) return entries;
        start = comma + 1;
    }
}

}  // namespace metabase
