#pragma once

#include "cdfg/graph.h"

int checkGlobalUpdates(CdfgGraph& g);
