#include "cdfg/validate.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cdfg/graph_ops.h"

namespace {

std::uint32_t indexOf(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = lookupNode(g, id);
    return node ? static_cast<std::uint32_t>(node - g.nodes.data()) : UINT32_MAX;
}

// Follows every chain of links once, from each index not met yet (state 0;
// entries of another state are left out), marking its path 1 and then 2.
// The index at which a chain comes back onto its own path, or count when none
// does. step(i): the index the link of i leads to, count or more for none.
// Allocates nothing: the path is walked again to mark it done.
template <typename State, typename Step>
std::size_t chainLoopAt(State& state, std::size_t count, Step step) {
    for (std::size_t start = 0; start < count; ++start) {
        if (state[start] != 0) continue;
        std::size_t i = start;
        while (i < count && state[i] == 0) {
            state[i] = 1;
            i = step(i);
        }
        if (i < count && state[i] == 1) return i;
        for (i = start; i < count && state[i] == 1; i = step(i)) state[i] = 2;
    }
    return count;
}

// A chain link (NextId or PrevId) that returns to a node already on its chain.
int findLinkLoop(const CdfgGraph& g, bool forward, std::string& reason) {
    const std::size_t count = g.nodes.size();
    // Deleted nodes are no chain's.
    std::vector<std::uint8_t> state(count, 0);
    for (std::size_t i = 0; i < count; ++i)
        if (g.nodes[i].id == 0) state[i] = 3;
    const std::size_t at = chainLoopAt(state, count, [&](std::size_t i) -> std::size_t {
        const CdfgNode& n = g.nodes[i];
        const std::uint32_t t = indexOf(g, forward ? n.next : n.prev);
        return t == UINT32_MAX ? count : t;
    });
    if (at == count) return 0;
    reason = "the " + std::string(forward ? "NextId" : "PrevId") + " chain through node " +
             std::to_string(g.nodes[at].id) + " loops";
    return -1;
}

// Which attributes own their node: neither cross nor shared references.
bool owningRule(std::uint32_t kind, std::uint32_t attr) {
    return !isCrossReference(kind, attr) && !isSharedReference(kind, attr);
}

using OwningTable = KindAttrTable<owningRule>;

const OwningTable& owningTable() { return OwningTable::get(); }

// The node an owning attribute of a node of the kind names; 0 for any other.
NodeId ownedLink(const CdfgGraph& g, const OwningTable& owning, std::uint32_t kind, const CdfgAttr& a) {
    if (a.code == ATTR_NODE) return owning(kind, a.id) ? a.value : 0;
    if (a.code != kAttrOdd) return 0;
    const AttrValue& v = g.oddAttrs[a.value];
    return v.valueKind == ATTR_NODE && owning(kind, v.id) ? static_cast<NodeId>(v.bits) : 0;
}

// One depth-first walk over NextId links and owning attributes, with the
// deepest nesting below each node carried up as the walk returns. false at
// the first cycle (of NextId links too) or nesting too deep, named in reason.
bool ownershipIsSound(const CdfgGraph& g, std::string& reason) {
    const OwningTable& owning = owningTable();
    const std::size_t count = g.nodes.size();
    // 0 unvisited, 1 open, 2 done; depth[i] is the deepest nesting below node
    // i (owned levels; chains add none).
    std::vector<std::uint8_t> state(count, 0);
    std::vector<std::uint32_t> depth(count, 0);
    struct Frame {
        std::uint32_t node;
        std::uint32_t nextEdge;  // 0: NextId, 1..attrCnt: attributes
        std::uint32_t owned;     // 1 when reached through an attribute
    };
    std::vector<Frame> stack;
    for (std::size_t start = 0; start < count; ++start) {
        if (state[start] != 0 || g.nodes[start].id == 0) continue;
        stack.push_back({static_cast<std::uint32_t>(start), 0, 0});
        state[start] = 1;
        while (!stack.empty()) {
            Frame& top = stack.back();
            const CdfgNode& n = g.nodes[top.node];
            if (top.nextEdge > n.attrCnt) {
                const std::uint32_t d = depth[top.node];
                if (d > kMaxNestingDepth) {
                    reason = "node " + std::to_string(n.id) + " nests more than " +
                             std::to_string(kMaxNestingDepth) + " levels deep";
                    return false;
                }
                state[top.node] = 2;
                const std::uint32_t owned = top.owned;
                stack.pop_back();
                if (!stack.empty()) {
                    std::uint32_t& parent = depth[stack.back().node];
                    parent = std::max(parent, d + owned);
                }
                continue;
            }
            const std::uint32_t edge = top.nextEdge++;
            std::uint32_t child = UINT32_MAX;
            if (edge == 0) {
                child = indexOf(g, n.next);
            } else {
                if (NodeId to = ownedLink(g, owning, n.kind, g.attrs[n.attrBegin + edge - 1])) child = indexOf(g, to);
            }
            if (child == UINT32_MAX) continue;
            const std::uint32_t owned = edge == 0 ? 0 : 1;
            if (state[child] == 1) {
                reason = "node " + std::to_string(g.nodes[child].id) + " is part of a cycle of owned nodes";
                return false;
            }
            if (state[child] == 2) {
                std::uint32_t& mine = depth[top.node];
                mine = std::max(mine, depth[child] + owned);
                continue;
            }
            state[child] = 1;
            stack.push_back({child, 0, owned});
        }
    }
    return true;
}

// The storage the node list has room for past its end, lent to the arrays
// below while nothing adds nodes: copies of functions later fill the same
// pages, which are then in memory already instead of fresh (a fresh page
// costs a fault and its zeroing). Blocks are handed out one after another;
// what does not fit takes whole huge pages of its own.
class SpareRoom {
public:
    explicit SpareRoom(const CdfgGraph& g)
        : next_(const_cast<char*>(reinterpret_cast<const char*>(g.nodes.data() + g.nodes.size()))),
          end_(const_cast<char*>(reinterpret_cast<const char*>(g.nodes.data() + g.nodes.capacity()))) {}
    void* take(std::size_t bytes) {
        const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(next_) + 63) & ~std::uintptr_t{63};
        if (at > reinterpret_cast<std::uintptr_t>(end_) || reinterpret_cast<std::uintptr_t>(end_) - at < bytes)
            return nullptr;
        next_ = reinterpret_cast<char*>(at + bytes);
        return reinterpret_cast<void*>(at);
    }
    bool holds(const void* p) const { return p >= begin_ && p < end_; }

private:
    char* next_;
    char* const end_;
    const void* const begin_ = next_;
};

