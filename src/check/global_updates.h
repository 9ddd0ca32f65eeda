// Global variables written both inside the object for analysis (the function
// tree) and outside it (message 515).
#pragma once

#include "cdfg/graph.h"

// 0 when nothing was reported, -1 otherwise.
int checkGlobalUpdates(CdfgGraph& g);
