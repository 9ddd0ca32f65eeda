#include "check/call_walk.h"

#include "cdfg/chain.h"
namespace {

// The outermost level of a walk sizes its visits to the graph.
void openWalk(CallWalk& walk) {
    if (walk.depth == 0)
        walk.visitsLeft = kCallWalkVisitsPerNode * (walk.graph->nodes.size() + 1) + kCallWalkMinVisits;
}

// Counts one level of nesting for as long as it lives; tooDeep() is true
// once the walk is nested too deeply or has spent its visits.
class DepthGuard {
public:
    explicit DepthGuard(CallWalk& walk) : walk_(walk) {
        openWalk(walk_);
        ++walk_.depth;
    }
    ~DepthGuard() { --walk_.depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    bool tooDeep() const { return walk_.depth > kMaxCallWalkDepth || walk_.visitsLeft == 0; }

private:
    CallWalk& walk_;
};

// Counts one node visit; false once the walk has spent its visits.
bool visit(CallWalk& walk) {
    if (walk.visitsLeft == 0) return false;
    --walk.visitsLeft;
    return true;
}

void walkInitializer(CallWalk& walk, NodeId first) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    for (NodeId n : chain(g, first)) {
        if (!visit(walk)) break;
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
    openWalk(walk);
    const CdfgGraph& g = *walk.graph;
    for (NodeId a : chain(g, getAttrInt(g, call, DfgFuncCall_ARGLIST))) {
        if (!visit(walk)) break;
        walkExpression(walk, getAttrInt(g, a, DfgPortInfo_SIGNAL));
    }
}

void walkExpression(CallWalk& walk, NodeId first) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    for (NodeId x : chain(g, first)) {
        if (!visit(walk)) break;
        switch (getKind(g, x)) {
            case DFG_OPERATION:
                walkExpression(walk, getAttrInt(g, x, DfgOpe_LEFT));
                walkExpression(walk, getAttrInt(g, x, DfgOpe_RIGHT));
                walkExpression(walk, getAttrInt(g, x, DfgOpe_COND));
                break;
            case DFG_INPUT_VAR:
            case DFG_OUTPUT_VAR: {
                for (NodeId d : chain(g, getAttrInt(g, x, DfgPort_DIMNODE))) {
                    if (!visit(walk)) break;
                    if (getKind(g, d) == DFG_DIMENSION) walkExpression(walk, getAttrInt(g, d, DfgDim_NODE));
                }
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
    openWalk(walk);
    const CdfgGraph& g = *walk.graph;
    for (NodeId m : chain(g, first)) {
        if (!visit(walk)) break;
        walkExpression(walk, getAttrInt(g, m, DfgOpeman_OPE));
    }
}

void walkDeclarations(CallWalk& walk, NodeId first) {
    openWalk(walk);
    const CdfgGraph& g = *walk.graph;
    for (NodeId d : chain(g, first)) {
        if (!visit(walk)) break;
        if (getKind(g, d) == CFG_DECLARE) walkInitializer(walk, getAttrInt(g, d, CfgDecl_INIT));
    }
}

void walkStatements(CallWalk& walk, NodeId first) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    for (NodeId s : chain(g, first)) {
        if (!visit(walk)) break;
        switch (getKind(g, s)) {
            case CFG_STATE_CASE:
            case CFG_STATE_CASEX:
            case CFG_STATE_CASEZ: {
                walkExpressionList(walk, getAttrInt(g, s, CfgStateCase_CONDOPE));
                for (NodeId item : chain(g, getAttrInt(g, s, CfgStateCase_STATOPE))) {
                    if (!visit(walk)) break;
                    if (getKind(g, item) == CFG_CASE_ITEM)
                        walkStatements(walk, getAttrInt(g, item, CfgCaseItem_CFG));
                }
                break;
            }
            case CFG_STATE_DATAPATH: walkExpressionList(walk, getAttrInt(g, s, CfgDatapath_OPELIST)); break;
            case CFG_STATE_IF: {
                walkExpressionList(walk, getAttrInt(g, s, CfgStateIf_CONDOPE));
                for (NodeId b : chain(g, getAttrInt(g, s, CfgStateIf_STATOPE))) {
                    if (!visit(walk)) break;
                    std::uint32_t kind = getKind(g, b);
                    if (kind == CFG_IF_THEN)
                        walkStatements(walk, getAttrInt(g, b, CfgIfThen_CFG));
                    else if (kind == CFG_IF_ELSE)
                        walkStatements(walk, getAttrInt(g, b, CfgIfElse_CFG));
                }
                break;
            }
            case CFG_LOOP_BEGIN: {
                for (NodeId p : chain(g, getAttrInt(g, s, CfgLoopBegin_CFG))) {
                    if (!visit(walk)) break;
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
