#include "check/prototype_check.h"

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "report/messages.h"
#include "util/expr_type.h"

namespace {

// Definitions and prototypes in the order they were met, with the first
// node of each name indexed so that a lookup is not a scan of the list.
struct DeclList {
    std::vector<NodeId> nodes;
    // Keys view the graph's texts, which outlive the list (it is emptied
    // before the pass returns).
    std::unordered_map<std::string_view, NodeId> firstByName;

    void add(const CdfgGraph& g, NodeId node) {
        nodes.push_back(node);
        if (const char* name = getAttrString(g, node, CfgFunc_NAME))
            firstByName.emplace(std::string_view(name), node);  // keeps the first
    }
    NodeId find(std::string_view name) const {
        auto found = firstByName.find(name);
        return found == firstByName.end() ? 0 : found->second;
    }
    void empty() {
        if (!nodes.empty()) *this = DeclList{};
    }
};

// Functions defined so far and file-level prototypes of the current file.
DeclList FileScopeDecls;
// Prototypes declared inside the body of the function being walked.
DeclList LocalDecls;

const char* fileOf(const CdfgGraph& g, NodeId node) { return orEmpty(getFileName(g, node)); }
int lineOf(const CdfgGraph& g, NodeId node) { return static_cast<int>(getLine(g, node)); }

// Number of nodes of a chain, stopping on a chain that loops.
std::size_t chainLength(const CdfgGraph& g, NodeId first) {
    std::size_t count = 0;
    for (NodeId n : chain(g, first)) {
        (void)n;
        ++count;
    }
    return count;
}

// Depth of a parameter: an array parameter is one pointer level per dimension.
std::int32_t parameterDepth(const CdfgGraph& g, NodeId decl) {
    return static_cast<std::int32_t>(getAttrInt(g, decl, CfgDecl_POINTERCNT) +
                                     getAttrInt(g, decl, CfgDecl_DIMCNT));
}

bool isMemoryAllocator(const char* name) {
    return std::strcmp(name, "malloc") == 0 || std::strcmp(name, "realloc") == 0 ||
           std::strcmp(name, "calloc") == 0;
}

bool isPortKind(std::uint32_t kind) {
    return (kind >= DFG_INPUT_PORT && kind <= DFG_INPUT_CONCAT) ||
           (kind >= DFG_OUTPUT_PORT && kind <= DFG_OUTPUT_CONCAT);
}

enum class Walk : std::uint8_t { Statements, Expressions, ExprList, LocalDecl, FileDecl, Initializer };

struct Task {
    Walk walk;
    NodeId node;
};

// Walks the statement, declaration and expression chains in source order
// with an explicit stack (deep nesting cannot exhaust the call stack). Each
// node is visited once: the visit mark also stops chains that loop. The
// marks are bits of the walk's own, one for each node list position: they
// stay in the cache, and the node records stay as read, which matters to
// validation reading them on the other core meanwhile.
struct Walker {
    CdfgGraph& g;
    std::vector<Task> stack;
    std::vector<Task> children;  // of the node being visited, in walk order
    std::vector<std::uint64_t> visited;
    bool reported = false;

    explicit Walker(CdfgGraph& graph) : g(graph), visited((graph.nodes.size() + 63) / 64) {}

    void child(Walk walk, NodeId node) {
        if (node) children.push_back({walk, node});
    }

    // The node record of n when it is there and not yet visited; marks it.
    // The pass adds no node, so the record stays where it is.
    const CdfgNode* enter(NodeId n) {
        const CdfgNode* node = lookupNode(g, n);
        if (!node) return nullptr;
        const std::size_t at = static_cast<std::size_t>(node - g.nodes.data());
        std::uint64_t& word = visited[at / 64];
        const std::uint64_t bit = std::uint64_t{1} << (at % 64);
        if (word & bit) return nullptr;
        word |= bit;
        return node;
    }

    bool visit(NodeId n) { return enter(n) != nullptr; }

    void run(Walk walk, NodeId first) {
        stack.push_back({walk, first});
        while (!stack.empty()) {
            Task task = stack.back();
            stack.pop_back();
            const CdfgNode* node = enter(task.node);
            if (!node) continue;
            // The rest of the chain comes after everything below this node.
            if (NodeId next = node->next) stack.push_back({task.walk, next});
            children.clear();
            step(task, *node);
            for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back(*c);
        }
    }

    void step(const Task& task, const CdfgNode& node) {
        switch (task.walk) {
            case Walk::Statements: statement(node); break;
            case Walk::Expressions: expression(node); break;
            case Walk::ExprList: child(Walk::Expressions, statementHead(g, attrInt(g, node, DfgOpeman_OPE))); break;
            case Walk::LocalDecl: declaration(node, LocalDecls); break;
            case Walk::FileDecl: declaration(node, FileScopeDecls); break;
            case Walk::Initializer: initializer(node); break;
        }
    }

