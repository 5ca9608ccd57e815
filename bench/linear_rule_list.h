// The rule lists' substring test as the filter first did it, kept for the benchmark only: each
// test lowercases a copy of the value and scans every entry.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

class LinearRuleList {
  public:
    explicit LinearRuleList(std::vector<std::string> entries) : entries_(std::move(entries)) {}

    bool Contains(std::string_view value) const {
        if (entries_.empty()) return false;
        const std::string lowered = text::ToLower(value);
        return std::any_of(entries_.begin(), entries_.end(), [&](const std::string& entry) {
            return lowered.find(entry) != std::string::npos;
        });
    }

  private:
    std::vector<std::string> entries_;
};
