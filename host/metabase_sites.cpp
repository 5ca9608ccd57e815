#include "metabase_sites.h"

#include <algorithm>
#include <charconv>

#include "metabase/metabase_text.h"
#include "metabase/store_file.h"
#include "text.h"
#include "wide_text.h"

using metabase::Node;

namespace {

// The strings of a string property (a MULTISZ holds several); nothing for another type.
std::vector<std::string> Strings(const Node& node, std::uint32_t identifier) {
    const auto* property = metabase::FindProperty(node, identifier);
    if (property == nullptr || !metabase::IsStringType(property->dataType)) return {};
    std::vector<std::string> strings;
    std::u16string text = metabase::FromBytes(property->data);
    std::size_t start = 0;
    for (std::size_t end = text.find(u'\0'); end != std::u16string::npos;
         start = end + 1, end = text.find(u'\0', start)) {
        if (end > start) strings.push_back(text::Utf16ToUtf8(text.substr(start, end - start)));
    }
    if (start < text.size()) strings.push_back(text::Utf16ToUtf8(text.substr(start)));
    return strings;
}

std::string String(const Node& node, std::uint32_t identifier) {
    const auto strings = Strings(node, identifier);
    return strings.empty() ? std::string() : strings.front();
}

// "address:port:host name"; false when the port is no number from 0 to 65535.
bool ParseBinding(std::string_view text, MetabaseSites::Binding& binding) {
    const auto first = text.find(':');
    const auto second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) return false;
    const std::string_view port = text.substr(first + 1, second - first - 1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value > 65535) {
        return false;
    }
    binding.address = std::string(text.substr(0, first));
    binding.port = static_cast<unsigned short>(value);
    binding.hostName = std::string(text.substr(second + 1));
    return true;
}

// Appends the filters of the Filters node below `server` (if any) to `filters`, each module
// once; false with a message when the load order names a filter that cannot be found.
bool ReadFilters(Node& server, const std::string& serverKey, std::vector<std::string>& filters,
                 std::vector<std::string>& problems) {
    Node* node = metabase::FindChild(server, u"Filters");
    if (node == nullptr) return true;
    const std::string nodeKey = serverKey + "/Filters";
    const std::u16string order = text::Utf8ToUtf16(String(*node, metabase::kMdFilterLoadOrder));
    bool sound = true;
    for (const auto& entry : metabase::SplitLoadOrder(order)) {
        const std::string name(text::Trim(text::Utf16ToUtf8(entry)));
        if (name.empty()) continue;
        Node* filter = metabase::FindChild(*node, text::Utf8ToUtf16(name));
        const std::string path =
            filter == nullptr ? std::string() : String(*filter, metabase::kMdFilterImagePath);
        if (filter == nullptr) {
            problems.push_back(nodeKey + ": FilterLoadOrder names " + name +
                               ", but there is no key " + nodeKey + "/" + name);
            sound = false;
        } else if (path.empty()) {
            problems.push_back(nodeKey + "/" + name + ": no FilterPath");
            sound = false;
        } else {
            bool known = false;
            for (const auto& loaded : filters) {
                known = known || std::filesystem::path(loaded).lexically_normal() ==
                                     std::filesystem::path(path).lexically_normal();
            }
            if (!known) filters.push_back(path);
        }
    }
    return sound;
}

// What a skipped line spoils: every site (a line in /LM/W3SVC or its global filters, or one that
// leaves its key uncertain), one site (a line in /LM/W3SVC/N or below), or nothing served.
struct Spoiled {
    bool everySite = false;
    std::vector<std::string> sites;  // "n" of /LM/W3SVC/n, lowercase
};

void Spoil(const metabase::SkippedLine& line, Spoiled& spoiled) {
    if (line.keyUncertain) {
        spoiled.everySite = true;
        return;
    }
    std::vector<std::string> names;
    std::string_view rest = line.key;
    while (!rest.empty()) {
        const auto slash = std::min(rest.find('/'), rest.size());
        if (slash > 0) names.push_back(text::ToLower(rest.substr(0, slash)));
        rest = rest.substr(std::min(slash + 1, rest.size()));
    }
    if (names.size() < 2 || names[0] != "lm" || names[1] != "w3svc") return;
    if (names.size() == 2 || names[2] == "filters") {
        spoiled.everySite = true;
    } else {
        spoiled.sites.push_back(names[2]);
    }
}

}  // namespace

