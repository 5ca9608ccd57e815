// An ordered list of lowercased text fragments from one rule list file, with the structures that
// answer its tests built once, when the list is loaded.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "substring_matcher.h"

class RuleList {
  public:
    RuleList() = default;
    // The set views the entries: a copy would view another list's.
    RuleList(const RuleList&) = delete;
    RuleList& operator=(const RuleList&) = delete;

    // Empties the list and fills it from the file; false when the file cannot be opened.
    bool Load(const std::string& path);

    // True when some entry occurs anywhere in the value, letter case of A-Z aside. An empty entry
    // occurs in every value.
    bool Contains(std::string_view value) const { return matcher_.FoundIn(value); }
    // Contains of `first` immediately followed by `second`.
    bool Contains(std::string_view first, std::string_view second) const {
        return matcher_.FoundIn(first, second);
    }

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
    void Index();  // builds the matcher and the set from the entries

    std::vector<std::string> entries_;
    SubstringMatcher matcher_;
    std::unordered_set<std::string_view> exact_;  // views entries_
};
