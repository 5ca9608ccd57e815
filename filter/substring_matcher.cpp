#include "substring_matcher.h"

#include <algorithm>

#include "text.h"

namespace {

unsigned char Fold(unsigned char byte) {
    return static_cast<unsigned char>(text::ToLower(static_cast<char>(byte)));
}

}  // namespace

SubstringMatcher::SubstringMatcher(const std::vector<std::string>& fragments)
    : SubstringMatcher({&fragments}) {}

SubstringMatcher::SubstringMatcher(std::initializer_list<const std::vector<std::string>*> lists) {
    allLists_ = (1u << std::min(lists.size(), kMaxLists)) - 1;
    // Each fragment with the bit of its list; a fragment in several lists is one node.
    std::vector<std::pair<std::string_view, std::uint8_t>> sorted;
    unsigned bit = 1;
    for (const std::vector<std::string>* fragments : lists) {
        if (bit > allLists_) break;
        for (const std::string& fragment : *fragments) {
            if (fragment.empty()) {
                alwaysFound_ |= bit;
            } else {
                sorted.emplace_back(fragment, static_cast<std::uint8_t>(bit));
            }
        }
        bit <<= 1;
    }
    if (sorted.empty()) return;
    std::sort(sorted.begin(), sorted.end());

    // The trie, built from the sorted fragments: each shares with the one before it the path of
    // their common prefix, so nothing needs to be looked up; children come in byte order.
    struct NewEdge {
        std::uint32_t from;
        unsigned char byte;
        std::uint32_t to;
    };
    std::vector<NewEdge> made;
    std::vector<std::uint8_t> ends{0};
    std::vector<std::uint32_t> path{0};  // the nodes of the previous fragment, root first
    std::string_view previous;
    std::uint32_t count = 1;
    for (const auto& [fragment, list] : sorted) {
        std::size_t common = 0;
        while (common < previous.size() && common < fragment.size() &&
               previous[common] == fragment[common]) {
            ++common;
        }
        path.resize(common + 1);
        for (std::size_t at = common; at < fragment.size(); ++at) {
            made.push_back({path.back(), static_cast<unsigned char>(fragment[at]), count});
            path.push_back(count++);
            ends.push_back(0);
        }
        ends[path.back()] |= list;
        previous = fragment;
    }

    // Edges grouped by node (a stable counting sort keeps each node's in byte order).
    nodes_.assign(count + 1, Node{0, 0, 0});
    for (const NewEdge& edge : made) ++nodes_[edge.from + 1].firstEdge;
    for (std::uint32_t n = 1; n <= count; ++n) nodes_[n].firstEdge += nodes_[n - 1].firstEdge;
    edges_.resize(made.size());
    {
        std::vector<std::uint32_t> fill(count);
        for (std::uint32_t n = 0; n < count; ++n) fill[n] = nodes_[n].firstEdge;
        for (const NewEdge& edge : made) edges_[fill[edge.from]++] = Edge{edge.byte, edge.to};
    }
    for (std::uint32_t n = 0; n < count; ++n) nodes_[n].lists = ends[n];
    for (std::uint32_t e = nodes_[0].firstEdge; e < nodes_[1].firstEdge; ++e) {
        rootNext_[edges_[e].byte] = edges_[e].to;
        if (edges_[e].byte >= 'a' && edges_[e].byte <= 'z') {
            rootNext_[edges_[e].byte - ('a' - 'A')] = edges_[e].to;
        }
    }

    // Fallbacks, breadth first: a node's depends only on shallower nodes.
    std::vector<std::uint32_t> queue;
    queue.reserve(count);
    for (std::uint32_t e = nodes_[0].firstEdge; e < nodes_[1].firstEdge; ++e) {
        queue.push_back(edges_[e].to);  // their fallback is the root
    }
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const std::uint32_t node = queue[head];
        for (std::uint32_t e = nodes_[node].firstEdge; e < nodes_[node + 1].firstEdge; ++e) {
            const Edge edge = edges_[e];
            std::uint32_t back = nodes_[node].fallback;
            std::uint32_t next = Next(back, edge.byte);
            while (next == 0 && back != 0) {
                back = nodes_[back].fallback;
                next = Next(back, edge.byte);
            }
            nodes_[edge.to].fallback = next;
            nodes_[edge.to].lists |= nodes_[next].lists;
            queue.push_back(edge.to);
        }
    }
}

std::uint32_t SubstringMatcher::Next(std::uint32_t node, unsigned char byte) const {
    if (node == 0) return rootNext_[byte];
    const std::uint32_t end = nodes_[node + 1].firstEdge;
    for (std::uint32_t e = nodes_[node].firstEdge; e < end; ++e) {
        if (edges_[e].byte == byte) return edges_[e].to;
    }
    return 0;
}

unsigned SubstringMatcher::ListsIn(std::string_view first, std::string_view second) const {
    unsigned found = alwaysFound_;
    if (found == allLists_ || nodes_.empty()) return found;
    // One loop over both parts, so that the automaton's state stays in registers.
    std::uint32_t node = 0;
    for (const std::string_view part : {first, second}) {
        const auto* at = reinterpret_cast<const unsigned char*>(part.data());
        const auto* const end = at + part.size();
        while (at != end) {
            if (node == 0) {
                // Most bytes start no fragment: pass over them four at a time, then one by one.
                while (end - at >= 4 && (rootNext_[at[0]] | rootNext_[at[1]] | rootNext_[at[2]] |
                                         rootNext_[at[3]]) == 0) {
                    at += 4;
                }
                if (at == end) break;
                while ((node = rootNext_[*at]) == 0) {
                    if (++at == end) break;  // and the root is where the next part starts
                }
                if (at == end) break;
                ++at;
            } else {
                const unsigned char byte = Fold(*at++);
                std::uint32_t next = Next(node, byte);
                while (next == 0 && node != 0) {
                    node = nodes_[node].fallback;
                    next = Next(node, byte);
                }
                node = next;
            }
            if (nodes_[node].lists != 0) {
                found |= nodes_[node].lists;
                if (found == allLists_) return found;
            }
        }
    }
    return found;
}