MetabaseSites MetabaseSites::Read(const std::filesystem::path& file) {
    std::error_code missing;
    if (!std::filesystem::exists(file, missing)) {
        MetabaseSites none;
        none.problems.push_back(file.string() + ": no such metabase store");
        return none;
    }
    const metabase::LockedRead read =
        metabase::ReadLocked(file, false, metabase::kLockTimeoutMs);
    if (!read.lock) {
        MetabaseSites none;
        none.problems.push_back(file.string() + ": held by another writer too long");
        return none;
    }
    if (read.file.state != platform::FileText::State::Read) {
        MetabaseSites none;
        none.problems.push_back(read.file.error.empty() ? file.string() + ": cannot be read"
                                                        : read.file.error);
        return none;
    }
    return FromText(read.file.text, file.string());
}

MetabaseSites MetabaseSites::FromText(const std::string& content, const std::string& fileName) {
    MetabaseSites result;
    // A line that cannot be read leaves out what it may belong to, never more: the sound sites
    // are served, and none without a filter that line might have named.
    std::vector<metabase::SkippedLine> skipped;
    const auto root = metabase::ParseSkipping(content, skipped);
    Spoiled spoiled;
    for (const auto& line : skipped) {
        result.problems.push_back(fileName + ":" + std::to_string(line.number) + ": " +
                                  line.reason + ", line skipped");
        Spoil(line, spoiled);
    }
    Node* service = metabase::FindNode(*root, {u"LM", u"W3SVC"});
    if (service == nullptr) {
        result.problems.push_back(fileName + ": no key /LM/W3SVC, so no sites");
        return result;
    }
    const std::string serviceKey = "/LM/W3SVC";
    std::vector<std::string> global;
    const bool globalSound = ReadFilters(*service, serviceKey, global, result.problems);

    for (const auto& child : service->children) {
        if (!metabase::IsServerNumber(child->name)) continue;
        SiteDefinition site;
        site.key = serviceKey + "/" + text::Utf16ToUtf8(child->name);
        if (!text::EqualsIgnoreCase(String(*child, metabase::kMdKeyType), "IIsWebServer")) {
            result.problems.push_back(site.key + ": KeyType is not IIsWebServer, so no site");
            continue;
        }
        site.description = String(*child, metabase::kMdServerComment);
        const std::string name = site.key + " (\"" + site.description + "\")";
        bool sound = true;
        for (const auto& entry : Strings(*child, metabase::kMdServerBindings)) {
            Binding binding;
            if (ParseBinding(entry, binding)) {
                site.bindings.push_back(std::move(binding));
            } else {
                result.problems.push_back(name + ": ServerBindings entry \"" + entry +
                                          "\" is not address:port:host name");
                sound = false;
            }
        }
        if (sound && site.bindings.empty()) {
            result.problems.push_back(name + ": no ServerBindings");
            sound = false;
        }
        Node* rootKey = metabase::FindChild(*child, u"ROOT");
        site.root = rootKey == nullptr ? std::string() : String(*rootKey, metabase::kMdVrPath);
        if (site.root.empty()) {
            result.problems.push_back(name + ": no document root (Path of " + site.key + "/ROOT)");
            sound = false;
        }
        site.filters = global;
        sound = ReadFilters(*child, site.key, site.filters, result.problems) && sound;
        if (!globalSound) {
            result.problems.push_back(name + ": not served, a global filter is missing");
            continue;
        }
        const std::string number = text::ToLower(text::Utf16ToUtf8(child->name));
        if (spoiled.everySite ||
            std::find(spoiled.sites.begin(), spoiled.sites.end(), number) != spoiled.sites.end()) {
            result.problems.push_back(name +
                                      ": not served, a line of the store that may describe it "
                                      "cannot be read");
            continue;
        }
        if (!sound) {
            result.problems.push_back(name + ": not served");
            continue;
        }
        result.sites.push_back(std::move(site));
    }
    return result;
}
