#include "inf/inf_writer.h"

#include <gtest/gtest.h>

#include "support/temp_path.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cdfg/graph_ops.h"
#include "check/function_tree.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::Type;

const std::string kHeadStart = "%%\n+-+-+module(s)+-+-+\n";

class InfWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        releaseModuleList();
        runSettings = RunSettings{};
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
        path = ::testing::TempDir() + "inf_writer_test_" + std::to_string(::getpid()) + ".inf";
        std::remove(path.c_str());
        b.file("a.c");
        mainFn = b.at(1).function("main");
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        releaseModuleList();
        std::remove(path.c_str());
    }

    // Runs the writer; the file's bytes, or "<none>" when no file was written.
    std::string write(int expectedResult = 0) {
        EXPECT_EQ(writeInf(b.graph(), path.c_str()), expectedResult);
        std::ifstream in(path, std::ios::binary);
        if (!in) return "<none>";
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    static std::string modulesHead(std::vector<std::string> names, int submodules) {
        std::string head = kHeadStart;
        for (const std::string& n : names) head += " >> `" + n + "()'\n";
        head += " ...and " + std::to_string(submodules) + " submodule(s).\n\n%%\n";
        return head;
    }
    // main calls the functions as modules, one statement each.
    void mainCallsModules(std::vector<NodeId> modules, const std::string& directive = "module") {
        std::vector<NodeId> body;
        for (NodeId m : modules) body.push_back(b.stmt(b.call(m, {}, {directive})));
        b.body(mainFn, body);
    }

    tb::GraphBuilder b;
    NodeId mainFn = 0;
    std::string path;
    std::string out;
};

TEST_F(InfWriterTest, WithoutModulesOnlyTheHeadIsWritten) {
    NodeId f = b.function("f");
    b.body(mainFn, {b.stmt(b.call(f))});
    EXPECT_EQ(write(), kHeadStart + " ...no module(only test bench).\n\n%%\n");
    EXPECT_EQ(out, "");
}

TEST_F(InfWriterTest, RecordsInDepthFirstPreOrderWithDirectivesAndDeclarations) {
    NodeId f = b.function("f");
    NodeId g = b.function("g");
    NodeId h = b.function("h");
    NodeId k = b.function("k");
    b.directiveOnFunction(f, "unroll");
    NodeId x = b.param(f, "x", Type::Float());
    b.directiveOnDecl(x, "fixedP S 16:8");
    b.param(f, "p", Type::Void().ptr());
    NodeId acc = b.local(f, "acc", Type::Int());
    b.directiveOnDecl(acc, "int S 12");
    b.directiveOnDecl(acc, "second directive");
    NodeId inner = b.decl("inner", Type::Int().array({4}));
    b.body(f, {b.stmt(b.call(g)), b.declBlock({inner}), b.stmt(b.call(h)), b.stmt(b.call(g))});
    b.param(g, "", Type::Void());  // (void)
    b.body(h, {b.stmt(b.call(k)), b.stmt(b.call(g))});
    mainCallsModules({f});

    EXPECT_EQ(write(), modulesHead({"f"}, 3) +
                           "f,a.c,\"unroll\"%x,\"fixedP S 16:8\"%p,\"\"%acc,\"int S 12\"%inner,\"\";"
                           "g,a.c,\"\";"
                           "h,a.c,\"\";"
                           "k,a.c,\"\";");
    EXPECT_EQ(out, "");
}

TEST_F(InfWriterTest, ModuleListedPerDirectiveAndSubmoduleCountSubtractsThem) {
    NodeId f = b.function("f");
    NodeId g = b.function("g");
    NodeId h = b.function("h");
    b.body(f, {b.stmt(b.call(g))});
    // A module directive in a function nobody calls still counts.
    b.body(h, {b.stmt(b.call(f, {}, {"module prefix=q"}))});
    mainCallsModules({f, f});
    EXPECT_EQ(write(), modulesHead({"f", "f", "f"}, -1) + "f,a.c,\"\";g,a.c,\"\";");
}

