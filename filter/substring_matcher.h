// Tells whether any of a set of fragments occurs in a value, without regard to the letter case of
// A-Z, in one pass over the value whatever the number of fragments (an Aho-Corasick automaton
// built once, when a rule list is loaded).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class SubstringMatcher {
  public:
    SubstringMatcher() = default;  // matches nothing
    // `fragments` are lowercased already; an empty fragment occurs in every value.
    explicit SubstringMatcher(const std::vector<std::string>& fragments);

    // Some fragment occurs in the value with A-Z folded to a-z.
    bool FoundIn(std::string_view value) const { return FoundIn(value, {}); }
    // The same for the text `first` immediately followed by `second`, without joining them.
    bool FoundIn(std::string_view first, std::string_view second) const;

  private:
    struct Node {
        std::uint32_t firstEdge;  // this node's edges are edges_[firstEdge, next node's firstEdge)
        std::uint32_t fallback;   // the longest proper suffix of this node's text that is a node
        bool complete;            // some fragment ends here, or in a suffix of this node's text
    };
    struct Edge {
        unsigned char byte;
        std::uint32_t to;
    };

    std::uint32_t Next(std::uint32_t node, unsigned char byte) const;
    // Runs the automaton from `node` over the value; true as soon as a fragment ends.
    bool Scan(std::string_view value, std::uint32_t& node) const;

    bool matchesEverything_ = false;
    bool empty_ = true;
    std::vector<Node> nodes_;  // one more than there are, so that every node has an edge end
    std::vector<Edge> edges_;  // by node, then by byte
    std::uint32_t rootNext_[256] = {};  // the root's edges, by folded byte; 0: stay at the root
};
