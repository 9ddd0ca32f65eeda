#include "check/logical_float.h"

#include "cdfg/validate.h"
#include "report/messages.h"
#include "util/expr_type.h"
#include "util/run_settings.h"

namespace {

// A validated graph nests no deeper than kMaxNestingDepth and an operand tree
// visits each node once; the depth bound and the visit budget (the node
// count) keep an unvalidated graph from overflowing the stack or looping.
constexpr int kMaxDepth = static_cast<int>(kMaxNestingDepth);

struct Walk {
    std::size_t budget;
};

bool isFloating(std::int32_t valtype) {
    return valtype == DECL_VALTYPE_FLOAT || valtype == DECL_VALTYPE_DOUBLE ||
           valtype == DECL_VALTYPE_LONGDOUBLE;
}

int checkOperation(CdfgGraph& g, NodeId operation, int depth, Walk& walk) {
    if (depth > kMaxDepth || walk.budget == 0) return 0;
    --walk.budget;
    std::int32_t type = getAttrSigned(g, operation, DfgOpe_TYPE);
    NodeId left = getAttrInt(g, operation, DfgOpe_LEFT);
    NodeId right = getAttrInt(g, operation, DfgOpe_RIGHT);
    if (type == CALC_LogAnd || type == CALC_LogOr) {
        ExprType leftType;
        ExprType rightType;
        evalExprType(g, left, leftType);
        evalExprType(g, right, rightType);
        if (leftType.pointercnt == 0 && rightType.pointercnt == 0 &&
            (isFloating(leftType.valtype) || isFloating(rightType.valtype))) {
            printMessage(541, orEmpty(getFileName(g, operation)),
                         static_cast<int>(getLine(g, operation)));
            return -1;
        }
    }
    if (getKind(g, left) == DFG_OPERATION && checkOperation(g, left, depth + 1, walk) != 0) return -1;
    if (getKind(g, right) == DFG_OPERATION && checkOperation(g, right, depth + 1, walk) != 0) return -1;
    return 0;
}

}  // namespace

int checkLogicalFloat(CdfgGraph& g, NodeId operation) {
    if (!runSettings.ansicMode && !runSettings.algocMode) return 0;
    if (getKind(g, operation) != DFG_OPERATION) return 0;
    Walk walk{g.nodes.size() + 1};
    return checkOperation(g, operation, 0, walk);
}