    void declaration(const CdfgNode& d, DeclList& protos) {
        switch (d.kind) {
            case CFG_PROTO_FUNC: protos.add(g, d.id); break;
            case CFG_DECLARE: {
                const auto [dimensions, init] = readAttrInts<CfgDecl_DIMNODE, CfgDecl_INIT>(g, d);
                for (NodeId dim = dimensions; visit(dim); dim = getNextId(g, dim))
                    child(Walk::Expressions, getAttrInt(g, dim, DfgDim_NODE));
                child(getKind(g, init) == DFG_OPERATION ? Walk::Expressions : Walk::Initializer, init);
                break;
            }
            default: break;
        }
    }

    void initializer(const CdfgNode& n) {
        switch (n.kind) {
            case CFG_MEMBER_LIST: child(Walk::Initializer, attrInt(g, n, CfgMemberList_MEMBER)); break;
            case CFG_MEMBER: child(Walk::Expressions, attrInt(g, n, CfgMember_SIGNAL)); break;
            default: break;
        }
    }

    void statement(const CdfgNode& s) {
        switch (s.kind) {
            case CFG_PROTO_FUNC: LocalDecls.add(g, s.id); break;
            case CFG_DECLARE_DEF: child(Walk::LocalDecl, attrInt(g, s, CfgDeclDef_DECL)); break;
            case CFG_STATE_DATAPATH: child(Walk::ExprList, attrInt(g, s, CfgDatapath_OPELIST)); break;
            case CFG_RETURN: child(Walk::ExprList, attrInt(g, s, CfgReturn_EXP)); break;
            case CFG_STATE_IF: {
                const auto [conditions, branches] = readAttrInts<CfgStateIf_CONDOPE, CfgStateIf_STATOPE>(g, s);
                child(Walk::ExprList, conditions);
                for (NodeId b = branches; visit(b); b = getNextId(g, b)) {
                    if (getKind(g, b) == CFG_IF_THEN)
                        child(Walk::Statements, getAttrInt(g, b, CfgIfThen_CFG));
                    else if (getKind(g, b) == CFG_IF_ELSE)
                        child(Walk::Statements, getAttrInt(g, b, CfgIfElse_CFG));
                }
                break;
            }
            case CFG_STATE_CASE:
            case CFG_STATE_CASEX:
            case CFG_STATE_CASEZ: {
                const auto [conditions, branches] = readAttrInts<CfgStateCase_CONDOPE, CfgStateCase_STATOPE>(g, s);
                child(Walk::ExprList, conditions);
                for (NodeId i = branches; visit(i); i = getNextId(g, i))
                    if (getKind(g, i) == CFG_CASE_ITEM)
                        child(Walk::Statements, getAttrInt(g, i, CfgCaseItem_CFG));
                break;
            }
            case CFG_LOOP_BEGIN:
                for (NodeId p = attrInt(g, s, CfgLoopBegin_CFG); visit(p); p = getNextId(g, p)) {
                    switch (getKind(g, p)) {
                        case CFG_LOOP_INIT:
                        case CFG_LOOP_COND:
                        case CFG_LOOP_STEP: child(Walk::ExprList, getAttrInt(g, p, 2)); break;
                        case CFG_LOOP_STAT: child(Walk::Statements, getAttrInt(g, p, CfgLoopStat_CFG)); break;
                        default: break;
                    }
                }
                break;
            default: break;
        }
    }

    void expression(const CdfgNode& x) {
        std::uint32_t kind = x.kind;
        if (kind == DFG_OPERATION) {
            const auto [left, right, condition] = readAttrInts<DfgOpe_LEFT, DfgOpe_RIGHT, DfgOpe_COND>(g, x);
            child(Walk::Expressions, left);
            child(Walk::Expressions, right);
            child(Walk::Expressions, condition);
        } else if (kind == DFG_EDGE_BLOCKING || kind == DFG_EDGE_NONBLOCKING) {
            assignedOperand(x.id);
        } else if (isPortKind(kind)) {
            for (NodeId dim = attrInt(g, x, DfgPort_DIMNODE); visit(dim); dim = getNextId(g, dim))
                child(Walk::Expressions, getAttrInt(g, dim, DfgDim_NODE));
        } else if (kind == DFG_FUNC_CALL) {
            call(x.id);
            for (NodeId a = attrInt(g, x, DfgFuncCall_ARGLIST); visit(a); a = getNextId(g, a))
                child(Walk::Expressions, getAttrInt(g, a, DfgPortInfo_SIGNAL));
        }
    }

    // The nodes in front of an assignment edge are what it writes.
    void assignedOperand(NodeId edge) {
        std::size_t steps = 0;
        for (NodeId n = statementHead(g, edge); n && n != edge && steps <= g.nodes.size();
             n = getNextId(g, n), ++steps) {
            std::uint32_t kind = getKind(g, n);
            bool enumTarget =
                kind == DFG_INPUT_PARA ||
                ((kind == DFG_OUTPUT_PORT || kind == DFG_OUTPUT_VAR) &&
                 getKind(g, getAttrInt(g, n, DfgPort_DECL)) == CFG_ENUM);
            if (enumTarget) {
                printMessage(532, fileOf(g, n), lineOf(g, n), orEmpty(getAttrString(g, n, DfgPort_NAME)));
                reported = true;
            }
        }
    }

