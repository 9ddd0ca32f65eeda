#include "check/call_walk.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cdfg/graph_ops.h"
#include "check/function_tree.h"
#include "check/recursion.h"
#include "inf/inf_writer.h"
#include "report/messages.h"
#include "support/graph_builder.h"
#include "support/temp_path.h"
#include "util/large_stack.h"

namespace {

using tb::Type;

std::vector<std::string> calledNames(CdfgGraph& g, NodeId function, bool argumentsFirst) {
    std::vector<std::string> names;
    CallWalk walk;
    walk.graph = &g;
    walk.argumentsFirst = argumentsFirst;
    walk.onCall = [&names, &g](CallWalk&, NodeId call) {
        const char* n = getAttrString(g, call, DfgFuncCall_NAME);
        names.push_back(n ? n : "");
    };
    walkFunctionBody(walk, function);
    return names;
}

TEST(CallWalk, HandlerRunsBeforeOrAfterTheArguments) {
    tb::GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId local = b.local(f, "v", Type::Int());
    b.init(local, b.op(CALC_Add, b.callByName("inInit"), b.lit("1")));
    b.body(f, {b.stmt(b.callByName("outer", {b.callByName("inner", {b.callByName("innermost")})})),
               // Not walked: a label, the case expression of nothing, a goto.
               b.label("l")});
    EXPECT_EQ(calledNames(b.graph(), f, false),
              (std::vector<std::string>{"outer", "inner", "innermost", "inInit"}));
    EXPECT_EQ(calledNames(b.graph(), f, true),
              (std::vector<std::string>{"innermost", "inner", "outer", "inInit"}));
}

// Graphs no front end writes, which validation refuses before any pass
// runs: links that loop back. The passes still end, within the stack the
// program runs on.
TEST(CallWalk, CorruptGraphsEndTheWalks) {
    for (int variant = 0; variant < 4; ++variant) runOnLargeStack([variant] {
        tb::GraphBuilder b;
        b.file("a.c");
        NodeId m = b.function("main");
        NodeId f = b.function("f");
        NodeId g = b.function("g");
        NodeId call = b.call(g);
        NodeId s1 = b.stmt(call);
        NodeId s2 = b.stmt(b.call(g));
        b.body(f, {s1, s2});
        switch (variant) {
            case 0: setNextId(b.graph(), s2, s1); break;  // statement loop
            case 1: {                                      // operation owning itself
                NodeId op = b.op(CALC_Add, b.lit("1"), b.lit("2"));
                setAttrNode(b.graph(), op, DfgOpe_LEFT, op);
                b.body(g, {b.stmt(op)});
                break;
            }
            case 2: {  // a call that is its own argument
                NodeId port = getAttrInt(b.graph(), b.call(g, {b.lit("0")}), DfgFuncCall_ARGLIST);
                setAttrNode(b.graph(), port, DfgPortInfo_SIGNAL, call);
                appendToChain(b.graph(), port, 0);
                setAttrNode(b.graph(), call, DfgFuncCall_ARGLIST, port);
                break;
            }
            case 3: {  // an assignment edge whose sides lead back to it
                NodeId x = b.local(g, "x", Type::Int());
                NodeId edge = b.assign(b.out(x), b.cast(Type::Int(), b.lit("1")));
                NodeId specNode = getNextId(b.graph(), edge);
                setNextId(b.graph(), getNextId(b.graph(), specNode), edge);
                setPrevId(b.graph(), edge, specNode);
                b.body(g, {b.stmt(edge)});
                break;
            }
        }
        // Without a prefix: copying such a function is not what is tested here.
        b.body(m, {b.stmt(b.call(f, {}, {"module"}))});
        releaseModuleList();
        std::string out;
        setMessageCapture(&out);
        EXPECT_EQ(buildFunctionTree(b.graph()), 0) << variant;
        checkRecursion(b.graph());
        std::string path = tb::tempPath("corrupt.inf");
        EXPECT_EQ(writeInf(b.graph(), path.c_str()), 0) << variant;
        std::remove(path.c_str());
        setMessageCapture(nullptr);
        releaseModuleList();
    });
}

// Validation bounds nesting, not call chains: a chain far longer than any
// nesting is followed to its end by the tree, the recursion check and the
// INF writer.
TEST(CallWalk, LongCallChainsAreFollowedToTheEnd) {
    constexpr int kLength = 20000;
    tb::GraphBuilder b;
    b.file("a.c");
    NodeId m = b.function("main");
    std::vector<NodeId> fns;
    for (int i = 0; i < kLength; ++i) {
        NodeId fn = b.make(CFG_FUNCTION);
        setAttrString(b.graph(), fn, CfgFunc_NAME, ("c" + std::to_string(i)).c_str());
        fns.push_back(fn);
    }
    for (std::size_t i = 0; i + 1 < fns.size(); ++i) b.body(fns[i], {b.stmt(b.call(fns[i + 1]))});
    b.body(fns.back(), {b.stmt(b.call(fns.back()))});
    appendToChain(b.graph(), m, b.chain(fns));
    b.body(m, {b.stmt(b.call(fns[0], {}, {"module prefix=p"}))});
    runOnLargeStack([&] {
        releaseModuleList();
        initMessages(1, programCatalogue());
        std::string out;
        setMessageCapture(&out);
        EXPECT_EQ(buildFunctionTree(b.graph()), 0);
        std::size_t reached = 0;
        for (const TreeNode* t = moduleList ? moduleList->tree : nullptr; t; t = t->next) ++reached;
        EXPECT_EQ(reached, static_cast<std::size_t>(kLength - 1));
        EXPECT_EQ(checkRecursion(b.graph()), -1);
        EXPECT_NE(out.find("Function 'p_c" + std::to_string(kLength - 1) + "' is a recursive call"),
                  std::string::npos) << out.substr(0, 500);
        std::string path = tb::tempPath("deep.inf");
        EXPECT_EQ(writeInf(b.graph(), path.c_str()), 0);
        std::ifstream inf(path);
        std::string text((std::istreambuf_iterator<char>(inf)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(" ...and " + std::to_string(kLength - 1) + " submodule(s).\n"), std::string::npos);
        std::remove(path.c_str());
        setMessageCapture(nullptr);
        releaseModuleList();
    });
}

}  // namespace
