#include "check/call_walk.h"

namespace {

// Counts one level of nesting for as long as it lives; deeper() is false once
// the walk is nested too deeply to go on.
class DepthGuard {
public:
    explicit DepthGuard(CallWalk& walk) : walk_(walk) { ++walk_.depth; }
    ~DepthGuard() { --walk_.depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    bool tooDeep() const { return walk_.depth > kMaxCallWalkDepth; }

private:
    CallWalk& walk_;
};

void walkInitializer(CallWalk& walk, NodeId first) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    std::size_t limit = chainStepLimit(g);
    std::size_t steps = 0;
    for (NodeId n = first; n != 0 && steps < limit; n = getNextId(g, n), ++steps) {
        switch (getKind(g, n)) {
            case CFG_MEMBER_LIST: walkInitializer(walk, getAttrInt(g, n, CfgMemberList_MEMBER)); break;
            case CFG_MEMBER: {
                NodeId signal = getAttrInt(g, n, CfgMember_SIGNAL);
                if (signal) walkExpression(walk, signal);
                break;
            }
            default:
                // A scalar initializer is an expression of its own.
                walkExpression(walk, n);
                return;
        }
    }
}

}  // namespace

void walkCallArguments(CallWalk& walk, NodeId call) {
    const CdfgGraph& g = *walk.graph;
    std::size_t limit = chainStepLimit(g);
    std::size_t steps = 0;
    for (NodeId a = getAttrInt(g, call, DfgFuncCall_ARGLIST); a != 0 && steps < limit;
         a = getNextId(g, a), ++steps)
        walkExpression(walk, getAttrInt(g, a, DfgPortInfo_SIGNAL));
}

void walkExpression(CallWalk& walk, NodeId first) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    std::size_t limit = chainStepLimit(g);
    std::size_t steps = 0;
    for (NodeId x = first; x != 0 && steps < limit; x = getNextId(g, x), ++steps) {
        switch (getKind(g, x)) {
            case DFG_OPERATION:
                walkExpression(walk, getAttrInt(g, x, DfgOpe_LEFT));
                walkExpression(walk, getAttrInt(g, x, DfgOpe_RIGHT));
                walkExpression(walk, getAttrInt(g, x, DfgOpe_COND));
                break;
            case DFG_INPUT_VAR:
            case DFG_OUTPUT_VAR: {
                std::size_t dimSteps = 0;
                for (NodeId d = getAttrInt(g, x, DfgPort_DIMNODE); d != 0 && dimSteps < limit;
                     d = getNextId(g, d), ++dimSteps)
                    if (getKind(g, d) == DFG_DIMENSION) walkExpression(walk, getAttrInt(g, d, DfgDim_NODE));
                break;
            }
            case DFG_FUNC_CALL:
                if (walk.argumentsFirst) {
                    walkCallArguments(walk, x);
                    if (walk.onCall) walk.onCall(walk, x);
                } else {
                    if (walk.onCall) walk.onCall(walk, x);
                    walkCallArguments(walk, x);
                }
                break;
            default: break;
        }
    }
}

void walkExpressionList(CallWalk& walk, NodeId first) {
    const CdfgGraph& g = *walk.graph;
    std::size_t limit = chainStepLimit(g);
    std::size_t steps = 0;
    for (NodeId m = first; m != 0 && steps < limit; m = getNextId(g, m), ++steps)
        walkExpression(walk, getAttrInt(g, m, DfgOpeman_OPE));
}

void walkDeclarations(CallWalk& walk, NodeId first) {
    const CdfgGraph& g = *walk.graph;
    std::size_t limit = chainStepLimit(g);
    std::size_t steps = 0;
    for (NodeId d = first; d != 0 && steps < limit; d = getNextId(g, d), ++steps)
        if (getKind(g, d) == CFG_DECLARE) walkInitializer(walk, getAttrInt(g, d, CfgDecl_INIT));
}

void walkStatements(CallWalk& walk, NodeId first) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    std::size_t limit = chainStepLimit(g);
    std::size_t steps = 0;
    for (NodeId s = first; s != 0 && steps < limit; s = getNextId(g, s), ++steps) {
        switch (getKind(g, s)) {
            case CFG_STATE_CASE:
            case CFG_STATE_CASEX:
            case CFG_STATE_CASEZ: {
                walkExpressionList(walk, getAttrInt(g, s, CfgStateCase_CONDOPE));
                std::size_t itemSteps = 0;
                for (NodeId item = getAttrInt(g, s, CfgStateCase_STATOPE); item != 0 && itemSteps < limit;
                     item = getNextId(g, item), ++itemSteps)
                    if (getKind(g, item) == CFG_CASE_ITEM)
                        walkStatements(walk, getAttrInt(g, item, CfgCaseItem_CFG));
                break;
            }
            case CFG_STATE_DATAPATH: walkExpressionList(walk, getAttrInt(g, s, CfgDatapath_OPELIST)); break;
            case CFG_STATE_IF: {
                walkExpressionList(walk, getAttrInt(g, s, CfgStateIf_CONDOPE));
                std::size_t branchSteps = 0;
                for (NodeId b = getAttrInt(g, s, CfgStateIf_STATOPE); b != 0 && branchSteps < limit;
                     b = getNextId(g, b), ++branchSteps) {
                    std::uint32_t kind = getKind(g, b);
                    if (kind == CFG_IF_THEN)
                        walkStatements(walk, getAttrInt(g, b, CfgIfThen_CFG));
                    else if (kind == CFG_IF_ELSE)
                        walkStatements(walk, getAttrInt(g, b, CfgIfElse_CFG));
                }
                break;
            }
            case CFG_LOOP_BEGIN: {
                std::size_t partSteps = 0;
                for (NodeId p = getAttrInt(g, s, CfgLoopBegin_CFG); p != 0 && partSteps < limit;
                     p = getNextId(g, p), ++partSteps) {
                    switch (getKind(g, p)) {
                        case CFG_LOOP_INIT: walkExpressionList(walk, getAttrInt(g, p, CfgLoopInit_OPELIST)); break;
                        case CFG_LOOP_COND: walkExpressionList(walk, getAttrInt(g, p, CfgLoopCond_CONDOPE)); break;
                        case CFG_LOOP_STEP: walkExpressionList(walk, getAttrInt(g, p, CfgLoopStep_OPELIST)); break;
                        case CFG_LOOP_STAT: walkStatements(walk, getAttrInt(g, p, CfgLoopStat_CFG)); break;
                        default: break;
                    }
                }
                break;
            }
            case CFG_RETURN: walkExpressionList(walk, getAttrInt(g, s, CfgReturn_EXP)); break;
            case CFG_DECLARE_DEF: walkDeclarations(walk, getAttrInt(g, s, CfgDeclDef_DECL)); break;
            default: break;
        }
    }
}

void walkFunctionBody(CallWalk& walk, NodeId function) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    walkStatements(walk, getAttrInt(g, function, CfgFunc_STARTCFG));
    walkDeclarations(walk, getAttrInt(g, function, CfgFunc_DECLARE));
}
