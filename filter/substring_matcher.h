// Tells whether any of a set of fragments occurs in a value, without regard to the letter case of
// A-Z, in one pass over the value whatever the number of fragments (an Aho-Corasick automaton
// built once, when a rule list is loaded). Several lists can share one automaton, so that one
// pass tells which of them have a fragment in the value. Where the processor can, the pass
// goes over bytes that start no fragment sixteen at a time.
//
// Fragments longer than a window of four bytes are not looked for by the automaton's pass, which
// steps on nearly every byte once the lists are long and varied, but by their first windows: a
// bit set of the windows' hashes, eight of them tested at once where the processor can, tells
// the few places where one may start, and the automaton's trie is walked from there. Fragments
// of a window or less keep an automaton of their own.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
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
    unsigned ListsIn(std::string_view first, std::string_view second = {}) const {
        unsigned found = 0;
        if (shortFragments_) {
            found = shortFragments_->ListsIn(first, second);
            if (found == allLists_) return found;
        }
        if (windowScan_) {
            return found | (windowGathers_   ? WindowsByGathers(first, second)
                            : byteClassScan_ ? WindowsByBlocks(first, second)
                                             : WindowsByBytes(first, second));
        }
        return found |
               (byteClassScan_ ? ListsInByBlocks(first, second) : ListsInByBytes(first, second));
    }

    // Runs the automaton over every fragment and passes over bytes that start no fragment one
    // table step at a time, even where the windows or the processor could do better; tests use
    // it to check that the ways answer alike.
    void UseByteSteps();
    // Tests the windows one by one even where the processor could take eight at once.
    void UseWindowsOneByOne() { windowGathers_ = false; }

  private:
    using Fragments = std::vector<std::pair<std::string_view, std::uint8_t>>;  // with list bits
    // kWindow bytes of a fragment, as a word; fragments no longer than that take the automaton.
    static constexpr std::size_t kWindow = 4;

    static constexpr std::uint32_t kNoRow = ~std::uint32_t{0};
    // A node with this many edges gets a row of moves: a search of its edges, and of its
    // fallbacks', would cost more than the row's lookup.
    static constexpr std::uint32_t kEdgesForARow = 4;

    struct Node {
        std::uint32_t firstEdge;  // this node's edges are edges_[firstEdge, next node's firstEdge)
        std::uint32_t fallback;   // the longest proper suffix of this node's text that is a node
        std::uint32_t row;        // where its moves start in moves_, or kNoRow
        std::uint8_t lists;  // the lists with a fragment ending here, or in a suffix of this text
    };
    struct Edge {
        unsigned char byte;
        std::uint32_t to;
    };

    // The automaton of the fragments, sorted, and the tables of its sixteen-byte skip.
    void Build(const Fragments& sorted);
    // The windows' tables, from the automaton of the fragments longer than kWindow bytes.
    void BuildWindows(const Fragments& sorted);

    std::uint32_t Next(std::uint32_t node, unsigned char byte) const;
    // The node after `node` on the value's byte `byte`, following fallbacks where it must.
    std::uint32_t Step(std::uint32_t node, unsigned char byte) const;
    template <typename Skip>
    unsigned Scan(std::string_view first, std::string_view second, const Skip& skip) const;
    unsigned ListsInByBytes(std::string_view first, std::string_view second) const;
    unsigned ListsInByBlocks(std::string_view first, std::string_view second) const;
    // The windows' pass: `skip` passes over bytes that start no fragment, as in the automaton's
    // pass, to find the values that need no more; `probes` tests the windows at every other
    // place of a run of places.
    template <typename Skip, typename Probes>
    unsigned ScanWindows(std::string_view first, std::string_view second, const Skip& skip,
                         const Probes& probes) const;
    unsigned WindowsByBytes(std::string_view first, std::string_view second) const;
    unsigned WindowsByBlocks(std::string_view first, std::string_view second) const;
    unsigned WindowsByGathers(std::string_view first, std::string_view second) const;
    // The lists of the fragments that start at `start` of `first` followed by `second`.
    unsigned FragmentsAt(std::string_view first, std::string_view second, std::size_t start) const;

    unsigned allLists_ = 0;
    unsigned alwaysFound_ = 0;  // the lists holding the empty fragment
    std::vector<Node> nodes_;   // one more than there are, so that every node has an edge end;
                                // none when no list holds a fragment that is not empty
    std::vector<Edge> edges_;   // by node, then by byte
    std::uint32_t rootNext_[256] = {};  // the root's edges, by folded byte; 0: stay at the root
    // The rows of the nodes of many edges: the node after each byte class, fallbacks followed.
    // A byte's class is that of its folded byte; 0 for the bytes in no fragment.
    std::vector<std::uint32_t> moves_;
    std::uint8_t byteClass_[256] = {};
    // A set of bytes by their nibbles, with eight classes: byte b is in class c when bit c is
    // set in both low[b & 15] and high[b >> 4].
    struct NibbleTables {
        alignas(16) unsigned char low[16] = {};
        alignas(16) unsigned char high[16] = {};

        void Add(unsigned char byte, unsigned classBit) {
            low[byte & 15] |= static_cast<unsigned char>(classBit);
            high[byte >> 4] |= static_cast<unsigned char>(classBit);
        }
        void AddEveryByte(unsigned classBit) {
            for (int nibble = 0; nibble < 16; ++nibble) {
                low[nibble] |= static_cast<unsigned char>(classBit);
                high[nibble] |= static_cast<unsigned char>(classBit);
            }
        }
    };
    // The bytes that start a fragment, a class for each high nibble (shared beyond eight), and
    // for each class the bytes that can follow them in a fragment: a pair in neither lets the
    // sixteen-byte scan pass over its first byte. Both may let through more than they hold.
    NibbleTables firstBytes_;
    NibbleTables secondBytes_;
    bool byteClassScan_ = false;  // sixteen bytes at a time, where the processor can

    // The fragments of a window or less, when the windows are looked for.
    std::shared_ptr<const SubstringMatcher> shortFragments_;
    bool windowScan_ = false;
    bool windowGathers_ = false;  // eight windows' bits at once, where the processor can
    // Bit (hash of a window with the case bits set) >> windowShift_ is set for the first and the
    // second window of every fragment: it lets through a few windows that are neither.
    std::vector<std::uint64_t> windowBits_;
    std::uint32_t windowShift_ = 0;
    // The trie's node of each first window, by its hash; node 0: an empty slot.
    struct WindowNode {
        std::uint32_t window;
        std::uint32_t node;
    };
    std::vector<WindowNode> windowNodes_;
    std::uint32_t windowNodeShift_ = 0;
};
