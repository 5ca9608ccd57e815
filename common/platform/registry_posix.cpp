#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "platform/registry.h"
#include "platform/registry_file.h"

namespace platform {
namespace {

// Reads a quoted REGEDIT4 string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < text.size()) ++pos;
        out.push_back(text[pos]);
    }
    return std::nullopt;
}

void AppendQuoted(std::string& out, std::string_view value) {
    out.push_back('"');
    for (const char c : value) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

const char* RegistryRootName(bool localMachine) {
    return localMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT";
}

RegistryTree ParseRegistryText(std::string_view text) {
    RegistryTree tree;
    RegistryKeyData* current = nullptr;
    for (std::string_view rest = text; !rest.empty();) {
        const auto end = rest.find('\n');
        const std::string_view line = text::Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            current = &tree[std::string(line.substr(1, line.size() - 2))];
            continue;
        }
        if (current == nullptr) continue;
        std::size_t pos = 0;
        std::string name;
        if (line.front() == '@') {
            pos = 1;
        } else if (auto quoted = ReadQuoted(line, pos)) {
            name = *quoted;
        } else {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        if (auto value = ReadQuoted(line, pos)) {
            current->values[name] = *value;
        } else if (line.substr(pos).starts_with("dword:")) {
            const std::string digits(line.substr(pos + 6));
            current->values[name] =
                static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        }
    }
    return tree;
}

std::string FormatRegistryText(const RegistryTree& tree) {
    std::string out = "REGEDIT4\n";
    for (const auto& [path, key] : tree) {
        out += "\n[" + path + "]\n";
        for (const auto& [name, value] : key.values) {
            if (name.empty()) {
                out += "@";
            } else {
                AppendQuoted(out, name);
            }
            out += "=";
            if (const auto* text = std::get_if<std::string>(&value)) {
                AppendQuoted(out, *text);
            } else {
                char digits[16];
                std::snprintf(digits, sizeof digits, "dword:%08x",
                              static_cast<unsigned>(std::get<std::uint32_t>(value)));
                out += digits;
            }
            out += "\n";
        }
    }
    return out;
}

namespace {

bool ReadWholeFile(const char* path, std::string& text) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    std::fclose(file);
    return true;
}

const char* RegistryFilePath() {
    const char* path = std::getenv(kRegistryFileVariable);
    return path == nullptr || *path == '\0' ? nullptr : path;
}

std::string KeyPath(RegistryRoot root, const std::string& subKey) {
    std::string path = RegistryRootName(root == RegistryRoot::LocalMachine);
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

// Holds an exclusive lock on "<registry file>.lock" for its lifetime.
class FileLock {
  public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

bool WriteAtomically(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
    if (std::fclose(file) != 0 || !written || !flushed ||
        std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

RegistryTree LoadRegistryFile() {
    const char* path = RegistryFilePath();
    std::string text;
    if (path == nullptr || !ReadWholeFile(path, text)) return {};
    return ParseRegistryText(text);
}

long UpdateRegistryFileWith(long (*change)(RegistryTree&, void*), void* context) {
    const char* path = RegistryFilePath();
    if (path == nullptr) return kRegistryFileNotFound;
    const FileLock lock(path);
    if (!lock.Held()) return kRegistryAccessDenied;
    std::string text;
    RegistryTree tree;
    if (ReadWholeFile(path, text)) tree = ParseRegistryText(text);
    const long result = change(tree, context);
    if (result != kRegistrySuccess) return result;
    return WriteAtomically(path, FormatRegistryText(tree)) ? kRegistrySuccess
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
