#include "check/global_updates.h"

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

std::string e515(int line, const std::string& name) {
    return "E515:Error:a.c:" + std::to_string(line) + ":Global variable '" + name +
           "' is updated out of the object for analysis.\n";
}

class GlobalUpdates : public ::testing::Test {
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

// Globals of a.c: shared (line 5), other (6), s and t of struct point {x, y}
// (7, 8; the members at the structure's line 3), o of struct outer
// {struct inner {v} in; k} (9; members at line 4), table[4] (11) and stream,
// a structure from stdio.h (12). f (30) is the module main (40) calls; h (20)
// is outside the function tree.
struct Program {
    GraphBuilder b;
    NodeId shared, other, s, t, o, table, stream;
    NodeId h, f, mainFn;
    Program() {
        b.file("/usr/include/stdio.h");
        NodeId file = b.at(100).structDef("_IO_FILE", {{"fd", Type::Int()}});
        b.file("a.c");
        NodeId point = b.at(3).structDef("point", {{"x", Type::Float()}, {"y", Type::Float()}});
        NodeId inner = b.at(4).structDef("inner", {{"v", Type::Int()}});
        NodeId outer = b.at(4).structDef("outer", {{"in", Type::Struct(inner)}, {"k", Type::Int()}});
        shared = b.at(5).global("shared", Type::Int());
        other = b.at(6).global("other", Type::Int());
        s = b.at(7).global("s", Type::Struct(point));
        t = b.at(8).global("t", Type::Struct(point));
        o = b.at(9).global("o", Type::Struct(outer));
        table = b.at(11).global("table", Type::Int().array({4}));
        stream = b.at(12).global("stream", Type::Struct(file));
        h = b.at(20).function("h", Type::Void());
        f = b.at(30).function("f", Type::Void());
        mainFn = b.at(40).function("main", Type::Int());
        b.param(mainFn, "argc", Type::Int());
        b.param(mainFn, "argv", Type::Char().ptr().array({0}));
    }
    NodeId write(NodeId target, const char* value = "1") {
        return b.stmt(b.assign(target, b.lit(value)));
    }
    NodeId member(NodeId variable, const char* name, bool written = true) {
        NodeId head = written ? b.out(variable) : b.var(variable);
        return b.member(head, written ? b.out(b.memberDecl(variable, name))
                                      : b.var(b.memberDecl(variable, name)));
    }
    // Code inside the function tree (f) and outside it (main after the module call).
    void finish(std::vector<NodeId> inside, std::vector<NodeId> outside) {
        b.body(f, std::move(inside));
        outside.insert(outside.begin(), b.at(41).stmt(b.call(f, {}, {"module"})));
        b.body(mainFn, std::move(outside));
        ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    }
};

struct Case {
    const char* what;
    std::function<void(Program&)> build;
    std::string expected;
};

TEST_F(GlobalUpdates, WritesFromBothSides) {
    const std::vector<Case> cases = {
        {"written inside only",
         [](Program& p) { p.finish({p.write(p.b.out(p.shared)), p.write(p.b.out(p.shared))}, {}); },
         ""},
        {"written outside only", [](Program& p) { p.finish({}, {p.write(p.b.out(p.shared))}); }, ""},
        {"written on both sides, several times",
         [](Program& p) {
             p.finish({p.write(p.b.out(p.shared)), p.write(p.b.out(p.shared))},
                      {p.write(p.b.out(p.shared)), p.write(p.b.out(p.shared))});
         },
         e515(5, "shared")},
        {"a target read as input is still written",
         [](Program& p) { p.finish({p.write(p.b.var(p.shared))}, {p.write(p.b.out(p.shared))}); },
         e515(5, "shared")},
        {"written by a function nobody calls",
         [](Program& p) {
             p.b.body(p.h, {p.write(p.b.out(p.shared))});
             p.finish({p.write(p.b.out(p.shared))}, {});
         },
         e515(5, "shared")},
        {"read outside, written inside",
         [](Program& p) {
             NodeId k = p.b.local(p.mainFn, "k", Type::Int());
             p.finish({p.write(p.b.out(p.shared))},
                      {p.b.stmt(p.b.assign(p.b.out(k), p.b.var(p.shared)))});
         },
         ""},
        {"operand of an increment is a read",
         [](Program& p) {
             p.finish({p.write(p.b.out(p.shared))},
                      {p.b.stmt(p.b.op(CALC_PInc, p.b.out(p.shared)))});
         },
         ""},
        {"newest record first",
         [](Program& p) {
             p.finish({p.write(p.b.out(p.shared)), p.write(p.b.out(p.other))},
                      {p.write(p.b.out(p.other)), p.write(p.b.out(p.shared))});
         },
         e515(6, "other") + e515(5, "shared")},
        {"a local of the same name is not the global",
         [](Program& p) {
             NodeId local = p.b.local(p.mainFn, "shared", Type::Int());
             p.finish({p.write(p.b.out(p.shared))}, {p.write(p.b.out(local))});
         },
         ""},
        {"an array element write writes the array, its index is read",
         [](Program& p) {
             NodeId inside = p.b.index(p.b.out(p.table), {p.b.var(p.shared)});
             NodeId outside = p.b.index(p.b.out(p.table), {p.b.var(p.shared)});
             p.finish({p.write(inside), p.write(p.b.out(p.shared))}, {p.write(outside)});
         },
         e515(11, "table")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        c.build(p);
        out.clear();
        EXPECT_EQ(checkGlobalUpdates(p.b.graph()), c.expected.empty() ? 0 : -1);
        EXPECT_EQ(out, c.expected);
        for (const CdfgNode& n : p.b.graph().nodes) EXPECT_EQ(n.mark, 0u);
        releaseModuleList();
    }
}

TEST_F(GlobalUpdates, StructureMembers) {
    const std::vector<Case> cases = {
        {"member written on both sides",
         [](Program& p) { p.finish({p.write(p.member(p.s, "x"))}, {p.write(p.member(p.s, "x"))}); },
         e515(3, "s..x")},
        {"different members",
         [](Program& p) { p.finish({p.write(p.member(p.s, "x"))}, {p.write(p.member(p.s, "y"))}); },
         ""},
        {"same member of different variables",
         [](Program& p) { p.finish({p.write(p.member(p.s, "x"))}, {p.write(p.member(p.t, "x"))}); },
         ""},
        {"whole structure written on both sides",
         [](Program& p) {
             p.finish({p.b.stmt(p.b.assign(p.b.out(p.s), p.b.var(p.t)))},
                      {p.b.stmt(p.b.assign(p.b.out(p.s), p.b.var(p.t)))});
         },
         e515(7, "s")},
        {"whole structure against one member",
         [](Program& p) {
             p.finish({p.b.stmt(p.b.assign(p.b.out(p.s), p.b.var(p.t)))},
                      {p.write(p.member(p.s, "x"))});
         },
         ""},
        {"member of a member is named after the variable",
         [](Program& p) {
             auto ov = [&p]() {
                 NodeId in = p.b.memberDecl(p.o, "in");
                 NodeId inStruct = getAttrInt(p.b.graph(), in, CfgDecl_STRUCTNODE);
                 NodeId v = getAttrInt(p.b.graph(), inStruct, CfgStruct_MEMBER);
                 return p.b.member(p.b.member(p.b.out(p.o), p.b.out(in)), p.b.out(v));
             };
             p.finish({p.write(ov())}, {p.write(ov())});
         },
         e515(4, "o..v")},
        {"structure from a standard header",
         [](Program& p) {
             p.finish({p.b.stmt(p.b.assign(p.b.out(p.stream), p.b.lit("0")))},
                      {p.b.stmt(p.b.assign(p.b.out(p.stream), p.b.lit("0")))});
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        c.build(p);
        out.clear();
        checkGlobalUpdates(p.b.graph());
        EXPECT_EQ(out, c.expected);
        for (const CdfgNode& n : p.b.graph().nodes) EXPECT_EQ(n.mark, 0u);
        releaseModuleList();
    }
}

}  // namespace
