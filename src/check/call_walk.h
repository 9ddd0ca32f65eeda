// The statement and expression walk shared by the function tree pass and the
// recursion check. It visits the statements, declaration initializers and
// expressions in which a call is followed, and hands every call to a handler.
#pragma once

#include <cstddef>
#include <functional>

#include "cdfg/graph.h"

struct CallWalk {
    CdfgGraph* graph = nullptr;
    // Called for every DFG_FUNC_CALL reached.
    std::function<void(CallWalk& walk, NodeId call)> onCall;
    // false: the handler runs before the call's arguments are walked;
    // true: after them.
    bool argumentsFirst = false;
    // Nesting of the walk (statements, expressions and the handler's own
    // descent into called functions); past kMaxCallWalkDepth nothing deeper
    // is walked, so the walk cannot exhaust the stack.
    std::size_t depth = 0;
    // Node visits left; the outermost level sets it from the graph's size.
    // Once spent the walk ends, so that subtrees shared by several owners or
    // a call graph with a vast number of paths cannot hold it for ages.
    std::size_t visitsLeft = 0;
    // Node visits made, and levels or nodes left unwalked because of the two
    // bounds above, since the walk was made.
    std::size_t visitsMade = 0;
    std::size_t cutShort = 0;
    // The deepest nesting the walk has reached, and whether walkFunctionBody
    // is in a function's declarations (after its statements).
    std::size_t deepest = 0;
    bool inDeclarations = false;
};

// Levels of one walk. Validation bounds the nesting inside a function, not
// the length of a call chain (function calling function), which only the
// size of the graph bounds. A call takes three levels or more (the function,
// its statements, the expression holding the call), so chains of more than
// 160,000 functions are followed fully. One level takes about 160 bytes of
// stack in an optimised build and 650 under AddressSanitizer, so the deepest
// walk needs at most a third of the stack the program runs on
// (kLargeStackBytes); see docs/robustness.md.
inline constexpr std::size_t kMaxCallWalkDepth = 500000;
// Visits per node of the graph allowed to one walk, and visits every walk
// may make however small the graph. A walk of a well-formed graph visits
// each node once, except the recursion check, which follows every call path
// that leads to a recursion.
inline constexpr std::size_t kCallWalkVisitsPerNode = 16;
inline constexpr std::size_t kCallWalkMinVisits = 16384;

// A statement chain (CfgFunc_STARTCFG and nested bodies) in NextId order.
void walkStatements(CallWalk& walk, NodeId first);
// A declaration chain: the initializer of each CFG_DECLARE.
void walkDeclarations(CallWalk& walk, NodeId first);
// A chain of DFG_MANAGE_OPERATION nodes: the expression each one names.
void walkExpressionList(CallWalk& walk, NodeId first);
// An expression chain in NextId order.
void walkExpression(CallWalk& walk, NodeId first);
// The expressions of a call's arguments.
void walkCallArguments(CallWalk& walk, NodeId call);
// A function's statements (CfgFunc_STARTCFG), then its declarations
// (CfgFunc_DECLARE).
void walkFunctionBody(CallWalk& walk, NodeId function);
