#include "cdfg/graph_ops.h"

#include <gtest/gtest.h>

#include <set>

#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

TEST(GraphOps, FindDirectiveLooksForItsTypeOnly) {
    GraphBuilder b;
    NodeId ext = b.directive("module", DIRE_Extension);
    const char* text = "unchanged";
    EXPECT_EQ(findDirective(b.graph(), ext, DIRE_Directive, &text), 0u);
    EXPECT_EQ(text, nullptr);
    NodeId tool = b.directive("module prefix=m1");
    b.chain({ext, tool});
    EXPECT_EQ(findDirective(b.graph(), ext, DIRE_Directive, &text), tool);
    EXPECT_STREQ(text, "module prefix=m1");
    EXPECT_EQ(findDirective(b.graph(), 0, DIRE_Directive, &text), 0u);
}

TEST(GraphOps, ChainsEndsAndHeads) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId x = b.local(f, "x", Type::Int());
    NodeId single = b.lit("1");
    EXPECT_EQ(lastInChain(b.graph(), single), single);
    EXPECT_EQ(lastInChain(b.graph(), 0), 0u);

    // x = (int)y: the head of the cast's operand is the assignment target.
    NodeId target = b.out(x);
    NodeId operand = b.var(x);
    NodeId edge = b.assign(target, b.cast(Type::Int(), operand));
    b.manage(edge);
    EXPECT_EQ(statementHead(b.graph(), operand), target);
    EXPECT_EQ(statementHead(b.graph(), edge), target);
    // An expression top under a statement is its own head.
    NodeId sum = b.op(CALC_Add, b.var(x), b.lit("1"));
    b.manage(sum);
    EXPECT_EQ(statementHead(b.graph(), sum), sum);

    NodeId a = b.lit("1"), c = b.lit("2");
    EXPECT_EQ(appendToChain(b.graph(), a, c), 0);
    EXPECT_EQ(getNextId(b.graph(), a), c);
    EXPECT_EQ(getPrevId(b.graph(), c), a);
    setNextId(b.graph(), c, c);
    EXPECT_EQ(appendToChain(b.graph(), a, b.lit("3")), -1);
    EXPECT_EQ(appendToChain(b.graph(), 0, a), -1);
}

TEST(GraphOps, LoopingChainsEndTheWalks) {
    GraphBuilder b;
    NodeId a = b.lit("1"), c = b.lit("2");
    setNextId(b.graph(), a, c);
    setNextId(b.graph(), c, a);
    setPrevId(b.graph(), a, c);
    setPrevId(b.graph(), c, a);
    lastInChain(b.graph(), a);
    statementHead(b.graph(), a);
    findDirective(b.graph(), a, DIRE_Directive, nullptr);
    SUCCEED();
}

TEST(GraphOps, NewNodeTakesThePositionOfItsTemplate) {
    GraphBuilder b;
    b.file("src/a.c");
    NodeId t = b.at(17, 3).lit("1");
    NodeId n = newNode(b.graph(), CFG_RETURN, t);
    EXPECT_EQ(n, b.graph().lastId);
    EXPECT_STREQ(getFileName(b.graph(), n), "src/a.c");
    EXPECT_EQ(getLine(b.graph(), n), 17u);
    EXPECT_EQ(getColumn(b.graph(), n), 3u);
    NodeId bare = newNode(b.graph(), CFG_RETURN, 0);
    EXPECT_EQ(getFileName(b.graph(), bare), nullptr);
    EXPECT_EQ(getAttrCount(b.graph(), bare), 0u);
}

// Every node reachable from a copy, through links and owned attributes.
std::set<NodeId> reach(const CdfgGraph& g, NodeId first) {
    std::set<NodeId> seen;
    std::vector<NodeId> todo{first};
    while (!todo.empty()) {
        NodeId n = todo.back();
        todo.pop_back();
        if (!n || !seen.insert(n).second) continue;
        todo.push_back(getNextId(g, n));
        for (std::uint32_t i = 1; i <= getAttrCount(g, n); ++i) {
            const CdfgAttr* a = getAttrAt(g, n, i);
            if (a->valueKind == ATTR_NODE && !isSharedReference(getKind(g, n), a->id))
                todo.push_back(static_cast<NodeId>(a->bits));
        }
    }
    return seen;
}

