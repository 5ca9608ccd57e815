#include "rule_list.h"

#include <optional>

#include "platform/shared_file.h"
#include "text.h"

bool RuleList::Load(const std::string& path) {
    const std::optional<std::string> text = platform::ReadSharedFile(path);
    LoadText(text.value_or(std::string()));
    return text.has_value();
}

void RuleList::LoadText(std::string_view text) {
    entries_.clear();
    for (;;) {
        const auto end = text.find('\n');
        Append(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    Index();
}

void RuleList::AddLine(std::string_view line) {
    Append(line);
    Index();
}

void RuleList::Append(std::string_view line) {
    line = text::Trim(line);
    if (line.empty() || line.front() == ';') return;
    // A later ";" starts a comment; what stands before it is the entry, trimmed again.
    if (const auto comment = line.find(';'); comment != std::string_view::npos) {
        line = text::Trim(line.substr(0, comment));
    }
    if (line.empty()) return;
    entries_.push_back(text::ToLower(line));
}

void RuleList::RewriteUserAgentEntries() {
    static constexpr std::string_view kMarker = "user-agent:";
    bool rewritten = false;
    for (std::string& entry : entries_) {
        const auto at = entry.find(kMarker);
        if (at == std::string::npos) continue;
        entry = text::Trim(entry.substr(at + kMarker.size()));
        rewritten = true;
    }
    // The set views the entries; untouched, they are indexed already.
    if (rewritten) Index();
}

void RuleList::Index() {
    exact_.clear();
    exact_.reserve(entries_.size());
    for (const std::string& entry : entries_) exact_.insert(entry);
}
