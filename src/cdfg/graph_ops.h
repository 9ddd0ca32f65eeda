// Walking and editing operations shared by the passes: chains, directives,
// node creation with a source position, and the deep copy of a function.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "cdfg/graph.h"

// Last node of the chain that starts at node (node itself when it has no
// NextId); 0 for 0. Stops if the chain loops back on itself.
NodeId lastInChain(const CdfgGraph& g, NodeId node);
// First node of the INFO_DIRECTIVE chain whose DfgDirective_TYPE equals type;
// *text receives its DfgDirective_STR (may be nullptr). 0 when none.
NodeId findDirective(const CdfgGraph& g, NodeId firstDirective, std::int32_t type,
                     const char** text);
// Top of the expression that a DFG_MANAGE_OPERATION owns, reached backwards
// from node; the first node of the chain when there is no such owner.
NodeId statementHead(const CdfgGraph& g, NodeId node);
// Appends added (with whatever follows it) behind the last node of chain.
int appendToChain(CdfgGraph& g, NodeId chain, NodeId added);
// Creates a node of the kind with the next free id, copying the template's
// source position when template is non-zero. Ends the process with status -1
// when no node can be created.
NodeId newNode(CdfgGraph& g, std::uint32_t kind, NodeId templateNode);
// Called by newNode after its message when no node can be created; the
// process then ends with status -1 unless the handler leaves by an exception
// (the in-process run). nullptr: none.
void setNodeCreationFailureHandler(void (*handler)());
void copySourcePosition(CdfgGraph& g, NodeId to, NodeId from);
// Deep copy of the chain starting at first, with its owned subtrees; jumps
// between copied control nodes are redirected into the copy. The copy makes
// at most maxNodes nodes (0: as many as the graph holds). A subtree never
// holds more nodes than the graph, so only a damaged graph, whose owned
// nodes are shared by several owners and would be copied again and again,
// reaches the bound; the copy then stops where it is.
// What a copy made, for a walk of the copy to be told from one of the
// original: the calls copied (original, copy) in the order copied, and
// whether the copy differs from the original in what a walk along NextId
// links and owned attributes meets (an attribute left out for its
// identifier or kind, a link to no node, the copy cut short). An
// assignment's target side hangs before its edge along PrevId, where no such
// walk meets it. sidesDiffer: statementHead from an edge of the copy,
// and the walk from there along NextId to the edge, may meet other than the
// copies of what they meet from the original's edge. sideNodes: the originals
// whose links those walks read (each edge and the nodes of its target side).
struct CopyReport {
    std::vector<std::pair<NodeId, NodeId>> calls;
    bool reshaped = false;
    bool sidesDiffer = false;
    std::vector<NodeId> sideNodes;
};
// Sorts a copy's calls by original; false when a call was copied twice.
bool sortCopiedCalls(std::vector<std::pair<NodeId, NodeId>>& calls);
// The copy of the call among calls so sorted; the call itself when the copy
// shares it with its original.
NodeId copiedCall(const std::vector<std::pair<NodeId, NodeId>>& calls, NodeId call);
NodeId copySubtree(CdfgGraph& g, NodeId first, std::size_t maxNodes = 0, CopyReport* report = nullptr);
// The graph's arrays as they stand, for a copy staged on another thread in
// their storage past the end (see stageCopy). Valid while the arrays keep
// their storage; what a staged copy reads must not change meanwhile, and
// nothing else may use that storage. Empty (count 0) when ids are not the
// list positions.
struct StagingArea {
    CdfgNode* nodes = nullptr;
    std::uint32_t count = 0;   // nodes in the list
    std::size_t nodeRoom = 0;  // nodes and positions the storage holds
    CdfgPlace* places = nullptr;
    CdfgAttr* attrs = nullptr;
    std::size_t attrCount = 0;
    std::size_t attrRoom = 0;
    // Nodes another thread may change meanwhile (bit id - 1; none when
    // null): a copy that would read one, other than the function copied, is
    // unusable and reads nothing more of it.
    const std::uint64_t* avoid = nullptr;
};
// Marks the node in a bit list for StagingArea::avoid over count nodes.
inline void markAvoided(std::vector<std::uint64_t>& bits, std::uint32_t count, NodeId id) {
    if (id != 0 && id - 1u < count) bits[(id - 1u) / 64] |= std::uint64_t{1} << (id - 1u) % 64;
}
inline bool avoided(const StagingArea& a, NodeId id) {
    return a.avoid && id != 0 && id - 1u < a.count && (a.avoid[(id - 1u) / 64] >> (id - 1u) % 64 & 1);
}
StagingArea stagingArea(CdfgGraph& g);
// A copy of a function made in that storage, as copySubtree would make it in
// structure clone mode with the function's NextId taken away, once the
// arrays end at nodeAt and attrAt: the ids are the ones it will have then.
struct StagedCopy {
    std::size_t nodeAt = 0, nodeCount = 0;
    std::size_t attrAt = 0, attrCount = 0;
    std::vector<std::pair<NodeId, NodeId>> calls;
    std::vector<NodeId> sideNodes;
    bool reshaped = false;
    bool sidesDiffer = false;
    bool usable = false;
};
// Stages the copy (maxNodes as for copySubtree, not 0); false, with the copy
// unusable, when the area cannot tell what the graph would make or holds no
// room for it.
bool stageCopy(const StagingArea& a, NodeId function, std::size_t maxNodes, std::size_t nodeAt, std::size_t attrAt,
               StagedCopy& out);
