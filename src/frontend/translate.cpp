#include "frontend/translate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory_resource>
#include <optional>
#include <tuple>
#include <set>

#include "cdfg/graph_ops.h"
#include "frontend/clang_util.h"
#include "frontend/directive_comments.h"

Program::Program(CdfgGraph& graph) : g(graph) {}

namespace {

// Cursors compared as libclang compares them (a declaration's data[1], set
// only when it was reached through its declaration statement, is not part
// of it), inline: the translation hashes every cursor of the program.
bool sameCursor(const CXCursor& a, const CXCursor& b) {
    return a.kind == b.kind && a.xdata == b.xdata && a.data[0] == b.data[0] && a.data[2] == b.data[2] &&
           (clang_isDeclaration(a.kind) || a.data[1] == b.data[1]);
}
struct CursorHash {
    std::size_t operator()(const CXCursor& c) const {
        const void* key = clang_isDeclaration(c.kind) ? c.data[0] : c.data[1];
        return std::hash<const void*>()(key) ^ (static_cast<std::size_t>(c.kind) * 0x9e3779b97f4a7c15ull);
    }
};
struct CursorEqual {
    bool operator()(const CXCursor& a, const CXCursor& b) const { return sameCursor(a, b); }
};
template <typename T>
using CursorMap = std::unordered_map<CXCursor, T, CursorHash, CursorEqual>;
template <typename T>
using ArenaCursorMap = std::pmr::unordered_map<CXCursor, T, CursorHash, CursorEqual>;

// A chain of nodes linked by NextId/PrevId, built from the front.
struct Chain {
    NodeId first = 0;
    NodeId last = 0;
};

// An expression as a chain: head is its first node, named the node that an
// owning attribute names. They differ for an assignment, whose chain is
// target -> edge -> value and whose owner names the edge; the target then
// keeps PrevId 0.
struct Expr {
    NodeId head = 0;
    NodeId named = 0;
    bool assignment = false;
};

// The C type of a declaration as the graph records it.
struct TypeShape {
    std::int32_t valtype = DECL_VALTYPE_INT;
    std::int32_t sign = DECL_SIGNED;
    std::uint32_t pointers = 0;       // levels outside any parentheses
    std::uint32_t innerPointers = 0;  // (*p)[n], (*f)(...)
    // Array dimensions, outermost first: the constant size, kNoSize for
    // "[]" and kVariableSize for a size only known at run time.
    std::vector<long long> dims;
    std::vector<bool> dimWritten;  // false: the dimension comes from a typedef
    bool function = false;         // a pointer to a function
    CXType functionType{};
    CXCursor record = clang_getNullCursor();  // structure or union
    CXCursor enumeration = clang_getNullCursor();
    CXCursor typedefDecl = clang_getNullCursor();  // the first typedef named
    const char* unsupported = nullptr;
};

constexpr long long kNoSize = -1;
constexpr long long kVariableSize = -2;
constexpr int kMaxStructNesting = 64;

TypeShape shapeOf(CXType t) {
    TypeShape s;
    bool written = true;
    for (int guard = 0; guard < 256; ++guard) {
        switch (t.kind) {
            case CXType_Elaborated:
                t = clang_Type_getNamedType(t);
                continue;
            case CXType_Typedef:
                if (isNull(s.typedefDecl)) s.typedefDecl = clang_getTypeDeclaration(t);
                written = false;
                t = clang_getCanonicalType(t);
                continue;
            case CXType_Attributed:
                t = clang_Type_getModifiedType(t);
                continue;
            case CXType_Atomic:
                t = clang_Type_getValueType(t);
                continue;
            case CXType_ConstantArray:
            case CXType_IncompleteArray:
            case CXType_VariableArray:
            case CXType_DependentSizedArray:
                if (s.pointers > 0) {  // a pointer to an array: (*p)[n]
                    s.innerPointers += s.pointers;
                    s.pointers = 0;
                }
                s.dims.push_back(t.kind == CXType_ConstantArray    ? clang_getArraySize(t)
                                 : t.kind == CXType_IncompleteArray ? kNoSize
                                                                    : kVariableSize);
                s.dimWritten.push_back(written);
                t = clang_getArrayElementType(t);
                continue;
            case CXType_Pointer:
            case CXType_BlockPointer:
                ++s.pointers;
                t = clang_getPointeeType(t);
                continue;
            case CXType_FunctionProto:
            case CXType_FunctionNoProto:
                s.function = true;
                s.functionType = t;
                s.innerPointers += s.pointers;
                s.pointers = 0;
                t = clang_getResultType(t);
                continue;
            case CXType_Void:
                s.valtype = DECL_VALTYPE_VOID;
                s.sign = DECL_SIGNED_NONE;
                return s;
            case CXType_Bool:
                s.valtype = DECL_VALTYPE_BOOL;
                s.sign = DECL_UNSIGNED;
                return s;
            case CXType_Char_U:
            case CXType_UChar:
                s.valtype = DECL_VALTYPE_CHAR;
                s.sign = DECL_UNSIGNED;
                return s;
            case CXType_Char_S:
            case CXType_SChar:
                s.valtype = DECL_VALTYPE_CHAR;
                return s;
            case CXType_UShort:
                s.sign = DECL_UNSIGNED;
                [[fallthrough]];
            case CXType_Short:
                s.valtype = DECL_VALTYPE_SHORT;
                return s;
            case CXType_UInt:
            case CXType_WChar:
            case CXType_Char16:
            case CXType_Char32:
                s.sign = DECL_UNSIGNED;
                [[fallthrough]];
            case CXType_Int:
                s.valtype = DECL_VALTYPE_INT;
                return s;
            case CXType_ULong:
                s.sign = DECL_UNSIGNED;
                [[fallthrough]];
            case CXType_Long:
                s.valtype = DECL_VALTYPE_LONG;
                return s;
            case CXType_ULongLong:
            case CXType_UInt128:
                s.sign = DECL_UNSIGNED;
                [[fallthrough]];
            case CXType_LongLong:
            case CXType_Int128:
                s.valtype = DECL_VALTYPE_LONGLONG;
                return s;
            case CXType_Half:
            case CXType_Float16:
            case CXType_Float:
                s.valtype = DECL_VALTYPE_FLOAT;
                return s;
            case CXType_Double:
                s.valtype = DECL_VALTYPE_DOUBLE;
                return s;
            case CXType_LongDouble:
            case CXType_Float128:
                s.valtype = DECL_VALTYPE_LONGDOUBLE;
                return s;
            case CXType_Record:
                s.valtype = DECL_VALTYPE_STRUCT;
                s.sign = DECL_SIGNED_NONE;
                s.record = clang_getTypeDeclaration(t);
                return s;
            case CXType_Enum:
                s.valtype = DECL_VALTYPE_INT;
                s.enumeration = clang_getTypeDeclaration(t);
                return s;
            case CXType_Complex:
                s.unsupported = "a _Complex type";
                return s;
            case CXType_Vector:
            case CXType_ExtVector:
                s.unsupported = "a vector type";
                return s;
            default: {
                CXType canonical = clang_getCanonicalType(t);
                if (canonical.kind == t.kind) {
                    s.unsupported = "a type that the graph has no value type for";
                    return s;
                }
                t = canonical;
                continue;
            }
        }
    }
    s.unsupported = "a type nested too deeply";
    return s;
}

std::int32_t binaryOperator(CXBinaryOperatorKind op) {
    switch (op) {
        case CXBinaryOperator_Mul: return CALC_Mul;
        case CXBinaryOperator_Div: return CALC_Div;
        case CXBinaryOperator_Rem: return CALC_Mod;
        case CXBinaryOperator_Add: return CALC_Add;
        case CXBinaryOperator_Sub: return CALC_Sub;
        case CXBinaryOperator_Shl: return CALC_LeftShift;
        case CXBinaryOperator_Shr: return CALC_RightShift;
        case CXBinaryOperator_LT: return CALC_Les;
        case CXBinaryOperator_GT: return CALC_Gre;
        case CXBinaryOperator_LE: return CALC_LesEq;
        case CXBinaryOperator_GE: return CALC_GreEq;
        case CXBinaryOperator_EQ: return CALC_Eq;
        case CXBinaryOperator_NE: return CALC_NotEq;
        case CXBinaryOperator_And: return CALC_And;
        case CXBinaryOperator_Xor: return CALC_Xor;
        case CXBinaryOperator_Or: return CALC_Or;
        case CXBinaryOperator_LAnd: return CALC_LogAnd;
        case CXBinaryOperator_LOr: return CALC_LogOr;
        case CXBinaryOperator_MulAssign: return CALC_MulEqu;
        case CXBinaryOperator_DivAssign: return CALC_DivEqu;
        case CXBinaryOperator_RemAssign: return CALC_ModEqu;
        case CXBinaryOperator_AddAssign: return CALC_AddEqu;
        case CXBinaryOperator_SubAssign: return CALC_SubEqu;
        case CXBinaryOperator_ShlAssign: return CALC_LShiftEqu;
        case CXBinaryOperator_ShrAssign: return CALC_RShiftEqu;
        case CXBinaryOperator_AndAssign: return CALC_AndEqu;
        case CXBinaryOperator_XorAssign: return CALC_XorEqu;
        case CXBinaryOperator_OrAssign: return CALC_OrEqu;
        // A comma inside an operand; commas at the top of a statement or a
        // loop header become separate items of the expression list instead.
        case CXBinaryOperator_Comma: return CALC_Concat;
        default: return 0;
    }
}

bool isCompoundAssignment(std::int32_t calc) { return calc >= CALC_MulEqu && calc <= CALC_XorEqu; }

// The attributes through which a reference, a call or a postfix expression
// carries dereferences, subscripts and member selection.
struct AccessAttrs {
    std::uint32_t pointers;
    std::uint32_t address;  // 0: none
    std::uint32_t dimCount;
    std::uint32_t dimNode;
    std::uint32_t member;
    std::uint32_t parent;  // 0: none
};

std::optional<AccessAttrs> accessAttrsOf(std::uint32_t kind) {
    if (kind == DFG_INPUT_VAR || kind == DFG_OUTPUT_VAR || kind == DFG_INPUT_PARA)
        return AccessAttrs{DfgPort_POINTERCNT, DfgPort_ADDRFLG, DfgPort_DIMCNT,
                           DfgPort_DIMNODE,    DfgPort_STRSON,  DfgPort_STRPARENT};
    if (kind == DFG_FUNC_CALL)
        return AccessAttrs{DfgFuncCall_POINCNT, 0, DfgFuncCall_DIMCNT, DfgFuncCall_DIMNODE,
                           DfgFuncCall_STRSON,  0};
    if (kind == DFG_POSTFIX)
        return AccessAttrs{DfgPostfix_POINTERCNT, DfgPostfix_ADRCNT,  DfgPostfix_DIMCNT,
                           DfgPostfix_DIMNODE,    DfgPostfix_STRSON, DfgPostfix_STRPARENT};
    return std::nullopt;
}

struct Candidate {
    enum Kind { Declaration, Call, Loop, Function } kind;
    NodeId node;
    std::uint32_t attr;  // the node's directive chain
    unsigned line;
    unsigned offset;
    CXCursor cursor;  // a call's, for its last line when that is asked for
};

class Translator {
public:
    Translator(Program& program, CXTranslationUnit tu, const std::string& fileName)
        : p_(program), g_(program.g), tu_(tu), fileName_(fileName) {
        CXCursor unit = clang_getTranslationUnitCursor(tu);
        mainFile_ = clang_getFile(tu, fileName.c_str());
        if (!mainFile_) {
            // The file as the compiler names it: the first top-level cursor's.
            std::vector<CXCursor> top = childrenOf(unit);
            if (!top.empty()) mainFile_ = filePlace(clang_getCursorLocation(top.front())).file;
        }
        if (mainFile_) {
            std::size_t size = 0;
            const char* text = clang_getFileContents(tu, mainFile_, &size);
            if (text) mainSource_ = std::string_view(text, size);
        }
        for (DirectiveComment& d : scanDirectiveComments(mainSource_)) {
            if (directiveTarget(directiveKeyword(d.text)) == DirectiveTarget::BlockMarker)
                markers_.push_back({std::move(d), false});
            else
                directives_.push_back(std::move(d));
        }
    }