TEST(GraphOps, CopyOfAFunctionRedirectsJumpsIntoTheCopy) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.function("g");
    NodeId outside = b.label("far");
    NodeId f = b.function("f");
    NodeId x = b.param(f, "x", Type::Int());
    NodeId inner = b.label("near");
    NodeId call = b.call(g, {b.var(x)});
    b.body(f, {b.ifStmt(b.var(x), {b.stmt(b.assign(b.out(x), call))}),
               b.loop(LOOP_WHILE, 0, b.var(x), 0, {b.gotoStmt(inner)}), inner,
               b.gotoStmt(outside), b.ret(b.var(x))});
    setNextId(b.graph(), f, 0);
    std::set<NodeId> original = reach(b.graph(), f);
    NodeId copy = copySubtree(b.graph(), f);
    std::set<NodeId> copied = reach(b.graph(), copy);
    ASSERT_EQ(copied.size(), original.size());
    int jumps = 0, callsSeen = 0;
    for (NodeId n : copied) {
        EXPECT_EQ(original.count(n), 0u) << "copy shares node " << n;
        NodeId j = getJumpId(b.graph(), n);
        std::uint32_t kind = getKind(b.graph(), n);
        if (kind == DFG_FUNC_CALL) {
            ++callsSeen;
            EXPECT_EQ(j, g);
            EXPECT_STREQ(getAttrString(b.graph(), n, DfgFuncCall_NAME), "g");
        } else if (kind == CFG_GOTO && j == 0) {
            ++jumps;  // the goto to the label outside the copy
        } else if (j) {
            ++jumps;
            EXPECT_EQ(copied.count(j), 1u) << "jump out of the copy from " << n;
        }
    }
    EXPECT_EQ(callsSeen, 1);
    EXPECT_EQ(jumps, 6);  // if/endif, loop begin/end, goto near, goto far (0)
    // The parameter's references still point at the shared declaration.
    NodeId copiedParam = getAttrInt(b.graph(), copy, CfgFunc_ARGLIST);
    EXPECT_NE(copiedParam, x);
    EXPECT_EQ(getPrevId(b.graph(), copiedParam), copy);
}

TEST(GraphOps, CopyKeepsTheAssignmentShape) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId x = b.local(f, "x", Type::Int());
    NodeId s = b.stmt(b.assign(b.out(x), b.op(CALC_Add, b.var(x), b.lit("1"))));
    NodeId copy = copySubtree(b.graph(), s);
    NodeId manage = getAttrInt(b.graph(), copy, CfgDatapath_OPELIST);
    NodeId edge = getAttrInt(b.graph(), manage, DfgOpeman_OPE);
    ASSERT_EQ(getKind(b.graph(), edge), DFG_EDGE_BLOCKING);
    NodeId target = getPrevId(b.graph(), edge);
    EXPECT_EQ(getKind(b.graph(), target), DFG_OUTPUT_VAR);
    EXPECT_EQ(getNextId(b.graph(), target), edge);
    EXPECT_EQ(getPrevId(b.graph(), target), 0u);
    NodeId value = getNextId(b.graph(), edge);
    EXPECT_EQ(getKind(b.graph(), value), DFG_OPERATION);
    EXPECT_EQ(getPrevId(b.graph(), value), edge);
    EXPECT_EQ(getAttrInt(b.graph(), target, DfgPort_DECL), x);
    EXPECT_EQ(statementHead(b.graph(), value), target);
}

TEST(GraphOps, CopySharesCrossReferencesAndDropsEmptyValues) {
    GraphBuilder b;
    b.file("a.c");
    NodeId use = b.lit("1");
    NodeId d = b.decl("v", Type::Int());
    setAttrNode(b.graph(), d, CfgDecl_FIRSTUSE, use);
    setAttrNode(b.graph(), d, CfgDecl_LASTUSE, use);
    setAttrNode(b.graph(), d, CfgDecl_INIT, 0);
    setAttrString(b.graph(), d, CfgDecl_TYPESTR, nullptr);
    NodeId c = copySubtree(b.graph(), d);
    EXPECT_EQ(getAttrInt(b.graph(), c, CfgDecl_FIRSTUSE), use);
    EXPECT_EQ(getAttrInt(b.graph(), c, CfgDecl_LASTUSE), use);
    EXPECT_EQ(getAttrKind(b.graph(), c, CfgDecl_INIT), 0u);
    EXPECT_EQ(getAttrKind(b.graph(), c, CfgDecl_TYPESTR), 0u);
    EXPECT_STREQ(getAttrString(b.graph(), c, CfgDecl_NAME), "v");
}

