// An ordered list of lowercased text fragments from one rule list file, with the set that answers
// its exact test built once, when the list is loaded. Its substring test is answered by a
// SubstringMatcher over its entries, which FilterConfig builds for a black list and its white
// list together.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class RuleList {
  public:
    RuleList() = default;
    // The set views the entries: a copy would view another list's.
    RuleList(const RuleList&) = delete;
    RuleList& operator=(const RuleList&) = delete;

    // Empties the list and fills it from the file; false when the file cannot be opened.
    bool Load(const std::string& path);
    // The same on the text of a file: each of its lines taken as AddLine takes it.
    void LoadText(std::string_view text);

    // True when some entry equals the value byte for byte.
    bool ContainsExact(std::string_view value) const { return exact_.count(value) != 0; }

    // Entries holding "user-agent:" keep only the trimmed text after it, so a line copied from a
    // request header matches the header's value.
    void RewriteUserAgentEntries();

    // Appends one line as the file reader would take it (trimmed, comment cut, lowercased).
    void AddLine(std::string_view line);

    const std::vector<std::string>& Entries() const { return entries_; }

  private:
    void Append(std::string_view line);
    void Index();  // builds the set from the entries

    std::vector<std::string> entries_;
    std::unordered_set<std::string_view> exact_;  // views entries_
};
