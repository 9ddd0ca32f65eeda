#include "check/declaration_checks.h"

#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "cdfg/validate.h"
#include "check/directive_checks.h"
#include "check/logical_float.h"
#include "report/messages.h"
#include "util/run_settings.h"

DeclEntry* declList = nullptr;

namespace {

// Message 523 names only the first structure with a pointer member of a run.
bool structPointerReported = false;

// A validated graph nests no deeper than this; the bound keeps an unvalidated
// one (links forming a cycle) from exhausting the stack.
constexpr int kMaxDepth = static_cast<int>(kMaxNestingDepth);

const char* const kStandardHeaders[] = {"ctype.h",  "math.h",   "signal.h", "stdio.h",
                                        "stdlib.h", "string.h", "time.h",   "unistd.h"};

template <typename... Args>
void reportAt(const CdfgGraph& g, NodeId node, int code, Args... args) {
    printMessage(code, orEmpty(getFileName(g, node)), static_cast<int>(getLine(g, node)), args...);
}

// A numeric attribute as a signed value: 64 bits when stored as such, else
// the 32-bit value sign-extended.
std::int64_t readSigned(const CdfgGraph& g, NodeId node, std::uint32_t attr) {
    if (getAttrKind(g, node, attr) == ATTR_LONGLONG) return getAttrLongLong(g, node, attr);
    return getAttrSigned(g, node, attr);
}

const char* declName(const CdfgGraph& g, NodeId declaration) {
    return orEmpty(getAttrString(g, declaration, CfgDecl_NAME));
}

// The entries of declList, taken from blocks instead of one allocation each.
std::deque<DeclEntry> entryStore;

void addEntry(CdfgGraph& g, NodeId declaration, NodeId owner) {
    DeclEntry& entry = entryStore.emplace_back(DeclEntry{declaration, owner, declList});
    declList = &entry;
    // Collected: the high bit, since the usage walk marks declarations meanwhile.
    setMarkBits(g, declaration, kMarkHigh, kMarkHigh);
}

void collectMembers(CdfgGraph& g, NodeId structNode, NodeId owner, int depth) {
    if (structNode == 0 || depth > kMaxDepth) return;
    if (getAttrSigned(g, structNode, CfgStruct_UNION) == 1) reportAt(g, owner, 524);
    for (NodeId m : chain(g, getAttrInt(g, structNode, CfgStruct_MEMBER))) {
        if (getKind(g, m) != CFG_DECLARE || getMarkBits(g, m, kMarkHigh) != 0) continue;
        addEntry(g, m, owner);
        // Marking first means a structure that contains itself ends here.
        if (getAttrSigned(g, m, CfgDecl_VALTYPE) == DECL_VALTYPE_STRUCT &&
            getAttrSigned(g, m, CfgDecl_POINTERCNT) == 0)
            collectMembers(g, getAttrInt(g, m, CfgDecl_STRUCTNODE), owner, depth + 1);
    }
}

// Depth first search for the first pointer member; structures already
// searched hold none.
bool reportPointerMember(const CdfgGraph& g, NodeId structNode, NodeId owner,
                         std::unordered_set<NodeId>& searched, int depth) {
    if (structNode == 0 || depth > kMaxDepth || !searched.insert(structNode).second) return false;
    for (NodeId m : chain(g, getAttrInt(g, structNode, CfgStruct_MEMBER))) {
        if (getKind(g, m) != CFG_DECLARE) continue;
        if (getAttrSigned(g, m, CfgDecl_POINTERCNT) > 0) {
            const char* tag = getAttrString(g, structNode, CfgStruct_TAGNAME);
            if (!tag || !*tag) tag = declName(g, owner);
            printMessage(523, tag, declName(g, m));
            return true;
        }
        if (getAttrSigned(g, m, CfgDecl_VALTYPE) == DECL_VALTYPE_STRUCT &&
            reportPointerMember(g, getAttrInt(g, m, CfgDecl_STRUCTNODE), owner, searched,
                                depth + 1))
            return true;
    }
    return false;
}

bool isAssignEdge(std::uint32_t kind) {
    return kind == DFG_EDGE_BLOCKING || kind == DFG_EDGE_NONBLOCKING;
}

bool isVariableReference(std::uint32_t kind) {
    return kind == DFG_INPUT_PORT || kind == DFG_INPUT_PARA || kind == DFG_INPUT_VAR ||
           kind == DFG_OUTPUT_PORT || kind == DFG_OUTPUT_VAR;
}

struct ConstScan {
    std::size_t budget;
    int reported = 0;
};

// True when the expression chain can be evaluated at translation time; runs
// the floating `&&`/`||` check on every operation it looks at.
bool isConstantExpr(CdfgGraph& g, NodeId first, int depth, ConstScan& scan) {
    if (depth > kMaxDepth) return true;
    for (NodeId n = first; n != 0 && scan.budget > 0; n = getNextId(g, n)) {
        --scan.budget;
        std::uint32_t kind = getKind(g, n);
        if (isAssignEdge(kind) || isVariableReference(kind) || kind == DFG_FUNC_CALL ||
            kind == DFG_SPEC)
            return false;
        if (kind != DFG_OPERATION) continue;
        if (checkLogicalFloat(g, n) != 0) scan.reported = 1;
        for (std::uint32_t attr : {DfgOpe_LEFT, DfgOpe_RIGHT, DfgOpe_COND}) {
            NodeId operand = getAttrInt(g, n, attr);
            if (operand && !isConstantExpr(g, operand, depth + 1, scan)) return false;
        }
    }
    return true;
}

// Message 511: a dimension without a size, or with a size only known at run
// time. The first dimension of a parameter may stay empty.
int checkArraySize(CdfgGraph& g, NodeId declaration, bool parameter, NodeId firstDimension) {
    ConstScan scan{chainLimit(g)};
    int result = 0;
    int index = 0;
    for (NodeId dim : chain(g, firstDimension)) {
        if (parameter && index++ == 0) continue;
        NodeId size = getAttrInt(g, dim, DfgDim_NODE);
        if (size == 0 || !isConstantExpr(g, size, 0, scan)) {
            reportAt(g, declaration, 511, declName(g, declaration));
            result = -1;
            break;
        }
    }
    return result | (scan.reported ? -1 : 0);
}

int checkEntry(CdfgGraph& g, const DeclEntry& entry) {
    NodeId d = entry.declaration;
    // The name only messages need, made when one is printed.
    std::string name;
    auto displayName = [&]() -> const char* {
        if (name.empty())
            name = entry.owner ? std::string(declName(g, entry.owner)) + "..." + declName(g, d)
                               : std::string(declName(g, d));
        return name.c_str();
    };
    // What the checks read of the declaration, in one pass over its attributes.
    enum { KIND, DIMNODE, DIRECTIVE, VALTYPE, CAST_TYPE, POINTERCNT, DIMCNT, BITEXP };
    std::array<std::uint32_t, 8> a{};
    if (const CdfgNode* node = lookupNode(g, d))
        a = readAttrInts<CfgDecl_KIND, CfgDecl_DIMNODE, CfgDecl_DIRECTIVE, CfgDecl_VALTYPE, CfgDecl_SPEC,
                         CfgDecl_POINTERCNT, CfgDecl_DIMCNT, CfgDecl_BITEXP>(g, *node);
    auto signedValue = [&a](int k) { return static_cast<std::int32_t>(a[k]); };

    int result = checkArraySize(g, d, signedValue(KIND) == DECL_ARG, a[DIMNODE]);

    for (NodeId dir : chain(g, a[DIRECTIVE])) {
        if (getAttrSigned(g, dir, DfgDirective_TYPE) == DIRE_Directive &&
            checkVariableDirective(g, d, dir) != 0)
            result = -1;
    }

    if (signedValue(VALTYPE) == DECL_VALTYPE_LONGDOUBLE) {
        reportAt(g, d, 525, displayName());
        result = -1;
    }

    NodeId specNode = a[CAST_TYPE];
    std::int64_t specPointers = specNode ? getAttrSigned(g, specNode, DfgSpec_POINTERCNT) : 0;
    std::int64_t pointers = signedValue(POINTERCNT);
    std::int64_t dims = signedValue(DIMCNT);
    if ((specNode && pointers != 0 && dims != 0) || (specPointers != 0 && (pointers != 0 || dims != 0))) {
        reportAt(g, d, 527, displayName());
        result = -1;
    }
    if (pointers >= 3 || (pointers >= 1 && pointers + dims >= 3)) {
        reportAt(g, d, 529, displayName());
        result = -1;
    }
    if (a[BITEXP] != 0) {
        reportAt(g, d, 540, displayName());
        result = -1;
    }
    return result;
}

void freeEntries() {
    declList = nullptr;
    std::deque<DeclEntry>().swap(entryStore);
}

std::int64_t wrap(std::uint64_t value) { return static_cast<std::int64_t>(value); }

std::int64_t evalNode(const CdfgGraph& g, NodeId node, int depth, std::size_t& budget) {
    if (depth > kMaxDepth) return 0;
    // Parentheses stand in the chain before what they enclose.
    std::uint32_t kind = 0;
    for (;;) {
        if (budget == 0) return 0;
        --budget;
        kind = getKind(g, node);
        if (kind != DFG_EDGE_PRESEDENCE) break;
        node = getNextId(g, node);
    }
    if (kind == DFG_INPUT_CONST) return readSigned(g, node, DfgInputCnst_INTVALUE);
    if (kind != DFG_OPERATION) return 0;
    std::int64_t l = evalNode(g, getAttrInt(g, node, DfgOpe_LEFT), depth + 1, budget);
    std::int64_t r = evalNode(g, getAttrInt(g, node, DfgOpe_RIGHT), depth + 1, budget);
    auto ul = static_cast<std::uint64_t>(l);
    auto ur = static_cast<std::uint64_t>(r);
    switch (getAttrSigned(g, node, DfgOpe_TYPE)) {
        case CALC_Plus: return l;
        case CALC_Minus: return wrap(0 - ul);
        case CALC_Not: return l == 0 ? 1 : 0;
        case CALC_BitNot: return wrap(~ul);
        case CALC_Mul: return wrap(ul * ur);
        case CALC_Add: return wrap(ul + ur);
        case CALC_Sub: return wrap(ul - ur);
        case CALC_Div:
            if (r == 0) return 0;
            if (r == -1) return wrap(0 - ul);  // INT64_MIN / -1 wraps
            return l / r;
        case CALC_Mod:
            if (r == 0 || r == -1) return 0;
            return l % r;
        case CALC_RightShift: return l >> (ur & 63);
        case CALC_LeftShift: return wrap(ul << (ur & 63));
        case CALC_Les: return l < r ? 1 : 0;
        case CALC_LesEq: return l <= r ? 1 : 0;
        case CALC_Gre: return l > r ? 1 : 0;
        case CALC_GreEq: return l >= r ? 1 : 0;
        case CALC_Eq: return l == r ? 1 : 0;
        case CALC_NotEq: return l != r ? 1 : 0;
        case CALC_LogAnd: return l != 0 && r != 0 ? 1 : 0;
        case CALC_LogOr: return l != 0 || r != 0 ? 1 : 0;
        case CALC_And: return wrap(ul & ur);
        case CALC_Or: return wrap(ul | ur);
        case CALC_Xor: return wrap(ul ^ ur);
        default: return 0;
    }
}

// Structure sizes computed during one elementSize call; a structure that is
// still being summed when it is met again (a damaged graph) counts 0.
struct SizeMemo {
    std::unordered_map<NodeId, std::int64_t> sizes;
    std::unordered_set<NodeId> open;
};

std::int64_t sizeOf(const CdfgGraph& g, NodeId declaration, SizeMemo& memo, int depth);

std::int64_t structSize(const CdfgGraph& g, NodeId structNode, SizeMemo& memo, int depth) {
    if (structNode == 0 || depth > kMaxDepth) return 0;
    if (auto found = memo.sizes.find(structNode); found != memo.sizes.end()) return found->second;
    if (!memo.open.insert(structNode).second) return 0;
    std::uint64_t sum = 0;
    for (NodeId m : chain(g, getAttrInt(g, structNode, CfgStruct_MEMBER))) {
        if (getKind(g, m) != CFG_DECLARE) continue;
        std::int64_t count = elementCount(g, m);
        if (count <= 0) count = 1;
        sum += static_cast<std::uint64_t>(count) *
               static_cast<std::uint64_t>(sizeOf(g, m, memo, depth + 1));
    }
    memo.open.erase(structNode);
    memo.sizes[structNode] = wrap(sum);
    return wrap(sum);
}

std::int64_t sizeOf(const CdfgGraph& g, NodeId declaration, SizeMemo& memo, int depth) {
    if (getAttrSigned(g, declaration, CfgDecl_POINTERCNT) > 0) return 4;
    switch (getAttrSigned(g, declaration, CfgDecl_VALTYPE)) {
        case DECL_VALTYPE_NONE:
        case DECL_VALTYPE_VOID:
        case DECL_VALTYPE_CHAR: return 1;
        case DECL_VALTYPE_SHORT: return 2;
        case DECL_VALTYPE_LONGLONG:
        case DECL_VALTYPE_DOUBLE: return 8;
        case DECL_VALTYPE_LONGDOUBLE: return 12;
        case DECL_VALTYPE_STRUCT: {
            NodeId s = getAttrInt(g, declaration, CfgDecl_STRUCTNODE);
            if (s == 0) s = getAttrInt(g, declaration, CfgDecl_STRUCTORGNODE);
            return structSize(g, s, memo, depth);
        }
        default: return 4;
    }
}

}  // namespace

