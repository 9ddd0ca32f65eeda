// Merge of the stored constraint-file directives into the graph: each record
// that names a declaration, or a function that is called, becomes a directive
// node where a directive comment of the source would have been attached.
#pragma once

#include "cdfg/graph.h"

// Attaches the stored records to their declarations and calls and marks them
// applied. The created nodes carry path and the record's line as position.
// Returns 0.
int applyConstraintDirectives(CdfgGraph& g, const char* path);

// Warning 603 for every record of the module to inout lists that found no
// target.
void reportUnappliedDirectives(const char* path);
