// The bounded walk along a NextId chain: `for (NodeId n : chain(g, first))`
// visits first and the nodes after it. A chain never holds more nodes than
// the graph, so the walk stops after that many steps: one that loops back
// on itself (a damaged graph) ends there instead of running for ever.
#pragma once

#include <cstddef>

#include "cdfg/graph.h"

class Chain {
public:
    class Iterator {
    public:
        Iterator(const CdfgGraph* g, NodeId node, std::size_t stepsLeft) : g_(g), node_(node), stepsLeft_(stepsLeft) {}
        NodeId operator*() const { return node_; }
        Iterator& operator++() {
            node_ = getNextId(*g_, node_);
            --stepsLeft_;
            return *this;
        }
        // Only the end is compared with: the walk goes on while there is a
        // node and a step left.
        bool operator!=(const Iterator&) const { return node_ != 0 && stepsLeft_ > 0; }

    private:
        const CdfgGraph* g_;
        NodeId node_;
        std::size_t stepsLeft_;
    };

    Chain(const CdfgGraph& g, NodeId first, std::size_t limit) : g_(&g), first_(first), limit_(limit) {}
    Iterator begin() const { return Iterator(g_, first_, limit_); }
    Iterator end() const { return Iterator(g_, 0, 0); }

private:
    const CdfgGraph* g_;
    NodeId first_;
    std::size_t limit_;
};

// Most nodes one chain can hold.
inline std::size_t chainLimit(const CdfgGraph& g) { return g.nodes.size() + 1; }

// The chain from first, at most limit nodes (chainLimit by default).
inline Chain chain(const CdfgGraph& g, NodeId first) { return Chain(g, first, chainLimit(g)); }
inline Chain chain(const CdfgGraph& g, NodeId first, std::size_t limit) { return Chain(g, first, limit); }
