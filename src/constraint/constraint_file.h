#pragma once

#include "cdfg/graph.h"

int processConstraintFile(CdfgGraph& g, const char* path);
