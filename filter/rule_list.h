// An ordered list of lowercased text fragments from one rule list file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class RuleList {
  public:
    // Empties the list and fills it from the file; false when the file cannot be opened.
    bool Load(const std::string& path);

    // True when some entry occurs anywhere in the lowercased value. An empty entry occurs in
    // every value.
    bool Contains(std::string_view value) const;

    // True when some entry equals the value byte for byte.
    bool ContainsExact(std::string_view value) const;

    // Entries holding "user-agent:" keep only the trimmed text after it, so a line copied from a
    // request header matches the header's value.
    void RewriteUserAgentEntries();

    // Appends one line as the file reader would take it (trimmed, comment cut, lowercased).
    void AddLine(std::string_view line);

    const std::vector<std::string>& Entries() const { return entries_; }

  private:
    std::vector<std::string> entries_;
};
