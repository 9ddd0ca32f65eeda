#include "check/function_pointers.h"

#include "cdfg/chain.h"
#include "check/call_walk.h"
#include "check/function_tree.h"
#include "report/messages.h"

int checkFunctionPointers(CdfgGraph& g) {
    int result = 0;
    for (NodeId file : chain(g, getAttrInt(g, findRoot(g), CfgRoot_ELEMENT))) {
        const char* fileName = getAttrString(g, file, CfgFileinfo_NAME);
        for (NodeId f : chain(g, getAttrInt(g, file, CfgFileinfo_ELEMENT))) {
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
