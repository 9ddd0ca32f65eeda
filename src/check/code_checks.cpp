#include "check/code_checks.h"

#include <cstdint>
#include <cstring>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "check/declaration_checks.h"
#include "check/directive_checks.h"
#include "check/function_tree.h"
#include "check/logical_float.h"
#include "check/usage_walk.h"
#include "check/walk_budget.h"
#include "report/messages.h"
#include "util/run_settings.h"

bool autoScope = false;

const char* const unsupportedStdFunctions[] = {
    "bsearch", "qsort",   "strtod", "strtol", "strtoul", "memcpy",
    "memmove", "memcmp", "memchr", "memset", "",
};

namespace {

WalkBudget budget;

const char* fileOf(const CdfgGraph& g, NodeId node) { return orEmpty(getFileName(g, node)); }
int lineOf(const CdfgGraph& g, NodeId node) { return static_cast<int>(getLine(g, node)); }

bool isReference(std::uint32_t kind) {
    return (kind >= DFG_INPUT_PORT && kind <= DFG_INPUT_CONCAT) ||
           (kind >= DFG_OUTPUT_PORT && kind <= DFG_OUTPUT_CONCAT);
}

bool isCaseKind(std::uint32_t kind) {
    return kind == CFG_STATE_CASE || kind == CFG_STATE_CASEX || kind == CFG_STATE_CASEZ;
}

bool isFloatingType(std::int32_t valtype) {
    return valtype == DECL_VALTYPE_FLOAT || valtype == DECL_VALTYPE_DOUBLE ||
           valtype == DECL_VALTYPE_LONGDOUBLE;
}

bool isAllocationCall(const CdfgGraph& g, NodeId node) {
    if (getKind(g, node) != DFG_FUNC_CALL) return false;
    const char* name = getAttrString(g, node, DfgFuncCall_NAME);
    return name && (std::strcmp(name, "malloc") == 0 || std::strcmp(name, "calloc") == 0 ||
                    std::strcmp(name, "realloc") == 0);
}

bool isUnsupportedStdFunction(const char* name) {
    for (const char* const* entry = unsupportedStdFunctions; **entry != '\0'; ++entry)
        if (std::strcmp(*entry, name) == 0) return true;
    return false;
}

// Messages 508 and 539.
int checkMemoryAndLibrary(CdfgGraph& g, NodeId call) {
    if (!runSettings.dynamicAllocCheck) return 0;
    const char* name = getAttrString(g, call, DfgFuncCall_NAME);
    if (!name) return 0;
    if (isAllocationCall(g, call)) {
        printMessage(508, fileOf(g, call), lineOf(g, call));
        return -1;
    }
    // A program may define its own function of a library name.
    if (getJumpId(g, call) == 0 && isUnsupportedStdFunction(name)) {
        printMessage(539, fileOf(g, call), lineOf(g, call), name);
        return -1;
    }
    return 0;
}

// Message 509. The result of an allocation has to be cast, so that cast passes.
int checkPointerCast(CdfgGraph& g, NodeId cast) {
    if (getAttrInt(g, cast, DfgSpec_POINTERCNT) == 0 && getAttrInt(g, cast, DfgSpec_DIMCNT) == 0)
        return 0;
    if (isAllocationCall(g, lastInChain(g, cast))) return 0;
    printMessage(509, fileOf(g, cast), lineOf(g, cast));
    return -1;
}

// The pass adds no node: a node record stays where it is while the pass runs.
int checkOperation(CdfgGraph& g, const CdfgNode& operation) {
    int result = checkLogicalFloat(g, operation.id);
    const auto [left, right, condition] = readAttrInts<DfgOpe_LEFT, DfgOpe_RIGHT, DfgOpe_COND>(g, operation);
    result |= checkExpression(g, left);
    result |= checkExpression(g, right);
    result |= checkExpression(g, condition);
    return result;
}

int checkReference(CdfgGraph& g, const CdfgNode& ref) {
    int result = collectDeclaration(g, ref.id);
    WalkLevel level(budget, g);
    if (!level.open()) return result;
    for (NodeId dim : chain(g, attrInt(g, ref, DfgPort_DIMNODE), level.chainSteps())) {
        if (!level.visit()) break;
        result |= checkExpression(g, getAttrInt(g, dim, DfgDim_NODE));
    }
    return result;
}

// The target side of an assignment hangs before its edge: from the head of
// the statement up to the edge.
int checkAssignmentTarget(CdfgGraph& g, NodeId edge) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    std::size_t steps = 0;
    for (NodeId n = statementHead(g, edge);
         n && n != edge && steps < level.chainSteps() && level.visit();
         n = getNextId(g, n), ++steps) {
        const CdfgNode* node = lookupNode(g, n);
        std::uint32_t kind = node ? node->kind : 0;
        if (kind == DFG_OPERATION)
            result |= checkOperation(g, *node);
        else if (kind == DFG_INPUT_VAR || kind == DFG_OUTPUT_VAR)
            result |= checkReference(g, *node);
    }
    return result;
}

