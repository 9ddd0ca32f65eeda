#include "cdfg/validate.h"

#include <vector>

#include "cdfg/graph_ops.h"

namespace {

std::uint32_t indexOf(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = lookupNode(g, id);
    return node ? static_cast<std::uint32_t>(node - g.nodes.data()) : UINT32_MAX;
}

// A chain link (NextId or PrevId) that returns to a node already on its chain.
int findLinkLoop(const CdfgGraph& g, bool forward, std::string& reason) {
    const std::size_t count = g.nodes.size();
    // 0 unvisited, 1 on the chain being followed, 2 done.
    std::vector<std::uint8_t> state(count, 0);
    std::vector<std::uint32_t> path;
    for (std::size_t start = 0; start < count; ++start) {
        if (state[start] != 0 || g.nodes[start].id == 0) continue;
        path.clear();
        std::uint32_t i = static_cast<std::uint32_t>(start);
        while (i != UINT32_MAX && state[i] == 0) {
            state[i] = 1;
            path.push_back(i);
            const CdfgNode& n = g.nodes[i];
            i = indexOf(g, forward ? n.next : n.prev);
        }
        if (i != UINT32_MAX && state[i] == 1) {
            reason = "the " + std::string(forward ? "NextId" : "PrevId") +
                     " chain through node " + std::to_string(g.nodes[i].id) + " loops";
            return -1;
        }
        for (std::uint32_t p : path) state[p] = 2;
    }
    return 0;
}

}  // namespace

bool isOwningAttribute(std::uint32_t kind, std::uint32_t attr) {
    return !isCrossReference(kind, attr) && !isSharedReference(kind, attr);
}

int validateGraph(const CdfgGraph& g, std::string& reason) {
    if (findLinkLoop(g, true, reason) != 0 || findLinkLoop(g, false, reason) != 0) return -1;

    // Depth-first over NextId links and owning attributes, without recursion.
    // depth[i] is the deepest nesting below node i (owned levels; chains add none).
    const std::size_t count = g.nodes.size();
    std::vector<std::uint8_t> state(count, 0);
    std::vector<std::uint32_t> depth(count, 0);
    struct Frame {
        std::uint32_t node;
        std::uint32_t nextEdge;  // 0: NextId, 1..attrCnt: attributes
    };
    std::vector<Frame> stack;
    for (std::size_t start = 0; start < count; ++start) {
        if (state[start] != 0 || g.nodes[start].id == 0) continue;
        stack.push_back({static_cast<std::uint32_t>(start), 0});
        state[start] = 1;
        while (!stack.empty()) {
            Frame& top = stack.back();
            const CdfgNode& n = g.nodes[top.node];
            if (top.nextEdge > n.attrCnt) {
                std::uint32_t d = 0;
                if (std::uint32_t next = indexOf(g, n.next); next != UINT32_MAX) d = depth[next];
                for (std::uint32_t a = 0; a < n.attrCnt; ++a) {
                    const CdfgAttr& attr = g.attrs[n.attrBegin + a];
                    if (attr.valueKind != ATTR_NODE || !isOwningAttribute(n.kind, attr.id)) continue;
                    std::uint32_t child = indexOf(g, static_cast<NodeId>(attr.bits));
                    if (child != UINT32_MAX) d = std::max(d, depth[child] + 1);
                }
                depth[top.node] = d;
                state[top.node] = 2;
                if (d > kMaxNestingDepth) {
                    reason = "node " + std::to_string(n.id) + " nests more than " +
                             std::to_string(kMaxNestingDepth) + " levels deep";
                    return -1;
                }
                stack.pop_back();
                continue;
            }
            std::uint32_t edge = top.nextEdge++;
            std::uint32_t child = UINT32_MAX;
            if (edge == 0) {
                child = indexOf(g, n.next);
            } else {
                const CdfgAttr& attr = g.attrs[n.attrBegin + edge - 1];
                if (attr.valueKind == ATTR_NODE && isOwningAttribute(n.kind, attr.id))
                    child = indexOf(g, static_cast<NodeId>(attr.bits));
            }
            if (child == UINT32_MAX || state[child] == 2) continue;
            if (state[child] == 1) {
                reason = "node " + std::to_string(g.nodes[child].id) +
                         " is part of a cycle of owned nodes";
                return -1;
            }
            state[child] = 1;
            stack.push_back({child, 0});
        }
    }
    return 0;
}