    void run() {
        NodeId file = createNode(g_, CFG_FILEINFO);
        setFileName(g_, file, fileName_);
        setAttrString(g_, file, CfgFileinfo_NAME, fileName_);
        if (p_.lastFile) {
            setNextId(g_, p_.lastFile, file);
            setPrevId(g_, file, p_.lastFile);
        } else {
            setAttrNode(g_, p_.root, CfgRoot_ELEMENT, file);
            setPrevId(g_, file, p_.root);
        }
        p_.lastFile = file;

        Chain elements;
        std::vector<CXCursor> top = childrenOf(clang_getTranslationUnitCursor(tu_));
        for (std::size_t i = 0; i < top.size(); ++i) {
            CXCursor c = top[i];
            if (clang_getCursorKind(c) == CXCursor_VarDecl) {
                // Declarators of one declaration share its start: one element.
                std::size_t end = i + 1;
                while (end < top.size() && clang_getCursorKind(top[end]) == CXCursor_VarDecl &&
                       clang_equalLocations(startOf(top[end]), startOf(c)))
                    ++end;
                NodeId def = make(CFG_DECLARE_DEF, startOf(c));
                Chain decls;
                for (std::size_t k = i; k < end; ++k) append(decls, variable(top[k], DECL_VAR));
                ownChain(def, CfgDeclDef_DECL, decls);
                append(elements, def);
                i = end - 1;
                continue;
            }
            typeOrFunction(c, elements, elements);
        }
        ownChain(file, CfgFileinfo_ELEMENT, elements);
        finishStructLinks();
        attachDirectives();
        for (const PendingMarker& m : markers_)
            if (!m.used) warn(m.comment, "it is not between two statements of a function body");
    }

private:
    struct PendingMarker {
        DirectiveComment comment;
        bool used;
    };

    // ---- the tree -------------------------------------------------------------

    // The children of a cursor. A function body is visited once, in one
    // pass of libclang's visitor, and its tree kept: a visitor per cursor
    // costs more than the rest of the translation.
    using Cursors = std::pmr::vector<CXCursor>;

    const Cursors& children(CXCursor c) {
        auto it = kids_.find(c);
        if (it != kids_.end()) return it->second;
        std::vector<CXCursor> found = childrenOf(c);
        Cursors& kids = kids_.try_emplace(c).first->second;
        kids.assign(found.begin(), found.end());
        return kids;
    }

    void loadTree(CXCursor root) {
        // The visitor reports each cursor with its parent, in preorder: the
        // path from the root to the current cursor is a stack. The root's
        // own children may name a parent made anew, unequal to the root.
        struct Level {
            CXCursor cursor;
            Cursors* kids;
        };
        struct Load {
            ArenaCursorMap<Cursors>* map;
            std::pmr::memory_resource* arena;
            std::vector<Level> path;
        } load{&kids_, &arena_, {{root, &kids_.try_emplace(root).first->second}}};
        load.path.front().kids->clear();
        clang_visitChildren(
            root,
            [](CXCursor child, CXCursor parent, CXClientData data) {
                auto* l = static_cast<Load*>(data);
                while (l->path.size() > 1 && !sameCursor(l->path.back().cursor, parent))
                    l->path.pop_back();
                l->path.back().kids->push_back(child);
                Cursors* own = &l->map->try_emplace(child).first->second;  // references stay valid
                own->clear();
                l->path.push_back({child, own});
                return CXChildVisit_Recurse;
            },
            &load);
    }

    // ---- nodes and chains -------------------------------------------------

    // Where a construct starts: libclang's location of a cursor, which for
    // everything but a member reference (the member's name) is its start,
    // and cheaper than its extent.
    CXSourceLocation at(CXCursor c) {
        return clang_getCursorKind(c) == CXCursor_MemberRefExpr ? startOf(c) : clang_getCursorLocation(c);
    }

    NodeId make(std::uint32_t kind, CXSourceLocation loc) {
        NodeId n = createNode(g_, kind);
        // Neighbouring nodes mostly share a place: look it up once.
        if (!clang_equalLocations(loc, lastLoc_)) {
            lastLoc_ = loc;
            CXString file;
            clang_getPresumedLocation(loc, &file, &lastLine_, &lastColumn_);
            const char* name = clang_getCString(file);
            lastFile_ = name ? name : "";
            clang_disposeString(file);
        }
        if (!lastFile_.empty()) setFileName(g_, n, std::string_view(lastFile_));
        setLine(g_, n, lastLine_);
        setColumn(g_, n, lastColumn_);
        return n;
    }

    void text(NodeId n, std::uint32_t attr, const std::string& value) {
        setAttrString(g_, n, attr, std::string_view(value));
    }

    void append(Chain& chain, NodeId n) {
        if (!n) return;
        if (!chain.first) {
            chain.first = n;
        } else {
            setNextId(g_, chain.last, n);
            setPrevId(g_, n, chain.last);
        }
        chain.last = lastInChain(g_, n);
    }

    void ownChain(NodeId owner, std::uint32_t attr, const Chain& chain) {
        if (!chain.first) return;
        setAttrNode(g_, owner, attr, chain.first);
        setPrevId(g_, chain.first, owner);
    }

    void ownExpr(NodeId owner, std::uint32_t attr, const Expr& e) {
        if (!e.named) return;
        setAttrNode(g_, owner, attr, e.named);
        if (!e.assignment) setPrevId(g_, e.head, owner);
    }

    // [first, e...]: first heads the chain of e. An assignment cannot be
    // continued behind another node, so first is left out then.
    Expr prefixed(NodeId first, const Expr& e) {
        if (e.assignment || !e.head) return e;
        setNextId(g_, first, e.head);
        setPrevId(g_, e.head, first);
        return {first, first, false};
    }

    Expr single(NodeId n) { return {n, n, false}; }

    void unsupported(CXCursor c, const std::string& what) {
        PresumedPlace place = presumedPlace(startOf(c));
        for (const SourceNote& u : p_.unsupported)
            if (u.file == place.file && u.line == place.line && u.column == place.column &&
                u.text == what)
                return;
        p_.unsupported.push_back({place.file, place.line, place.column, what});
    }

    // Keeps the translation going after an unsupported construct.
    Expr placeholder(CXCursor c) {
        NodeId n = make(DFG_INPUT_CONST, at(c));
        text(n, DfgInputCnst_STRVALUE, "0");
        setAttrInt(g_, n, DfgInputCnst_INTVALUE, 0);
        return single(n);
    }

    void warn(const DirectiveComment& d, const std::string& why) {
        p_.warnings.push_back({fileName_, d.line, d.column,
                               "'//tavik " + d.text + "' is ignored: " + why});
    }

    bool inMainFile(CXSourceLocation loc, FilePlace* place = nullptr) {
        FilePlace fp = filePlace(loc);
        if (place) *place = fp;
        return mainFile_ && fp.file && clang_File_isEqual(fp.file, mainFile_);
    }

    void candidate(Candidate::Kind kind, NodeId node, std::uint32_t attr, CXSourceLocation start,
                   CXCursor cursor = clang_getNullCursor()) {
        FilePlace s;
        if (directives_.empty() || !inMainFile(start, &s)) return;
        candidates_.push_back({kind, node, attr, s.line, s.offset, cursor});
    }

    unsigned endLine(const Candidate& c) {
        FilePlace e;
        return !isNull(c.cursor) && inMainFile(endOf(c.cursor), &e) ? e.line : c.line;
    }

    // ---- types --------------------------------------------------------------

    TypeShape shape(CXCursor where, CXType t) {
        TypeShape s = shapeOf(t);
        if (s.unsupported) unsupported(where, s.unsupported);
        return s;
    }

    // The CFG_STRUCT of a structure definition, made when first needed.
    NodeId recordDefinition(CXCursor record) {
        CXCursor def = clang_getCursorDefinition(record);
        if (isNull(def)) return 0;
        auto it = recordDefs_.find(def);
        return it == recordDefs_.end() ? 0 : it->second;
    }

    NodeId structNode(CXCursor def, int depth) {
        NodeId s = make(CFG_STRUCT, clang_getCursorLocation(def));
        if (!clang_Cursor_isAnonymous(def)) {
            std::string tag = cursorSpelling(def);
            if (!tag.empty()) text(s, CfgStruct_TAGNAME, tag);
        }
        if (clang_getCursorKind(def) == CXCursor_UnionDecl) setAttrInt(g_, s, CfgStruct_UNION, 1);
        Chain members;
        std::vector<std::pair<std::string, NodeId>>& names = structMembers_[s];
        for (CXCursor field : children(def)) {
            if (clang_getCursorKind(field) != CXCursor_FieldDecl) continue;
            NodeId m = declaration(field, DECL_VAR, clang_getCursorType(field), depth + 1);
            names.emplace_back(cursorSpelling(field), m);
            append(members, m);
        }
        ownChain(s, CfgStruct_MEMBER, members);
        return s;
    }

    NodeId memberOf(NodeId structure, const std::string& name) {
        auto it = structMembers_.find(structure);
        if (it == structMembers_.end()) return 0;
        for (const auto& [member, node] : it->second)
            if (member == name) return node;
        return 0;
    }

    void finishStructLinks() {
        for (const auto& [decl, record] : pendingStructLinks_) {
            NodeId def = recordDefinition(record);
            if (def) setAttrNode(g_, decl, CfgDecl_STRUCTORGNODE, def);
        }
        pendingStructLinks_.clear();
    }

    // ---- declarations -------------------------------------------------------

