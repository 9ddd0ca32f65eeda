#include "check/usage_walk.h"

#include <cstdint>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "check/function_tree.h"
#include "check/walk_budget.h"
#include "util/take_turns.h"

thread_local bool inAnalysis = false;
thread_local bool writeContext = false;

namespace {

// Each thread walking has its own.
thread_local WalkBudget budget;

bool isReference(std::uint32_t kind) {
    return (kind >= DFG_INPUT_PORT && kind <= DFG_INPUT_CONCAT) ||
           (kind >= DFG_OUTPUT_PORT && kind <= DFG_OUTPUT_CONCAT);
}

struct Walk {
    CdfgGraph& g;
    const UsageHandlers& handlers;
};

void walkExpression(Walk& w, NodeId first);
void walkStatements(Walk& w, NodeId first);

void walkIndices(Walk& w, NodeId firstDimension, WalkLevel& level) {
    for (NodeId dim : chain(w.g, firstDimension, level.chainSteps())) {
        if (!level.visit()) break;
        walkExpression(w, getAttrInt(w.g, dim, DfgDim_NODE));
    }
}

// A reference and the index expressions of it and of every member it reaches.
void walkReference(Walk& w, NodeId ref, bool written) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    if (w.handlers.onReference) {
        writeContext = written;
        w.handlers.onReference(w.g, ref, w.handlers.referenceContext ? w.handlers.referenceContext : w.handlers.context);
        writeContext = false;
    }
    std::size_t steps = 0;
    for (NodeId part = ref; part && steps < level.chainSteps() && level.visit(); ++steps) {
        const CdfgNode* node = lookupNode(w.g, part);
        if (!node) break;
        const auto [dimensions, member] = readAttrInts<DfgPort_DIMNODE, DfgPort_STRSON>(w.g, *node);
        walkIndices(w, dimensions, level);
        part = member;
    }
}

// The walk adds no node: a node record stays where it is while it runs.
void walkOperation(Walk& w, const CdfgNode& operation) {
    const auto [left, right, condition] = readAttrInts<DfgOpe_LEFT, DfgOpe_RIGHT, DfgOpe_COND>(w.g, operation);
    walkExpression(w, left);
    walkExpression(w, right);
    walkExpression(w, condition);
}

void walkCall(Walk& w, NodeId call) {
    {
        WalkLevel level(budget, w.g);
        if (!level.open()) return;
        for (NodeId arg : chain(w.g, getAttrInt(w.g, call, DfgFuncCall_ARGLIST), level.chainSteps())) {
            if (!level.visit()) break;
            walkExpression(w, getAttrInt(w.g, arg, DfgPortInfo_SIGNAL));
        }
    }
    if (w.handlers.onCall)
        w.handlers.onCall(w.g, call, w.handlers.callContext ? w.handlers.callContext : w.handlers.context);
}

// The target side of an assignment, from the head of its statement up to
// the edge: the variables named there are written.
void walkAssignmentTarget(Walk& w, NodeId edge) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    std::size_t steps = 0;
    for (NodeId n = statementHead(w.g, edge);
         n && n != edge && steps < level.chainSteps() && level.visit();
         n = getNextId(w.g, n), ++steps) {
        const CdfgNode* node = lookupNode(w.g, n);
        std::uint32_t kind = node ? node->kind : 0;
        if (kind == DFG_OPERATION)
            walkOperation(w, *node);
        else if (isReference(kind))
            walkReference(w, n, kind == DFG_INPUT_VAR || kind == DFG_OUTPUT_VAR);
        else if (kind == DFG_FUNC_CALL)
            walkCall(w, n);
    }
}

