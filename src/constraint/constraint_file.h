// Entry of the constraint file (-ctf): read it, merge its directives into the
// graph, warn about directives without a target, release what was stored.
#pragma once

#include "cdfg/graph.h"

// 0 when the file was read (whatever the merge found); -1 when reading
// failed, which is reported with message 452 and merges nothing.
int processConstraintFile(CdfgGraph& g, const char* path);
