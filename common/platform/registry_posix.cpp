#include <cstdio>
#include <cstdlib>
#include <set>

#include "platform/locked_text_file.h"
#include "platform/registry.h"
#include "platform/registry_file.h"

namespace platform {
namespace {

const char* RegistryFilePath() {
    const char* path = std::getenv(kRegistryFileVariable);
    return path == nullptr || *path == '\0' ? nullptr : path;
}

std::string KeyPath(RegistryRoot root, const std::string& subKey) {
    std::string path =
        root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT";
    std::string_view rest = subKey;
    while (!rest.empty() && rest.front() == '\\') rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    if (!rest.empty()) path += "\\" + std::string(rest);
    return path;
}

bool IsBelow(std::string_view path, std::string_view key) {
    return path.size() > key.size() + 1 && path[key.size()] == '\\' &&
           text::EqualsIgnoreCase(path.substr(0, key.size()), key);
}

bool Exists(const RegistryTree& tree, const std::string& key) {
    if (tree.contains(key)) return true;
    const auto next = tree.lower_bound(key + "\\");
    return next != tree.end() && IsBelow(next->first, key);
}

void CreateWithParents(RegistryTree& tree, const std::string& key) {
    for (std::size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
        tree.try_emplace(key.substr(0, at));
    }
    tree.try_emplace(key);
}

// The file's tree; a failure code (reported on stderr) when it exists but cannot be read whole.
long ReadTree(const char* path, RegistryTree& tree) {
    const FileText file = ReadWholeFile(path);
    if (file.state == FileText::State::Missing) return kRegistrySuccess;
    if (file.state == FileText::State::Unreadable) {
        std::fprintf(stderr, "registry file %s\n", file.error.c_str());
        return kRegistryAccessDenied;
    }
    std::string error;
    auto parsed = ParseRegistryText(file.text, error);
    if (!parsed) {
        std::fprintf(stderr, "registry file %s: %s\n", path, error.c_str());
        return kRegistryCorrupt;
    }
    tree = std::move(*parsed);
    return kRegistrySuccess;
}

}  // namespace

RegistryTree LoadRegistryFile() {
    RegistryTree tree;
    const char* path = RegistryFilePath();
    if (path != nullptr && ReadTree(path, tree) != kRegistrySuccess) tree.clear();
    return tree;
}

long UpdateRegistryFileWith(long (*change)(RegistryTree&, void*), void* context) {
    const char* path = RegistryFilePath();
    if (path == nullptr) return kRegistryFileNotFound;
    const auto lock = FileLock::Acquire(path, true, FileLock::kWaitForever);
    if (!lock) return kRegistryAccessDenied;
    RegistryTree tree;
    if (const long read = ReadTree(path, tree); read != kRegistrySuccess) return read;
    const long result = change(tree, context);
    if (result != kRegistrySuccess) return result;
    return ReplaceFileAtomically(path, FormatRegistryText(tree)) ? kRegistrySuccess
                                                                 : kRegistryAccessDenied;
}

std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subKey,
                                              const std::string& valueName,
                                              std::size_t bufferSize) {
    const RegistryTree tree = LoadRegistryFile();
    const auto key = tree.find(KeyPath(root, subKey));
    if (key == tree.end()) return std::nullopt;
    const auto value = key->second.values.find(valueName);
    if (value == key->second.values.end()) return std::nullopt;
    const auto* text = std::get_if<std::string>(&value->second);
    if (text == nullptr || text->size() + 1 > bufferSize) return std::nullopt;
    return *text;
}

std::optional<std::uint32_t> ReadRegistryNumber(RegistryRoot root, const std::string& subKey,
                                                const std::string& valueName) {
    const RegistryTree tree = LoadRegistryFile();
    const auto key = tree.find(KeyPath(root, subKey));
    if (key == tree.end()) return std::nullopt;
    const auto value = key->second.values.find(valueName);
    if (value == key->second.values.end()) return std::nullopt;
    if (const auto* number = std::get_if<std::uint32_t>(&value->second)) return *number;
    const std::string& text = std::get<std::string>(value->second);
    if (text.size() + 1 > sizeof(std::uint32_t)) return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        number |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return number;
}

bool RegistryKeyExists(const RegistryTree& tree, RegistryRoot root, const std::string& subKey) {
    return Exists(tree, KeyPath(root, subKey));
}