int checkCall(CdfgGraph& g, NodeId call) {
    int result = checkCallDirective(g, call);
    result |= checkMemoryAndLibrary(g, call);
    WalkLevel level(budget, g);
    if (!level.open()) return result;
    for (NodeId arg : chain(g, getAttrInt(g, call, DfgFuncCall_ARGLIST), level.chainSteps())) {
        if (!level.visit()) break;
        result |= checkExpression(g, getAttrInt(g, arg, DfgPortInfo_SIGNAL));
    }
    return result;
}

int checkIf(CdfgGraph& g, NodeId statement) {
    NodeId condition = getAttrInt(g, statement, CfgStateIf_CONDOPE);
    int result = checkOperationList(g, condition);
    if (containsFloating(g, condition)) {
        printMessage(601, fileOf(g, condition), lineOf(g, condition));
        result = -1;
    }
    WalkLevel level(budget, g);
    if (!level.open()) return result;
    for (NodeId branch : chain(g, getAttrInt(g, statement, CfgStateIf_STATOPE), level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(g, branch);
        if (kind == CFG_IF_THEN)
            result |= checkStatements(g, getAttrInt(g, branch, CfgIfThen_CFG));
        else if (kind == CFG_IF_ELSE)
            result |= checkStatements(g, getAttrInt(g, branch, CfgIfElse_CFG));
    }
    return result;
}

// Message 528: a statement in a switch body before any case label.
int checkSwitch(CdfgGraph& g, NodeId statement) {
    int result = checkOperationList(g, getAttrInt(g, statement, CfgStateCase_CONDOPE));
    WalkLevel level(budget, g);
    if (!level.open()) return result;
    for (NodeId item : chain(g, getAttrInt(g, statement, CfgStateCase_STATOPE), level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(g, item);
        if (kind == CFG_STATE_DATAPATH) {
            printMessage(528, fileOf(g, item), lineOf(g, item), lineOf(g, item));
            result = -1;
        } else if (kind == CFG_CASE_ITEM) {
            result |= checkStatements(g, getAttrInt(g, item, CfgCaseItem_CFG));
        }
    }
    return result;
}

int checkLoop(CdfgGraph& g, NodeId statement) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    for (NodeId part : chain(g, getAttrInt(g, statement, CfgLoopBegin_CFG), level.chainSteps())) {
        if (!level.visit()) break;
        switch (getKind(g, part)) {
            case CFG_LOOP_INIT:
                result |= checkOperationList(g, getAttrInt(g, part, CfgLoopInit_OPELIST));
                break;
            case CFG_LOOP_STEP:
                result |= checkOperationList(g, getAttrInt(g, part, CfgLoopStep_OPELIST));
                break;
            case CFG_LOOP_COND: {
                NodeId condition = getAttrInt(g, part, CfgLoopCond_CONDOPE);
                result |= checkOperationList(g, condition);
                if (containsFloating(g, condition)) {
                    printMessage(602, fileOf(g, condition), lineOf(g, condition));
                    result = -1;
                }
                break;
            }
            case CFG_LOOP_STAT:
                result |= checkStatements(g, getAttrInt(g, part, CfgLoopStat_CFG));
                break;
            default: break;
        }
    }
    return result;
}

int checkDeclarationBlock(CdfgGraph& g, NodeId first) {
    bool saved = autoScope;
    autoScope = true;
    int result = checkDeclarations(g, first);
    autoScope = saved;
    return result;
}

// Message 538.
int checkAutoSize(CdfgGraph& g, NodeId declaration) {
    std::int64_t count = elementCount(g, declaration);
    if (count <= 0) count = 1;
    // 64-bit product, wrapping like the element count itself.
    auto size = static_cast<std::int64_t>(static_cast<std::uint64_t>(count) *
                                          static_cast<std::uint64_t>(elementSize(g, declaration)));
    if (size <= runSettings.autoVarMaxSize) return 0;
    printMessage(538, fileOf(g, declaration), lineOf(g, declaration),
                 orEmpty(getAttrString(g, declaration, CfgDecl_NAME)),
                 static_cast<double>(runSettings.autoVarMaxSize));
    return -1;
}

// A brace initialiser: lists of members, nested to any depth.
int checkBraceList(CdfgGraph& g, NodeId first) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    for (NodeId n : chain(g, first, level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(g, n);
        if (kind == CFG_MEMBER_LIST)
            result |= checkBraceList(g, getAttrInt(g, n, CfgMemberList_MEMBER));
        else if (kind == CFG_MEMBER)
            result |= checkExpression(g, getAttrInt(g, n, CfgMember_SIGNAL));
    }
    return result;
}

int checkDeclaration(CdfgGraph& g, NodeId declaration) {
    int result = 0;
    {
        WalkLevel level(budget, g);
        if (!level.open()) return 0;
        for (NodeId dim : chain(g, getAttrInt(g, declaration, CfgDecl_DIMNODE), level.chainSteps())) {
            if (!level.visit()) break;
            result |= checkExpression(g, getAttrInt(g, dim, DfgDim_NODE));
        }
    }
    if (autoScope) result |= checkAutoSize(g, declaration);
    NodeId init = getAttrInt(g, declaration, CfgDecl_INIT);
    if (getKind(g, init) == DFG_OPERATION) {
        result |= checkLogicalFloat(g, init);
        result |= checkExpression(g, init);
    } else {
        result |= checkBraceList(g, init);
    }
    return result;
}

// alwaysReturns of the two branches of an if; an if without else never returns on every path.
bool ifAlwaysReturns(const CdfgGraph& g, NodeId statement, WalkLevel& level) {
    bool thenReturns = false;
    bool elseReturns = false;
    for (NodeId branch : chain(g, getAttrInt(g, statement, CfgStateIf_STATOPE), level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(g, branch);
        if (kind == CFG_IF_THEN)
            thenReturns = alwaysReturns(g, getAttrInt(g, branch, CfgIfThen_CFG));
        else if (kind == CFG_IF_ELSE)
            elseReturns = alwaysReturns(g, getAttrInt(g, branch, CfgIfElse_CFG));
    }
    return thenReturns && elseReturns;
}

// Every labelled item returns by its own body (a fall-through does not count)
// and a default item returns.
bool switchAlwaysReturns(const CdfgGraph& g, NodeId statement, WalkLevel& level) {
    bool defaultReturns = false;
    for (NodeId item : chain(g, getAttrInt(g, statement, CfgStateCase_STATOPE), level.chainSteps())) {
        if (!level.visit()) break;
        if (getKind(g, item) != CFG_CASE_ITEM) continue;
        bool returns = alwaysReturns(g, getAttrInt(g, item, CfgCaseItem_CFG));
        if (getAttrInt(g, item, CfgCaseItem_EXP) != 0) {
            if (!returns) return false;
        } else if (returns) {
            defaultReturns = true;
        }
    }
    return defaultReturns;
}

bool isFloatingLiteral(const CdfgGraph& g, NodeId literal) {
    const char* text = getAttrString(g, literal, DfgInputCnst_STRVALUE);
    if (!text) return false;
    if (std::strchr(text, '.')) return true;
    // In a hexadecimal literal e and E are digits.
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return false;
    return std::strchr(text, 'e') || std::strchr(text, 'E');
}

bool isFloatingVariable(const CdfgGraph& g, NodeId ref, WalkLevel& level) {
    // A member access names its declaration at the end of the member chain.
    NodeId last = ref;
    std::size_t steps = 0;
    for (NodeId son = getAttrInt(g, ref, DfgPort_STRSON);
         son && steps < level.chainSteps() && level.visit();
         son = getAttrInt(g, son, DfgPort_STRSON), ++steps)
        last = son;
    NodeId declaration = getAttrInt(g, last, DfgPort_DECL);
    return getKind(g, declaration) == CFG_DECLARE &&
           isFloatingType(getAttrSigned(g, declaration, CfgDecl_VALTYPE));
}

bool isFloatingCall(const CdfgGraph& g, NodeId call) {
    NodeId definition = getJumpId(g, call);
    std::int32_t returnType = definition ? getAttrSigned(g, definition, CfgFunc_RETTYPE)
                                         : getAttrSigned(g, call, DfgFuncCall_FUNC_RETTYPE);
    return isFloatingType(returnType);
}

// Looks through an expression chain and the operands of its operations.
bool expressionHasFloating(const CdfgGraph& g, NodeId first) {
    WalkLevel level(budget, g);
    if (!level.open()) return false;
    for (NodeId n : chain(g, first, level.chainSteps())) {
        if (!level.visit()) break;
        switch (getKind(g, n)) {
            case DFG_OPERATION:
                if (expressionHasFloating(g, getAttrInt(g, n, DfgOpe_LEFT)) ||
                    expressionHasFloating(g, getAttrInt(g, n, DfgOpe_RIGHT)) ||
                    expressionHasFloating(g, getAttrInt(g, n, DfgOpe_COND)))
                    return true;
                break;
            case DFG_INPUT_PORT:
            case DFG_INPUT_PARA:
            case DFG_INPUT_VAR:
            case DFG_OUTPUT_PORT:
            case DFG_OUTPUT_VAR:
                if (isFloatingVariable(g, n, level)) return true;
                break;
            case DFG_INPUT_CONST:
                if (isFloatingLiteral(g, n)) return true;
                break;
            case DFG_FUNC_CALL:
                if (isFloatingCall(g, n)) return true;
                break;
            default: break;
        }
    }
    return false;
}

}  // namespace

int checkOperationList(CdfgGraph& g, NodeId first) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    std::size_t stepsLeft = level.chainSteps();
    for (NodeId item = first; item != 0 && stepsLeft > 0; --stepsLeft) {
        if (!level.visit()) break;
        const CdfgNode* node = lookupNode(g, item);
        if (!node) break;
        result |= checkExpression(g, attrInt(g, *node, DfgOpeman_OPE));
        item = node->next;
    }
    return result;
}

