// A Graphviz picture of a CDFG file: NextId chains, owned subtrees labelled
// with their attribute, cross references, calls and other jumps each drawn in
// their own style.
#pragma once

#include <string>

#include "tools/cdfg_records.h"

struct DotOptions {
    // Only the CFG_FUNCTION nodes of this name with what they own; nodes
    // they jump to or refer to appear as dashed stubs.
    const std::string* function = nullptr;
    // Draw the attributes that refer to a node without owning it (a
    // variable's declaration, a structure's original...); they are many and
    // hide the tree, so they are left out unless asked for.
    bool references = false;
};

// False with error filled when no function has the name asked for.
bool writeDot(const RecordFile& file, const DotOptions& options, std::string& out,
              std::string& error);
