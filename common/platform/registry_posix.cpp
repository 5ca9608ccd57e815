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

}  // namespace

RegistryTree LoadRegistryFile() {
    const char* path = RegistryFilePath();
    if (path == nullptr) return {};
    const auto text = ReadWholeFile(path);
    return text ? ParseRegistryText(*text) : RegistryTree();
}

long UpdateRegistryFileWith(long (*change)(RegistryTree&, void*), void* context) {
    const char* path = RegistryFilePath();
    if (path == nullptr) return kRegistryFileNotFound;
    const auto lock = FileLock::Acquire(path, true, FileLock::kWaitForever);
    if (!lock) return kRegistryAccessDenied;
    const auto text = ReadWholeFile(path);
    RegistryTree tree = text ? ParseRegistryText(*text) : RegistryTree();
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

bool RegistryKeyExists(RegistryRoot root, const std::string& subKey) {
    return Exists(LoadRegistryFile(), KeyPath(root, subKey));
}

std::vector<std::string> EnumRegistrySubKeys(RegistryRoot root, const std::string& subKey) {
    const RegistryTree tree = LoadRegistryFile();
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

long CreateRegistryKey(RegistryRoot root, const std::string& subKey) {
    const std::string key = KeyPath(root, subKey);
    return UpdateRegistryFile([&](RegistryTree& tree) {
        CreateWithParents(tree, key);
        return kRegistrySuccess;
    });
}

namespace {

long SetValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
              std::variant<std::string, std::uint32_t> value) {
    const std::string key = KeyPath(root, subKey);
    return UpdateRegistryFile([&](RegistryTree& tree) {
        CreateWithParents(tree, key);
        tree[key].values[valueName] = value;
        return kRegistrySuccess;
    });
}

}  // namespace

long SetRegistryString(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                       const std::string& value) {
    return SetValue(root, subKey, valueName, value);
}

long SetRegistryDword(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                      std::uint32_t value) {
    return SetValue(root, subKey, valueName, value);
}

long DeleteRegistryValue(RegistryRoot root, const std::string& subKey,
                         const std::string& valueName) {
    const std::string key = KeyPath(root, subKey);
    return UpdateRegistryFile([&](RegistryTree& tree) {
        const auto found = tree.find(key);
        if (found == tree.end() || found->second.values.erase(valueName) == 0) {
            return kRegistryFileNotFound;
        }
        return kRegistrySuccess;
    });
}

long DeleteRegistryKey(RegistryRoot root, const std::string& subKey) {
    const std::string key = KeyPath(root, subKey);
    return UpdateRegistryFile([&](RegistryTree& tree) {
        if (!Exists(tree, key)) return kRegistryFileNotFound;
        const auto next = tree.lower_bound(key + "\\");
        if (next != tree.end() && IsBelow(next->first, key)) return kRegistryAccessDenied;
        tree.erase(key);
        return kRegistrySuccess;
    });
}

long DeleteRegistryTree(RegistryRoot root, const std::string& subKey) {
    const std::string key = KeyPath(root, subKey);
    return UpdateRegistryFile([&](RegistryTree& tree) {
        if (!Exists(tree, key)) return kRegistryFileNotFound;
        tree.erase(key);
        for (auto it = tree.lower_bound(key + "\\"); it != tree.end() && IsBelow(it->first, key);) {
            it = tree.erase(it);
        }
        return kRegistrySuccess;
    });
}

}  // namespace platform