    // A CFG_DECLARE for a variable, parameter or member of the given type.
    NodeId declaration(CXCursor c, std::int32_t kind, CXType type, int depth,
                       bool withInitializer = true) {
        NodeId d = make(CFG_DECLARE, clang_getCursorLocation(c));
        TypeShape s = shape(c, type);
        setAttrInt(g_, d, CfgDecl_KIND, static_cast<std::uint32_t>(kind));
        std::string name = cursorSpelling(c);
        if (!name.empty()) text(d, CfgDecl_NAME, name);
        setAttrInt(g_, d, CfgDecl_SIGNED, static_cast<std::uint32_t>(s.sign));
        setAttrInt(g_, d, CfgDecl_VALTYPE, static_cast<std::uint32_t>(s.valtype));
        if (s.pointers) setAttrInt(g_, d, CfgDecl_POINTERCNT, s.pointers);
        text(d, CfgDecl_TYPESTR, spellingOf(type));
        switch (clang_Cursor_getStorageClass(c)) {
            case CX_SC_Static: setAttrInt(g_, d, CfgDecl_CLASS, kClassStatic); break;
            case CX_SC_Extern:
                setAttrInt(g_, d, CfgDecl_CLASS, kClassExtern);
                setAttrInt(g_, d, CfgDecl_EXTFLAG, 1);
                break;
            case CX_SC_Register: setAttrInt(g_, d, CfgDecl_CLASS, kClassRegister); break;
            default: break;
        }

        CXCursor init = clang_getCursorKind(c) == CXCursor_VarDecl
                            ? clang_Cursor_getVarDeclInitializer(c)
                            : clang_getNullCursor();
        CXCursor written = init;
        if (!withInitializer) init = clang_getNullCursor();
        std::vector<CXCursor> sizes;
        CXCursor bitWidth = clang_getNullCursor();
        const auto& kids = children(c);
        bool bitField = clang_getCursorKind(c) == CXCursor_FieldDecl && clang_Cursor_isBitField(c);
        for (CXCursor k : kids) {
            if (!clang_isExpression(clang_getCursorKind(k))) continue;
            if (!isNull(written) && clang_equalCursors(k, written)) continue;
            sizes.push_back(k);
        }
        if (bitField && !sizes.empty()) {
            bitWidth = sizes.back();
            sizes.pop_back();
        }
        std::sort(sizes.begin(), sizes.end(), [](CXCursor a, CXCursor b) {
            return filePlace(startOf(a)).offset < filePlace(startOf(b)).offset;
        });
        dimensions(d, c, s, sizes, written);
        if (s.innerPointers) {
            NodeId inner = make(DFG_SPEC, clang_getCursorLocation(c));
            setAttrInt(g_, inner, DfgSpec_POINTERCNT, s.innerPointers);
            setAttrNode(g_, d, CfgDecl_SPEC, inner);
            setPrevId(g_, inner, d);
        }
        if (s.function) {
            Chain params;
            int n = clang_getNumArgTypes(s.functionType);
            for (int i = 0; i < n; ++i) {
                CXType at = clang_getArgType(s.functionType, static_cast<unsigned>(i));
                NodeId pd = make(CFG_DECLARE, clang_getCursorLocation(c));
                TypeShape ps = shapeOf(at);
                setAttrInt(g_, pd, CfgDecl_KIND, static_cast<std::uint32_t>(DECL_ARG));
                setAttrInt(g_, pd, CfgDecl_SIGNED, static_cast<std::uint32_t>(ps.sign));
                setAttrInt(g_, pd, CfgDecl_VALTYPE, static_cast<std::uint32_t>(ps.valtype));
                if (ps.pointers + ps.innerPointers)
                    setAttrInt(g_, pd, CfgDecl_POINTERCNT, ps.pointers + ps.innerPointers);
                append(params, pd);
            }
            ownChain(d, CfgDecl_ARGLIST, params);
        }
        if (s.valtype == DECL_VALTYPE_STRUCT && !isNull(s.record)) {
            CXCursor def = clang_getCursorDefinition(s.record);
            // A member that points to a structure owns no copy of it: the
            // structure may contain that very member.
            bool ownsCopy = depth == 0 || (s.pointers == 0 && s.innerPointers == 0);
            if (!isNull(def) && ownsCopy && depth < kMaxStructNesting) {
                NodeId copy = structNode(def, depth);
                setAttrNode(g_, d, CfgDecl_STRUCTNODE, copy);
                setPrevId(g_, copy, d);
            }
            pendingStructLinks_.emplace_back(d, s.record);
        }
        if (!isNull(s.typedefDecl)) {
            auto it = typedefs_.find(s.typedefDecl);
            if (it != typedefs_.end()) setAttrNode(g_, d, CfgDecl_TYPEDEFLINK, it->second);
        }
        if (!isNull(bitWidth)) ownExpr(d, CfgDecl_BITEXP, expr(bitWidth));
        if (!isNull(init)) setInitializer(d, init);
        candidate(Candidate::Declaration, d, CfgDecl_DIRECTIVE, clang_getCursorLocation(c));
        return d;
    }

    void dimensions(NodeId d, CXCursor c, TypeShape& s, const std::vector<CXCursor>& sizes,
                    CXCursor init) {
        if (s.dims.empty()) return;
        // "int a[] = {1, 2}": the initialiser decides the first size.
        if (s.dims[0] == kNoSize && !isNull(init)) {
            CXType it = clang_getCursorType(init);
            if (it.kind == CXType_ConstantArray) {
                s.dims[0] = clang_getArraySize(it);
                s.dimWritten[0] = false;
            }
        }
        Chain dims;
        std::size_t next = 0;
        for (std::size_t i = 0; i < s.dims.size(); ++i) {
            long long size = s.dims[i];
            CXCursor sizeExpr = clang_getNullCursor();
            if (s.dimWritten[i] && size != kNoSize && next < sizes.size()) sizeExpr = sizes[next++];
            NodeId dim = make(DFG_DIMENSION, isNull(sizeExpr) ? clang_getCursorLocation(c)
                                                              : at(sizeExpr));
            if (size > 0) setAttrInt(g_, dim, DfgDim_CNT, static_cast<std::uint32_t>(size));
            if (!isNull(sizeExpr)) {
                ownExpr(dim, DfgDim_NODE, expr(sizeExpr));
            } else if (size >= 0) {
                ownExpr(dim, DfgDim_NODE, constant(clang_getCursorLocation(c), size));
            }
            append(dims, dim);
        }
        setAttrInt(g_, d, CfgDecl_DIMCNT, static_cast<std::uint32_t>(s.dims.size()));
        ownChain(d, CfgDecl_DIMNODE, dims);
    }

    Expr constant(CXSourceLocation loc, long long value) {
        NodeId n = make(DFG_INPUT_CONST, loc);
        text(n, DfgInputCnst_STRVALUE, std::to_string(value));
        setIntValue(n, value);
        return single(n);
    }

    void setIntValue(NodeId n, long long value) {
        if (value >= std::numeric_limits<std::int32_t>::min() &&
            value <= std::numeric_limits<std::int32_t>::max())
            setAttrInt(g_, n, DfgInputCnst_INTVALUE, static_cast<std::uint32_t>(value));
        else
            setAttrLongLong(g_, n, DfgInputCnst_INTVALUE, value);
    }

    // Every initialiser is a CFG_MEMBER holding one expression, or a
    // CFG_MEMBER_LIST of them for a brace list.
    void setInitializer(NodeId d, CXCursor init) {
        NodeId i = initializer(init, 0);
        setAttrNode(g_, d, CfgDecl_INIT, i);
        setPrevId(g_, i, d);
    }

    NodeId initializer(CXCursor e, int depth) {
        if (clang_getCursorKind(e) == CXCursor_InitListExpr && depth < kMaxStructNesting) {
            NodeId list = make(CFG_MEMBER_LIST, at(e));
            Chain members;
            for (CXCursor item : children(e)) append(members, initializer(designated(item), depth + 1));
            ownChain(list, CfgMemberList_MEMBER, members);
            return list;
        }
        NodeId m = make(CFG_MEMBER, at(e));
        ownExpr(m, CfgMember_SIGNAL, expr(e));
        return m;
    }

    // The value of a designated initialiser (.x = v, [2] = v); the
    // designators are not kept.
    CXCursor designated(CXCursor item) {
        if (clang_getCursorKind(item) != CXCursor_UnexposedExpr) return item;
        const auto& kids = children(item);
        if (kids.size() < 2) return item;
        return kids.back();
    }

    NodeId variable(CXCursor c, std::int32_t kind) {
        NodeId d = declaration(c, kind, clang_getCursorType(c), 0);
        locals_[c] = d;
        if (clang_getCursorLinkage(c) == CXLinkage_External ||
            clang_getCursorLinkage(c) == CXLinkage_Internal) {
            std::string usr = takeString(clang_getCursorUSR(c));
            int rank = !isNull(clang_Cursor_getVarDeclInitializer(c)) ? 3
                       : clang_Cursor_hasVarDeclExternalStorage(c)  ? 1
                                                                     : 2;
            Program::Global& global = p_.globals[usr];
            if (rank > global.rank) global = {d, rank};
        }
        return d;
    }

    // Structure, union, enumeration and typedef definitions, functions and
    // prototypes; type definitions go to `types`, the rest to `out`.
    void typeOrFunction(CXCursor c, Chain& types, Chain& out) {
        switch (clang_getCursorKind(c)) {
            case CXCursor_FunctionDecl:
                append(out, function(c));
                break;
            case CXCursor_StructDecl:
            case CXCursor_UnionDecl:
                structDefinition(c, types);
                break;
            case CXCursor_EnumDecl:
                enumDefinition(c, types);
                break;
            case CXCursor_TypedefDecl:
                typedefDefinition(c, types);
                break;
            default:
                break;
        }
    }

    void structDefinition(CXCursor c, Chain& out) {
        if (!clang_isCursorDefinition(c) || recordDefs_.count(c)) return;
        // Structures defined inside this one come first: C gives them file scope.
        for (CXCursor k : children(c))
            if (clang_getCursorKind(k) == CXCursor_StructDecl ||
                clang_getCursorKind(k) == CXCursor_UnionDecl)
                structDefinition(k, out);
        NodeId def = make(CFG_STRUCT_DEF, clang_getCursorLocation(c));
        recordDefs_[c] = 0;  // taken, should a member refer to it
        NodeId s = structNode(c, 0);
        recordDefs_[c] = s;
        setAttrNode(g_, def, CfgStructDef_STRUCT, s);
        setPrevId(g_, s, def);
        append(out, def);
    }

    void enumDefinition(CXCursor c, Chain& out) {
        if (!clang_isCursorDefinition(c) || enums_.count(c)) return;
        NodeId e = make(CFG_ENUM, clang_getCursorLocation(c));
        if (!clang_Cursor_isAnonymous(c)) {
            std::string tag = cursorSpelling(c);
            if (!tag.empty()) text(e, CfgEnum_TAG, tag);
        }
        Chain constants;
        for (CXCursor k : children(c)) {
            if (clang_getCursorKind(k) != CXCursor_EnumConstantDecl) continue;
            NodeId d = make(CFG_DECLARE, clang_getCursorLocation(k));
            setAttrInt(g_, d, CfgDecl_KIND, static_cast<std::uint32_t>(DECL_PARAMETER));
            text(d, CfgDecl_NAME, cursorSpelling(k));
            setAttrInt(g_, d, CfgDecl_SIGNED, static_cast<std::uint32_t>(DECL_SIGNED));
            setAttrInt(g_, d, CfgDecl_VALTYPE, static_cast<std::uint32_t>(DECL_VALTYPE_INT));
            setAttrLongLong(g_, d, CfgDecl_VALUE, clang_getEnumConstantDeclValue(k));
            append(constants, d);
        }
        ownChain(e, CfgEnum_PARAMETER, constants);
        enums_[c] = e;
        append(out, e);
    }

