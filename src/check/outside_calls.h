// Functions called both from the object for analysis (the function tree) and
// from the rest of the program (message 516).
#pragma once

#include "cdfg/graph.h"

// 0 when nothing was reported, -1 otherwise.
int checkOutsideCalls(CdfgGraph& g);
