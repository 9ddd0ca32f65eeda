#include "check/outside_calls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "check/function_tree.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

std::string e516(int line, const std::string& name) {
    return "E516:Error:a.c:" + std::to_string(line) + ":Function '" + name +
           "' is called from the outside of the object for analysis.\n";
}

class OutsideCalls : public ::testing::Test {
protected:
    void SetUp() override {
        runSettings = RunSettings{};
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        releaseModuleList();
        initMessages(1, programCatalogue());
    }
    std::string out;
};

// g and h at lines 10 and 20; f at 30 is the module that main (40) calls;
// other at 50 is called by nobody. f is in the function tree with what it
// calls; main, other and whatever only they call are outside it.
struct Program {
    GraphBuilder b;
    NodeId g, h, f, other, mainFn;
    std::string modulePrefix;
    Program() {
        b.file("a.c");
        g = b.at(10).function("g", Type::Int());
        h = b.at(20).function("h", Type::Int());
        f = b.at(30).function("f", Type::Void());
        mainFn = b.at(40).function("main", Type::Int());
        b.param(mainFn, "argc", Type::Int());
        b.param(mainFn, "argv", Type::Char().ptr().array({0}));
        other = b.at(50).function("other", Type::Void());
    }
    NodeId callStmt(NodeId function, std::vector<NodeId> args = {}) {
        return b.stmt(b.call(function, std::move(args)));
    }
    // main: the module call first, then its own statements.
    void finish(std::vector<NodeId> fBody, std::vector<NodeId> mainBody,
                std::vector<NodeId> otherBody = {}) {
        b.body(f, std::move(fBody));
        std::string directive = modulePrefix.empty() ? "module" : "module prefix=" + modulePrefix;
        mainBody.insert(mainBody.begin(), b.at(41).stmt(b.call(f, {}, {directive})));
        b.body(mainFn, std::move(mainBody));
        b.body(other, std::move(otherBody));
        ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    }
};

struct Case {
    const char* what;
    std::function<void(Program&)> build;
    std::string expected;
};

