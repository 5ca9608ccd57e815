#include "registrar.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "platform/registry.h"
#include "text.h"

namespace taliscom {
namespace {

using platform::RegistryRoot;

struct Value {
    std::string name;
    bool isText = true;
    std::string text;
    std::uint32_t number = 0;
};

enum class KeyFlag { None, NoRemove, ForceRemove, Delete };

struct Key {
    KeyFlag flag = KeyFlag::None;
    std::string name;
    std::optional<Value> defaultValue;
    std::vector<Value> values;
    std::vector<Key> keys;
};

struct Root {
    RegistryRoot root;
    std::vector<Key> keys;
};

struct Token {
    std::string text;
    bool quoted = false;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::optional<std::vector<Token>> Tokenize(std::string_view script) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (true) {
        while (i < script.size() && IsBlank(script[i])) ++i;
        if (i >= script.size()) return tokens;
        Token token;
        if (script[i] == '\'') {
            token.quoted = true;
            for (++i;; ++i) {
                if (i >= script.size()) return std::nullopt;  // unterminated
                if (script[i] == '\'') {
                    if (i + 1 < script.size() && script[i + 1] == '\'') {
                        token.text.push_back('\'');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text.push_back(script[i]);
            }
        } else {
            while (i < script.size() && !IsBlank(script[i])) token.text.push_back(script[i++]);
        }
        tokens.push_back(std::move(token));
    }
}

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::optional<std::vector<Root>> Script() {
        std::vector<Root> roots;
        while (pos_ < tokens_.size()) {
            Root root;
            const Token& name = tokens_[pos_++];
            if (name.quoted) return std::nullopt;
            if (text::EqualsIgnoreCase(name.text, "HKCR") ||
                text::EqualsIgnoreCase(name.text, "HKEY_CLASSES_ROOT")) {
                root.root = RegistryRoot::ClassesRoot;
            } else if (text::EqualsIgnoreCase(name.text, "HKLM") ||
                       text::EqualsIgnoreCase(name.text, "HKEY_LOCAL_MACHINE")) {
                root.root = RegistryRoot::LocalMachine;
            } else {
                return std::nullopt;
            }
            if (!Expect("{") || !Body(root.keys, nullptr)) return std::nullopt;
            roots.push_back(std::move(root));
        }
        return roots;
    }

  private:
    bool AtSymbol(std::string_view symbol) const {
        return pos_ < tokens_.size() && !tokens_[pos_].quoted && tokens_[pos_].text == symbol;
    }
    bool Expect(std::string_view symbol) {
        if (!AtSymbol(symbol)) return false;
        ++pos_;
        return true;
    }
    bool AtWord(std::string_view word) const {
        return pos_ < tokens_.size() && !tokens_[pos_].quoted &&
               text::EqualsIgnoreCase(tokens_[pos_].text, word);
    }
    std::optional<std::string> Name() {
        if (pos_ >= tokens_.size()) return std::nullopt;
        const Token& token = tokens_[pos_];
        if (!token.quoted && (token.text == "{" || token.text == "}" || token.text == "=")) {
            return std::nullopt;
        }
        if (token.text.empty() && !token.quoted) return std::nullopt;
        ++pos_;
        return token.text;
    }
    // "= type 'data'" after a name.
    bool Assignment(Value& value) {
        if (!Expect("=") || pos_ + 2 > tokens_.size()) return false;
        const Token& type = tokens_[pos_++];
        if (type.quoted) return false;
        const Token& data = tokens_[pos_++];
        if (text::EqualsIgnoreCase(type.text, "s")) {
            value.isText = true;
            value.text = data.text;
            return true;
        }
        if (text::EqualsIgnoreCase(type.text, "d")) {
            char* end = nullptr;
            const unsigned long number = std::strtoul(data.text.c_str(), &end, 0);
            if (data.text.empty() || end == nullptr || *end != '\0') return false;
            value.isText = false;
            value.number = static_cast<std::uint32_t>(number);
            return true;
        }
        return false;  // binary and multi-string values are not needed here
    }
    // The entries up to and including the closing brace.
    bool Body(std::vector<Key>& keys, std::vector<Value>* values) {
        while (!Expect("}")) {
            if (pos_ >= tokens_.size()) return false;
            if (values != nullptr && AtWord("val")) {
                ++pos_;
                Value value;
                const auto name = Name();
                if (!name || !Assignment(value)) return false;
                value.name = *name;
                values->push_back(std::move(value));
                continue;
            }
            Key key;
            if (AtWord("NoRemove")) {
                key.flag = KeyFlag::NoRemove;
                ++pos_;
            } else if (AtWord("ForceRemove")) {
                key.flag = KeyFlag::ForceRemove;
                ++pos_;
            } else if (AtWord("Delete")) {
                key.flag = KeyFlag::Delete;
                ++pos_;
            }
            const auto name = Name();
            if (!name) return false;
            key.name = *name;
            if (AtSymbol("=")) {
                Value value;
                if (!Assignment(value)) return false;
                key.defaultValue = std::move(value);
            }
            if (Expect("{") && !Body(key.keys, &key.values)) return false;
            keys.push_back(std::move(key));
        }
        return true;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

// Keys below a root that the registrar never deletes, as ATL's registrar protects them.
bool IsProtected(std::string_view name) {
    static constexpr std::string_view kProtected[] = {
        "AppID",    "CLSID",     "Component Categories",
        "FileType", "Interface", "Hardware",
        "Mime",     "SAM",       "SECURITY",
        "SYSTEM",   "Software",  "TypeLib"};
    for (const auto& entry : kProtected) {
        if (text::EqualsIgnoreCase(name, entry)) return true;
    }
    return false;
}

class Runner {
  public:
    Runner(RegistryOperations& registry, RegistryRoot root) : registry_(registry), root_(root) {}

    HResult Register(const std::vector<Key>& keys, const std::string& parent) {
        for (const Key& key : keys) {
            const std::string path = Join(parent, key.name);
            const bool protectedKey = parent.empty() && IsProtected(key.name);
            if (key.flag == KeyFlag::Delete || key.flag == KeyFlag::ForceRemove) {
                if (!protectedKey) {
                    const long status = registry_.DeleteTree(root_, path);
                    if (status != platform::kRegistrySuccess &&
                        status != platform::kRegistryFileNotFound) {
                        return HResultFromWin32(status);
                    }
                }
                if (key.flag == KeyFlag::Delete) continue;
            }
            long status = registry_.CreateKey(root_, path);
            if (status == platform::kRegistrySuccess && key.defaultValue) {
                status = Set(path, "", *key.defaultValue);
            }
            for (const Value& value : key.values) {
                if (status != platform::kRegistrySuccess) break;
                status = Set(path, value.name, value);
            }
            if (status != platform::kRegistrySuccess) return HResultFromWin32(status);
            if (const HResult result = Register(key.keys, path); Failed(result)) return result;
        }
        return hr::kOk;
    }

    HResult Unregister(const std::vector<Key>& keys, const std::string& parent) {
        for (const Key& key : keys) {
            const std::string path = Join(parent, key.name);
            const bool protectedKey = parent.empty() && IsProtected(key.name);
            if (key.flag == KeyFlag::Delete || !registry_.KeyExists(root_, path)) continue;
            if (key.flag == KeyFlag::ForceRemove && !protectedKey) {
                const long status = registry_.DeleteTree(root_, path);
                if (status != platform::kRegistrySuccess &&
                    status != platform::kRegistryFileNotFound) {
                    return HResultFromWin32(status);
                }
                continue;
            }
            if (const HResult result = Unregister(key.keys, path); Failed(result)) return result;
            for (const Value& value : key.values) {
                const long status = registry_.DeleteValue(root_, path, value.name);
                if (status != platform::kRegistrySuccess &&
                    status != platform::kRegistryFileNotFound) {
                    return HResultFromWin32(status);
                }
            }
            if (key.flag == KeyFlag::NoRemove || protectedKey) continue;
            if (!registry_.SubKeys(root_, path).empty()) continue;
            const long status = registry_.DeleteKey(root_, path);
            if (status != platform::kRegistrySuccess && status != platform::kRegistryFileNotFound) {
                return HResultFromWin32(status);
            }
        }
        return hr::kOk;
    }

  private:
    static std::string Join(const std::string& parent, const std::string& name) {
        return parent.empty() ? name : parent + "\\" + name;
    }
    long Set(const std::string& path, const std::string& name, const Value& value) {
        return value.isText ? registry_.SetString(root_, path, name, value.text)
                            : registry_.SetDword(root_, path, name, value.number);
    }

    RegistryOperations& registry_;
    RegistryRoot root_;
};

class PlatformRegistry final : public RegistryOperations {
  public:
    bool KeyExists(Root root, const std::string& subKey) const override {
        return platform::RegistryKeyExists(root, subKey);
    }
    std::vector<std::string> SubKeys(Root root, const std::string& subKey) const override {
        return platform::EnumRegistrySubKeys(root, subKey);
    }
    long CreateKey(Root root, const std::string& subKey) override {
        return platform::CreateRegistryKey(root, subKey);
    }
    long SetString(Root root, const std::string& subKey, const std::string& name,
                   const std::string& value) override {
        return platform::SetRegistryString(root, subKey, name, value);
    }
    long SetDword(Root root, const std::string& subKey, const std::string& name,
                  std::uint32_t value) override {
        return platform::SetRegistryDword(root, subKey, name, value);
    }
    long DeleteValue(Root root, const std::string& subKey, const std::string& name) override {
        return platform::DeleteRegistryValue(root, subKey, name);
    }
    long DeleteKey(Root root, const std::string& subKey) override {
        return platform::DeleteRegistryKey(root, subKey);
    }
    long DeleteTree(Root root, const std::string& subKey) override {
        return platform::DeleteRegistryTree(root, subKey);
    }
};

// Replaces %NAME% by its text and %% by %; nothing when a name has no replacement.
std::optional<std::string> Substitute(std::string_view script,
                                      const std::map<std::string, std::string>& replacements) {
    std::string out;
    out.reserve(script.size());
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] != '%') {
            out.push_back(script[i]);
            continue;
        }
        const auto end = script.find('%', i + 1);
        if (end == std::string_view::npos) return std::nullopt;
        const std::string name(script.substr(i + 1, end - i - 1));
        if (name.empty()) {
            out.push_back('%');
        } else {
            const auto found = replacements.find(name);
            if (found == replacements.end()) return std::nullopt;
            out += found->second;
        }
        i = end;
    }
    return out;
}

}  // namespace

RegistryOperations& RegistryOperations::Platform() {
    static PlatformRegistry registry;
    return registry;
}

void Registrar::AddReplacement(const std::string& name, const std::string& value) {
    replacements_[name] = value;
}

HResult Registrar::Register(std::string_view script) const { return Run(script, true); }

HResult Registrar::Unregister(std::string_view script) const { return Run(script, false); }

HResult Registrar::Run(std::string_view script, bool registering) const {
    // Replacements are made inside each token, so that their text is taken literally.
    auto tokens = Tokenize(script);
    if (!tokens) return hr::kDispException;
    for (Token& token : *tokens) {
        auto substituted = Substitute(token.text, replacements_);
        if (!substituted) return hr::kDispException;
        token.text = std::move(*substituted);
    }
    Parser parser(std::move(*tokens));
    const auto roots = parser.Script();
    if (!roots) return hr::kDispException;
    for (const Root& root : *roots) {
        Runner runner(registry_, root.root);
        const HResult result =
            registering ? runner.Register(root.keys, "") : runner.Unregister(root.keys, "");
        if (Failed(result)) return result;
    }
    return hr::kOk;
}

}  // namespace taliscom