void walkExpression(Walk& w, NodeId first) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    // The chain by hand: one lookup of each node gives its kind, its links
    // and the next node.
    std::size_t stepsLeft = level.chainSteps();
    for (NodeId n = first; n != 0 && stepsLeft > 0; --stepsLeft) {
        if (!level.visit()) break;
        const CdfgNode* node = lookupNode(w.g, n);
        if (!node) break;
        std::uint32_t kind = node->kind;
        if (kind == DFG_OPERATION)
            walkOperation(w, *node);
        else if (kind == DFG_EDGE_BLOCKING || kind == DFG_EDGE_NONBLOCKING)
            walkAssignmentTarget(w, n);
        else if (isReference(kind))
            walkReference(w, n, false);
        else if (kind == DFG_FUNC_CALL)
            walkCall(w, n);
        n = node->next;
    }
}

void walkOperationList(Walk& w, NodeId first) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    std::size_t stepsLeft = level.chainSteps();
    for (NodeId item = first; item != 0 && stepsLeft > 0; --stepsLeft) {
        if (!level.visit()) break;
        const CdfgNode* node = lookupNode(w.g, item);
        if (!node) break;
        walkExpression(w, attrInt(w.g, *node, DfgOpeman_OPE));
        item = node->next;
    }
}

void walkBraceList(Walk& w, NodeId first) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    for (NodeId n : chain(w.g, first, level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(w.g, n);
        if (kind == CFG_MEMBER_LIST)
            walkBraceList(w, getAttrInt(w.g, n, CfgMemberList_MEMBER));
        else if (kind == CFG_MEMBER)
            walkExpression(w, getAttrInt(w.g, n, CfgMember_SIGNAL));
    }
}

// Size expressions and initialisers of a declaration chain.
void walkDeclarations(Walk& w, NodeId first) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    for (NodeId d : chain(w.g, first, level.chainSteps())) {
        if (!level.visit()) break;
        if (getKind(w.g, d) != CFG_DECLARE) continue;
        walkIndices(w, getAttrInt(w.g, d, CfgDecl_DIMNODE), level);
        NodeId init = getAttrInt(w.g, d, CfgDecl_INIT);
        std::uint32_t kind = getKind(w.g, init);
        if (kind == CFG_MEMBER_LIST || kind == CFG_MEMBER)
            walkBraceList(w, init);
        else
            walkExpression(w, init);
    }
}