TEST_F(InfWriterTest, CallsMarkedUnmoduleOrEvFuncAreNotFollowed) {
    NodeId f = b.function("f");
    NodeId viaUnmodule = b.function("viaUnmodule");
    NodeId viaEv = b.function("viaEv");
    NodeId inArgument = b.function("inArgument");
    NodeId other = b.function("other");
    NodeId also = b.function("also");
    b.body(f, {b.stmt(b.call(viaUnmodule, {b.call(inArgument)}, {"unmodule"})),
               b.stmt(b.call(viaEv, {}, {"evFunc"})), b.stmt(b.call(other))});
    // Reached another way, the function is listed after all.
    b.body(other, {b.stmt(b.call(viaEv)), b.stmt(b.call(also, {b.call(inArgument)}, {"roll"}))});
    mainCallsModules({f});
    EXPECT_EQ(write(), modulesHead({"f"}, 4) +
                           "f,a.c,\"\";other,a.c,\"\";viaEv,a.c,\"\";also,a.c,\"\";inArgument,a.c,\"\";");
}

TEST_F(InfWriterTest, OnlyTheFirstDirectiveOfACallIsRead) {
    NodeId f = b.function("f");
    NodeId g = b.function("g");
    NodeId call = b.call(f);
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("module", 54));
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("module"));
    NodeId follow = b.call(g);
    b.appendOwned(follow, DfgFuncCall_DIRECTIVE, b.directive("unmodule", 54));
    b.body(f, {b.stmt(follow)});
    b.body(mainFn, {b.stmt(call), b.stmt(b.call(f, {}, {"module"}))});
    EXPECT_EQ(write(), modulesHead({"f"}, 1) + "f,a.c,\"\";g,a.c,\"\";");
}

// Which parts of a function the reach walk follows: calls in the ones below
// are listed (in this order), calls in the others are not.
TEST_F(InfWriterTest, ReachFollowsTheWalkedPartsOnly) {
    NodeId f = b.function("f");
    std::vector<NodeId> fns;
    auto callTo = [&](const std::string& name) {
        NodeId fn = b.function(name);
        fns.push_back(fn);
        return b.call(fn);
    };
    NodeId x = b.local(f, "x", Type::Int());
    NodeId arr = b.local(f, "arr", Type::Int().array({4}));
    NodeId sized = b.local(f, "sized", Type::Int().array({0}));
    b.dimExpr(sized, 0, callTo("dimension"));
    NodeId initialized = b.local(f, "initialized", Type::Int());
    b.init(initialized, b.op(CALC_Add, callTo("initializer"), b.lit("1")));

    NodeId list = b.make(CFG_MEMBER_LIST);
    NodeId m1 = b.make(CFG_MEMBER);
    NodeId m2 = b.make(CFG_MEMBER);
    b.own(m1, CfgMember_SIGNAL, callTo("firstMember"));
    b.own(m2, CfgMember_SIGNAL, callTo("secondMember"));
    b.own(list, CfgMemberList_MEMBER, b.chain({m1, m2}));
    NodeId braced = b.decl("braced", Type::Int().array({2}));
    b.init(braced, list);

    NodeId conditional = b.op(CALC_LogCond, callTo("condLeft"), callTo("condRight"), callTo("condCond"));
    b.body(f, {
        b.translateOff({b.stmt(b.call(b.function("hiddenInTranslate")))}),
        b.stmt(b.assign(b.index(b.out(arr), {callTo("targetIndex")}), callTo("assignedValue"))),
        b.ifStmt(callTo("ifCondition"), {b.stmt(callTo("thenBranch"))},
                 std::vector<NodeId>{b.stmt(callTo("elseBranch"))}),
        b.switchStmt(b.call(b.function("hiddenInSwitch")), {b.caseItem(b.lit("1"), {b.stmt(callTo("caseBody"))})}),
        b.loop(LOOP_FOR, b.call(b.function("hiddenInInit")), callTo("loopCondition"),
               b.call(b.function("hiddenInStep")), {b.stmt(callTo("loopBody"))}),
        b.stmt(b.op(CALC_Not, b.paren(b.cast(Type::Int(), callTo("unaryOperand"))))),
        b.stmt(conditional),
        b.stmt(b.op(CALC_Xnor, b.call(b.function("hiddenInOtherOperator")), b.lit("1"))),
        b.stmt(b.op(CALC_AddEqu, b.out(x), callTo("compoundAssignment"))),
        b.declBlock({braced}),
        b.ret(callTo("returned")),
    });
    mainCallsModules({f});

    std::string expected = modulesHead({"f"}, static_cast<int>(fns.size())) + "f,a.c,\"\"";
    for (const char* decl : {"x", "arr", "sized", "initialized", "braced"}) expected += std::string("%") + decl + ",\"\"";
    expected += ";";
    std::vector<std::string> order = {"dimension", "initializer", "targetIndex", "assignedValue", "ifCondition",
                                      "thenBranch", "elseBranch", "caseBody", "loopCondition", "loopBody",
                                      "unaryOperand", "condLeft", "condRight", "condCond", "compoundAssignment",
                                      "firstMember", "secondMember", "returned"};
    ASSERT_EQ(order.size(), fns.size());
    for (const std::string& name : order) expected += name + ",a.c,\"\";";
    EXPECT_EQ(write(), expected);
}

