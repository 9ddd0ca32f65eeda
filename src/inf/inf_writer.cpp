#include "inf/inf_writer.h"

#include <cstdio>
#include <string>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cdfg/chain.h"
#include "directive/directive_parser.h"
#include "report/messages.h"
#include "util/files.h"

// The INF file lists the module functions and every function reachable from
// them with the directives on the function and on its declarations. The
// writer finds the modules itself (it also runs without the checks). One walk
// over every function collects the targets of module directives and, per
// function, its calls and its declarations in walk order; following the calls
// from the modules and writing the records then use those lists instead of
// walking the graph again (each walk of a large graph costs a cache miss per
// node).

namespace {

// Nesting beyond which a walk goes no deeper. Following calls, a walk nests
// three levels or more per call, so call chains of more than 160,000
// functions are followed fully; the stack the program runs on holds this
// depth with a wide margin (as kMaxCallWalkDepth, docs/robustness.md).
constexpr std::size_t kMaxInfDepth = 500000;

// A call met by the walk of a function, in walk order (pre-order).
struct CallRecord {
    NodeId target = 0;
    int directive = -1;
    // Nesting of the call's node below the walk of its function's start.
    std::size_t depth = 0;
    // Index past the last call inside this call's arguments.
    std::uint32_t end = 0;
};

// A declaration the file lists: its name and the text of its first directive,
// taken while the walk has its node in hand (nullptr: none).
struct DeclarationRecord {
    const char* name = nullptr;
    const char* directive = nullptr;
};

struct FunctionRecord {
    bool reached = false;
    std::uint32_t callBegin = 0, callEnd = 0;
    std::uint32_t declBegin = 0, declEnd = 0;
};

struct InfWriter {
    CdfgGraph* graph = nullptr;
    // Every function of the program (index into functions).
    std::unordered_map<NodeId, std::uint32_t> functionTable;
    std::vector<FunctionRecord> functions;
    std::vector<CallRecord> calls;
    // Declarations whose records the file lists, in walk order.
    std::vector<DeclarationRecord> declarations;
    // Targets of module directives in the order found (repeats kept).
    std::vector<NodeId> moduleFunctions;
    // Functions in the order first reached (depth-first pre-order).
    std::vector<NodeId> reachList;
    NodeId mainFunction = 0;
    std::string* out = nullptr;
    std::size_t depth = 0;
    // Node visits left. A well-formed graph visits each node at most once;
    // the budget stops a corrupt graph whose links share or loop from making
    // the walk explode.
    std::size_t budget = 0;
};

class Nesting {
public:
    explicit Nesting(InfWriter& w) : w_(w) { ++w_.depth; }
    ~Nesting() { --w_.depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    bool tooDeep() const { return w_.depth > kMaxInfDepth; }

private:
    InfWriter& w_;
};

bool spend(InfWriter& w) {
    if (w.budget == 0) return false;
    --w.budget;
    return true;
}

// Text of the first directive of a chain, whatever its type.
const char* firstDirectiveText(const CdfgGraph& g, NodeId first) {
    return first ? getAttrString(g, first, DfgDirective_STR) : nullptr;
}

// Kind of a tool directive node; -1 when it is not one or its text names no kind.
int directiveKind(const CdfgGraph& g, NodeId directive) {
    if (!directive || getAttrSigned(g, directive, DfgDirective_TYPE) != DIRE_Directive) return -1;
    std::unique_ptr<DirectiveRecord> record = parseDirectiveText(getAttrString(g, directive, DfgDirective_STR));
    return record ? static_cast<int>(record->kind) : -1;
}

void walkExpression(InfWriter& w, NodeId node);

// Follows the calls of a function first reached at nesting `depth` (the
// nesting of the node that calls it), as a walk of it would.
void visit(InfWriter& w, NodeId function, std::size_t depth) {
    auto found = w.functionTable.find(function);
    if (found == w.functionTable.end()) return;
    FunctionRecord& record = w.functions[found->second];
    if (record.reached) return;
    record.reached = true;
    w.reachList.push_back(function);
    std::uint32_t end = record.callEnd;
    for (std::uint32_t i = record.callBegin; i < end;) {
        const CallRecord call = w.calls[i];
        // Too deep for the walk, and so are the calls inside its arguments.
        if (depth + call.depth > kMaxInfDepth) {
            i = call.end;
            continue;
        }
        if (call.directive == DIRECTIVE_UNMODULE || call.directive == DIRECTIVE_EVFUNC || !call.target) {
            i = call.end;  // its arguments are not followed either
            continue;
        }
        visit(w, call.target, depth + call.depth);
        ++i;
    }
}

void walkOperator(InfWriter& w, NodeId node);

// A node by the walk rules; asOperand: the operand rule (an assignment edge
// then has no sides of its own).
void walkNode(InfWriter& w, NodeId node, bool asOperand) {
    Nesting nesting(w);
    if (nesting.tooDeep()) return;
    CdfgGraph& g = *w.graph;
    while (node != 0 && spend(w)) {
        std::uint32_t kind = getKind(g, node);
        if (!asOperand && kind == DFG_EDGE_BLOCKING) {
            walkNode(w, getPrevId(g, node), false);
            node = getNextId(g, node);
            continue;
        }
        asOperand = false;
        switch (kind) {
            case DFG_FUNC_CALL: {
                int directive = directiveKind(g, getAttrInt(g, node, DfgFuncCall_DIRECTIVE));
                NodeId target = getJumpId(g, node);
                if (directive == DIRECTIVE_MODULE && target) w.moduleFunctions.push_back(target);
                std::size_t index = w.calls.size();
                w.calls.push_back({target, directive, w.depth, 0});
                for (NodeId a : chain(g, getAttrInt(g, node, DfgFuncCall_ARGLIST)))
                    walkExpression(w, getAttrInt(g, a, DfgPortInfo_SIGNAL));
                w.calls[index].end = static_cast<std::uint32_t>(w.calls.size());
                return;
            }
            case DFG_SPEC:
            case DFG_EDGE_PRESEDENCE: node = getNextId(g, node); continue;
            case DFG_INPUT_CONST:
            case DFG_INPUT_STRING: return;
            case CFG_MEMBER_LIST: node = getAttrInt(g, node, CfgMemberList_MEMBER); continue;
            case CFG_MEMBER:
                walkNode(w, getAttrInt(g, node, CfgMember_SIGNAL), false);
                node = getNextId(g, node);
                continue;
            case DFG_INPUT_VAR:
            case DFG_OUTPUT_VAR: {
                for (NodeId d : chain(g, getAttrInt(g, node, DfgPort_DIMNODE)))
                    walkExpression(w, getAttrInt(g, d, DfgDim_NODE));
                return;
            }
            default: walkOperator(w, node); return;
        }
    }
}

void walkOperator(InfWriter& w, NodeId node) {
    const CdfgGraph& g = *w.graph;
    std::int32_t t = getAttrSigned(g, node, DfgOpe_TYPE);
    bool unary = (t >= 1 && t <= 4) || (t >= 60 && t <= 63);
    bool binary = (t >= 11 && t <= 28) || (t >= 50 && t <= 59);
    bool conditional = t == CALC_LogCond;
    if (!unary && !binary && !conditional) return;
    walkNode(w, getAttrInt(g, node, DfgOpe_LEFT), true);
    if (unary) return;
    walkNode(w, getAttrInt(g, node, DfgOpe_RIGHT), true);
    if (conditional) walkNode(w, getAttrInt(g, node, DfgOpe_COND), true);
}

// A chain of DFG_MANAGE_OPERATION nodes (each names an expression) or a
// single expression node.
void walkExpression(InfWriter& w, NodeId node) {
    const CdfgGraph& g = *w.graph;
    if (getKind(g, node) != DFG_MANAGE_OPERATION) {
        walkNode(w, node, false);
        return;
    }
    for (NodeId m : chain(g, node)) walkNode(w, getAttrInt(g, m, DfgOpeman_OPE), false);
}

void walkDeclarations(InfWriter& w, NodeId first) {
    const CdfgGraph& g = *w.graph;
    for (NodeId d : chain(g, first)) {
        if (getKind(g, d) != CFG_DECLARE) continue;
        bool voidParameter = getAttrSigned(g, d, CfgDecl_VALTYPE) == DECL_VALTYPE_VOID &&
                             getAttrSigned(g, d, CfgDecl_POINTERCNT) == 0;
        if (!voidParameter)
            w.declarations.push_back({getAttrString(g, d, CfgDecl_NAME),
                                      firstDirectiveText(g, getAttrInt(g, d, CfgDecl_DIRECTIVE))});
        walkExpression(w, getAttrInt(g, d, CfgDecl_INIT));
        for (NodeId dim : chain(g, getAttrInt(g, d, CfgDecl_DIMNODE))) walkExpression(w, getAttrInt(g, dim, DfgDim_NODE));
    }
}

bool opensTranslateOff(const CdfgGraph& g, NodeId statement) {
    return directiveKind(g, getAttrInt(g, statement, CfgStateBegin_DIRECTIVE)) == DIRECTIVE_TRANSLATE_OFF;
}

void walkStatements(InfWriter& w, NodeId first) {
    Nesting nesting(w);
    if (nesting.tooDeep()) return;
    const CdfgGraph& g = *w.graph;
    // Not a range over the chain: a translate_off block is stepped over inside.
    const std::size_t limit = chainLimit(g);
    std::size_t steps = 0;
    for (NodeId s = first; s != 0 && steps < limit; s = getNextId(g, s), ++steps) {
        switch (getKind(g, s)) {
            case CFG_DECLARE_DEF: walkDeclarations(w, getAttrInt(g, s, CfgDeclDef_DECL)); break;
            case CFG_STATE_BEGIN:
                if (opensTranslateOff(g, s)) {
                    // Nothing up to the closing translate_on is for the flow.
                    while (s != 0 && getKind(g, s) != CFG_STATE_END && steps < limit) {
                        s = getNextId(g, s);
                        ++steps;
                    }
                    if (s == 0 || steps >= limit) return;
                }
                break;
            case CFG_STATE_DATAPATH:
            case CFG_RETURN: walkExpression(w, getAttrInt(g, s, 2)); break;
            case CFG_STATE_IF: {
                walkExpression(w, getAttrInt(g, s, CfgStateIf_CONDOPE));
                for (NodeId b : chain(g, getAttrInt(g, s, CfgStateIf_STATOPE))) {
                    std::uint32_t kind = getKind(g, b);
                    if (kind == CFG_IF_THEN)
                        walkStatements(w, getAttrInt(g, b, CfgIfThen_CFG));
                    else if (kind == CFG_IF_ELSE)
                        walkStatements(w, getAttrInt(g, b, CfgIfElse_CFG));
                }
                break;
            }
            case CFG_STATE_CASE: {
                for (NodeId item : chain(g, getAttrInt(g, s, CfgStateCase_STATOPE)))
                    walkStatements(w, getAttrInt(g, item, CfgCaseItem_CFG));
                break;
            }
            case CFG_LOOP_BEGIN: {
                for (NodeId p : chain(g, getAttrInt(g, s, CfgLoopBegin_CFG))) {
                    std::uint32_t kind = getKind(g, p);
                    if (kind == CFG_LOOP_COND)
                        walkExpression(w, getAttrInt(g, p, CfgLoopCond_CONDOPE));
                    else if (kind == CFG_LOOP_STAT)
                        walkStatements(w, getAttrInt(g, p, CfgLoopStat_CFG));
                }
                break;
            }
            default: break;
        }
    }
}

void walkFunction(InfWriter& w, NodeId function, FunctionRecord& record) {
    record.callBegin = static_cast<std::uint32_t>(w.calls.size());
    record.declBegin = static_cast<std::uint32_t>(w.declarations.size());
    {
        Nesting nesting(w);
        const CdfgGraph& g = *w.graph;
        walkDeclarations(w, getAttrInt(g, function, CfgFunc_ARGLIST));
        walkDeclarations(w, getAttrInt(g, function, CfgFunc_DECLARE));
        walkStatements(w, getAttrInt(g, function, CfgFunc_STARTCFG));
    }
    record.callEnd = static_cast<std::uint32_t>(w.calls.size());
    record.declEnd = static_cast<std::uint32_t>(w.declarations.size());
}

void collect(InfWriter& w) {
    CdfgGraph& g = *w.graph;
    w.budget = 4 * g.nodes.size() + 64;
    for (NodeId file : chain(g, getAttrInt(g, findRoot(g), CfgRoot_ELEMENT))) {
        for (NodeId f : chain(g, getAttrInt(g, file, CfgFileinfo_ELEMENT))) {
            if (getKind(g, f) != CFG_FUNCTION) continue;
            auto [entry, added] = w.functionTable.try_emplace(f, static_cast<std::uint32_t>(w.functions.size()));
            if (added) w.functions.emplace_back();
            FunctionRecord& record = w.functions[entry->second];
            record = FunctionRecord{};
            const char* name = getAttrString(g, f, CfgFunc_NAME);
            if (name && std::strcmp(name, "main") == 0) w.mainFunction = f;
            walkFunction(w, f, record);
        }
    }
}

// Appends a text up to its first NUL, as "%s" would print it.
void put(std::string& out, const char* s) {
    if (s) out.append(s);
}

void writeFile(InfWriter& w) {
    const CdfgGraph& g = *w.graph;
    std::string& out = *w.out;
    out += "%%\n";
    out += "+-+-+module(s)+-+-+\n";
    if (w.moduleFunctions.empty()) {
        out += " ...no module(only test bench).\n";
    } else {
        for (NodeId m : w.moduleFunctions) {
            out += " >> `";
            put(out, getAttrString(g, m, CfgFunc_NAME));
            out += "()'\n";
        }
        long long submodules = static_cast<long long>(w.reachList.size()) -
                               static_cast<long long>(w.moduleFunctions.size());
        out += " ...and ";
        out += std::to_string(submodules);
        out += " submodule(s).\n";
    }
    out += "\n";
    out += "%%\n";
    for (NodeId f : w.reachList) {
        const FunctionRecord& record = w.functions[w.functionTable[f]];
        put(out, getAttrString(g, f, CfgFunc_NAME));
        out += ',';
        put(out, getFileName(g, f));
        out += ",\"";
        put(out, firstDirectiveText(g, getAttrInt(g, f, CfgFunc_DIRECTIVE)));
        out += '"';
        for (std::uint32_t i = record.declBegin; i < record.declEnd; ++i) {
            const DeclarationRecord& d = w.declarations[i];
            out += '%';
            put(out, d.name);
            out += ",\"";
            put(out, d.directive);
            out += '"';
        }
        out += ';';
    }
}

}  // namespace

struct PreparedInf {
    bool memoryFailed = false;
    bool hasMain = false;
    std::string text;
};

void PreparedInfEnd::operator()(PreparedInf* inf) const { delete inf; }

PreparedInfPtr prepareInf(CdfgGraph& g) {
    PreparedInfPtr inf(new PreparedInf);
    try {
        InfWriter w;
        w.graph = &g;
        collect(w);
        inf->hasMain = w.mainFunction != 0;
        if (!inf->hasMain) return inf;
        for (std::size_t i = 0; i < w.moduleFunctions.size(); ++i) visit(w, w.moduleFunctions[i], 0);
        w.out = &inf->text;
        writeFile(w);
    } catch (const std::bad_alloc&) {
        inf->memoryFailed = true;
    }
    return inf;
}

int writePreparedInf(PreparedInf& inf, const char* path) {
    if (inf.memoryFailed) {
        std::perror("error memory");
        return -1;
    }
    if (!inf.hasMain) {
        printMessage(501);
        return -1;
    }
    // Written over the old contents and cut to length afterwards instead of
    // truncated first: emptying a file whose last contents are not yet on
    // disk makes some file systems write them out first, which costs more
    // than the whole run of a small program.
    const int fd = path ? ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666) : -1;
    if (fd < 0) {
        printMessage(453, orEmpty(path));
        return -1;
    }
    const std::size_t written = writeAll(fd, inf.text.data(), inf.text.size());
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const off_t size = static_cast<off_t>(written);
        // A failure here is ignored as a short write is.
        if (st.st_size > size) static_cast<void>(::ftruncate(fd, size) == 0);
    }
    ::close(fd);
    return 0;
}

int writeInf(CdfgGraph& g, const char* path) {
    PreparedInfPtr inf = prepareInf(g);
    return writePreparedInf(*inf, path);
}