    void call(NodeId x) {
        const char* name = getAttrString(g, x, DfgFuncCall_NAME);
        NodeId target = getJumpId(g, x);
        if (getKind(g, target) != CFG_FUNCTION) target = 0;
        if (target) {
            NodeId declared = lookupDeclaration(name);
            int declaredResult = 0;
            if (!declared) {
                printMessage(533, fileOf(g, x), lineOf(g, x), orEmpty(name));
                reported = true;
            } else if ((declaredResult = compareCallArguments(g, x, declared)) != 0) {
                reported = true;
            }
            // Also when the declaration found is the definition itself. The
            // comparison then repeats the one just made: it is made again
            // only to print its messages a second time.
            if ((declared != target || declaredResult != 0) && compareCallArguments(g, x, target) != 0)
                reported = true;
        } else if (name && !isMemoryAllocator(name) && !lookupDeclaration(name) &&
                   getAttrInt(g, x, DfgFuncCall_FUNC_RETTYPE) == 0) {
            printMessage(533, fileOf(g, x), lineOf(g, x), name);
            reported = true;
        }
    }
};

}  // namespace

NodeId lookupDeclaration(const char* name) {
    if (!name) return 0;
    std::string_view key(name);
    if (NodeId local = LocalDecls.find(key)) return local;
    return FileScopeDecls.find(key);
}

int compareCallArguments(const CdfgGraph& g, NodeId call, NodeId function) {
    NodeId formals = getAttrInt(g, function, CfgFunc_ARGLIST);
    NodeId actuals = getAttrInt(g, call, DfgFuncCall_ARGLIST);
    std::size_t formalCount = chainLength(g, formals);
    std::size_t actualCount = chainLength(g, actuals);
    const char* name = orEmpty(getAttrString(g, call, DfgFuncCall_NAME));

    if (formalCount == 1 && actualCount == 0 &&
        getAttrSigned(g, formals, CfgDecl_VALTYPE) == DECL_VALTYPE_VOID &&
        parameterDepth(g, formals) == 0)
        return 0;  // f(void) called as f()
    if (formalCount != actualCount) {
        printMessage(534, fileOf(g, call), lineOf(g, call), name);
        return -1;
    }
    int result = 0;
    NodeId formal = formals;
    NodeId port = actuals;
    for (std::size_t i = 1; i <= formalCount; ++i) {
        NodeId actual = getAttrInt(g, port, DfgPortInfo_SIGNAL);
        ExprType type;
        evalExprType(g, actual, type);
        if (getKind(g, lastInChain(g, actual)) == DFG_INPUT_STRING) {
            type.valtype = DECL_VALTYPE_CHAR;
            type.pointercnt = 1;
        }
        std::int32_t depth = parameterDepth(g, formal);
        std::int32_t valtype = getAttrSigned(g, formal, CfgDecl_VALTYPE);
        bool compatible = false;
        if (type.pointercnt == depth) {
            if (depth > 0)
                compatible = type.valtype == valtype;
            else  // any scalars meet, except a value for a void parameter
                compatible = valtype != DECL_VALTYPE_VOID || type.valtype == DECL_VALTYPE_VOID;
        }
        if (!compatible) {
            printMessage(535, fileOf(g, call), lineOf(g, call), static_cast<int>(i), name);
            result = -1;
        }
        formal = getNextId(g, formal);
        port = getNextId(g, port);
    }
    return result;
}

int checkPrototypes(CdfgGraph& g) {
    FileScopeDecls.empty();
    LocalDecls.empty();
    Walker w(g);
    for (NodeId file = getAttrInt(g, findRoot(g), CfgRoot_ELEMENT); w.visit(file);
         file = getNextId(g, file)) {
        for (NodeId e = getAttrInt(g, file, CfgFileinfo_ELEMENT); w.visit(e); e = getNextId(g, e)) {
            switch (getKind(g, e)) {
                case CFG_FUNCTION:
                    // Visible in its own body: a function may call itself.
                    FileScopeDecls.add(g, e);
                    w.run(Walk::LocalDecl, getAttrInt(g, e, CfgFunc_DECLARE));
                    w.run(Walk::Statements, getAttrInt(g, e, CfgFunc_STARTCFG));
                    LocalDecls.empty();
                    break;
                case CFG_DECLARE_DEF: w.run(Walk::FileDecl, getAttrInt(g, e, CfgDeclDef_DECL)); break;
                case CFG_PROTO_FUNC: FileScopeDecls.add(g, e); break;
                default: break;
            }
        }
        // A declaration is visible only below it in its own file.
        FileScopeDecls.empty();
    }
    LocalDecls.empty();
    return w.reported ? -1 : 0;
}
