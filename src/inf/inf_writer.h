#pragma once

#include "cdfg/graph.h"

int writeInf(CdfgGraph& g, const char* path);
