// Tells whether any of a set of fragments occurs in a value, without regard to the letter case of
// A-Z, in one pass over the value whatever the number of fragments (an Aho-Corasick automaton
// built once, when a rule list is loaded). Several lists can share one automaton, so that one
// pass tells which of them have a fragment in the value.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class SubstringMatcher {
  public:
    static constexpr std::size_t kMaxLists = 8;  // one bit each in ListsIn's answer

    SubstringMatcher() = default;  // matches nothing
    // `fragments` are lowercased already; an empty fragment occurs in every value.
    explicit SubstringMatcher(const std::vector<std::string>& fragments);
    // The lists in one automaton: list i answers to bit i of ListsIn. At most kMaxLists.
    explicit SubstringMatcher(std::initializer_list<const std::vector<std::string>*> lists);

    // Some fragment occurs in the value with A-Z folded to a-z.
    bool FoundIn(std::string_view value) const { return FoundIn(value, {}); }
    // The same for the text `first` immediately followed by `second`, without joining them.
    bool FoundIn(std::string_view first, std::string_view second) const {
        return ListsIn(first, second) != 0;
    }
    // The lists of which some fragment occurs in `first` immediately followed by `second`, as
    // bits; the scan stops once every list has been found.
    unsigned ListsIn(std::string_view first, std::string_view second = {}) const;

  private:
    struct Node {
        std::uint32_t firstEdge;  // this node's edges are edges_[firstEdge, next node's firstEdge)
        std::uint32_t fallback;   // the longest proper suffix of this node's text that is a node
        std::uint8_t lists;  // the lists with a fragment ending here, or in a suffix of this text
    };
    struct Edge {
        unsigned char byte;
        std::uint32_t to;
    };

    std::uint32_t Next(std::uint32_t node, unsigned char byte) const;

    unsigned allLists_ = 0;
    unsigned alwaysFound_ = 0;  // the lists holding the empty fragment
    std::vector<Node> nodes_;   // one more than there are, so that every node has an edge end;
                                // none when no list holds a fragment that is not empty
    std::vector<Edge> edges_;   // by node, then by byte
    std::uint32_t rootNext_[256] = {};  // the root's edges, by folded byte; 0: stay at the root
};
