#include "check/call_walk.h"

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"

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
        if (++walk_.depth > walk_.deepest) walk_.deepest = walk_.depth;
    }
    ~DepthGuard() { --walk_.depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    bool tooDeep() {
        if (walk_.depth <= kMaxCallWalkDepth && walk_.visitsLeft != 0) return false;
        ++walk_.cutShort;
        return true;
    }

private:
    CallWalk& walk_;
};

// Counts one node visit; false once the walk has spent its visits.
bool visit(CallWalk& walk) {
    if (walk.visitsLeft == 0) {
        ++walk.cutShort;
        return false;
    }
    --walk.visitsLeft;
    ++walk.visitsMade;
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
    // The chain by hand, so that a node is looked up once per step. A handler
    // may add nodes (a clone), which moves the node list: after anything
    // that can reach one, the next link is read anew.
    std::size_t stepsLeft = chainLimit(g);
    for (NodeId x = first; x != 0 && stepsLeft > 0; --stepsLeft) {
        if (!visit(walk)) break;
        const CdfgNode* node = lookupNode(g, x);
        if (!node) break;
        switch (node->kind) {
            case DFG_OPERATION: {
                const auto [left, right, condition] = readAttrInts<DfgOpe_LEFT, DfgOpe_RIGHT, DfgOpe_COND>(g, *node);
                walkExpression(walk, left);
                walkExpression(walk, right);
                walkExpression(walk, condition);
                break;
            }
            case DFG_INPUT_VAR:
            case DFG_OUTPUT_VAR: {
                NodeId dims = attrInt(g, *node, DfgPort_DIMNODE);
                if (!dims) {
                    x = node->next;
                    continue;
                }
                for (NodeId d : chain(g, dims)) {
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
            default:
                x = node->next;
                continue;
        }
        x = getNextId(g, x);
    }
}

void walkExpressionList(CallWalk& walk, NodeId first) {
    openWalk(walk);
    const CdfgGraph& g = *walk.graph;
    std::size_t stepsLeft = chainLimit(g);
    for (NodeId m = first; m != 0 && stepsLeft > 0; --stepsLeft) {
        if (!visit(walk)) break;
        const CdfgNode* node = lookupNode(g, m);
        if (!node) break;
        walkExpression(walk, attrInt(g, *node, DfgOpeman_OPE));
        m = getNextId(g, m);
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
    // As walkExpression: one lookup per statement; the links a statement
    // needs are read before anything below it can move the node list.
    std::size_t stepsLeft = chainLimit(g);
    for (NodeId s = first; s != 0 && stepsLeft > 0; --stepsLeft) {
        if (!visit(walk)) break;
        const CdfgNode* node = lookupNode(g, s);
        if (!node) break;
        switch (node->kind) {
            case CFG_STATE_CASE:
            case CFG_STATE_CASEX:
            case CFG_STATE_CASEZ: {
                const auto [conditions, branches] = readAttrInts<CfgStateCase_CONDOPE, CfgStateCase_STATOPE>(g, *node);
                walkExpressionList(walk, conditions);
                for (NodeId item : chain(g, branches)) {
                    if (!visit(walk)) break;
                    if (getKind(g, item) == CFG_CASE_ITEM)
                        walkStatements(walk, getAttrInt(g, item, CfgCaseItem_CFG));
                }
                break;
            }
            case CFG_STATE_DATAPATH: walkExpressionList(walk, attrInt(g, *node, CfgDatapath_OPELIST)); break;
            case CFG_STATE_IF: {
                const auto [conditions, branches] = readAttrInts<CfgStateIf_CONDOPE, CfgStateIf_STATOPE>(g, *node);
                walkExpressionList(walk, conditions);
                for (NodeId b : chain(g, branches)) {
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
                for (NodeId p : chain(g, attrInt(g, *node, CfgLoopBegin_CFG))) {
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
            case CFG_RETURN: walkExpressionList(walk, attrInt(g, *node, CfgReturn_EXP)); break;
            case CFG_DECLARE_DEF: walkDeclarations(walk, attrInt(g, *node, CfgDeclDef_DECL)); break;
            default:
                s = node->next;
                continue;
        }
        s = getNextId(g, s);
    }
}

void walkFunctionBody(CallWalk& walk, NodeId function) {
    DepthGuard guard(walk);
    if (guard.tooDeep()) return;
    const CdfgGraph& g = *walk.graph;
    const bool outer = walk.inDeclarations;
    walk.inDeclarations = false;
    walkStatements(walk, getAttrInt(g, function, CfgFunc_STARTCFG));
    walk.inDeclarations = true;
    walkDeclarations(walk, getAttrInt(g, function, CfgFunc_DECLARE));
    walk.inDeclarations = outer;
}