template <typename T>
struct SpareAllocator {
    using value_type = T;
    SpareRoom* room;
    explicit SpareAllocator(SpareRoom& r) noexcept : room(&r) {}
    template <typename U>
    SpareAllocator(const SpareAllocator<U>& other) noexcept : room(other.room) {}
    T* allocate(std::size_t n) {
        if (n <= SIZE_MAX / sizeof(T))
            if (void* p = room->take(n * sizeof(T))) return static_cast<T*>(p);
        return HugePageAllocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (!room->holds(p)) HugePageAllocator<T>().deallocate(p, n);
    }
    template <typename U>
    bool operator==(const SpareAllocator<U>& other) const noexcept { return room == other.room; }
};

template <typename T>
using Array = std::vector<T, SpareAllocator<T>>;

// Whether no PrevId chain of the share's links loops.
bool searchPrevChains(const ValidationShare& share) {
    const std::uint32_t* prev = share.prev;
    return chainLoopAt(share.marks, share.count, [prev](std::size_t i) -> std::size_t { return prev[i]; }) ==
           share.count;
}

// The verdict of ownershipIsSound and of the PrevId loop search together,
// without naming the damage, on compact copies of the links that stay in the
// cache while the walk jumps around: the walk then never touches a node or
// attribute record, which is what made validation cost as much as reading.
bool soundOnCompactLinks(const CdfgGraph& g, ValidationShare& share) {
    // However this ends, a helper waiting for the links goes on.
    struct NoLinks {
        ValidationShare& share;
        ~NoLinks() {
            std::uint8_t none = 0;
            if (share.links.compare_exchange_strong(none, 2)) share.links.notify_all();
        }
    } noLinks{share};
    const OwningTable& owning = owningTable();
    const std::uint32_t count = static_cast<std::uint32_t>(g.nodes.size());
    constexpr std::uint32_t kNone = UINT32_MAX;
    constexpr std::uint32_t kOwned = 0x80000000u;
    if (count >= kOwned) return false;  // left to the walk that names the damage
    // List index of a link's target; kNone for no live node. In list order a
    // live node's id is its position, so whether the target lives is decided
    // later from the compact state array instead of its record.
    auto target = [&](NodeId id) -> std::uint32_t {
        if (!g.denseIds) return indexOf(g, id);
        const std::uint32_t i = id - 1u;
        return i < count ? i : kNone;
    };
    SpareRoom room(g);
    // 0 unvisited, 1 open, 2 done, 3 no live node.
    Array<std::uint8_t> state(count, 0, SpareAllocator<std::uint8_t>(room));
    // Each node's walk edges in walk order, NextId first; kOwned marks an
    // edge through an owning attribute.
    Array<std::uint32_t> first(std::size_t{count} + 1, SpareAllocator<std::uint32_t>(room));
    Array<std::uint32_t> edges{SpareAllocator<std::uint32_t>(room)};
    edges.reserve(count + count / 2);
    Array<std::uint32_t> prev(count, kNone, SpareAllocator<std::uint32_t>(room));
    // The PrevId search's own states, so that it can run beside the walk.
    Array<std::uint8_t> marks(count, 0, SpareAllocator<std::uint8_t>(room));
    for (std::uint32_t i = 0; i < count; ++i) {
        first[i] = static_cast<std::uint32_t>(edges.size());
        const CdfgNode& n = g.nodes[i];
        if (n.id == 0) {
            state[i] = 3;
            marks[i] = 3;
            continue;
        }
        if (std::uint32_t t = target(n.next); t != kNone) edges.push_back(t);
        const CdfgAttr* attr = g.attrs.data() + n.attrBegin;
        for (std::uint32_t a = 0; a < n.attrCnt; ++a)
            if (NodeId to = ownedLink(g, owning, n.kind, attr[a]))
                if (std::uint32_t t = target(to); t != kNone) edges.push_back(t | kOwned);
        prev[i] = target(n.prev);
    }
    first[count] = static_cast<std::uint32_t>(edges.size());

    // The PrevId chains are open to a helper now. However this ends, the
    // search is validation's from here unless a helper has begun it, and a
    // helper's search has ended before the links go.
    struct SearchEnds {
        ValidationShare& share;
        ~SearchEnds() {
            std::uint8_t open = 0;
            if (!share.search.compare_exchange_strong(open, 2) && open == 1) share.found.wait(0);
        }
    } searchEnds{share};
    share.prev = prev.data();
    share.marks = marks.data();
    share.count = count;
    share.links = 1;
    share.links.notify_all();

    // Depth below each node, in levels of owned edges: a node found deeper
    // than the limit ends the walk, so no depth exceeds it by more than one.
    static_assert(kMaxNestingDepth < UINT16_MAX);
    Array<std::uint16_t> depth(count, 0, SpareAllocator<std::uint16_t>(room));
    struct Frame {
        std::uint32_t node;
        std::uint32_t edge;   // next edge to follow, an index into edges
        std::uint32_t owned;  // 1 when reached through an owning attribute
    };
    Array<Frame> stack{SpareAllocator<Frame>(room)};
    for (std::uint32_t start = 0; start < count; ++start) {
        if (state[start] != 0) continue;
        state[start] = 1;
        stack.push_back({start, first[start], 0});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.edge == first[top.node + 1]) {
                const std::uint32_t d = depth[top.node];
                if (d > kMaxNestingDepth) return false;
                state[top.node] = 2;
                const std::uint32_t owned = top.owned;
                stack.pop_back();
                if (!stack.empty()) {
                    std::uint16_t& parent = depth[stack.back().node];
                    if (d + owned > parent) parent = static_cast<std::uint16_t>(d + owned);
                }
                continue;
            }
            const std::uint32_t edge = edges[top.edge++];
            const std::uint32_t child = edge & ~kOwned;
            const std::uint32_t owned = edge >> 31;
            const std::uint8_t childState = state[child];
            if (childState == 3) continue;
            if (childState == 1) return false;
            if (childState == 2) {
                std::uint16_t& mine = depth[top.node];
                if (depth[child] + owned > mine) mine = static_cast<std::uint16_t>(depth[child] + owned);
                continue;
            }
            if (first[child] == first[child + 1]) {
                // A leaf is done at once, at depth 0.
                state[child] = 2;
                std::uint16_t& mine = depth[top.node];
                if (owned > mine) mine = static_cast<std::uint16_t>(owned);
                continue;
            }
            state[child] = 1;
            stack.push_back({child, first[child], owned});
        }
    }
    // PrevId chains (kNone is past every index).
    std::uint8_t open = 0;
    if (share.search.compare_exchange_strong(open, 2)) return searchPrevChains(share);
    share.found.wait(0);
    return share.found == 1;
}

}  // namespace

bool isOwningAttribute(std::uint32_t kind, std::uint32_t attr) {
    return owningTable()(kind, attr);
}

void helpValidation(ValidationShare& share) {
    share.links.wait(0);
    std::uint8_t open = 0;
    if (share.links != 1 || !share.search.compare_exchange_strong(open, 1)) return;
    share.found = searchPrevChains(share) ? 1 : 2;
    share.found.notify_all();
}

int validateGraph(const CdfgGraph& g, std::string& reason, ValidationShare* share) {
    // A sound graph passes in one walk and one pass over the PrevId chains.
    // Damage is looked for again with the chain loops first, so that a NextId
    // loop is named as one rather than as a cycle of the walk.
    ValidationShare own;
    if (soundOnCompactLinks(g, share ? *share : own)) return 0;
    if (findLinkLoop(g, true, reason) != 0 || findLinkLoop(g, false, reason) != 0) return -1;
    return ownershipIsSound(g, reason) ? 0 : -1;
}