    NodeId enumNode(CXCursor decl) {
        CXCursor def = clang_getCursorDefinition(decl);
        if (isNull(def)) return 0;
        auto it = enums_.find(def);
        return it == enums_.end() ? 0 : it->second;
    }

    void typedefDefinition(CXCursor c, Chain& out) {
        // A structure or enumeration defined in the typedef itself.
        for (CXCursor k : children(c)) {
            CXCursorKind kk = clang_getCursorKind(k);
            if (kk == CXCursor_StructDecl || kk == CXCursor_UnionDecl) structDefinition(k, out);
            if (kk == CXCursor_EnumDecl) enumDefinition(k, out);
        }
        NodeId def = make(CFG_TYPEDEF_DEF, clang_getCursorLocation(c));
        NodeId t = make(CFG_TYPEDEF, clang_getCursorLocation(c));
        CXType under = clang_getTypedefDeclUnderlyingType(c);
        TypeShape s = shape(c, under);
        text(t, CfgTDef_NAME, cursorSpelling(c));
        setAttrInt(g_, t, CfgTDef_SIGNED, static_cast<std::uint32_t>(s.sign));
        setAttrInt(g_, t, CfgTDef_VALTYPE, static_cast<std::uint32_t>(s.valtype));
        if (s.pointers + s.innerPointers)
            setAttrInt(g_, t, CfgTDef_POINTERCNT, s.pointers + s.innerPointers);
        if (!isNull(s.record))
            if (NodeId r = recordDefinition(s.record)) setAttrNode(g_, t, CfgTDef_STRUCTNODE, r);
        setAttrNode(g_, def, CfgTypedefDef_TDEF, t);
        setPrevId(g_, t, def);
        typedefs_[c] = t;
        append(out, def);
    }

    // ---- functions -----------------------------------------------------------

    NodeId function(CXCursor c) {
        bool definition = clang_isCursorDefinition(c) != 0;
        NodeId f = make(definition ? CFG_FUNCTION : CFG_PROTO_FUNC, clang_getCursorLocation(c));
        text(f, CfgFunc_NAME, cursorSpelling(c));
        CXType type = clang_getCursorType(c);
        TypeShape r = shapeOf(clang_getResultType(type));
        if (r.unsupported) unsupported(c, r.unsupported);
        setAttrInt(g_, f, CfgFunc_SIGNED, static_cast<std::uint32_t>(r.sign));
        setAttrInt(g_, f, CfgFunc_RETTYPE, static_cast<std::uint32_t>(r.valtype));
        if (r.pointers + r.innerPointers)
            setAttrInt(g_, f, CfgFunc_POINTERCNT, r.pointers + r.innerPointers);
        text(f, CfgFunc_TYPESTR, typeSpelling(clang_getResultType(type)));
        if (clang_Cursor_getStorageClass(c) == CX_SC_Static)
            setAttrInt(g_, f, CfgFunc_CLASS, kClassStatic);
        if (definition && clang_Cursor_isVariadic(c))
            unsupported(c, "a variadic function definition");
        if (definition) p_.functions.emplace(takeString(clang_getCursorUSR(c)), f);

        Chain params;
        int n = clang_Cursor_getNumArguments(c);
        for (int i = 0; i < n; ++i)
            append(params, variable(clang_Cursor_getArgument(c, static_cast<unsigned>(i)), DECL_ARG));
        if (n == 0 && type.kind == CXType_FunctionProto && !clang_isFunctionTypeVariadic(type)) {
            // "(void)": one parameter of type void, as the checks expect.
            NodeId v = make(CFG_DECLARE, clang_getCursorLocation(c));
            setAttrInt(g_, v, CfgDecl_KIND, static_cast<std::uint32_t>(DECL_ARG));
            setAttrInt(g_, v, CfgDecl_VALTYPE, static_cast<std::uint32_t>(DECL_VALTYPE_VOID));
            append(params, v);
        }
        ownChain(f, CfgFunc_ARGLIST, params);
        if (!definition) return f;

        candidate(Candidate::Function, f, CfgFunc_DIRECTIVE, clang_getCursorLocation(c));
        CXCursor body = clang_getNullCursor();
        for (CXCursor k : children(c))
            if (clang_getCursorKind(k) == CXCursor_CompoundStmt) body = k;
        if (isNull(body)) return f;
        // One function's tree at a time keeps the memory to that of the
        // largest function.
        kids_ = ArenaCursorMap<Cursors>(&arena_);  // nothing left in the arena
        arena_.release();
        loadTree(body);
        openBlocks_.clear();
        labels_.clear();
        gotos_.clear();
        Chain decls;
        Chain stmts;
        bool leading = true;
        const auto& kids = children(body);
        unsigned before = blockStart(body);
        for (CXCursor k : kids) {
            markersBetween(before, startOffset(k), stmts);
            if (leading && clang_getCursorKind(k) == CXCursor_DeclStmt) {
                declarationStatement(k, decls, stmts);
            } else {
                leading = false;
                statement(k, stmts);
            }
            before = endOffset(k);
        }
        markersBetween(before, endOffset(body), stmts);
        ownChain(f, CfgFunc_DECLARE, decls);
        ownChain(f, CfgFunc_STARTCFG, stmts);
        for (const auto& [gotoNode, label] : gotos_) {
            auto it = labels_.find(label);
            if (it != labels_.end()) setJumpId(g_, gotoNode, it->second);
        }
        return f;
    }

    // ---- translate_off / translate_on -----------------------------------------

    // Offsets in the main file, wanted only to place block markers.
    unsigned startOffset(CXCursor c) {
        FilePlace fp;
        return !markers_.empty() && inMainFile(startOf(c), &fp) ? fp.offset : kNoOffset;
    }
    unsigned endOffset(CXCursor c) {
        FilePlace fp;
        return !markers_.empty() && inMainFile(endOf(c), &fp) ? fp.offset : kNoOffset;
    }
    unsigned blockStart(CXCursor c) { return startOffset(c); }

    // The block markers written between two statements (offsets in the main
    // file) become CFG_STATE_BEGIN/CFG_STATE_END nodes of the chain.
    void markersBetween(unsigned from, unsigned to, Chain& out) {
        if (markers_.empty() || from == kNoOffset || to == kNoOffset) return;
        for (PendingMarker& m : markers_) {
            if (m.used || m.comment.offset < from || m.comment.offset >= to) continue;
            m.used = true;
            CXSourceLocation loc = clang_getLocationForOffset(tu_, mainFile_, m.comment.offset);
            bool off = directiveKeyword(m.comment.text) == "translate_off";
            NodeId n = make(off ? CFG_STATE_BEGIN : CFG_STATE_END, loc);
            NodeId d = directiveNode(m.comment.text, loc);
            setAttrNode(g_, n, CfgStateBegin_DIRECTIVE, d);  // attribute 4 on both kinds
            setPrevId(g_, d, n);
            if (off) {
                openBlocks_.push_back(n);
            } else if (!openBlocks_.empty()) {
                NodeId begin = openBlocks_.back();
                openBlocks_.pop_back();
                setJumpId(g_, begin, n);
                setJumpId(g_, n, begin);
            }
            append(out, n);
        }
    }

    NodeId directiveNode(const std::string& value, CXSourceLocation loc) {
        NodeId d = make(INFO_DIRECTIVE, loc);
        setAttrInt(g_, d, DfgDirective_TYPE, static_cast<std::uint32_t>(DIRE_Directive));
        text(d, DfgDirective_STR, value);
        return d;
    }

    // ---- statements ---------------------------------------------------------

    // The statements of a block, flattened into the chain with the block
    // markers between them.
    void blockItems(CXCursor block, Chain& out) {
        unsigned before = blockStart(block);
        for (CXCursor k : children(block)) {
            markersBetween(before, startOffset(k), out);
            statement(k, out);
            before = endOffset(k);
        }
        markersBetween(before, endOffset(block), out);
    }

    // Variables to `decls`; type definitions and local prototypes to `other`
    // (a block's declarations) or `decls` (a function's leading ones).
    void declarationStatement(CXCursor s, Chain& decls, Chain& other) {
        for (CXCursor k : children(s)) {
            switch (clang_getCursorKind(k)) {
                case CXCursor_VarDecl:
                    append(decls, variable(k, DECL_VAR));
                    break;
                case CXCursor_FunctionDecl:
                    append(decls, function(k));
                    break;
                default:
                    typeOrFunction(k, other, other);
                    break;
            }
        }
    }

    void statement(CXCursor s, Chain& out) {
        CXCursorKind kind = clang_getCursorKind(s);
        if (clang_isExpression(kind)) {
            NodeId d = make(CFG_STATE_DATAPATH, at(s));
            ownChain(d, CfgDatapath_OPELIST, expressionList(s));
            append(out, d);
            return;
        }
        switch (kind) {
            case CXCursor_CompoundStmt:
                blockItems(s, out);
                return;
            case CXCursor_DeclStmt: {
                NodeId def = make(CFG_DECLARE_DEF, at(s));
                Chain decls;
                Chain types;
                declarationStatement(s, decls, types);
                append(out, types.first);
                if (decls.first) {
                    ownChain(def, CfgDeclDef_DECL, decls);
                    append(out, def);
                }
                return;
            }
            case CXCursor_NullStmt:
                return;
            case CXCursor_IfStmt:
                ifStatement(s, out);
                return;
            case CXCursor_SwitchStmt:
                switchStatement(s, out);
                return;
            case CXCursor_WhileStmt:
            case CXCursor_DoStmt:
            case CXCursor_ForStmt:
                loop(s, out);
                return;
            case CXCursor_ReturnStmt: {
                NodeId r = make(CFG_RETURN, at(s));
                const auto& kids = children(s);
                if (!kids.empty()) ownChain(r, CfgReturn_EXP, expressionList(kids.front()));
                append(out, r);
                return;
            }
            case CXCursor_BreakStmt:
                append(out, make(CFG_BREAK, at(s)));
                return;
            case CXCursor_ContinueStmt:
                append(out, make(CFG_CONTINUE, at(s)));
                return;
            case CXCursor_GotoStmt: {
                NodeId gt = make(CFG_GOTO, at(s));
                for (CXCursor k : children(s)) {
                    if (clang_getCursorKind(k) != CXCursor_LabelRef) continue;
                    text(gt, CfgGoto_LABEL, cursorSpelling(k));
                    gotos_.emplace_back(gt, clang_getCursorReferenced(k));
                }
                append(out, gt);
                return;
            }
            case CXCursor_LabelStmt: {
                NodeId l = make(CFG_STATE_LABEL, at(s));
                text(l, CfgStateLabel_NAME, cursorSpelling(s));
                labels_[s] = l;
                append(out, l);
                for (CXCursor k : children(s)) statement(k, out);
                return;
            }
            case CXCursor_CaseStmt:
            case CXCursor_DefaultStmt:
                unsupported(s, "a case label that is not directly in the body of its switch");
                return;
            case CXCursor_GCCAsmStmt:
            case CXCursor_MSAsmStmt:
                unsupported(s, "inline assembly");
                return;
            case CXCursor_IndirectGotoStmt:
                unsupported(s, "a computed goto");
                return;
            default:
                unsupported(s, "the statement '" + takeString(clang_getCursorKindSpelling(kind)) +
                                   "'");
                return;
        }
    }

