#include "check/function_pointers.h"

#include "check/call_walk.h"
#include "check/function_tree.h"
#include "report/messages.h"

int checkFunctionPointers(CdfgGraph& g) {
    int result = 0;
    std::size_t limit = chainStepLimit(g);
    std::size_t fileSteps = 0;
    for (NodeId file = getAttrInt(g, findRoot(g), CfgRoot_ELEMENT); file != 0 && fileSteps < limit;
         file = getNextId(g, file), ++fileSteps) {
        const char* fileName = getAttrString(g, file, CfgFileinfo_NAME);
        std::size_t steps = 0;
        for (NodeId f = getAttrInt(g, file, CfgFileinfo_ELEMENT); f != 0 && steps < limit;
             f = getNextId(g, f), ++steps) {
            if (getKind(g, f) != CFG_FUNCTION) continue;
            const char* name = getAttrString(g, f, CfgFunc_NAME);
            if (!name || !fileName || !isInFunctionTree(f, name, fileName)) continue;
            if (getAttrInt(g, f, CfgFunc_POINTERCNT) == 0) continue;
            printMessage(505, orEmpty(getFileName(g, f)), static_cast<int>(getLine(g, f)), name);
            result = -1;
        }
    }
    return result;
}
