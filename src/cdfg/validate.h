// Structural validation of a graph read from a file: the shapes the front end
// never writes and that would make a walk loop or nest without bound.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "cdfg/graph.h"

// Deepest nesting of owned subtrees accepted. Walks recurse once per level.
inline constexpr std::uint32_t kMaxNestingDepth = 10000;

// What validation shares with another thread that has nothing else to do
// meanwhile, which may take the search of the PrevId chains off its hands
// (helpValidation).
struct ValidationShare {
    // 1: the links are copied and open to a helper; 2: there is nothing to help with.
    std::atomic<std::uint8_t> links{0};
    // Who searches the PrevId chains: 1 the helper, 2 validation itself.
    std::atomic<std::uint8_t> search{0};
    // The helper's answer: 1 no loop, 2 a loop.
    std::atomic<std::uint8_t> found{0};
    const std::uint32_t* prev = nullptr;  // the PrevId link of each index, UINT32_MAX for none
    std::uint8_t* marks = nullptr;        // 0 for each live node, 3 for a deleted one
    std::uint32_t count = 0;
};

// 0 when the graph can be walked safely; otherwise -1 with a one-line reason:
// a NextId or PrevId chain that loops, a cycle through owned attributes
// (a node that owns itself, directly or through its chains), or nesting
// deeper than kMaxNestingDepth. With a share, another thread may help.
int validateGraph(const CdfgGraph& g, std::string& reason, ValidationShare* share = nullptr);
// From another thread while validateGraph runs with the share: waits until
// validation has copied the links, then searches the PrevId chains unless
// validation has begun to. Allocates nothing and cannot fail.
void helpValidation(ValidationShare& share);
// True when the attribute of a node of this kind owns the node it names
// (neither a cross reference nor a shared reference).
bool isOwningAttribute(std::uint32_t kind, std::uint32_t attr);