TEST_F(InfWriterTest, TranslateOffHidesModulesAndDeclarationsUpToTheNextEnd) {
    NodeId f = b.function("f");
    NodeId g = b.function("g");
    NodeId hidden = b.decl("hidden", Type::Int());
    NodeId shown = b.decl("shown", Type::Int());
    b.body(f, {b.translateOff({b.declBlock({hidden}), b.stmt(b.call(g))}), b.declBlock({shown}),
               // Another directive on a begin node hides nothing.
               b.translateOff({b.stmt(b.call(g))}, "unroll", "roll")});
    b.body(mainFn, {b.translateOff({b.stmt(b.call(g, {}, {"module"}))}), b.stmt(b.call(f, {}, {"module"}))});
    EXPECT_EQ(write(), modulesHead({"f"}, 1) + "f,a.c,\"\"%shown,\"\";g,a.c,\"\";");
}

TEST_F(InfWriterTest, ClonesOfTheFunctionTreeAreListedUnderTheirNames) {
    NodeId f = b.function("f");
    NodeId g = b.at(5).function("g");
    NodeId v = b.param(g, "v", Type::Int());
    b.directiveOnDecl(v, "int S 8");
    b.body(f, {b.stmt(b.call(g))});
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module prefix=m1"}))});
    ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    EXPECT_EQ(write(), modulesHead({"f"}, 1) + "f,a.c,\"\";m1_g,a.c,\"\"%v,\"int S 8\";");
}

TEST_F(InfWriterTest, FailuresWriteNoFile) {
    // No main.
    tb::GraphBuilder noMain;
    noMain.file("a.c");
    noMain.function("Main");
    EXPECT_EQ(writeInf(noMain.graph(), path.c_str()), -1);
    EXPECT_EQ(out, "E501:Error:::A main function is not found.\n");
    EXPECT_FALSE(std::ifstream(path).good());

    // A path that cannot be opened.
    out.clear();
    std::string bad = tb::tempPath("no_such_directory_for_inf/out.inf");
    EXPECT_EQ(writeInf(b.graph(), bad.c_str()), -1);
    EXPECT_EQ(out, "E453:Error:::Writing of a file went wrong. '" + bad + "'\n");
}

// A file of many functions, each calling the next: reached in one pass and
// written in order.
TEST_F(InfWriterTest, LongCallChainsAreWritten) {
    std::vector<NodeId> fns;
    std::vector<NodeId> elements;
    for (int i = 0; i < 500; ++i) {
        NodeId fn = b.make(CFG_FUNCTION);
        setAttrString(b.graph(), fn, CfgFunc_NAME, ("c" + std::to_string(i)).c_str());
        fns.push_back(fn);
    }
    for (int i = 0; i + 1 < 500; ++i) b.body(fns[i], {b.stmt(b.call(fns[i + 1]))});
    appendToChain(b.graph(), mainFn, b.chain(fns));
    mainCallsModules({fns[0]});
    std::string expected = modulesHead({"c0"}, 499);
    for (int i = 0; i < 500; ++i) expected += "c" + std::to_string(i) + ",a.c,\"\";";
    EXPECT_EQ(write(), expected);
}

}  // namespace
