#pragma once

#include "cdfg/graph.h"

int checkPrototypes(CdfgGraph& g);