void walkBranches(Walk& w, NodeId statement, WalkLevel& level) {
    for (NodeId branch : chain(w.g, getAttrInt(w.g, statement, CfgStateIf_STATOPE), level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(w.g, branch);
        if (kind == CFG_IF_THEN)
            walkStatements(w, getAttrInt(w.g, branch, CfgIfThen_CFG));
        else if (kind == CFG_IF_ELSE)
            walkStatements(w, getAttrInt(w.g, branch, CfgIfElse_CFG));
    }
}

void walkCaseItems(Walk& w, NodeId statement, WalkLevel& level) {
    for (NodeId item : chain(w.g, getAttrInt(w.g, statement, CfgStateCase_STATOPE), level.chainSteps())) {
        if (!level.visit()) break;
        if (getKind(w.g, item) == CFG_CASE_ITEM)
            walkStatements(w, getAttrInt(w.g, item, CfgCaseItem_CFG));
    }
}

void walkLoop(Walk& w, NodeId statement, WalkLevel& level) {
    for (NodeId part : chain(w.g, getAttrInt(w.g, statement, CfgLoopBegin_CFG), level.chainSteps())) {
        if (!level.visit()) break;
        switch (getKind(w.g, part)) {
            case CFG_LOOP_INIT:
                walkOperationList(w, getAttrInt(w.g, part, CfgLoopInit_OPELIST));
                break;
            case CFG_LOOP_COND:
                walkOperationList(w, getAttrInt(w.g, part, CfgLoopCond_CONDOPE));
                break;
            case CFG_LOOP_STEP:
                walkOperationList(w, getAttrInt(w.g, part, CfgLoopStep_OPELIST));
                break;
            case CFG_LOOP_STAT: walkStatements(w, getAttrInt(w.g, part, CfgLoopStat_CFG)); break;
            default: break;
        }
    }
}

void walkStatements(Walk& w, NodeId first) {
    WalkLevel level(budget, w.g);
    if (!level.open()) return;
    std::size_t stepsLeft = level.chainSteps();
    for (NodeId n = first; n != 0 && stepsLeft > 0; --stepsLeft) {
        if (!level.visit()) break;
        const CdfgNode* node = lookupNode(w.g, n);
        if (!node) break;
        const NodeId next = node->next;
        switch (node->kind) {
            case CFG_STATE_DATAPATH:
                walkOperationList(w, attrInt(w.g, *node, CfgDatapath_OPELIST));
                break;
            case CFG_STATE_IF:
                walkOperationList(w, getAttrInt(w.g, n, CfgStateIf_CONDOPE));
                walkBranches(w, n, level);
                break;
            case CFG_STATE_CASE:
            case CFG_STATE_CASEX:
            case CFG_STATE_CASEZ:
                walkOperationList(w, getAttrInt(w.g, n, CfgStateCase_CONDOPE));
                walkCaseItems(w, n, level);
                break;
            case CFG_LOOP_BEGIN: walkLoop(w, n, level); break;
            case CFG_RETURN: walkOperationList(w, attrInt(w.g, *node, CfgReturn_EXP)); break;
            case CFG_DECLARE_DEF: walkDeclarations(w, attrInt(w.g, *node, CfgDeclDef_DECL)); break;
            default: break;
        }
        n = next;
    }
}

void walkFunctionUsage(Walk& w, const FileElement& e) {
    CdfgGraph& g = w.g;
    if (getKind(g, e.node) != CFG_FUNCTION) return;
    const char* name = getAttrString(g, e.node, CfgFunc_NAME);
    inAnalysis = name && e.fileName && isInFunctionTree(e.node, name, e.fileName);
    walkDeclarations(w, getAttrInt(g, e.node, CfgFunc_DECLARE));
    walkDeclarations(w, getAttrInt(g, e.node, CfgFunc_ARGLIST));
    walkStatements(w, getAttrInt(g, e.node, CfgFunc_STARTCFG));
}

// The visits one walk of the program may make (see WalkLevel).
std::size_t programVisits(const CdfgGraph& g) { return kVisitsPerNode * (g.nodes.size() + 1); }

}  // namespace

std::vector<FileElement> fileElements(const CdfgGraph& g) {
    std::vector<FileElement> elements;
    for (NodeId file : chain(g, getAttrInt(g, findRoot(g), CfgRoot_ELEMENT))) {
        if (getKind(g, file) != CFG_FILEINFO) continue;
        const char* fileName = getAttrString(g, file, CfgFileinfo_NAME);
        for (NodeId e : chain(g, getAttrInt(g, file, CfgFileinfo_ELEMENT))) {
            // No more elements than nodes, however the chains share nodes.
            if (elements.size() >= chainLimit(g)) break;
            elements.push_back({e, fileName});
        }
    }
    return elements;
}

void walkProgramUsage(CdfgGraph& g, const UsageHandlers& handlers) {
    Walk w{g, handlers};
    // One budget for the whole program.
    WalkLevel level(budget, g);
    for (const FileElement& e : fileElements(g)) walkFunctionUsage(w, e);
    inAnalysis = false;
}

void startUsageShare(const CdfgGraph& g, UsageShare& share) { share.elements = fileElements(g); }

void walkUsageShare(CdfgGraph& g, const UsageHandlers& handlers, UsageShare& share) {
    Walk w{g, handlers};
    WalkLevel level(budget, g);
    const std::size_t visits = budget.visitsLeft;
    takeTurns(share.next, share.elements.size(), 16, [&](std::size_t i) { walkFunctionUsage(w, share.elements[i]); });
    inAnalysis = false;
    share.visits += visits - budget.visitsLeft;
    if (budget.visitsLeft == 0) share.cut = true;
}

// The walks of the two threads together are the walk of one: none reached
// the end of its visits, and one walk making all their visits would not have
// either, so that every level it opened had visits left.
bool sharedUsageStands(const CdfgGraph& g, const UsageShare& share) {
    return !share.cut && share.visits < programVisits(g);
}