    // The statements of a branch or loop body as a chain of their own.
    Chain body(CXCursor s) {
        Chain c;
        statement(s, c);
        return c;
    }

    void ifStatement(CXCursor s, Chain& out) {
        const auto& kids = children(s);
        if (kids.size() < 2) return;
        NodeId ifNode = make(CFG_STATE_IF, at(s));
        ownChain(ifNode, CfgStateIf_CONDOPE, expressionList(kids[0]));
        Chain branches;
        NodeId thenNode = make(CFG_IF_THEN, at(kids[1]));
        ownChain(thenNode, CfgIfThen_CFG, body(kids[1]));
        append(branches, thenNode);
        if (kids.size() > 2) {
            NodeId elseNode = make(CFG_IF_ELSE, at(kids[2]));
            ownChain(elseNode, CfgIfElse_CFG, body(kids[2]));
            append(branches, elseNode);
        }
        ownChain(ifNode, CfgStateIf_STATOPE, branches);
        NodeId endIf = make(CFG_STATE_ENDIF, at(s));
        setJumpId(g_, ifNode, endIf);
        setJumpId(g_, endIf, ifNode);
        append(out, ifNode);
        append(out, endIf);
    }

    void switchStatement(CXCursor s, Chain& out) {
        const auto& kids = children(s);
        if (kids.size() < 2) return;
        NodeId sw = make(CFG_STATE_CASE, at(s));
        ownChain(sw, CfgStateCase_CONDOPE, expressionList(kids[0]));
        Chain items;       // CfgStateCase_STATOPE
        Chain current;     // statements of the last case item
        NodeId item = 0;
        auto closeItem = [&]() {
            if (item) ownChain(item, CfgCaseItem_CFG, current);
            current = Chain{};
        };
        auto addStatement = [&](CXCursor k) {
            while (clang_getCursorKind(k) == CXCursor_CaseStmt ||
                   clang_getCursorKind(k) == CXCursor_DefaultStmt) {
                const auto& parts = children(k);
                if (parts.empty()) return;
                closeItem();
                item = make(CFG_CASE_ITEM, at(k));
                if (clang_getCursorKind(k) == CXCursor_CaseStmt) {
                    if (parts.size() > 2) unsupported(k, "a case range");
                    ownExpr(item, CfgCaseItem_EXP, expr(parts.front()));
                }
                append(items, item);
                k = parts.back();
            }
            if (item) {
                statement(k, current);
            } else {
                statement(k, items);  // before the first label
            }
        };
        CXCursor bodyCursor = kids[1];
        if (clang_getCursorKind(bodyCursor) == CXCursor_CompoundStmt) {
            unsigned before = blockStart(bodyCursor);
            for (CXCursor k : children(bodyCursor)) {
                markersBetween(before, startOffset(k), item ? current : items);
                addStatement(k);
                before = endOffset(k);
            }
            markersBetween(before, endOffset(bodyCursor), item ? current : items);
        } else {
            addStatement(bodyCursor);
        }
        closeItem();
        ownChain(sw, CfgStateCase_STATOPE, items);
        NodeId end = make(CFG_STATE_ENDCASE, at(s));
        setJumpId(g_, sw, end);
        setJumpId(g_, end, sw);
        append(out, sw);
        append(out, end);
    }