std::vector<std::string> EnumRegistrySubKeys(const RegistryTree& tree, RegistryRoot root,
                                             const std::string& subKey) {
    const std::string key = KeyPath(root, subKey);
    std::set<std::string, text::LessIgnoreCase> seen;
    std::vector<std::string> names;
    for (auto it = tree.lower_bound(key + "\\"); it != tree.end() && IsBelow(it->first, key);
         ++it) {
        std::string name = it->first.substr(key.size() + 1);
        name = name.substr(0, name.find('\\'));
        if (seen.insert(name).second) names.push_back(name);
    }
    return names;
}

long CreateRegistryKey(RegistryTree& tree, RegistryRoot root, const std::string& subKey) {
    CreateWithParents(tree, KeyPath(root, subKey));
    return kRegistrySuccess;
}

namespace {

long SetValue(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
              const std::string& valueName,
              std::variant<std::string, std::uint32_t, RegistryRawValue> value) {
    const std::string key = KeyPath(root, subKey);
    CreateWithParents(tree, key);
    tree[key].values[valueName] = std::move(value);
    return kRegistrySuccess;
}

}  // namespace

long SetRegistryString(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
                       const std::string& valueName, const std::string& value) {
    return SetValue(tree, root, subKey, valueName, value);
}

long SetRegistryDword(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
                      const std::string& valueName, std::uint32_t value) {
    return SetValue(tree, root, subKey, valueName, value);
}

long DeleteRegistryValue(RegistryTree& tree, RegistryRoot root, const std::string& subKey,
                         const std::string& valueName) {
    const auto found = tree.find(KeyPath(root, subKey));
    if (found == tree.end() || found->second.values.erase(valueName) == 0) {
        return kRegistryFileNotFound;
    }
    return kRegistrySuccess;
}

long DeleteRegistryKey(RegistryTree& tree, RegistryRoot root, const std::string& subKey) {
    const std::string key = KeyPath(root, subKey);
    if (!Exists(tree, key)) return kRegistryFileNotFound;
    const auto next = tree.lower_bound(key + "\\");
    if (next != tree.end() && IsBelow(next->first, key)) return kRegistryAccessDenied;
    tree.erase(key);
    return kRegistrySuccess;
}

long DeleteRegistryTree(RegistryTree& tree, RegistryRoot root, const std::string& subKey) {
    const std::string key = KeyPath(root, subKey);
    if (!Exists(tree, key)) return kRegistryFileNotFound;
    tree.erase(key);
    for (auto it = tree.lower_bound(key + "\\"); it != tree.end() && IsBelow(it->first, key);) {
        it = tree.erase(it);
    }
    return kRegistrySuccess;
}

bool RegistryKeyExists(RegistryRoot root, const std::string& subKey) {
    return RegistryKeyExists(LoadRegistryFile(), root, subKey);
}

std::vector<std::string> EnumRegistrySubKeys(RegistryRoot root, const std::string& subKey) {
    return EnumRegistrySubKeys(LoadRegistryFile(), root, subKey);
}

// Each change is made on the file's tree, which is written back when it succeeds.

long CreateRegistryKey(RegistryRoot root, const std::string& subKey) {
    return UpdateRegistryFile(
        [&](RegistryTree& tree) { return CreateRegistryKey(tree, root, subKey); });
}

long SetRegistryString(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                       const std::string& value) {
    return UpdateRegistryFile([&](RegistryTree& tree) {
        return SetRegistryString(tree, root, subKey, valueName, value);
    });
}

long SetRegistryDword(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                      std::uint32_t value) {
    return UpdateRegistryFile(
        [&](RegistryTree& tree) { return SetRegistryDword(tree, root, subKey, valueName, value); });
}

long DeleteRegistryValue(RegistryRoot root, const std::string& subKey,
                         const std::string& valueName) {
    return UpdateRegistryFile(
        [&](RegistryTree& tree) { return DeleteRegistryValue(tree, root, subKey, valueName); });
}

long DeleteRegistryKey(RegistryRoot root, const std::string& subKey) {
    return UpdateRegistryFile(
        [&](RegistryTree& tree) { return DeleteRegistryKey(tree, root, subKey); });
}

long DeleteRegistryTree(RegistryRoot root, const std::string& subKey) {
    return UpdateRegistryFile(
        [&](RegistryTree& tree) { return DeleteRegistryTree(tree, root, subKey); });
}

}  // namespace platform
