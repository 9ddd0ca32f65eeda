// The `&&`/`||` check on floating operands (message 541), shared by the code
// walk and the array size check of declarations.
#pragma once

#include "cdfg/graph.h"

// Only with -ansic or -algoc. Reports an `&&` or `||` operation whose left or
// right operand is a floating value (no pointer), else descends into operand
// operations. 0 when nothing was reported.
int checkLogicalFloat(CdfgGraph& g, NodeId operation);
