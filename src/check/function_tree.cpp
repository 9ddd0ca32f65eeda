#include "check/function_tree.h"

// Not built yet: each entry point reports nothing.
int buildFunctionTree(CdfgGraph& /*g*/) {
    return 0;
}

void releaseModuleList() {}

