// The stand-in metabase's file format: a tree as text and back (the format is described in
// metabase_text.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "metabase/metabase_tree.h"

namespace metabase {

// The file's text for a tree and back. Parse gives null, with error "line N: reason", for a
// text that does not parse whole: such a store is refused, never rewritten.
std::string Format(const Node& root);
std::unique_ptr<Node> Parse(const std::string& text, std::string& error);

// A line that a reader going on without it skipped: its number (from 1), why, and the key
// it stands in as written ("" before the first key). A line that looks like a key but is
// none leaves the key it stands in uncertain, and says so.
struct SkippedLine {
    std::size_t number = 0;
    std::string reason;
    std::string key;
    bool keyUncertain = false;
};
// For readers only (never for a store about to be rewritten): parses what it can, skips
// the rest and lists it. Comments are skipped silently.
std::unique_ptr<Node> ParseSkipping(const std::string& text, std::vector<SkippedLine>& skipped);

}  // namespace metabase