// A copy staged apart from the area, in buffers of its own (reused from one
// copy to the next), while the place it will take is not known yet: its ids
// and attribute positions lie past all of the area's until placeApart moves
// it to its place.
struct StagedApart {
    std::vector<CdfgNode> nodes;
    std::vector<CdfgPlace> places;
    std::vector<CdfgAttr> attrs;
    StagedCopy copy;
};
// stageCopy, apart. Also unusable when the function holds a node value past
// the area's nodes, which could not be told from one of the copy's own ids.
bool stageApart(const StagingArea& a, NodeId function, std::size_t maxNodes, StagedApart& out);
// Moves the copy into the area's storage at nodeAt and attrAt, with the ids
// it has there; out.copy is then the copy stageCopy would have made there.
// False (nothing moved) when the storage has no room for it there.
bool placeApart(const StagingArea& a, StagedApart& apart, std::size_t nodeAt, std::size_t attrAt);
// Takes a staged copy into the graph, which must end where the copy begins,
// and returns the function's copy, moving its calls and side nodes to the
// report; 0, with the graph unchanged, when it cannot (the copy is then made
// by copySubtree).
NodeId commitCopy(CdfgGraph& g, StagedCopy& s, CopyReport* report);
// While on, copySubtree records copied CFG_STRUCT/CFG_DECLARE nodes so that
// declarations follow structures copied in the same clone.
void setStructCloneMode(bool on);
// Clears the marks that the structure clone mode set and forgets the pairs.
void releaseStructClones(CdfgGraph& g);
// True when the attribute of a node of this kind is shared by a copy rather
// than copied with it.
bool isSharedReference(std::uint32_t kind, std::uint32_t attr);

// A rule over (node kind, attribute identifier) answered from a bit table for
// the kinds and identifiers the vocabulary uses, and by the rule itself for
// any other: the walks that copy or validate ask it for every link.
//     KindAttrTable<isSharedReference>::get()(kind, attr)
template <bool (*Rule)(std::uint32_t kind, std::uint32_t attr)>
class KindAttrTable {
public:
    static const KindAttrTable& get() {
        static const KindAttrTable table;
        return table;
    }
    bool operator()(std::uint32_t kind, std::uint32_t attr) const {
        if (kind < kKinds && attr < kAttrs) return (bits_[kind] >> attr) & 1;
        return Rule(kind, attr);
    }

private:
    static constexpr std::uint32_t kKinds = 512;
    static constexpr std::uint32_t kAttrs = 64;
    KindAttrTable() {
        for (std::uint32_t kind = 0; kind < kKinds; ++kind)
            for (std::uint32_t attr = 0; attr < kAttrs; ++attr)
                if (Rule(kind, attr)) bits_[kind] |= std::uint64_t{1} << attr;
    }
    std::uint64_t bits_[kKinds] = {};
};

// getAttrInt on a node record already looked up.
TAVIK_ALWAYS_INLINE std::uint32_t attrInt(const CdfgGraph& g, const CdfgNode& node, std::uint32_t attr) {
    const CdfgAttr* a = cdfg_detail::findAttr(g, node, attr);
    return a ? cdfg_detail::intOf(g, *a) : 0;
}

// The values getAttrInt gives for each of the identifiers, read in one pass
// over the node's attribute run: a walk step that needs several links of a
// node reads them together instead of searching the run once for each.
//     auto [left, right] = readAttrInts<DfgOpe_LEFT, DfgOpe_RIGHT>(g, node);
template <std::uint32_t... Ids>
TAVIK_ALWAYS_INLINE std::array<std::uint32_t, sizeof...(Ids)> readAttrInts(const CdfgGraph& g, const CdfgNode& node) {
    constexpr std::size_t N = sizeof...(Ids);
    static_assert(N > 0 && N < 32);
    static_assert(((Ids < kOddAttrId) && ...), "identifiers stored apart are found by findAttr");
    constexpr std::uint32_t ids[N] = {Ids...};
    constexpr unsigned kAll = (1u << N) - 1;
    // Identifiers below 64 (all of the vocabulary's) are told apart from the
    // other attributes of the run by one bit test.
    constexpr std::uint64_t wanted = ((Ids < 64 ? std::uint64_t{1} << (Ids & 63) : 0) | ...);
    constexpr bool anyLarge = ((Ids >= 64) || ...);
    std::array<std::uint32_t, N> values{};
    unsigned found = 0;
    const CdfgAttr* a = g.attrs.data() + node.attrBegin;
    const CdfgAttr* const end = a + node.attrCnt;
    for (; a != end && found != kAll; ++a) {
        const std::uint32_t id = a->id;
        if (id < 64 ? !((wanted >> id) & 1) : !anyLarge) continue;
        // The first attribute of an identifier counts, as for getAttrInt.
        [&]<std::size_t... K>(std::index_sequence<K...>) {
            (void)((id == ids[K] && !(found & (1u << K)) &&
                    (found |= 1u << K,
                     values[K] = cdfg_detail::intOf(g, *a), true)) ||
                   ...);
        }(std::make_index_sequence<N>{});
    }
    return values;
}