TEST_F(OutsideCalls, CallsFromBothSides) {
    const std::vector<Case> cases = {
        {"called from the module and from main",
         [](Program& p) { p.finish({p.callStmt(p.g)}, {p.callStmt(p.g)}); }, e516(10, "g")},
        {"called from the module only",
         [](Program& p) { p.finish({p.callStmt(p.g), p.callStmt(p.g)}, {}); }, ""},
        {"called from main only", [](Program& p) { p.finish({}, {p.callStmt(p.g)}); }, ""},
        {"called from a function nobody calls",
         [](Program& p) { p.finish({p.callStmt(p.g)}, {}, {p.callStmt(p.g)}); }, e516(10, "g")},
        {"called from deeper in the tree",
         [](Program& p) {
             p.b.body(p.h, {p.callStmt(p.g)});
             p.finish({p.callStmt(p.h)}, {p.callStmt(p.g)});
         },
         e516(10, "g")},
        {"newest record first",
         [](Program& p) {
             p.finish({p.callStmt(p.g), p.callStmt(p.h)}, {p.callStmt(p.h), p.callStmt(p.g)});
         },
         e516(20, "h") + e516(10, "g")},
        {"the module itself called from inside the tree",
         [](Program& p) {
             p.b.body(p.g, {p.callStmt(p.f)});
             p.finish({p.callStmt(p.g)}, {});
         },
         "E516:Error:a.c:30:Function 'f' is called from the outside of the object for analysis.\n"},
        {"a module with a prefix calls its own copy",
         [](Program& p) {
             p.modulePrefix = "m1";
             p.finish({p.callStmt(p.g)}, {p.callStmt(p.g)});
         },
         ""},
        {"calls of functions without a body",
         [](Program& p) {
             NodeId inside = p.b.stmt(p.b.callByName("printf"));
             NodeId outside = p.b.stmt(p.b.callByName("printf"));
             p.finish({inside}, {outside});
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        c.build(p);
        out.clear();
        EXPECT_EQ(checkOutsideCalls(p.b.graph()), c.expected.empty() ? 0 : -1);
        EXPECT_EQ(out, c.expected);
        for (const CdfgNode& n : p.b.graph().nodes) EXPECT_EQ(n.mark, 0u);
        releaseModuleList();
    }
}

// Every place an expression can stand is walked, inside and outside the tree.
TEST_F(OutsideCalls, CallsAnywhereInTheCode) {
    const std::vector<Case> cases = {
        {"argument of another call",
         [](Program& p) { p.finish({p.callStmt(p.g)}, {p.callStmt(p.h, {p.b.call(p.g)})}); },
         e516(10, "g")},
        {"operand and assignment value",
         [](Program& p) {
             NodeId k = p.b.local(p.mainFn, "k", Type::Int());
             NodeId value = p.b.op(CALC_Add, p.b.lit("1"), p.b.call(p.g));
             p.finish({p.callStmt(p.g)}, {p.b.stmt(p.b.assign(p.b.out(k), value))});
         },
         e516(10, "g")},
        {"index on the target side",
         [](Program& p) {
             NodeId a = p.b.local(p.f, "a", Type::Int().array({4}));
             NodeId target = p.b.index(p.b.out(a), {p.b.call(p.g)});
             p.finish({p.b.stmt(p.b.assign(target, p.b.lit("0")))}, {p.callStmt(p.g)});
         },
         e516(10, "g")},
        {"index of a member",
         [](Program& p) {
             NodeId pair = p.b.structDef("pair", {{"v", Type::Int().array({4})}});
             NodeId s = p.b.local(p.f, "s", Type::Struct(pair));
             NodeId ref = p.b.member(p.b.var(s), p.b.index(p.b.var(p.b.memberDecl(s, "v")),
                                                           {p.b.call(p.g)}));
             p.finish({p.b.stmt(ref)}, {p.callStmt(p.g)});
         },
         e516(10, "g")},
        {"local initialiser and size expression",
         [](Program& p) {
             NodeId k = p.b.local(p.f, "k", Type::Int());
             p.b.init(k, p.b.op(CALC_Mul, p.b.call(p.g), p.b.lit("2")));
             NodeId arr = p.b.local(p.mainFn, "arr", Type::Int().array({0}));
             p.b.dimExpr(arr, 0, p.b.call(p.g));
             p.finish({}, {});
         },
         e516(10, "g")},
        {"brace initialiser and parameter size",
         [](Program& p) {
             NodeId k = p.b.local(p.f, "k", Type::Int().array({1}));
             NodeId list = p.b.make(CFG_MEMBER_LIST);
             NodeId member = p.b.make(CFG_MEMBER);
             p.b.own(member, CfgMember_SIGNAL, p.b.call(p.g));
             p.b.own(list, CfgMemberList_MEMBER, member);
             p.b.init(k, list);
             NodeId m = p.b.param(p.other, "m", Type::Int().array({0, 0}));
             p.b.dimExpr(m, 1, p.b.call(p.g));
             p.finish({}, {});
         },
         e516(10, "g")},
        {"conditions, branches, loops, switch, return and blocks",
         [](Program& p) {
             GraphBuilder& b = p.b;
             NodeId inBlock = b.decl("inBlock", Type::Int());
             b.init(inBlock, b.op(CALC_Add, b.call(p.h), b.lit("1")));
             p.finish({b.ifStmt(b.call(p.g), {}),
                       b.loop(LOOP_FOR, b.call(p.h), b.lit("1"), 0, {}),
                       b.declBlock({inBlock})},
                      {b.ifStmt(b.lit("1"), {}, std::vector<NodeId>{p.callStmt(p.g)}),
                       b.switchStmt(b.lit("1"), {b.caseItem(b.lit("1"), {p.callStmt(p.h)})}),
                       b.loop(LOOP_FOR, 0, 0, b.call(p.g), {}), b.ret(b.call(p.h))});
         },
         e516(20, "h") + e516(10, "g")},
        {"a case label and a statement outside any label are not walked",
         [](Program& p) {
             GraphBuilder& b = p.b;
             p.finish({p.callStmt(p.g)},
                      {b.switchStmt(b.lit("1"), {p.callStmt(p.g), b.caseItem(b.call(p.g), {})})});
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        c.build(p);
        out.clear();
        checkOutsideCalls(p.b.graph());
        EXPECT_EQ(out, c.expected);
        releaseModuleList();
    }
}

}  // namespace