    // The offsets of the two semicolons of a for header, read from the file
    // the statement stands in; nullopt when the header is not there as text
    // (a loop written by a macro).
    std::optional<std::pair<unsigned, unsigned>> forSemicolons(CXCursor s) {
        FilePlace fp = filePlace(startOf(s));
        if (!fp.file) return std::nullopt;
        std::size_t size = 0;
        const char* text = clang_getFileContents(tu_, fp.file, &size);
        if (!text) return std::nullopt;
        std::string_view src(text, size);
        std::size_t i = fp.offset;
        if (src.compare(i, 3, "for") != 0) return std::nullopt;
        i += 3;
        int depth = 0;
        std::vector<unsigned> semis;
        for (; i < src.size(); ++i) {
            char c = src[i];
            if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
                std::size_t end = src.find("*/", i + 2);
                if (end == std::string_view::npos) return std::nullopt;
                i = end + 1;
            } else if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
                std::size_t end = src.find('\n', i);
                if (end == std::string_view::npos) return std::nullopt;
                i = end;
            } else if (c == '"' || c == '\'') {
                for (++i; i < src.size() && src[i] != c; ++i)
                    if (src[i] == '\\') ++i;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (--depth == 0) break;
            } else if (c == ';' && depth == 1) {
                semis.push_back(static_cast<unsigned>(i));
            }
        }
        if (semis.size() != 2) return std::nullopt;
        return std::make_pair(semis[0], semis[1]);
    }

    void loop(CXCursor s, Chain& out) {
        CXCursorKind kind = clang_getCursorKind(s);
        const auto& kids = children(s);
        if (kids.empty()) return;
        CXCursor init = clang_getNullCursor();
        CXCursor cond = clang_getNullCursor();
        CXCursor step = clang_getNullCursor();
        CXCursor bodyCursor = clang_getNullCursor();
        std::int32_t type = LOOP_WHILE;
        if (kind == CXCursor_WhileStmt) {
            cond = kids.front();
            bodyCursor = kids.back();
        } else if (kind == CXCursor_DoStmt) {
            type = LOOP_DOWHILE;
            bodyCursor = kids.front();
            if (kids.size() > 1) cond = kids.back();
        } else {
            type = LOOP_FOR;
            bodyCursor = kids.back();
            std::vector<CXCursor> header(kids.begin(), kids.end() - 1);
            auto semis = forSemicolons(s);
            if (semis) {
                for (CXCursor h : header) {
                    unsigned where = filePlace(startOf(h)).offset;
                    (where < semis->first ? init : where < semis->second ? cond : step) = h;
                }
            } else if (header.size() == 3) {
                init = header[0];
                cond = header[1];
                step = header[2];
            } else if (header.size() == 2) {
                init = header[0];
                cond = header[1];
            } else if (header.size() == 1) {
                cond = header[0];
            }
        }
        // A declaration in a for header stands before the loop; its scalar
        // initialisers become the loop's initialisation.
        std::vector<std::pair<CXCursor, NodeId>> initialised;  // variable, declaration
        if (!isNull(init) && clang_getCursorKind(init) == CXCursor_DeclStmt) {
            NodeId def = make(CFG_DECLARE_DEF, at(init));
            Chain decls;
            for (CXCursor v : children(init)) {
                if (clang_getCursorKind(v) != CXCursor_VarDecl) continue;
                CXCursor value = clang_Cursor_getVarDeclInitializer(v);
                bool scalar = !isNull(value) && clang_getCursorKind(value) != CXCursor_InitListExpr;
                NodeId d = scalar ? declarationWithoutInit(v) : variable(v, DECL_VAR);
                if (scalar) initialised.emplace_back(v, d);
                append(decls, d);
            }
            ownChain(def, CfgDeclDef_DECL, decls);
            append(out, def);
        }

        // Nodes are made in the order of the source: the loop, then each part
        // before what it holds.
        NodeId begin = make(CFG_LOOP_BEGIN, at(s));
        setAttrInt(g_, begin, CfgLoopBegin_LOOPTYPE, static_cast<std::uint32_t>(type));
        Chain parts;
        auto part = [&](std::uint32_t partKind, std::uint32_t attr, CXCursor where, auto&& fill) {
            NodeId n = make(partKind, at(where));
            ownChain(n, attr, fill());
            append(parts, n);
        };
        if (type == LOOP_FOR && !isNull(init)) {
            part(CFG_LOOP_INIT, CfgLoopInit_OPELIST, init, [&] {
                if (clang_getCursorKind(init) != CXCursor_DeclStmt) return expressionList(init);
                Chain list;
                for (const auto& [v, d] : initialised) {
                    NodeId m = make(DFG_MANAGE_OPERATION, clang_getCursorLocation(v));
                    Expr target = reference(v, d, true, clang_getCursorLocation(v));
                    ownExpr(m, DfgOpeman_OPE,
                            assignment(target, at(v), expr(clang_Cursor_getVarDeclInitializer(v))));
                    append(list, m);
                }
                return list;
            });
        }
        auto condition = [&] { return expressionList(cond); };
        if (type != LOOP_DOWHILE && !isNull(cond)) part(CFG_LOOP_COND, CfgLoopCond_CONDOPE, cond, condition);
        part(CFG_LOOP_STAT, CfgLoopStat_CFG, bodyCursor, [&] { return body(bodyCursor); });
        if (type == LOOP_DOWHILE && !isNull(cond)) part(CFG_LOOP_COND, CfgLoopCond_CONDOPE, cond, condition);
        if (!isNull(step))
            part(CFG_LOOP_STEP, CfgLoopStep_OPELIST, step, [&] { return expressionList(step); });
        ownChain(begin, CfgLoopBegin_CFG, parts);
        NodeId end = make(CFG_LOOP_END, at(s));
        setJumpId(g_, begin, end);
        setJumpId(g_, end, begin);
        candidate(Candidate::Loop, begin, CfgLoopBegin_DIRECTIVE, at(s));
        append(out, begin);
        append(out, end);
    }

    NodeId declarationWithoutInit(CXCursor v) {
        NodeId d = declaration(v, DECL_VAR, clang_getCursorType(v), 0, false);
        locals_[v] = d;
        return d;
    }

    // ---- expressions ------------------------------------------------------------

    // An expression list: one DFG_MANAGE_OPERATION per item; commas at the
    // top separate the items.
    Chain expressionList(CXCursor e) {
        Chain list;
        listItems(e, list, 0);
        return list;
    }

    void listItems(CXCursor e, Chain& list, int depth) {
        CXCursor inner = skipImplicit(e);
        if (clang_getCursorKind(inner) == CXCursor_BinaryOperator &&
            clang_getCursorBinaryOperatorKind(inner) == CXBinaryOperator_Comma && depth < 256) {
            const auto& kids = children(inner);
            if (kids.size() == 2) {
                listItems(kids[0], list, depth + 1);
                listItems(kids[1], list, depth + 1);
                return;
            }
        }
        NodeId m = make(DFG_MANAGE_OPERATION, at(e));
        ownExpr(m, DfgOpeman_OPE, expr(e));
        append(list, m);
    }

    // Implicit conversions are not written in the source: the graph does not
    // show them.
    // So is the wrapper that clang's error recovery puts around a reference
    // to a declaration it refused (an array without a size).
    CXCursor skipImplicit(CXCursor c) {
        for (int guard = 0; guard < 64; ++guard) {
            if (clang_getCursorKind(c) != CXCursor_UnexposedExpr) return c;
            const auto& kids = children(c);
            if (kids.size() != 1 || !clang_isExpression(clang_getCursorKind(kids[0]))) return c;
            if (clang_getCursorType(c).kind == CXType_Dependent && !recoveredReference(kids[0]))
                return c;
            c = kids[0];
        }
        return c;
    }

    bool recoveredReference(CXCursor c) {
        for (int guard = 0; guard < 64; ++guard) {
            CXCursorKind k = clang_getCursorKind(c);
            if (k == CXCursor_DeclRefExpr) {
                CXCursorKind target = clang_getCursorKind(clang_getCursorReferenced(c));
                return target == CXCursor_VarDecl || target == CXCursor_ParmDecl;
            }
            if (k != CXCursor_UnexposedExpr) return false;
            const auto& kids = children(c);
            if (kids.size() != 1) return false;
            c = kids[0];
        }
        return false;
    }

    CXCursor skipImplicitAndParens(CXCursor c) {
        for (int guard = 0; guard < 64; ++guard) {
            c = skipImplicit(c);
            if (clang_getCursorKind(c) != CXCursor_ParenExpr) return c;
            const auto& kids = children(c);
            if (kids.size() != 1) return c;
            c = kids[0];
        }
        return c;
    }

    Expr expr(CXCursor c) {
        if (++depth_ > kMaxExprDepth) {
            --depth_;
            unsupported(c, "an expression nested too deeply");
            return placeholder(c);
        }
        Expr e = exprInner(c);
        --depth_;
        return e;
    }

    Expr exprInner(CXCursor c) {
        CXCursorKind kind = clang_getCursorKind(c);
        switch (kind) {
            case CXCursor_UnexposedExpr: {
                CXCursor inner = skipImplicit(c);
                if (!clang_equalCursors(inner, c)) return expr(inner);
                if (clang_getCursorType(c).kind == CXType_Dependent) return recovered(c);
                const auto& kids = children(c);
                if (kids.empty()) return constant(at(c), 0);  // an implied zero
                unsupported(c, "this expression");
                return placeholder(c);
            }
            case CXCursor_ParenExpr: {
                const auto& kids = children(c);
                if (kids.size() != 1) return placeholder(c);
                return prefixed(make(DFG_EDGE_PRESEDENCE, at(c)), expr(kids[0]));
            }
            case CXCursor_DeclRefExpr:
            case CXCursor_MemberRefExpr:
            case CXCursor_ArraySubscriptExpr:
                return access(c, false);
            case CXCursor_UnaryOperator:
                return unaryOperation(c);
            case CXCursor_BinaryOperator:
            case CXCursor_CompoundAssignOperator:
                return binaryOperation(c);
            case CXCursor_ConditionalOperator: {
                const auto& kids = children(c);
                if (kids.size() != 3) return placeholder(c);
                NodeId op = make(DFG_OPERATION, at(c));
                setAttrInt(g_, op, DfgOpe_TYPE, static_cast<std::uint32_t>(CALC_LogCond));
                ownExpr(op, DfgOpe_LEFT, expr(kids[1]));
                ownExpr(op, DfgOpe_RIGHT, expr(kids[2]));
                ownExpr(op, DfgOpe_COND, expr(kids[0]));
                return single(op);
            }
            case CXCursor_CStyleCastExpr: {
                NodeId cast = make(DFG_SPEC, at(c));
                CXType t = clang_getCursorType(c);
                TypeShape s = shape(c, t);
                setAttrInt(g_, cast, DfgSpec_SIGNED, static_cast<std::uint32_t>(s.sign));
                setAttrInt(g_, cast, DfgSpec_VALTYPE, static_cast<std::uint32_t>(s.valtype));
                if (s.pointers + s.innerPointers)
                    setAttrInt(g_, cast, DfgSpec_POINTERCNT, s.pointers + s.innerPointers);
                if (!s.dims.empty())
                    setAttrInt(g_, cast, DfgSpec_DIMCNT, static_cast<std::uint32_t>(s.dims.size()));
                text(cast, DfgSpec_TYPESTR, typeSpelling(t));
                CXCursor operand = clang_getNullCursor();
                for (CXCursor k : children(c))
                    if (clang_isExpression(clang_getCursorKind(k))) operand = k;
                if (isNull(operand)) return single(cast);
                return prefixed(cast, expr(operand));
            }
            case CXCursor_CallExpr:
                return call(c);
            case CXCursor_IntegerLiteral:
            case CXCursor_FloatingLiteral:
                return numberLiteral(c);
            case CXCursor_CharacterLiteral: {
                CXEvalResult r = clang_Cursor_Evaluate(c);
                long long value = r ? clang_EvalResult_getAsLongLong(r) : 0;
                if (r) clang_EvalResult_dispose(r);
                return constant(at(c), value);
            }
            case CXCursor_StringLiteral: {
                NodeId s = make(DFG_INPUT_STRING, at(c));
                text(s, DfgInputStr_STRING, cursorSpelling(c));
                return single(s);
            }
            case CXCursor_UnaryExpr:
                return sizeOf(c);
            case CXCursor_ImaginaryLiteral:
                unsupported(c, "a _Complex constant");
                return placeholder(c);
            case CXCursor_StmtExpr:
                unsupported(c, "a statement expression");
                return placeholder(c);
            case CXCursor_CompoundLiteralExpr:
                unsupported(c, "a compound literal");
                return placeholder(c);
            case CXCursor_InitListExpr:
                unsupported(c, "a brace list outside an initialiser");
                return placeholder(c);
            case CXCursor_GenericSelectionExpr:
                unsupported(c, "_Generic");
                return placeholder(c);
            case CXCursor_AddrLabelExpr:
                unsupported(c, "the address of a label");
                return placeholder(c);
            default: {
                // Constant forms such as offsetof: their value.
                CXEvalResult r = clang_Cursor_Evaluate(c);
                if (r && clang_EvalResult_getKind(r) == CXEval_Int) {
                    long long value = clang_EvalResult_getAsLongLong(r);
                    clang_EvalResult_dispose(r);
                    return constant(at(c), value);
                }
                if (r) clang_EvalResult_dispose(r);
                unsupported(c, "the expression '" + takeString(clang_getCursorKindSpelling(kind)) +
                                   "'");
                return placeholder(c);
            }
        }
    }

    // The text of a number as written (after macro expansion), so that the
    // checks read its type from its suffix and form.
    const char* contentsOf(CXFile file, std::size_t& size) {
        if (file != contentsFile_) {
            contentsFile_ = file;
            contents_ = clang_getFileContents(tu_, file, &contentsSize_);
        }
        size = contentsSize_;
        return contents_;
    }

    std::string numberSpelling(CXCursor c) {
        CXFile file = nullptr;
        unsigned offset = 0;
        clang_getSpellingLocation(at(c), &file, nullptr, nullptr, &offset);
        if (file) {
            std::size_t size = 0;
            const char* textData = contentsOf(file, size);
            if (textData && offset < size) {
                std::size_t i = offset;
                auto isBody = [&](std::size_t k) {
                    char ch = textData[k];
                    if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == '_' ||
                        ch == '\'')
                        return true;
                    if ((ch == '+' || ch == '-') && k > offset) {
                        char prev = textData[k - 1];
                        return prev == 'e' || prev == 'E' || prev == 'p' || prev == 'P';
                    }
                    return false;
                };
                while (i < size && isBody(i)) ++i;
                if (i > offset) return std::string(textData + offset, i - offset);
            }
        }
        return "";
    }

    // The value of a number as C reads it, from its text; libclang's
    // evaluation when the text is not at hand (a number made by ##).
    Expr numberLiteral(CXCursor c) {
        std::string spelling = numberSpelling(c);
        long long value = 0;
        bool known = !spelling.empty() && valueOfNumber(spelling, clang_getCursorKind(c) == CXCursor_FloatingLiteral, value);
        if (!known) {
            CXEvalResult r = clang_Cursor_Evaluate(c);
            double real = 0;
            bool isReal = false;
            if (r) {
                if (clang_EvalResult_getKind(r) == CXEval_Float) {
                    isReal = true;
                    real = clang_EvalResult_getAsDouble(r);
                } else {
                    value = clang_EvalResult_getAsLongLong(r);
                }
                clang_EvalResult_dispose(r);
            }
            if (isReal) {
                if (std::isfinite(real) && std::fabs(real) < 9.2e18) value = static_cast<long long>(real);
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.17g", real);
                spelling = buf;
                if (spelling.find_first_of(".e") == std::string::npos) spelling += ".0";
            } else {
                spelling = std::to_string(value);
            }
        }
        NodeId n = make(DFG_INPUT_CONST, at(c));
        text(n, DfgInputCnst_STRVALUE, spelling);
        setIntValue(n, value);
        return single(n);
    }

    static bool valueOfNumber(const std::string& spelling, bool real, long long& value) {
        std::string digits;
        for (char ch : spelling)
            if (ch != '\'') digits += ch;  // C23 digit separators
        errno = 0;
        char* end = nullptr;
        if (real) {
            double d = std::strtod(digits.c_str(), &end);
            if (end == digits.c_str()) return false;
            value = std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<long long>(d) : 0;
            return true;
        }
        unsigned long long u = 0;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B'))
            u = std::strtoull(digits.c_str() + 2, &end, 2);
        else
            u = std::strtoull(digits.c_str(), &end, 0);
        if (end == digits.c_str() || errno == ERANGE) return false;
        value = static_cast<long long>(u);
        return true;
    }

    Expr sizeOf(CXCursor c) {
        NodeId n = make(DFG_SIZEOF, at(c));
        CXCursor operand = clang_getNullCursor();
        CXCursor typeRef = clang_getNullCursor();
        for (CXCursor k : children(c)) {
            if (clang_isExpression(clang_getCursorKind(k))) operand = k;
            else if (clang_getCursorKind(k) == CXCursor_TypeRef) typeRef = k;
        }
        if (!isNull(operand)) {
            ownExpr(n, DfgSizeof_OPE, expr(operand));
            return single(n);
        }
        NodeId type = make(DFG_SPEC, at(c));
        if (!isNull(typeRef)) {
            TypeShape s = shapeOf(clang_getCursorType(typeRef));
            setAttrInt(g_, type, DfgSpec_SIGNED, static_cast<std::uint32_t>(s.sign));
            setAttrInt(g_, type, DfgSpec_VALTYPE, static_cast<std::uint32_t>(s.valtype));
        }
        text(type, DfgSpec_TYPESTR, operandText(c));
        setAttrNode(g_, n, DfgSizeof_OPE, type);
        setPrevId(g_, type, n);
        return single(n);
    }

    // The type written in sizeof(type), from the source tokens.
    std::string operandText(CXCursor c) {
        CXToken* tokens = nullptr;
        unsigned count = 0;
        clang_tokenize(tu_, clang_getCursorExtent(c), &tokens, &count);
        std::string result;
        int depth = 0;
        for (unsigned i = 0; i < count; ++i) {
            std::string t = takeString(clang_getTokenSpelling(tu_, tokens[i]));
            if (t == "(" && depth++ == 0) continue;
            if (t == ")" && --depth == 0) break;
            if (depth > 0) {
                if (!result.empty()) result += ' ';
                result += t;
            }
        }
        if (tokens) clang_disposeTokens(tu_, tokens, count);
        return result;
    }

    Expr unaryOperation(CXCursor c) {
        const auto& kids = children(c);
        if (kids.size() != 1) return placeholder(c);
        CXUnaryOperatorKind op = clang_getCursorUnaryOperatorKind(c);
        std::int32_t calc = 0;
        bool writes = false;
        switch (op) {
            case CXUnaryOperator_PostInc: calc = CALC_IncP; writes = true; break;
            case CXUnaryOperator_PostDec: calc = CALC_DeclP; writes = true; break;
            case CXUnaryOperator_PreInc: calc = CALC_PInc; writes = true; break;
            case CXUnaryOperator_PreDec: calc = CALC_PDec; writes = true; break;
            case CXUnaryOperator_Plus: calc = CALC_Plus; break;
            case CXUnaryOperator_Minus: calc = CALC_Minus; break;
            case CXUnaryOperator_Not: calc = CALC_BitNot; break;
            case CXUnaryOperator_LNot: calc = CALC_Not; break;
            case CXUnaryOperator_Deref:
            case CXUnaryOperator_AddrOf:
                return access(c, false);
            case CXUnaryOperator_Extension:
                return expr(kids[0]);
            case CXUnaryOperator_Real:
            case CXUnaryOperator_Imag:
                unsupported(c, "__real__ or __imag__");
                return placeholder(c);
            default:
                unsupported(c, "this operator");
                return placeholder(c);
        }
        NodeId n = make(DFG_OPERATION, at(c));
        setAttrInt(g_, n, DfgOpe_TYPE, static_cast<std::uint32_t>(calc));
        ownExpr(n, DfgOpe_LEFT, writes ? access(kids[0], true) : expr(kids[0]));
        return single(n);
    }

    Expr binaryOperation(CXCursor c) {
        const auto& kids = children(c);
        if (kids.size() != 2) return placeholder(c);
        CXBinaryOperatorKind op = clang_getCursorBinaryOperatorKind(c);
        if (op == CXBinaryOperator_Assign) {
            Expr target = access(kids[0], true);
            return assignment(target, at(c), expr(kids[1]));
        }
        std::int32_t calc = binaryOperator(op);
        if (!calc) {
            unsupported(c, "this operator");
            return placeholder(c);
        }
        NodeId n = make(DFG_OPERATION, at(c));
        setAttrInt(g_, n, DfgOpe_TYPE, static_cast<std::uint32_t>(calc));
        ownExpr(n, DfgOpe_LEFT, isCompoundAssignment(calc) ? access(kids[0], true) : expr(kids[0]));
        ownExpr(n, DfgOpe_RIGHT, expr(kids[1]));
        return single(n);
    }

    // target -> DFG_EDGE_BLOCKING -> value; the owner names the edge.
    Expr assignment(const Expr& target, CXSourceLocation loc, const Expr& value) {
        NodeId edge = make(DFG_EDGE_BLOCKING, loc);
        NodeId targetLast = lastInChain(g_, target.head);
        setNextId(g_, targetLast, edge);
        setPrevId(g_, edge, targetLast);
        if (value.head) {
            setNextId(g_, edge, value.head);
            setPrevId(g_, value.head, edge);
        }
        return {target.head, edge, true};
    }

    // ---- references -------------------------------------------------------------

    // A variable reference with the given declaration.
    Expr reference(CXCursor var, NodeId decl, bool written, CXSourceLocation loc) {
        NodeId r = make(written ? DFG_OUTPUT_VAR : DFG_INPUT_VAR, loc);
        text(r, DfgPort_NAME, cursorSpelling(var));
        if (decl) setAttrNode(g_, r, DfgPort_DECL, decl);
        return single(r);
    }

    struct Access {
        NodeId top = 0;   // the chain's first node
        NodeId last = 0;  // the node further accesses apply to
        NodeId decl = 0;  // the declaration of `last`, for member lookup
        bool ok = false;
    };

    // A variable with what is applied to it (*, &, [i], .m, ->m) as one
    // reference chain, as the checks read it. What is not a variable at its
    // root (a call's result, an operation) becomes the call's own attributes
    // or a DFG_POSTFIX around the expression.
    Expr access(CXCursor c, bool written) {
        Access a = accessChain(c, written, 0);
        if (a.ok) return single(a.top);
        if (a.top) return single(a.top);  // an enumeration constant
        if (clang_getCursorKind(skipImplicitAndParens(c)) == CXCursor_DeclRefExpr) {
            unsupported(c, "a reference to this kind of name");
            return placeholder(c);
        }
        return expr(c);
    }

    Access accessChain(CXCursor c, bool written, int depth) {
        if (depth > kMaxExprDepth) return {};
        c = skipImplicitAndParens(c);
        switch (clang_getCursorKind(c)) {
            case CXCursor_DeclRefExpr:
                return variableReference(c, written);
            case CXCursor_CallExpr: {
                Expr e = call(c);
                return {e.head, e.head, 0, true};
            }
            case CXCursor_MemberRefExpr: {
                const auto& kids = children(c);
                if (kids.empty()) return {};
                CXCursor base = kids.front();
                Access a = accessChain(base, written, depth + 1);
                if (!a.ok) a = postfix(base);
                CXType baseType = clang_getCanonicalType(clang_getCursorType(base));
                auto attrs = accessAttrsOf(getKind(g_, a.last));
                if (!attrs) return {};
                if (baseType.kind == CXType_Pointer) addCount(a.last, attrs->pointers);
                std::string name = cursorSpelling(c);
                NodeId memberDecl = 0;
                if (a.decl) {
                    if (NodeId copy = getAttrInt(g_, a.decl, CfgDecl_STRUCTNODE))
                        memberDecl = memberOf(copy, name);
                }
                if (!memberDecl) {
                    CXType recordType = baseType.kind == CXType_Pointer
                                            ? clang_getCanonicalType(clang_getPointeeType(baseType))
                                            : baseType;
                    if (NodeId def = recordDefinition(clang_getTypeDeclaration(recordType)))
                        memberDecl = memberOf(def, name);
                }
                NodeId m = make(written ? DFG_OUTPUT_VAR : DFG_INPUT_VAR, clang_getCursorLocation(c));
                text(m, DfgPort_NAME, name);
                if (memberDecl) setAttrNode(g_, m, DfgPort_DECL, memberDecl);
                setAttrNode(g_, a.last, attrs->member, m);
                setPrevId(g_, m, a.last);
                if (attrs->parent) setAttrNode(g_, m, DfgPort_STRPARENT, a.last);
                return {a.top, m, memberDecl, true};
            }
            case CXCursor_ArraySubscriptExpr: {
                const auto& kids = children(c);
                if (kids.size() != 2) return {};
                CXCursor base = kids[0];
                CXCursor index = kids[1];
                auto indexable = [](CXCursor e) {
                    CXTypeKind k = clang_getCanonicalType(clang_getCursorType(e)).kind;
                    return k == CXType_Pointer || k == CXType_ConstantArray ||
                           k == CXType_IncompleteArray || k == CXType_VariableArray;
                };
                if (!indexable(base) && indexable(index)) std::swap(base, index);  // i[a]
                Access a = accessChain(base, written, depth + 1);
                if (!a.ok) a = postfix(base);
                auto attrs = accessAttrsOf(getKind(g_, a.last));
                if (!attrs) return {};
                NodeId dim = make(DFG_DIMENSION, at(index));
                ownExpr(dim, DfgDim_NODE, expr(index));
                NodeId dims = getAttrInt(g_, a.last, attrs->dimNode);
                if (dims) {
                    appendToChain(g_, dims, dim);
                } else {
                    setAttrNode(g_, a.last, attrs->dimNode, dim);
                    setPrevId(g_, dim, a.last);
                }
                addCount(a.last, attrs->dimCount);
                return a;
            }
            case CXCursor_UnaryOperator: {
                CXUnaryOperatorKind op = clang_getCursorUnaryOperatorKind(c);
                if (op != CXUnaryOperator_Deref && op != CXUnaryOperator_AddrOf) return {};
                const auto& kids = children(c);
                if (kids.size() != 1) return {};
                Access a = accessChain(kids[0], written, depth + 1);
                if (!a.ok) a = postfix(kids[0]);
                auto attrs = accessAttrsOf(getKind(g_, a.last));
                if (!attrs) return {};
                if (op == CXUnaryOperator_Deref) {
                    addCount(a.last, attrs->pointers);
                } else if (attrs->address) {
                    addCount(a.last, attrs->address);
                } else {
                    a = postfixAround(a);
                    addCount(a.last, DfgPostfix_ADRCNT);
                }
                return a;
            }
            default:
                return {};
        }
    }

    void addCount(NodeId n, std::uint32_t attr) {
        setAttrInt(g_, n, attr, getAttrInt(g_, n, attr) + 1);
    }

    // An expression that is not a variable, with accesses applied to it.
    Access postfix(CXCursor base) {
        NodeId p = make(DFG_POSTFIX, at(base));
        ownExpr(p, DfgPostfix_EXP, expr(base));
        return {p, p, 0, true};
    }

    Access postfixAround(const Access& a) {
        NodeId p = createNode(g_, DFG_POSTFIX);
        copySourcePosition(g_, p, a.top);
        setAttrNode(g_, p, DfgPostfix_EXP, a.top);
        setPrevId(g_, a.top, p);
        return {p, p, 0, true};
    }

    // What the references to one variable name, worked out once.
    struct Referenced {
        NodeId decl = 0;
        bool enumScalar = false;
        std::string usr;  // a global's, for resolution across files
    };

    const Referenced& referenced(CXCursor target) {
        auto it = referenced_.find(target);
        if (it != referenced_.end()) return it->second;
        Referenced v;
        TypeShape s = shapeOf(clang_getCursorType(target));
        v.enumScalar = !isNull(s.enumeration) && s.pointers == 0 && s.dims.empty();
        if (v.enumScalar) {
            // Enumeration variables name their enumeration: the checks
            // report assignments to them.
            v.decl = enumNode(s.enumeration);
        } else {
            auto local = locals_.find(target);
            if (local != locals_.end()) v.decl = local->second;
            CXLinkageKind link = clang_getCursorLinkage(target);
            if (link == CXLinkage_External || link == CXLinkage_Internal)
                v.usr = takeString(clang_getCursorUSR(target));
        }
        return referenced_.emplace(target, std::move(v)).first->second;
    }

    const std::string& usrOf(CXCursor c) {
        auto it = usrs_.find(c);
        if (it != usrs_.end()) return it->second;
        return usrs_.emplace(c, takeString(clang_getCursorUSR(c))).first->second;
    }

    // The type as C spells it; declarations share few types.
    const std::string& spellingOf(CXType t) {
        auto key = std::make_tuple(static_cast<int>(t.kind), t.data[0], t.data[1]);
        auto it = typeNames_.find(key);
        if (it != typeNames_.end()) return it->second;
        return typeNames_.emplace(key, typeSpelling(t)).first->second;
    }

    Access variableReference(CXCursor c, bool written) {
        CXCursor target = clang_getCursorReferenced(c);
        switch (clang_getCursorKind(target)) {
            case CXCursor_VarDecl:
            case CXCursor_ParmDecl: {
                const Referenced& v = referenced(target);
                Expr r = reference(c, v.decl, written, at(c));
                if (!v.usr.empty()) p_.globalReferences.emplace_back(r.head, v.usr);
                return {r.head, r.head, v.enumScalar ? 0 : v.decl, true};
            }
            case CXCursor_EnumConstantDecl: {
                Expr k = constant(at(c), clang_getEnumConstantDeclValue(target));
                return {k.head, k.head, 0, false};
            }
            case CXCursor_FunctionDecl: {
                // A function used as a value: a reference without declaration.
                NodeId r = make(DFG_INPUT_VAR, at(c));
                text(r, DfgPort_NAME, cursorSpelling(target));
                return {r, r, 0, true};
            }
            default:
                return {};
        }
    }

    // ---- calls ----------------------------------------------------------------

    Expr call(CXCursor c) {
        std::vector<CXCursor> args;
        int n = clang_Cursor_getNumArguments(c);
        for (int i = 0; i < n; ++i) args.push_back(clang_Cursor_getArgument(c, static_cast<unsigned>(i)));
        const auto& kids = children(c);
        CXCursor callee = kids.empty() ? clang_getNullCursor() : kids.front();
        return callNode(c, callee, args);
    }

    Expr callNode(CXCursor c, CXCursor callee, const std::vector<CXCursor>& args) {
        NodeId n = make(DFG_FUNC_CALL, at(c));
        CXCursor target = isNull(callee) ? clang_getNullCursor() : skipImplicitAndParens(callee);
        CXType functionType{};
        if (clang_getCursorKind(target) == CXCursor_DeclRefExpr &&
            clang_getCursorKind(clang_getCursorReferenced(target)) == CXCursor_FunctionDecl) {
            CXCursor fn = clang_getCursorReferenced(target);
            std::string name = cursorSpelling(fn);
            text(n, DfgFuncCall_NAME, name);
            p_.callTargets.emplace_back(n, usrOf(fn));
            // A call with no declaration above it records no return type.
            bool declared = clang_Range_isNull(clang_getCursorExtent(fn)) == 0 ||
                            name.rfind("__builtin", 0) == 0;
            if (declared) functionType = clang_getCursorType(fn);
        } else if (!isNull(target)) {
            // A call through a function pointer, named after the pointer.
            text(n, DfgFuncCall_NAME, calleeName(target));
            CXType t = clang_getCanonicalType(clang_getCursorType(target));
            functionType = t.kind == CXType_Pointer ? clang_getCanonicalType(clang_getPointeeType(t)) : t;
        }
        if (functionType.kind == CXType_FunctionProto || functionType.kind == CXType_FunctionNoProto) {
            TypeShape r = shapeOf(clang_getResultType(functionType));
            setAttrInt(g_, n, DfgFuncCall_FUNC_SIGNED, static_cast<std::uint32_t>(r.sign));
            setAttrInt(g_, n, DfgFuncCall_FUNC_RETTYPE, static_cast<std::uint32_t>(r.valtype));
            if (r.pointers + r.innerPointers)
                setAttrInt(g_, n, DfgFuncCall_FUNC_POINTERCNT, r.pointers + r.innerPointers);
        }
        Chain list;
        for (CXCursor a : args) {
            NodeId port = make(DFG_PORT_INFO, at(a));
            ownExpr(port, DfgPortInfo_SIGNAL, expr(a));
            append(list, port);
        }
        ownChain(n, DfgFuncCall_ARGLIST, list);
        candidate(Candidate::Call, n, DfgFuncCall_DIRECTIVE, at(c), c);
        return single(n);
    }

    std::string calleeName(CXCursor c) {
        for (int guard = 0; guard < 64; ++guard) {
            c = skipImplicitAndParens(c);
            CXCursorKind k = clang_getCursorKind(c);
            if (k == CXCursor_DeclRefExpr || k == CXCursor_MemberRefExpr) return cursorSpelling(c);
            const auto& kids = children(c);
            if (kids.empty()) break;
            c = kids.front();
        }
        return "";
    }

    // What clang's error recovery kept of an expression that did not compile.
    // The checks report two such errors themselves: a call with the wrong
    // number of arguments, and an assignment to an enumeration constant.
    Expr recovered(CXCursor c) {
        std::vector<CXCursor> kids(children(c).begin(), children(c).end());
        while (kids.size() == 1 && clang_getCursorKind(kids[0]) == CXCursor_UnexposedExpr &&
               clang_getCursorType(kids[0]).kind == CXType_Dependent) {
            const auto& inner = children(kids[0]);
            kids.assign(inner.begin(), inner.end());
        }
        if (!kids.empty()) {
            CXCursor first = skipImplicitAndParens(kids[0]);
            CXCursor target = clang_getCursorReferenced(first);
            if (clang_getCursorKind(first) == CXCursor_DeclRefExpr &&
                clang_getCursorKind(target) == CXCursor_FunctionDecl) {
                std::vector<CXCursor> args(kids.begin() + 1, kids.end());
                return callNode(c, kids[0], args);
            }
            if (kids.size() == 2 && clang_getCursorKind(first) == CXCursor_DeclRefExpr &&
                clang_getCursorKind(target) == CXCursor_EnumConstantDecl &&
                operatorBetween(kids[0], kids[1]) == "=") {
                NodeId para = make(DFG_INPUT_PARA, at(kids[0]));
                text(para, DfgPort_NAME, cursorSpelling(target));
                if (NodeId e = enumNode(clang_getCursorSemanticParent(target)))
                    setAttrNode(g_, para, DfgPort_DECL, e);
                Expr value = expr(kids[1]);
                return assignment(single(para), at(c), value);
            }
        }
        unsupported(c, "an expression that does not compile");
        return placeholder(c);
    }

    std::string operatorBetween(CXCursor left, CXCursor right) {
        FilePlace a = filePlace(endOf(left));
        FilePlace b = filePlace(startOf(right));
        if (!a.file || !b.file || !clang_File_isEqual(a.file, b.file) || b.offset < a.offset)
            return "";
        std::size_t size = 0;
        const char* data = clang_getFileContents(tu_, a.file, &size);
        if (!data || b.offset > size) return "";
        std::string between(data + a.offset, b.offset - a.offset);
        std::string op;
        for (char ch : between)
            if (!std::isspace(static_cast<unsigned char>(ch))) op += ch;
        return op;
    }

    // ---- directives -------------------------------------------------------------

    void attachTo(NodeId node, std::uint32_t attr, const DirectiveComment& d) {
        CXSourceLocation loc = clang_getLocationForOffset(tu_, mainFile_, d.offset);
        NodeId dn = directiveNode(d.text, loc);
        NodeId first = getAttrInt(g_, node, attr);
        if (first) {
            appendToChain(g_, first, dn);
        } else {
            setAttrNode(g_, node, attr, dn);
            setPrevId(g_, dn, node);
        }
    }

    // The first call of the line (the outermost one of those that start
    // first), else one that ends on the line.
    const Candidate* callOnLine(unsigned line, const std::vector<const Candidate*>& onLine) {
        const Candidate* best = nullptr;
        for (const Candidate* c : onLine)
            if (c->kind == Candidate::Call && (!best || c->offset < best->offset)) best = c;
        if (best) return best;
        for (const Candidate& c : candidates_)
            if (c.kind == Candidate::Call && (!best || c.offset < best->offset) && endLine(c) == line)
                best = &c;
        return best;
    }

    void attachDirectives() {
        if (directives_.empty()) return;
        std::unordered_map<unsigned, std::vector<const Candidate*>> byLine;
        for (const Candidate& c : candidates_) byLine[c.line].push_back(&c);
        const std::vector<const Candidate*> none;
        for (const DirectiveComment& d : directives_) {
            auto it = byLine.find(d.line);
            const std::vector<const Candidate*>& onLine = it == byLine.end() ? none : it->second;
            auto first = [&](Candidate::Kind kind) -> const Candidate* {
                for (const Candidate* c : onLine)
                    if (c->kind == kind) return c;
                return nullptr;
            };
            DirectiveTarget target = directiveTarget(directiveKeyword(d.text));
            if (target == DirectiveTarget::LoopOrCall) {
                if (const Candidate* loopCandidate = first(Candidate::Loop)) {
                    attachTo(loopCandidate->node, loopCandidate->attr, d);
                    continue;
                }
            }
            if (target == DirectiveTarget::Call || target == DirectiveTarget::LoopOrCall) {
                if (const Candidate* c = callOnLine(d.line, onLine))
                    attachTo(c->node, c->attr, d);
                else
                    warn(d, target == DirectiveTarget::Call ? "there is no call on its line"
                                                            : "there is no loop or call on its line");
                continue;
            }
            bool attached = false;
            for (const Candidate* c : onLine) {
                if (c->kind == Candidate::Declaration) {
                    attachTo(c->node, c->attr, d);
                    attached = true;
                }
            }
            if (!attached) {
                if (const Candidate* f = first(Candidate::Function)) {
                    attachTo(f->node, f->attr, d);
                    attached = true;
                }
            }
            if (!attached) warn(d, "there is no declaration or function definition on its line");
        }
    }

    static constexpr unsigned kNoOffset = ~0u;
    static constexpr int kMaxExprDepth = 2000;
    static constexpr std::uint32_t kClassStatic = 1;
    static constexpr std::uint32_t kClassExtern = 2;
    static constexpr std::uint32_t kClassRegister = 3;

    Program& p_;
    CdfgGraph& g_;
    CXTranslationUnit tu_;
    std::string fileName_;
    CXFile mainFile_ = nullptr;
    std::string_view mainSource_;
    std::vector<DirectiveComment> directives_;
    std::vector<PendingMarker> markers_;
    std::vector<Candidate> candidates_;
    std::vector<NodeId> openBlocks_;
    CursorMap<NodeId> locals_;
    CursorMap<NodeId> recordDefs_;
    CursorMap<NodeId> enums_;
    CursorMap<NodeId> typedefs_;
    CursorMap<NodeId> labels_;
    // The tree's lists live as long as the translation of the file: one
    // arena holds them all.
    std::pmr::monotonic_buffer_resource arena_;
    ArenaCursorMap<Cursors> kids_{&arena_};
    CursorMap<Referenced> referenced_;
    CursorMap<std::string> usrs_;
    std::map<std::tuple<int, void*, void*>, std::string> typeNames_;
    std::vector<std::pair<NodeId, CXCursor>> gotos_;
    std::unordered_map<NodeId, std::vector<std::pair<std::string, NodeId>>> structMembers_;
    std::vector<std::pair<NodeId, CXCursor>> pendingStructLinks_;
    int depth_ = 0;
    CXFile contentsFile_ = nullptr;
    const char* contents_ = nullptr;
    std::size_t contentsSize_ = 0;
    CXSourceLocation lastLoc_ = clang_getNullLocation();
    std::string lastFile_;
    unsigned lastLine_ = 0;
    unsigned lastColumn_ = 0;
};

}  // namespace

void translateUnit(Program& program, CXTranslationUnit tu, const std::string& fileName) {
    if (!program.root) program.root = createNode(program.g, CFG_ROOT);
    Translator(program, tu, fileName).run();
}

void resolveProgram(Program& program) {
    if (!program.root) program.root = createNode(program.g, CFG_ROOT);
    for (const auto& [call, usr] : program.callTargets) {
        auto it = program.functions.find(usr);
        if (it != program.functions.end()) setJumpId(program.g, call, it->second);
    }
    for (const auto& [ref, usr] : program.globalReferences) {
        auto it = program.globals.find(usr);
        if (it != program.globals.end()) setAttrNode(program.g, ref, DfgPort_DECL, it->second.node);
    }
}
