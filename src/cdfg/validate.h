// Structural validation of a graph read from a file: the shapes the front end
// never writes and that would make a walk loop or nest without bound.
#pragma once

#include <cstdint>
#include <string>

#include "cdfg/graph.h"

// Deepest nesting of owned subtrees accepted. Walks recurse once per level.
inline constexpr std::uint32_t kMaxNestingDepth = 10000;

// 0 when the graph can be walked safely; otherwise -1 with a one-line reason:
// a NextId or PrevId chain that loops, a cycle through owned attributes
// (a node that owns itself, directly or through its chains), or nesting
// deeper than kMaxNestingDepth.
int validateGraph(const CdfgGraph& g, std::string& reason);
// True when the attribute of a node of this kind owns the node it names
// (neither a cross reference nor a shared reference).
bool isOwningAttribute(std::uint32_t kind, std::uint32_t attr);
