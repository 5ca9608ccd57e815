#include "rule_list.h"

#include <algorithm>

#include "platform/shared_file.h"
#include "text.h"

bool RuleList::Load(const std::string& path) {
    entries_.clear();
    std::FILE* file = platform::OpenSharedForReading(path);
    if (file == nullptr) return false;
    std::string line;
    for (int c = std::fgetc(file);; c = std::fgetc(file)) {
        if (c == EOF || c == '\n') {
            AddLine(line);
            line.clear();
            if (c == EOF) break;
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    std::fclose(file);
    return true;
}

void RuleList::AddLine(std::string_view line) {
    line = text::Trim(line);
    if (line.empty() || line.front() == ';') return;
    // A later ";" starts a comment; what stands before it is the entry, trimmed again.
    if (const auto comment = line.find(';'); comment != std::string_view::npos) {
        line = text::Trim(line.substr(0, comment));
    }
    if (line.empty()) return;
    entries_.push_back(text::ToLower(line));
}

bool RuleList::Contains(std::string_view value) const {
    if (entries_.empty()) return false;
    const std::string lowered = text::ToLower(value);
    return std::any_of(entries_.begin(), entries_.end(), [&](const std::string& entry) {
        return lowered.find(entry) != std::string::npos;
    });
}

bool RuleList::ContainsExact(std::string_view value) const {
    return std::find(entries_.begin(), entries_.end(), value) != entries_.end();
}

void RuleList::RewriteUserAgentEntries() {
    static constexpr std::string_view kMarker = "user-agent:";
    for (std::string& entry : entries_) {
        const auto at = entry.find(kMarker);
        if (at != std::string::npos) entry = text::Trim(entry.substr(at + kMarker.size()));
    }
}