int collectDeclaration(CdfgGraph& g, NodeId node) {
    const CdfgNode* record = lookupNode(g, node);
    if (!record) return 0;
    NodeId declaration = node;
    if (record->kind != CFG_DECLARE) {
        declaration = attrInt(g, *record, DfgPort_DECL);
        record = lookupNode(g, declaration);
        if (!record || record->kind != CFG_DECLARE) return 0;
    }
    // Most references name a declaration collected already.
    if (markBits(*record, kMarkHigh) != 0) return 0;
    if (getAttrSigned(g, declaration, CfgDecl_VALTYPE) == DECL_VALTYPE_STRUCT) {
        // Structures of the standard headers (FILE and the like) are the
        // library's business, not the program's.
        if (!isStandardHeaderStruct(g, declaration)) {
            addEntry(g, declaration, 0);
            NodeId structNode = getAttrInt(g, declaration, CfgDecl_STRUCTNODE);
            collectMembers(g, structNode, declaration, 0);
            if (runSettings.structPointerMemberCheck && !structPointerReported) {
                std::unordered_set<NodeId> searched;
                if (reportPointerMember(g, structNode, declaration, searched, 0))
                    structPointerReported = true;
            }
        }
    } else {
        addEntry(g, declaration, 0);
    }
    if (runSettings.multiPointerCheck && getAttrSigned(g, declaration, CfgDecl_POINTERCNT) >= 2)
        reportAt(g, declaration, 522, declName(g, declaration));
    return 0;
}

