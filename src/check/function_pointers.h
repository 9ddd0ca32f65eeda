#pragma once

#include "cdfg/graph.h"

int checkFunctionPointers(CdfgGraph& g);
