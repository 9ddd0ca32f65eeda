// Builds CDFG graphs in the shapes the front end writes, for the fuzz
// targets' seeds and the benchmark generator; a C program takes a few lines:
//
//   GraphBuilder b;
//   b.file("a.c");
//   NodeId f = b.at(1).function("f", Type::Int());
//   NodeId x = b.param(f, "x", Type::Int());
//   NodeId y = b.local(f, "y", Type::Float());
//   b.body(f, {b.at(3).stmt(b.assign(b.out(y), b.var(x))),
//              b.at(4).ret(b.var(y))});
//
// Every node made takes the current file's name and the line set by at().
// Statement builders return the statement's first node; nodes that follow it
// in the chain (ENDIF, ENDCASE, LOOP_END, a translate block's body and end)
// are spliced in by whatever chains the statement (body, ifStmt, ...).
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cdfg/graph.h"

namespace tb {

struct Type {
    std::int32_t valtype = DECL_VALTYPE_INT;
    std::int32_t sign = DECL_SIGNED;
    std::uint32_t pointers = 0;
    // Array dimensions: a size > 0 is a constant size, 0 is "[]" (no size
    // expression); use GraphBuilder::dimExpr for a size written as an expression.
    std::vector<std::int64_t> dims;
    NodeId structDef = 0;  // the CFG_STRUCT of a structure type

    static Type Of(std::int32_t valtype, std::int32_t sign = DECL_SIGNED) {
        Type t;
        t.valtype = valtype;
        t.sign = sign;
        return t;
    }
    static Type Void() { return Of(DECL_VALTYPE_VOID, DECL_SIGNED_NONE); }
    static Type Char() { return Of(DECL_VALTYPE_CHAR); }
    static Type Short() { return Of(DECL_VALTYPE_SHORT); }
    static Type Int() { return Of(DECL_VALTYPE_INT); }
    static Type Long() { return Of(DECL_VALTYPE_LONG); }
    static Type LongLong() { return Of(DECL_VALTYPE_LONGLONG); }
    static Type Float() { return Of(DECL_VALTYPE_FLOAT); }
    static Type Double() { return Of(DECL_VALTYPE_DOUBLE); }
    static Type LongDouble() { return Of(DECL_VALTYPE_LONGDOUBLE); }
    static Type Struct(NodeId structNode) {
        Type t = Of(DECL_VALTYPE_STRUCT);
        t.structDef = structNode;
        return t;
    }
    Type ptr(std::uint32_t n = 1) const {
        Type t = *this;
        t.pointers += n;
        return t;
    }
    Type array(std::vector<std::int64_t> sizes) const {
        Type t = *this;
        for (std::int64_t size : sizes) t.dims.push_back(size);
        return t;
    }
    Type unsignedType() const {
        Type t = *this;
        t.sign = DECL_UNSIGNED;
        return t;
    }
};

class GraphBuilder {
public:
    GraphBuilder();

    CdfgGraph& graph() { return *g_; }
    std::unique_ptr<CdfgGraph> take() { return std::move(g_); }
    NodeId root() const { return root_; }
    // The graph as CDFG file bytes / written to a file.
    std::string bytes() const;
    void writeTo(const std::string& path) const;

    // Line (and column) given to the nodes made from now on.
    GraphBuilder& at(std::uint32_t line, std::uint32_t column = 0);

    // ---- program structure ----
    // A new source file record; the current file from now on.
    NodeId file(const std::string& name);
    // A function defined in the current file.
    NodeId function(const std::string& name, const Type& ret = Type::Int());
    // A prototype at file level of the current file.
    NodeId proto(const std::string& name, const Type& ret = Type::Int(),
                 std::initializer_list<Type> params = {});
    // A prototype node not placed anywhere (for a declaration block).
    NodeId protoNode(const std::string& name, const Type& ret = Type::Int(),
                     std::initializer_list<Type> params = {});
    NodeId param(NodeId function, const std::string& name, const Type& type);
    NodeId local(NodeId function, const std::string& name, const Type& type);
    // A global variable: a CFG_DECLARE_DEF element holding the declaration.
    NodeId global(const std::string& name, const Type& type);
    // A structure definition element (CFG_STRUCT_DEF); returns its CFG_STRUCT.
    // Members are given as (name, type) pairs.
    NodeId structDef(const std::string& tag,
                     std::vector<std::pair<std::string, Type>> members, bool isUnion = false);
    NodeId typedefDef(const std::string& name, const Type& type);
    // A declaration node not placed anywhere.
    NodeId decl(const std::string& name, const Type& type, std::int32_t declKind = DECL_VAR);
    // Replaces the function's body with the statements.
    void body(NodeId function, std::vector<NodeId> statements);
    // Member declaration named name in the structure a structure variable owns.
    NodeId memberDecl(NodeId structVariable, const std::string& name) const;

