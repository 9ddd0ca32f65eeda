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
    // is walked, so a graph whose attributes loop back cannot exhaust the stack.
    std::size_t depth = 0;
};

inline constexpr std::size_t kMaxCallWalkDepth = 4000;

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

// Upper bound of steps along one chain: a chain never holds more nodes than
// the graph, so a walk that takes more steps has met a NextId loop.
inline std::size_t chainStepLimit(const CdfgGraph& g) { return g.nodes.size() + 1; }
