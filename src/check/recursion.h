#pragma once

#include "cdfg/graph.h"

int checkRecursion(CdfgGraph& g);