// Owned chains are copied in the middle of a node's attributes; the copy
// still lists them in the source's order with the same kinds and values.
TEST(GraphOps, CopyKeepsEveryAttributeInOrder) {
    GraphBuilder b;
    b.file("a.c");
    CdfgGraph& g = b.graph();
    NodeId d = b.decl("v", Type::Int());
    setAttrNode(g, d, CfgDecl_INIT, b.op(CALC_Add, b.lit("1"), b.lit("2")));
    setAttrLongLong(g, d, CfgDecl_BITMSB, -5);
    setAttrDouble(g, d, CfgDecl_VALUE, 2.5);
    setAttrChar(g, d, CfgDecl_QUALITI, -1);
    setAttrString(g, d, CfgDecl_TYPESTR, std::string_view("int\0x", 5));
    NodeId c = copySubtree(g, d);
    ASSERT_NE(c, 0u);
    ASSERT_EQ(getAttrCount(g, c), getAttrCount(g, d));
    for (std::uint32_t n = 1; n <= getAttrCount(g, d); ++n) {
        SCOPED_TRACE(n);
        const CdfgAttr* from = getAttrAt(g, d, n);
        const CdfgAttr* to = getAttrAt(g, c, n);
        ASSERT_EQ(to->id, from->id);
        ASSERT_EQ(to->valueKind, from->valueKind);
        if (from->valueKind == ATTR_STRING)
            EXPECT_EQ(*getAttrText(g, c, to->id), *getAttrText(g, d, from->id));
        else if (from->id == CfgDecl_INIT)
            EXPECT_NE(to->bits, from->bits);  // a copy of the expression
        else
            EXPECT_EQ(to->bits, from->bits);
    }
    NodeId expression = getAttrInt(g, c, CfgDecl_INIT);
    EXPECT_EQ(getKind(g, expression), DFG_OPERATION);
    EXPECT_EQ(getPrevId(g, expression), c);
    EXPECT_NE(getAttrInt(g, expression, DfgOpe_LEFT), getAttrInt(g, getAttrInt(g, d, CfgDecl_INIT), DfgOpe_LEFT));
}

TEST(GraphOps, StructureCloneRedirectsDeclarationsToTheCopiedStructure) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    // A block that defines a structure and a variable of it.
    NodeId s = b.make(CFG_STRUCT);
    NodeId v = b.decl("v", Type::Int());
    setAttrInt(b.graph(), v, CfgDecl_VALTYPE, DECL_VALTYPE_STRUCT);
    setAttrNode(b.graph(), v, CfgDecl_STRUCTORGNODE, s);
    b.chain({s, v});
    b.body(f, {b.declBlock({s})});
    setStructCloneMode(true);
    NodeId copy = copySubtree(b.graph(), f);
    setStructCloneMode(false);
    NodeId block = getAttrInt(b.graph(), copy, CfgFunc_STARTCFG);
    NodeId copiedStruct = getAttrInt(b.graph(), block, CfgDeclDef_DECL);
    NodeId copiedVar = getNextId(b.graph(), copiedStruct);
    EXPECT_NE(copiedStruct, s);
    EXPECT_EQ(getAttrInt(b.graph(), copiedVar, CfgDecl_STRUCTORGNODE), copiedStruct);
    EXPECT_NE(getMark(b.graph(), s), 0u);
    releaseStructClones(b.graph());
    EXPECT_EQ(getMark(b.graph(), s), 0u);
    EXPECT_EQ(getMark(b.graph(), v), 0u);
    // Without the mode, declarations keep pointing at the original.
    NodeId plain = copySubtree(b.graph(), f);
    NodeId plainVar = getNextId(b.graph(), getAttrInt(b.graph(), getAttrInt(b.graph(), plain, CfgFunc_STARTCFG), CfgDeclDef_DECL));
    EXPECT_EQ(getAttrInt(b.graph(), plainVar, CfgDecl_STRUCTORGNODE), s);
}

}  // namespace
