// The `&&` / `||` check on floating operands (message 541), used by the code
// checks and, inside array size expressions, by the declaration checks.
#pragma once

#include "cdfg/graph.h"

// Only with -algoc or -ansic. 0 when nothing was reported.
int checkLogicalFloat(CdfgGraph& g, NodeId operation);
