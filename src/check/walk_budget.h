// Bounds on the recursive walks of the code and global checks. A graph that
// passed validation never meets them; one of unexpected shape (a subtree
// shared by several owners, a link stored with another value kind) makes the
// walk stop early instead of nesting or running without end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cdfg/graph.h"
#include "cdfg/validate.h"

struct WalkBudget {
    std::size_t chainSteps = 0;  // most nodes one chain can hold
    std::size_t visitsLeft = 0;  // node visits left for the whole walk
    std::uint32_t depth = 0;     // open levels
};

// Levels a walk may nest: validation's limit on owned nesting plus room for
// the statement levels that do not own anything.
inline constexpr std::uint32_t kMaxWalkDepth = kMaxNestingDepth + 64;
// Visits per node allowed to one walk; each pass visits a node a few times.
inline constexpr std::size_t kVisitsPerNode = 16;

// One level of a walk. The outermost level sizes the budget to the graph.
class WalkLevel {
public:
    WalkLevel(WalkBudget& budget, const CdfgGraph& g) : budget_(budget) {
        if (budget_.depth == 0) {
            budget_.chainSteps = g.nodes.size() + 1;
            budget_.visitsLeft = kVisitsPerNode * (g.nodes.size() + 1);
        }
        ++budget_.depth;
    }
    ~WalkLevel() { --budget_.depth; }
    WalkLevel(const WalkLevel&) = delete;
    WalkLevel& operator=(const WalkLevel&) = delete;

    // False when this level is too deep to be walked.
    bool open() const { return budget_.depth <= kMaxWalkDepth && budget_.visitsLeft > 0; }
    // Counts one visit; false when the walk has used up its budget.
    bool visit() {
        if (budget_.visitsLeft == 0) return false;
        --budget_.visitsLeft;
        return true;
    }
    std::size_t chainSteps() const { return budget_.chainSteps; }

private:
    WalkBudget& budget_;
};
