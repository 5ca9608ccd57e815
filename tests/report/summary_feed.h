// Test helper: log lines, each one the parser understands, added to a summary.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "activity_summary.h"
#include "log_line_parser.h"

inline void Feed(ActivitySummary& summary, const std::vector<std::string>& lines) {
    const LogLineParser parser;
    for (const std::string& line : lines) {
        const auto parsed = parser.Parse(line);
        ASSERT_TRUE(parsed) << line;
        summary.Add(*parsed);
    }
}