// The records of the declarations lie anywhere: each entry's record and
// attributes are asked for a few entries ahead, the attributes once the
// record has come.
class EntriesAhead {
public:
    EntriesAhead(const CdfgGraph& g, const DeclEntry* first) : g_(g), record_(first), attrs_(first) {
        for (int i = 0; i < kRecordAhead && record_; ++i) step();
    }
    void step() {
        if (record_) {
            if (const CdfgNode* n = lookupNode(g_, record_->declaration)) cdfg_detail::prefetchPast(n, 0);
            record_ = record_->next;
        }
        if (attrs_ && stepped_++ >= kRecordAhead - kAttrsAhead) {
            if (const CdfgNode* n = lookupNode(g_, attrs_->declaration))
                cdfg_detail::prefetchPast(g_.attrs.data() + n->attrBegin, 0);
            attrs_ = attrs_->next;
        }
    }

private:
    static constexpr int kRecordAhead = 16, kAttrsAhead = 8;
    const CdfgGraph& g_;
    const DeclEntry* record_;
    const DeclEntry* attrs_;
    int stepped_ = 0;
};

int checkDeclarationEntries(CdfgGraph& g) {
    int result = 0;
    EntriesAhead ahead(g, declList);
    for (const DeclEntry* entry = declList; entry; entry = entry->next) {
        ahead.step();
        result |= checkEntry(g, *entry);
    }
    for (const DeclEntry* entry = declList; entry; entry = entry->next)
        setMarkBits(g, entry->declaration, kMarkHigh, 0);
    freeEntries();
    return result;
}

