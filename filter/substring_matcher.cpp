#include "substring_matcher.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define PIXWALL_BLOCK_SCAN 1
#endif

#include "text.h"

namespace {

unsigned char Fold(unsigned char byte) {
    return static_cast<unsigned char>(text::ToLower(static_cast<char>(byte)));
}

// Multiplied by a window, its high bits hash it.
constexpr std::uint32_t kWindowHash = 0x9e3779b1u;
// Set in each byte of a window before it is hashed for the bit set: A-Z then hash as a-z do.
constexpr std::uint32_t kCaseBits = 0x20202020u;

// The window of the four bytes byteAt(0) to byteAt(3), composed in a register: bytes stored one
// by one and read back as a word would wait for the stores. The trie's first windows are looked
// up in this form.
template <typename ByteAt>
std::uint32_t ComposedWindow(ByteAt byteAt) {
    std::uint32_t window = 0;
    for (unsigned at = 0; at < 4; ++at) window |= std::uint32_t{byteAt(at)} << 8 * at;
    return window;
}

// Passes over the bytes that start no fragment, four table steps at a time, then one by one:
// returns the first byte that starts one, or `end`.
struct ByteSkip {
    const std::uint32_t* rootNext;

    const unsigned char* operator()(const unsigned char* at, const unsigned char* end,
                                    const unsigned char* /*partBegin*/) const {
        while (end - at >= 4 &&
               (rootNext[at[0]] | rootNext[at[1]] | rootNext[at[2]] | rootNext[at[3]]) == 0) {
            at += 4;
        }
        while (at != end && rootNext[*at] == 0) ++at;
        return at;
    }
};

// The windows of a value at the places 0, 2, ..., 2 * (kProbes - 1) after `from`, each with
// the case bits set, hashed into the bit set of the fragments' windows: bit i set when the
// window at place 2i may start a fragment. They read kProbedPlaces + kWindow bytes.
constexpr unsigned kProbes = 8;
constexpr std::size_t kProbedPlaces = 2 * (kProbes - 1);

struct WindowProbes {
    const std::uint64_t* bits;
    std::uint32_t shift;

    // The window at `at` may start a fragment.
    unsigned At(const unsigned char* at) const {
        std::uint32_t window;
        std::memcpy(&window, at, sizeof window);
        const std::uint32_t bit = (window | kCaseBits) * kWindowHash >> shift;
        return static_cast<unsigned>(bits[bit / 64] >> bit % 64) & 1u;
    }

    unsigned operator()(const unsigned char* from) const {
        unsigned hits = 0;
        for (unsigned i = 0; i < kProbes; ++i) hits |= At(from + 2 * i) << i;
        return hits;
    }
};

#ifdef PIXWALL_BLOCK_SCAN
bool ProcessorHasGathers() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// The same eight windows hashed side by side and their bits gathered at once.
struct GatheredProbes : WindowProbes {
    __attribute__((target("avx2"))) unsigned operator()(const unsigned char* from) const {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2));
        // The windows at places 0, 2, 4 and 6 from the first sixteen bytes, at 8 to 14 from
        // the sixteen bytes two on.
        const __m256i order =
            _mm256_setr_epi8(0, 1, 2, 3, 2, 3, 4, 5, 4, 5, 6, 7, 6, 7, 8, 9,  //
                             6, 7, 8, 9, 8, 9, 10, 11, 10, 11, 12, 13, 12, 13, 14, 15);
        const __m256i windows = _mm256_or_si256(
            _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1),
                                order),
            _mm256_set1_epi32(static_cast<int>(kCaseBits)));
        const __m256i hashes = _mm256_srl_epi32(
            _mm256_mullo_epi32(windows, _mm256_set1_epi32(static_cast<int>(kWindowHash))),
            _mm_cvtsi32_si128(static_cast<int>(shift)));
        // The set read as 32-bit words (bit b is bit b % 32 of word b / 32 on x86), each
        // window's bit moved to the top of its word.
        const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(bits),
                                                     _mm256_srli_epi32(hashes, 5), 4);
        const __m256i top = _mm256_sllv_epi32(
            words, _mm256_xor_si256(_mm256_and_si256(hashes, _mm256_set1_epi32(31)),
                                    _mm256_set1_epi32(31)));
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(top)));
    }
};

bool ProcessorHasByteShuffle() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}

