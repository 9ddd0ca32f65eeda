// Writer of the binary CDFG file format.
#pragma once

#include <string>

#include "cdfg/graph.h"

// Writes every live node in node-list order. 0 on success, -1 when there is
// no graph or the file cannot be written.
int writeCdfg(const CdfgGraph* g, const char* path);
// The same bytes, appended to out.
void writeCdfgBytes(const CdfgGraph& g, std::string& out);
