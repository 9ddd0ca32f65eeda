#pragma once

#include "cdfg/graph.h"

int checkOutsideCalls(CdfgGraph& g);