int checkExpression(CdfgGraph& g, NodeId first) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    // The chain by hand: one lookup of each node gives its kind, its links
    // and the next node.
    std::size_t stepsLeft = level.chainSteps();
    for (NodeId n = first; n != 0 && stepsLeft > 0; --stepsLeft) {
        if (!level.visit()) break;
        const CdfgNode* node = lookupNode(g, n);
        if (!node) break;
        std::uint32_t kind = node->kind;
        if (kind == DFG_OPERATION)
            result |= checkOperation(g, *node);
        else if (kind == DFG_EDGE_BLOCKING || kind == DFG_EDGE_NONBLOCKING)
            result |= checkAssignmentTarget(g, n);
        else if (isReference(kind))
            result |= checkReference(g, *node);
        else if (kind == DFG_FUNC_CALL)
            result |= checkCall(g, n);
        else if (kind == DFG_SPEC)
            result |= checkPointerCast(g, n);
        n = node->next;
    }
    return result;
}

int checkStatements(CdfgGraph& g, NodeId first) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    std::size_t stepsLeft = level.chainSteps();
    for (NodeId n = first; n != 0 && stepsLeft > 0; --stepsLeft) {
        if (!level.visit()) break;
        const CdfgNode* node = lookupNode(g, n);
        if (!node) break;
        std::uint32_t kind = node->kind;
        if (kind == CFG_STATE_DATAPATH)
            result |= checkOperationList(g, attrInt(g, *node, CfgDatapath_OPELIST));
        else if (kind == CFG_STATE_IF)
            result |= checkIf(g, n);
        else if (isCaseKind(kind))
            result |= checkSwitch(g, n);
        else if (kind == CFG_LOOP_BEGIN)
            result |= checkLoop(g, n);
        else if (kind == CFG_RETURN)
            result |= checkOperationList(g, attrInt(g, *node, CfgReturn_EXP));
        else if (kind == CFG_DECLARE_DEF)
            result |= checkDeclarationBlock(g, attrInt(g, *node, CfgDeclDef_DECL));
        n = node->next;
    }
    return result;
}