    // ---- directives ----
    NodeId directive(const std::string& text, std::int32_t type = DIRE_Directive);
    // Appends directives to the chain held by attribute attr of node
    // (CfgDecl_DIRECTIVE, DfgFuncCall_DIRECTIVE, CfgFunc_DIRECTIVE, ...).
    void addDirectives(NodeId node, std::uint32_t attr, std::vector<std::string> texts);
    void directiveOnDecl(NodeId declaration, const std::string& text);
    void directiveOnFunction(NodeId function, const std::string& text);

    // ---- expressions (each returns the first node of its chain) ----
    NodeId var(NodeId declaration);      // DFG_INPUT_VAR
    NodeId out(NodeId declaration);      // DFG_OUTPUT_VAR
    // s.x: links the member reference under the structure reference.
    NodeId member(NodeId structRef, NodeId memberRef);
    // a[i][j]: index expressions on a reference.
    NodeId index(NodeId ref, std::vector<NodeId> indices);
    NodeId deref(NodeId ref, std::uint32_t levels = 1);
    NodeId addressOf(NodeId ref);
    NodeId enumConst(const std::string& name);          // DFG_INPUT_PARA
    NodeId enumVar(const std::string& name, bool written);  // reference to a CFG_ENUM
    NodeId lit(const std::string& text);                // DFG_INPUT_CONST
    NodeId str(const std::string& text);                // DFG_INPUT_STRING
    NodeId op(std::int32_t type, NodeId left, NodeId right = 0, NodeId cond = 0);
    // A call of a function of the graph (its JumpId) or, with function 0, of a
    // function without a body.
    NodeId call(NodeId function, std::vector<NodeId> args = {},
                std::vector<std::string> directives = {});
    NodeId callByName(const std::string& name, std::vector<NodeId> args = {},
                      std::vector<std::string> directives = {});
    NodeId cast(const Type& type, NodeId expr);
    NodeId paren(NodeId expr);
    // target = value; returns the edge (what a statement's operation names).
    NodeId assign(NodeId target, NodeId value);
    // A DFG_MANAGE_OPERATION naming the expression.
    NodeId manage(NodeId expr);
    // Size expression of a declaration's dimension n (0-based).
    void dimExpr(NodeId declaration, std::size_t n, NodeId expr);
    void init(NodeId declaration, NodeId expr);

    // ---- statements ----
    NodeId stmt(NodeId expr);  // CFG_STATE_DATAPATH
    NodeId ret(NodeId expr = 0);
    NodeId ifStmt(NodeId cond, std::vector<NodeId> thenBody,
                  std::optional<std::vector<NodeId>> elseBody = std::nullopt);
    // A case item: label expression, or 0 for default.
    NodeId caseItem(NodeId label, std::vector<NodeId> body);
    // items may hold CFG_CASE_ITEMs and, to model code outside any label, statements.
    NodeId switchStmt(NodeId cond, std::vector<NodeId> items);
    NodeId loop(std::int32_t loopType, NodeId init, NodeId cond, NodeId step,
                std::vector<NodeId> body);
    NodeId declBlock(std::vector<NodeId> declarations);
    // //tavik translate_off ... //tavik translate_on around the statements.
    NodeId translateOff(std::vector<NodeId> statements, const std::string& offText = "translate_off",
                        const std::string& onText = "translate_on");
    NodeId label(const std::string& name);
    NodeId gotoStmt(NodeId labelNode);

    // Links nodes by NextId/PrevId (statement followers included); returns the first.
    NodeId chain(const std::vector<NodeId>& nodes);
    // Sets attribute attr of owner to first and the owner link first.PrevId = owner.
    void own(NodeId owner, std::uint32_t attr, NodeId first);
    // Appends node at the end of the chain held by attribute attr of owner.
    void appendOwned(NodeId owner, std::uint32_t attr, NodeId node);

    NodeId make(std::uint32_t kind);

private:
    NodeId makeRef(std::uint32_t kind, NodeId declaration);
    NodeId makeDecl(const std::string& name, const Type& type, std::int32_t declKind);
    NodeId makeFunction(std::uint32_t kind, const std::string& name, const Type& ret);

    std::unique_ptr<CdfgGraph> g_;
    NodeId root_ = 0;
    NodeId file_ = 0;
    std::string fileName_;
    std::uint32_t line_ = 1;
    std::uint32_t column_ = 0;
    std::unordered_map<NodeId, std::vector<NodeId>> followers_;
    std::map<std::pair<NodeId, std::uint32_t>, NodeId> lastOwned_;
};

}  // namespace tb
