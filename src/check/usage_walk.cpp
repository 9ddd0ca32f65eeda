#include "check/usage_walk.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "check/function_tree.h"
#include "check/walk_budget.h"
#include "util/take_turns.h"

thread_local bool inAnalysis = false;

namespace {

// Each thread walking has its own.
thread_local WalkBudget budget;

bool isReference(std::uint32_t kind) {
    return (kind >= DFG_INPUT_PORT && kind <= DFG_INPUT_CONCAT) ||
           (kind >= DFG_OUTPUT_PORT && kind <= DFG_OUTPUT_CONCAT);
}

// What a walk told the handlers: a variable written or a call.
struct UsageEvent {
    NodeId node;
    bool call;
};

struct Walk {
    CdfgGraph& g;
    const UsageHandlers& handlers;
    // Where what the walk tells the handlers is noted, when anywhere.
    std::vector<UsageEvent>* events = nullptr;
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
    if (written) {
        if (w.events) w.events->push_back({ref, false});
        if (w.handlers.onWrite)
            w.handlers.onWrite(w.g, ref, w.handlers.writeContext ? w.handlers.writeContext : w.handlers.context);
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
    if (w.events) w.events->push_back({call, true});
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

bool analysed(const CdfgGraph& g, const FileElement& e) {
    const char* name = getAttrString(g, e.node, CfgFunc_NAME);
    return name && e.fileName && isInFunctionTree(e.node, name, e.fileName);
}

void walkFunctionUsage(Walk& w, const FileElement& e) {
    CdfgGraph& g = w.g;
    if (getKind(g, e.node) != CFG_FUNCTION) return;
    inAnalysis = analysed(g, e);
    walkDeclarations(w, getAttrInt(g, e.node, CfgFunc_DECLARE));
    walkDeclarations(w, getAttrInt(g, e.node, CfgFunc_ARGLIST));
    walkStatements(w, getAttrInt(g, e.node, CfgFunc_STARTCFG));
}

// Whether the walk of the copy would meet the copies of what its original's
// meets (and the original's own nodes where the copy shares them): the copy
// was made so, and the target sides it was made from have kept their links.
bool walksLikeItsSource(const CloneOrigin& o) {
    for (NodeId n : o.sideNodes)
        if (relinkedByTree(n)) return false;
    return true;
}

// Which copies go with their original: a copy that is one element of the
// program, of a function that is one element too and not itself a copy that
// goes with another, in a graph whose ids are the list positions.
void planCopies(const CdfgGraph& g, UsageShare& share) {
    share.roles.assign(share.elements.size(), 0);
    // Ids that are not the list positions may have been taken over by the
    // copies' nodes, which a walk of the original then meets.
    if (!g.denseIds) return;
    // (function, element) by function; a function met twice is no one's.
    std::vector<std::pair<NodeId, std::size_t>> at;
    for (std::size_t i = 0; i < share.elements.size(); ++i)
        if (getKind(g, share.elements[i].node) == CFG_FUNCTION) at.emplace_back(share.elements[i].node, i);
    std::sort(at.begin(), at.end());
    auto single = [&at](NodeId f) -> std::size_t {
        auto found = std::lower_bound(at.begin(), at.end(), std::pair<NodeId, std::size_t>{f, 0});
        if (found == at.end() || found->first != f) return SIZE_MAX;
        if (found + 1 != at.end() && found[1].first == f) return SIZE_MAX;
        return found->second;
    };
    // The origin of a copy that goes with its original, whose element is
    // source; a copy whose original itself goes with another is walked.
    auto goesWithSource = [&](NodeId f, std::size_t& source) -> const CloneOrigin* {
        const CloneOrigin* o = cloneOriginOf(f);
        if (!o || single(f) == SIZE_MAX) return nullptr;
        source = single(o->source);
        return source != SIZE_MAX ? o : nullptr;
    };
    for (const auto& [f, i] : at) {
        std::size_t source, itsSource;
        const CloneOrigin* o = goesWithSource(f, source);
        if (o && !goesWithSource(share.elements[source].node, itsSource)) share.copies.push_back({source, i, o});
    }
    std::sort(share.copies.begin(), share.copies.end(), [](const UsageShare::Copy& a, const UsageShare::Copy& b) {
        return std::tie(a.source, a.element) < std::tie(b.source, b.element);
    });
    for (std::size_t k = share.copies.size(); k-- > 0;) {
        share.roles[share.copies[k].source] = kSourceRole | static_cast<std::uint32_t>(k);
        share.roles[share.copies[k].element] = kCopyRole;
    }
}

// Tells the handlers for the copy what the walk of its original told them:
// the copy's own call where it made one, the original's where it shares it;
// the same variables written (a copy names the same declarations along the
// same members). Its visits are spent as its walk would have spent them.
void tellCopy(Walk& w, const UsageShare::Copy& copy, const FileElement& e, const std::vector<UsageEvent>& events,
              std::size_t visits) {
    const UsageHandlers& h = w.handlers;
    const std::vector<std::pair<NodeId, NodeId>>& calls = copy.origin->calls;
    inAnalysis = analysed(w.g, e);
    for (const UsageEvent& event : events) {
        if (event.call) {
            if (h.onCall) h.onCall(w.g, copiedCall(calls, event.node), h.callContext ? h.callContext : h.context);
        } else if (h.onWrite) {
            h.onWrite(w.g, event.node, h.writeContext ? h.writeContext : h.context);
        }
    }
    budget.visitsLeft -= std::min(visits, budget.visitsLeft);
}

// The visits one walk of the program may make (see WalkLevel).
std::size_t programVisits(const CdfgGraph& g) { return kVisitsPerNode * (g.nodes.size() + 1); }

}  // namespace

namespace {

const CdfgGraph* keptFor = nullptr;
std::vector<FileElement> keptElements;

std::vector<FileElement> listFileElements(const CdfgGraph& g) {
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

}  // namespace

std::vector<FileElement> fileElements(const CdfgGraph& g) {
    return keptFor == &g ? keptElements : listFileElements(g);
}

KeptFileElements::KeptFileElements(const CdfgGraph& g) {
    keptElements = listFileElements(g);
    keptFor = &g;
}

KeptFileElements::~KeptFileElements() {
    keptFor = nullptr;
    keptElements = {};
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
    std::call_once(share.planned, [&] { planCopies(g, share); });
    std::vector<UsageEvent> events;
    takeTurns(share.next, share.elements.size(), 16, [&](std::size_t i) {
        const std::uint32_t role = share.roles[i];
        if (role & kCopyRole) return;  // with its original
        if (!(role & kSourceRole)) {
            walkFunctionUsage(w, share.elements[i]);
            return;
        }
        // The original, then its copies while what they read is at hand.
        events.clear();
        const std::size_t before = budget.visitsLeft;
        w.events = &events;
        walkFunctionUsage(w, share.elements[i]);
        w.events = nullptr;
        const std::size_t spent = before - budget.visitsLeft;
        for (std::size_t k = role & kRoleIndex; k < share.copies.size() && share.copies[k].source == i; ++k) {
            const UsageShare::Copy& copy = share.copies[k];
            const FileElement& e = share.elements[copy.element];
            if (walksLikeItsSource(*copy.origin)) {
                tellCopy(w, copy, e, events, spent);
                share.told.fetch_add(1, std::memory_order_relaxed);
            } else {
                walkFunctionUsage(w, e);
            }
        }
    });
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

