#include "check/main_arguments.h"

#include "check/call_walk.h"
#include "check/function_tree.h"
#include "report/messages.h"

namespace {

bool acceptedParameters(const CdfgGraph& g, NodeId first) {
    NodeId second = getNextId(g, first);
    if (!first || !second || getNextId(g, second)) return false;
    if (getAttrSigned(g, first, CfgDecl_VALTYPE) != DECL_VALTYPE_INT ||
        getAttrSigned(g, first, CfgDecl_POINTERCNT) != 0 || getAttrSigned(g, first, CfgDecl_DIMCNT) != 0)
        return false;
    // char **argv and char *argv[] are both accepted.
    std::int64_t depth = static_cast<std::int64_t>(getAttrSigned(g, second, CfgDecl_POINTERCNT)) +
                         getAttrSigned(g, second, CfgDecl_DIMCNT);
    return getAttrSigned(g, second, CfgDecl_VALTYPE) == DECL_VALTYPE_CHAR && depth == 2;
}

}  // namespace

int checkMainArguments(CdfgGraph& g) {
    if (!mainFunction) return 0;
    if (acceptedParameters(g, getAttrInt(g, mainFunction, CfgFunc_ARGLIST))) return 0;
    printMessage(504);
    return -1;
}
