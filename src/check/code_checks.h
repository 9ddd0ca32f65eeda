#pragma once

#include "cdfg/graph.h"

int runCodeChecks(CdfgGraph& g);