int checkDeclarations(CdfgGraph& g, NodeId first) {
    int result = 0;
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    for (NodeId n : chain(g, first, level.chainSteps())) {
        if (!level.visit()) break;
        if (getKind(g, n) == CFG_DECLARE) result |= checkDeclaration(g, n);
    }
    return result;
}

int checkMissingReturn(CdfgGraph& g, NodeId function) {
    if (getAttrSigned(g, function, CfgFunc_RETTYPE) == DECL_VALTYPE_VOID &&
        getAttrInt(g, function, CfgFunc_POINTERCNT) == 0)
        return 0;
    if (alwaysReturns(g, getAttrInt(g, function, CfgFunc_STARTCFG))) return 0;
    printMessage(537, fileOf(g, function), lineOf(g, function),
                 orEmpty(getAttrString(g, function, CfgFunc_NAME)));
    return -1;
}

int containsFloating(const CdfgGraph& g, NodeId firstItem) {
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    for (NodeId item : chain(g, firstItem, level.chainSteps())) {
        if (!level.visit()) break;
        if (expressionHasFloating(g, getAttrInt(g, item, DfgOpeman_OPE))) return 1;
    }
    return 0;
}

int alwaysReturns(const CdfgGraph& g, NodeId first) {
    WalkLevel level(budget, g);
    if (!level.open()) return 0;
    for (NodeId n : chain(g, first, level.chainSteps())) {
        if (!level.visit()) break;
        std::uint32_t kind = getKind(g, n);
        if (kind == CFG_RETURN) return 1;
        if (kind == CFG_STATE_IF && ifAlwaysReturns(g, n, level)) return 1;
        if (isCaseKind(kind) && switchAlwaysReturns(g, n, level)) return 1;
    }
    return 0;
}

int runCodeChecks(CdfgGraph& g) {
    int result = 0;
    // One budget for the whole pass.
    WalkLevel level(budget, g);
    for (const FileElement& e : fileElements(g)) {
        NodeId f = e.node;
        if (getKind(g, f) != CFG_FUNCTION) continue;
        const char* name = getAttrString(g, f, CfgFunc_NAME);
        if (name && e.fileName && isInFunctionTree(f, name, e.fileName)) {
            result |= checkDeclarationBlock(g, getAttrInt(g, f, CfgFunc_DECLARE));
            result |= checkStatements(g, getAttrInt(g, f, CfgFunc_STARTCFG));
            result |= checkDeclarations(g, getAttrInt(g, f, CfgFunc_ARGLIST));
            result |= checkMissingReturn(g, f);
        } else {
            result |= checkDirectivePlacement(g, f);
        }
    }
    result |= checkDeclarationEntries(g);
    result |= checkTranslatePairs(g);
    return result;
}