int isStandardHeaderStruct(const CdfgGraph& g, NodeId declaration) {
    const char* file = getFileName(g, getAttrInt(g, declaration, CfgDecl_STRUCTORGNODE));
    if (!file) return 0;
    const char* base = file;
    for (const char* p = file; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    for (const char* header : kStandardHeaders)
        if (std::strcmp(base, header) == 0) return 1;
    return 0;
}

std::int64_t evalConstExpr(const CdfgGraph& g, NodeId node) {
    std::size_t budget = chainLimit(g);
    return evalNode(g, node, 0, budget);
}

std::int64_t elementCount(const CdfgGraph& g, NodeId declaration) {
    std::uint64_t count = 1;
    for (NodeId dim : chain(g, getAttrInt(g, declaration, CfgDecl_DIMNODE))) {
        NodeId expr = getAttrInt(g, dim, DfgDim_NODE);
        std::int64_t size = getKind(g, expr) == DFG_OPERATION ? evalConstExpr(g, expr)
                                                               : readSigned(g, dim, DfgDim_CNT);
        if (size > 0) count *= static_cast<std::uint64_t>(size);
    }
    return wrap(count);
}

std::int64_t elementSize(const CdfgGraph& g, NodeId declaration) {
    SizeMemo memo;
    return sizeOf(g, declaration, memo, 0);
}

void resetDeclarationChecks() {
    structPointerReported = false;
    freeEntries();
}
