#include "cdfg/validate.h"

#include <gtest/gtest.h>

#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

GraphBuilder program() {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("main");
    NodeId x = b.local(f, "x", Type::Int());
    b.body(f, {b.stmt(b.assign(b.out(x), b.op(CALC_Add, b.var(x), b.lit("1")))),
               b.ifStmt(b.var(x), {b.ret(b.var(x))}), b.ret(b.lit("0"))});
    return b;
}

TEST(Validate, FrontEndShapesPass) {
    GraphBuilder b = program();
    std::string reason;
    EXPECT_EQ(validateGraph(b.graph(), reason), 0) << reason;
}

TEST(Validate, LoopsAndCyclesAreFound) {
    struct Case {
        const char* what;
        void (*damage)(GraphBuilder&);
        const char* reason;
    };
    const Case cases[] = {
        {"NextId loop",
         [](GraphBuilder& b) {
             NodeId a = b.lit("1"), c = b.lit("2");
             b.chain({a, c});
             setNextId(b.graph(), c, a);
             setPrevId(b.graph(), a, 0);
         },
         "NextId chain"},
        {"PrevId loop",
         [](GraphBuilder& b) {
             NodeId a = b.lit("1");
             setPrevId(b.graph(), a, a);
         },
         "PrevId chain"},
        {"owned cycle",
         [](GraphBuilder& b) {
             NodeId o = b.op(CALC_Add, b.lit("1"), b.lit("2"));
             NodeId inner = b.op(CALC_Minus, o);
             setAttrNode(b.graph(), o, DfgOpe_RIGHT, inner);
         },
         "cycle of owned nodes"},
        {"owner of itself",
         [](GraphBuilder& b) {
             NodeId o = b.op(CALC_Plus, 0);
             setAttrNode(b.graph(), o, DfgOpe_LEFT, o);
         },
         "cycle of owned nodes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GraphBuilder b = program();
        c.damage(b);
        std::string reason;
        EXPECT_EQ(validateGraph(b.graph(), reason), -1);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

TEST(Validate, CrossReferencesMayPointBack) {
    GraphBuilder b = program();
    NodeId d = b.decl("v", Type::Int());
    NodeId use = b.var(d);
    setAttrNode(b.graph(), d, CfgDecl_FIRSTUSE, use);  // declaration -> use -> declaration
    std::string reason;
    EXPECT_EQ(validateGraph(b.graph(), reason), 0) << reason;
}

TEST(Validate, NestingIsBounded) {
    for (std::uint32_t levels : {kMaxNestingDepth - 1, kMaxNestingDepth + 5}) {
        GraphBuilder b;
        NodeId e = b.lit("1");
        for (std::uint32_t i = 0; i < levels; ++i) e = b.op(CALC_Minus, e);
        std::string reason;
        EXPECT_EQ(validateGraph(b.graph(), reason), levels > kMaxNestingDepth ? -1 : 0) << levels;
    }
    // Long chains are not nesting.
    GraphBuilder b;
    std::vector<NodeId> statements;
    for (int i = 0; i < 50000; ++i) statements.push_back(b.stmt(b.lit("1")));
    b.chain(statements);
    std::string reason;
    EXPECT_EQ(validateGraph(b.graph(), reason), 0) << reason;
}

}  // namespace