// The classes of sixteen bytes by their nibbles, a byte of class bits for each.
__attribute__((target("ssse3"))) inline __m128i Classes(__m128i bytes, __m128i low, __m128i high) {
    const __m128i nibble = _mm_set1_epi8(0x0f);
    const __m128i byLow = _mm_shuffle_epi8(low, _mm_and_si128(bytes, nibble));
    const __m128i byHigh = _mm_shuffle_epi8(high, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
    return _mm_and_si128(byLow, byHigh);
}

// The same as ByteSkip, sixteen bytes at a time: a byte is passed over when it starts no
// fragment, or when the byte after it cannot follow it in one. A part's last bytes are taken in
// the block that ends with the part, so nothing is read outside it.
struct BlockSkip {
    const std::uint32_t* rootNext;
    const unsigned char* firstLow;
    const unsigned char* firstHigh;
    const unsigned char* secondLow;
    const unsigned char* secondHigh;

    // Bit i set: a fragment may start at from[i].
    __attribute__((target("ssse3"))) unsigned MayStart(const unsigned char* from) const {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i first =
            Classes(bytes, _mm_load_si128(reinterpret_cast<const __m128i*>(firstLow)),
                    _mm_load_si128(reinterpret_cast<const __m128i*>(firstHigh)));
        const __m128i second =
            Classes(bytes, _mm_load_si128(reinterpret_cast<const __m128i*>(secondLow)),
                    _mm_load_si128(reinterpret_cast<const __m128i*>(secondHigh)));
        // Each byte's class against the next byte's; the last byte's next is not in the block.
        const __m128i next =
            _mm_or_si128(_mm_srli_si128(second, 1),
                         _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1));
        const __m128i none = _mm_cmpeq_epi8(_mm_and_si128(first, next), _mm_setzero_si128());
        return ~static_cast<unsigned>(_mm_movemask_epi8(none)) & 0xffffu;
    }

    __attribute__((target("ssse3"))) const unsigned char* operator()(
        const unsigned char* at, const unsigned char* end, const unsigned char* partBegin) const {
        if (end - partBegin < 16) return ByteSkip{rootNext}(at, end, partBegin);
        while (end - at >= 16) {
            const unsigned mask = MayStart(at);
            if (mask == 0) {
                at += 16;
                continue;
            }
            at += __builtin_ctz(mask);
            if (rootNext[*at] != 0) return at;
            ++at;  // the tables let through a byte that starts nothing
        }
        if (at == end) return end;
        unsigned mask = MayStart(end - 16) >> (16 - (end - at));
        for (; mask != 0; mask &= mask - 1) {
            const unsigned char* candidate = at + __builtin_ctz(mask);
            if (rootNext[*candidate] != 0) return candidate;
        }
        return end;
    }
};
#endif

}  // namespace

SubstringMatcher::SubstringMatcher(const std::vector<std::string>& fragments)
    : SubstringMatcher({&fragments}) {}

SubstringMatcher::SubstringMatcher(std::initializer_list<const std::vector<std::string>*> lists) {
    allLists_ = (1u << std::min(lists.size(), kMaxLists)) - 1;
    // Each fragment with the bit of its list; a fragment in several lists is one node.
    Fragments sorted;
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
    Fragments shorter;
    Fragments longer;
    for (const auto& fragment : sorted) {
        (fragment.first.size() <= kWindow ? shorter : longer).push_back(fragment);
    }
    if (longer.empty()) {
        Build(sorted);
        return;
    }
    if (!shorter.empty()) {
        auto own = std::make_shared<SubstringMatcher>();
        own->allLists_ = allLists_;
        own->Build(shorter);
        shortFragments_ = std::move(own);
    }
    Build(longer);
    BuildWindows(longer);
}

void SubstringMatcher::Build(const Fragments& sorted) {
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
    nodes_.assign(count + 1, Node{0, 0, kNoRow, 0});
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
    // The nibble tables, from the root's edges and their children's.
    int classOfHighNibble[16];
    std::fill(std::begin(classOfHighNibble), std::end(classOfHighNibble), -1);
    int classes = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        const std::uint32_t child = rootNext_[byte];
        if (child == 0) continue;
        int& bitIndex = classOfHighNibble[byte >> 4];
        if (bitIndex < 0) bitIndex = classes++ % 8;
        const unsigned bit = 1u << bitIndex;
        firstBytes_.Add(static_cast<unsigned char>(byte), bit);
        if (nodes_[child].lists != 0) {
            // A fragment of one byte: any byte may follow.
            secondBytes_.AddEveryByte(bit);
            continue;
        }
        for (std::uint32_t e = nodes_[child].firstEdge; e < nodes_[child + 1].firstEdge; ++e) {
            const unsigned char next = edges_[e].byte;
            secondBytes_.Add(next, bit);
            if (next >= 'a' && next <= 'z') secondBytes_.Add(next - ('a' - 'A'), bit);
        }
    }
