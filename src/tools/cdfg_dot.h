// A Graphviz picture of a CDFG file: NextId chains, owned subtrees labelled
// with their attribute, cross references, calls and other jumps each drawn in
// their own style.
#pragma once

#include <string>

#include "tools/cdfg_records.h"

// The whole file, or with function set only the CFG_FUNCTION nodes of that
// name with what they own (nodes they merely refer to appear as dashed
// stubs). False with error filled when no function has that name.
bool writeDot(const RecordFile& file, const std::string* function, std::string& out,
              std::string& error);
