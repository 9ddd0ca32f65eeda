// The C type of an expression of the graph: value type, sign, pointer depth.
#pragma once

#include <cstdint>

#include "cdfg/graph.h"

struct ExprType {
    std::int32_t valtype = DECL_VALTYPE_INT;
    std::int32_t sign = DECL_SIGNED;
    std::int32_t pointercnt = 0;
};

// Fills type for the expression node and returns its valtype. Reads the graph
// only and never fails: unknown kinds, no node and missing attributes give
// the defaults (INT, signed, depth 0).
std::int32_t evalExprType(const CdfgGraph& g, NodeId node, ExprType& type);

// FLOAT, DOUBLE or LONGDOUBLE.
bool isFloatingType(std::int32_t valtype);
