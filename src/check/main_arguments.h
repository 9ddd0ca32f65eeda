#pragma once

#include "cdfg/graph.h"

int checkMainArguments(CdfgGraph& g);
