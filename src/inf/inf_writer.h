#pragma once

#include <memory>

#include "cdfg/graph.h"

int writeInf(CdfgGraph& g, const char* path);

// The same in two steps, so that the walks can run while other passes do:
// prepareInf walks the graph (reading it only) and formats the file in
// memory, printing nothing; writePreparedInf then reports and writes as
// writeInf does.
struct PreparedInf;
struct PreparedInfEnd {
    void operator()(PreparedInf* inf) const;
};
using PreparedInfPtr = std::unique_ptr<PreparedInf, PreparedInfEnd>;
PreparedInfPtr prepareInf(CdfgGraph& g);
int writePreparedInf(PreparedInf& inf, const char* path);
