#pragma once

#include "cdfg/graph.h"

int buildFunctionTree(CdfgGraph& g);
void releaseModuleList();