#ifdef PIXWALL_BLOCK_SCAN
    byteClassScan_ = ProcessorHasByteShuffle();
#endif

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
            // No node has a row yet, so this follows fallbacks edge by edge.
            const std::uint32_t next = Step(nodes_[node].fallback, edge.byte);
            nodes_[edge.to].fallback = next;
            nodes_[edge.to].lists |= nodes_[next].lists;
            queue.push_back(edge.to);
        }
    }

    // Rows of moves, breadth first too: a row's moves on bytes without an edge are its
    // fallback's, which is shallower and so has its row already if it has one.
    std::vector<unsigned char> classByte{0};
    for (const Edge& edge : edges_) {
        if (byteClass_[edge.byte] != 0) continue;
        byteClass_[edge.byte] = static_cast<std::uint8_t>(classByte.size());
        classByte.push_back(edge.byte);
    }
    for (unsigned char lower = 'a'; lower <= 'z'; ++lower) {
        byteClass_[lower - ('a' - 'A')] = byteClass_[lower];
    }
    for (const std::uint32_t node : queue) {
        if (nodes_[node + 1].firstEdge - nodes_[node].firstEdge < kEdgesForARow) continue;
        const auto row = static_cast<std::uint32_t>(moves_.size());
        moves_.resize(row + classByte.size(), 0);  // class 0 leads back to the root
        for (std::size_t c = 1; c < classByte.size(); ++c) {
            const std::uint32_t next = Next(node, classByte[c]);
            moves_[row + c] = next != 0 ? next : Step(nodes_[node].fallback, classByte[c]);
        }
        nodes_[node].row = row;
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

std::uint32_t SubstringMatcher::Step(std::uint32_t node, unsigned char byte) const {
    for (;;) {
        if (node == 0) return rootNext_[byte];
        const Node& from = nodes_[node];
        if (from.row != kNoRow) return moves_[from.row + byteClass_[byte]];
        const std::uint32_t next = Next(node, Fold(byte));
        if (next != 0) return next;
        node = from.fallback;
    }
}

void SubstringMatcher::BuildWindows(const Fragments& sorted) {
    // A fragment's first window, and its second, which the pass tests when the fragment starts
    // at an odd place: the probes read both as words from the value; the first is looked up
    // in windowNodes_ as ComposedWindow makes it.
    std::vector<WindowNode> firsts;  // a fragment's first window is its neighbours' or greater
    std::vector<std::uint32_t> probed;
    for (const auto& [fragment, list] : sorted) {
        for (std::size_t at = 0; at < 2; ++at) {
            std::uint32_t window;
            std::memcpy(&window, fragment.data() + at, kWindow);
            probed.push_back(window);
        }
        WindowNode first{};
        const std::string_view text = fragment;  // a lambda may not capture a structured binding
        first.window =
            ComposedWindow([text](unsigned at) { return static_cast<unsigned char>(text[at]); });
        if (!firsts.empty() && firsts.back().window == first.window) continue;
        for (std::size_t at = 0; at < kWindow; ++at) {
            first.node = Next(first.node, static_cast<unsigned char>(fragment[at]));
        }
        firsts.push_back(first);
    }
    // Thirty-two bits a window or more, up to half a megabyte: few windows that start nothing
    // get through, and the trie's walks from them cost more than the bigger set's lookups.
    unsigned bitsLog2 = 9;
    while ((std::size_t{1} << bitsLog2) < 32 * probed.size() && bitsLog2 < 22) {
        ++bitsLog2;
    }
    windowShift_ = 32 - bitsLog2;
    windowBits_.assign((std::size_t{1} << bitsLog2) / 64, 0);
    const auto addBit = [&](std::uint32_t window) {
        const std::uint32_t bit = (window | kCaseBits) * kWindowHash >> windowShift_;
        windowBits_[bit / 64] |= std::uint64_t{1} << bit % 64;
    };
    for (const std::uint32_t window : probed) addBit(window);
    unsigned slotsLog2 = 1;
    while ((std::size_t{1} << slotsLog2) < 2 * firsts.size()) ++slotsLog2;
    windowNodeShift_ = 32 - slotsLog2;
    windowNodes_.assign(std::size_t{1} << slotsLog2, WindowNode{0, 0});
    for (const WindowNode& first : firsts) {
        std::uint32_t slot = first.window * kWindowHash >> windowNodeShift_;
        while (windowNodes_[slot].node != 0) slot = (slot + 1) & (windowNodes_.size() - 1);
        windowNodes_[slot] = first;
    }
    windowScan_ = true;
#ifdef PIXWALL_BLOCK_SCAN
    windowGathers_ = ProcessorHasGathers();
#endif
}

void SubstringMatcher::UseByteSteps() {
    byteClassScan_ = false;
    windowGathers_ = false;
    windowScan_ = false;
    if (shortFragments_) {
        auto byBytes = std::make_shared<SubstringMatcher>(*shortFragments_);
        byBytes->UseByteSteps();
        shortFragments_ = std::move(byBytes);
    }
}

template <typename Skip, typename Probes>
unsigned SubstringMatcher::ScanWindows(std::string_view first, std::string_view second,
                                       const Skip& skip, const Probes& probes) const {
    unsigned found = alwaysFound_;
    const std::size_t size = first.size() + second.size();
    if (found == allLists_ || size <= kWindow) return found;
    // With few or alike fragments most values hold no byte that starts one.
    const auto startsNone = [&](std::string_view part) {
        const auto* const begin = reinterpret_cast<const unsigned char*>(part.data());
        return skip(begin, begin + part.size(), begin) == begin + part.size();
    };
    if (startsNone(first) && startsNone(second)) return found;

    // The windows are read from the value itself, unfolded: a window with the case bits set
    // hashes alike in any letter case, so nothing is copied; only a hit is folded, to be looked
    // up. Every fragment is longer than a window, so one of its first two windows starts at
    // every other place of a run of places, or it starts in the last window's width before the
    // parts' seam: only those places are tested, and a hit is looked up as a first window there
    // and before.
    // The window at `hit` passed the bit set already; the one before it is tested as well.
    const auto lookUp = [&](const unsigned char* begin, std::size_t offset, std::size_t hit) {
        if (hit != 0 && probes.At(begin + hit - 1) != 0) {
            found |= FragmentsAt(first, second, offset + hit - 1);
        }
        found |= FragmentsAt(first, second, offset + hit);
        return found == allLists_;
    };
    const auto scanPart = [&](std::string_view part, std::size_t offset) {
        if (part.size() < kWindow) return false;
        const auto* const begin = reinterpret_cast<const unsigned char*>(part.data());
        const std::size_t last = part.size() - kWindow;  // the last place a window starts
        if (last < kProbedPlaces) {
            // Too short for a block of probes: the even places and the last.
            for (std::size_t at = 0;; at = std::min(at + 2, last)) {
                if (probes.At(begin + at) != 0 && lookUp(begin, offset, at)) return true;
                if (at == last) return false;
            }
        }
        // Blocks of probes, the last one ending at the last place: where it overlaps the one
        // before, a place or the one after it is tested twice.
        for (std::size_t block = 0;; block += 2 * kProbes) {
            if (block > last - kProbedPlaces) block = last - kProbedPlaces;
            for (unsigned hits = probes(begin + block); hits != 0; hits &= hits - 1) {
                if (lookUp(begin, offset, block + 2 * static_cast<unsigned>(__builtin_ctz(hits)))) {
                    return true;
                }
            }
            if (block == last - kProbedPlaces) return false;
        }
    };
    if (scanPart(first, 0) || scanPart(second, first.size())) return found;
    // The windows across the seam, from the last four bytes of the first part on.
    if (first.empty() || second.empty()) return found;
    unsigned char seam[2 * kWindow] = {};
    const std::size_t from = first.size() > kWindow ? first.size() - kWindow : 0;
    const std::size_t fromFirst = first.size() - from;
    const std::size_t fromSecond = std::min(second.size(), kWindow);
    std::memcpy(seam, first.data() + from, fromFirst);
    std::memcpy(seam + fromFirst, second.data(), fromSecond);
    for (std::size_t at = 0; at < fromFirst && at + kWindow <= fromFirst + fromSecond; ++at) {
        if (probes.At(seam + at) == 0) continue;
        found |= FragmentsAt(first, second, from + at);
        if (found == allLists_) break;
    }
    return found;
}

unsigned SubstringMatcher::FragmentsAt(std::string_view first, std::string_view second,
                                       std::size_t start) const {
    const std::size_t size = first.size() + second.size();
    const auto foldedAt = [&](std::size_t at) {
        return Fold(
            static_cast<unsigned char>(at < first.size() ? first[at] : second[at - first.size()]));
    };
    const std::uint32_t window = ComposedWindow([&](unsigned at) { return foldedAt(start + at); });
    for (std::uint32_t slot = window * kWindowHash >> windowNodeShift_;;
         slot = (slot + 1) & (windowNodes_.size() - 1)) {
        const WindowNode& node = windowNodes_[slot];
        if (node.node == 0) return 0;
        if (node.window != window) continue;
        // Down the trie from the window's node: few edges are left there.
        std::uint32_t at = node.node;
        unsigned lists = nodes_[at].lists;
        for (std::size_t next = start + kWindow; next != size && lists != allLists_; ++next) {
            at = Next(at, foldedAt(next));
            if (at == 0) break;
            lists |= nodes_[at].lists;
        }
        return lists;
    }
}

unsigned SubstringMatcher::WindowsByBytes(std::string_view first, std::string_view second) const {
    return ScanWindows(first, second, ByteSkip{rootNext_},
                       WindowProbes{windowBits_.data(), windowShift_});
}

template <typename Skip>
unsigned SubstringMatcher::Scan(std::string_view first, std::string_view second,
                                const Skip& skip) const {
    unsigned found = alwaysFound_;
    if (found == allLists_ || nodes_.empty()) return found;
    // The automaton's state runs on from the first part into the second.
    std::uint32_t node = 0;
    const auto scanPart = [&](std::string_view part) {
        const auto* const begin = reinterpret_cast<const unsigned char*>(part.data());
        const auto* const end = begin + part.size();
        const auto* at = begin;
        while (at != end) {
            if (node == 0) {
                // Most bytes start no fragment.
                at = skip(at, end, begin);
                if (at == end) break;
                node = rootNext_[*at++];
            } else {
                node = Step(node, *at++);
            }
            if (nodes_[node].lists != 0) {
                found |= nodes_[node].lists;
                if (found == allLists_) return true;
            }
        }
        return false;
    };
    if (scanPart(first) || second.empty()) return found;
    scanPart(second);
    return found;
}

unsigned SubstringMatcher::ListsInByBytes(std::string_view first, std::string_view second) const {
    return Scan(first, second, ByteSkip{rootNext_});
}

#ifdef PIXWALL_BLOCK_SCAN
__attribute__((target("ssse3"), flatten)) unsigned SubstringMatcher::ListsInByBlocks(
    std::string_view first, std::string_view second) const {
    return Scan(first, second,
                BlockSkip{rootNext_, firstBytes_.low, firstBytes_.high, secondBytes_.low,
                          secondBytes_.high});
}

__attribute__((target("ssse3"), flatten)) unsigned SubstringMatcher::WindowsByBlocks(
    std::string_view first, std::string_view second) const {
    const BlockSkip skip{rootNext_, firstBytes_.low, firstBytes_.high, secondBytes_.low,
                         secondBytes_.high};
    return ScanWindows(first, second, skip, WindowProbes{windowBits_.data(), windowShift_});
}

__attribute__((target("avx2"), flatten)) unsigned SubstringMatcher::WindowsByGathers(
    std::string_view first, std::string_view second) const {
    const BlockSkip skip{rootNext_, firstBytes_.low, firstBytes_.high, secondBytes_.low,
                         secondBytes_.high};
    return ScanWindows(first, second, skip, GatheredProbes{{windowBits_.data(), windowShift_}});
}
#else
unsigned SubstringMatcher::ListsInByBlocks(std::string_view first, std::string_view second) const {
    return ListsInByBytes(first, second);
}

unsigned SubstringMatcher::WindowsByBlocks(std::string_view first, std::string_view second) const {
    return WindowsByBytes(first, second);
}

unsigned SubstringMatcher::WindowsByGathers(std::string_view first, std::string_view second) const {
    return WindowsByBytes(first, second);
}
#endif
