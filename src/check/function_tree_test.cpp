#include "check/function_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cdfg/graph_ops.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::Type;

class FunctionTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        releaseModuleList();
        runSettings = RunSettings{};
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
        b.file("a.c");
        mainFn = b.at(1).function("main");
        b.param(mainFn, "argc", Type::Int());
        b.param(mainFn, "argv", Type::Char().ptr(2));
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        releaseModuleList();
        runSettings = RunSettings{};
    }

    CdfgGraph& g() { return b.graph(); }
    std::string nameOf(NodeId n) {
        const char* s = getAttrString(g(), n, CfgFunc_NAME);
        return s ? s : "<none>";
    }
    std::string callName(NodeId call) {
        const char* s = getAttrString(g(), call, DfgFuncCall_NAME);
        return s ? s : "<none>";
    }
    std::vector<const ModuleRecord*> modules() {
        std::vector<const ModuleRecord*> list;
        for (const ModuleRecord* m = moduleList; m; m = m->next) list.push_back(m);
        return list;
    }
    static std::vector<const TreeNode*> tree(const ModuleRecord* m) {
        std::vector<const TreeNode*> list;
        for (const TreeNode* t = m->tree; t; t = t->next) list.push_back(t);
        return list;
    }
    // Names of the functions of the first file in chain order.
    std::vector<std::string> fileFunctions() {
        std::vector<std::string> names;
        NodeId file = getAttrInt(g(), b.root(), CfgRoot_ELEMENT);
        for (NodeId e = getAttrInt(g(), file, CfgFileinfo_ELEMENT); e; e = getNextId(g(), e))
            if (getKind(g(), e) == CFG_FUNCTION) names.push_back(nameOf(e));
        return names;
    }

    tb::GraphBuilder b;
    NodeId mainFn = 0;
    std::string out;
};

TEST_F(FunctionTreeTest, MissingMainEndsThePass) {
    struct Case {
        const char* what;
        bool noFiles;
        const char* name;
    };
    for (const Case& c : {Case{"no files", true, ""}, Case{"other letter case", false, "Main"},
                          Case{"longer name", false, "main2"}}) {
        tb::GraphBuilder local;
        if (!c.noFiles) {
            local.file("a.c");
            NodeId f = local.function(c.name);
            NodeId m = local.function("f");
            local.body(f, {local.stmt(local.call(m, {}, {"module"}))});
        }
        std::string captured;
        setMessageCapture(&captured);
        EXPECT_EQ(buildFunctionTree(local.graph()), -1) << c.what;
        EXPECT_EQ(captured, "E501:Error:::A main function is not found.\n") << c.what;
        EXPECT_EQ(moduleList, nullptr) << c.what;
    }
}

TEST_F(FunctionTreeTest, NoModuleDirectiveEndsThePass) {
    NodeId f = b.at(10).function("f");
    // A module directive on a call of a function without a body does not count.
    b.body(mainFn, {b.stmt(b.call(f, {}, {"unroll"})), b.stmt(b.callByName("ext", {}, {"module"}))});
    EXPECT_EQ(buildFunctionTree(g()), -1);
    EXPECT_EQ(out, "E502:Error:::A module directive specification function call is not found.\n");
    EXPECT_EQ(mainFunction, mainFn);
}

TEST_F(FunctionTreeTest, ModuleWithoutPrefixListsReachedFunctionsOnceNewestFirst) {
    NodeId f = b.at(10).function("f");
    NodeId g1 = b.at(20).function("g");
    NodeId h = b.at(30).function("h");
    NodeId unused = b.at(40).function("unused");
    NodeId callG1 = b.call(g1);
    NodeId callG2 = b.call(g1);
    b.body(f, {b.stmt(callG1), b.stmt(callG2), b.stmt(b.call(h))});
    b.body(g1, {b.stmt(b.call(h))});
    b.body(mainFn, {b.at(5).stmt(b.call(f, {}, {"module"})), b.stmt(b.call(unused))});

    ASSERT_EQ(buildFunctionTree(g()), 0);
    EXPECT_EQ(out, "");
    auto mods = modules();
    ASSERT_EQ(mods.size(), 1u);
    EXPECT_EQ(mods[0]->function, f);
    EXPECT_EQ(mods[0]->name, "f");
    EXPECT_EQ(mods[0]->file, "a.c");
    EXPECT_FALSE(mods[0]->hasPrefix);
    auto t = tree(mods[0]);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0]->node, h);
    EXPECT_EQ(t[0]->called, h);
    EXPECT_EQ(t[0]->name, "h");
    EXPECT_EQ(t[1]->node, g1);
    EXPECT_EQ(t[1]->file, "a.c");
    // Calls stay as they were.
    EXPECT_EQ(getJumpId(g(), callG2), g1);
    EXPECT_EQ(callName(callG1), "g");

    EXPECT_EQ(isInFunctionTree(f, "f", "a.c"), 1);
    EXPECT_EQ(isInFunctionTree(g1, "g", "a.c"), 1);
    EXPECT_EQ(isInFunctionTree(h, "h", "a.c"), 1);
    EXPECT_EQ(isInFunctionTree(mainFn, "main", "a.c"), 0);
    EXPECT_EQ(isInFunctionTree(unused, "unused", "a.c"), 0);
    EXPECT_EQ(isInFunctionTree(g1, "h", "a.c"), 0);
    EXPECT_EQ(isInFunctionTree(g1, "g", "b.c"), 0);
    EXPECT_EQ(isInFunctionTree(g1, nullptr, "a.c"), 0);
    EXPECT_EQ(isInFunctionTree(g1, "g", nullptr), 0);
    EXPECT_EQ(findTreeNodeByCalled(g(), h), t[0]);
    EXPECT_EQ(findTreeNodeByCalled(g(), f), nullptr);
}

TEST_F(FunctionTreeTest, PrefixClonesEachCalledFunctionOnceAfterTheOriginal) {
    NodeId f = b.at(10).function("f");
    NodeId gf = b.at(20).function("g");
    NodeId h = b.at(30).function("h");
    NodeId after = b.at(40).function("after");
    NodeId first = b.call(gf);
    NodeId second = b.call(gf);
    NodeId inG = b.call(h);
    b.body(f, {b.stmt(first), b.stmt(second)});
    b.body(gf, {b.stmt(inG)});
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module prefix=m1"})), b.stmt(b.call(after))});

    ASSERT_EQ(buildFunctionTree(g()), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(fileFunctions(),
              (std::vector<std::string>{"main", "f", "g", "m1_g", "h", "m1_h", "after"}));
    NodeId clone = getNextId(g(), gf);
    EXPECT_EQ(getPrevId(g(), clone), gf);
    EXPECT_EQ(getPrevId(g(), getNextId(g(), clone)), clone);

    // Both calls of the module reach the one clone.
    for (NodeId call : {first, second}) {
        EXPECT_EQ(getJumpId(g(), call), clone);
        EXPECT_EQ(callName(call), "m1_g");
    }
    // The original g still calls h; its copy calls the copy of h.
    EXPECT_EQ(getJumpId(g(), inG), h);
    EXPECT_EQ(callName(inG), "h");
    NodeId copiedCall = getAttrInt(g(), getAttrInt(g(), getAttrInt(g(), clone, CfgFunc_STARTCFG),
                                                   CfgDatapath_OPELIST),
                                   DfgOpeman_OPE);
    EXPECT_EQ(getJumpId(g(), copiedCall), getNextId(g(), h));
    EXPECT_EQ(callName(copiedCall), "m1_h");

    auto mods = modules();
    ASSERT_EQ(mods.size(), 1u);
    EXPECT_EQ(mods[0]->prefix, "m1");
    auto t = tree(mods[0]);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1]->node, clone);
    EXPECT_EQ(t[1]->called, gf);
    EXPECT_EQ(t[1]->name, "m1_g");
    EXPECT_EQ(t[1]->file, "a.c");
    EXPECT_EQ(t[0]->called, h);
    EXPECT_EQ(t[0]->name, "m1_h");

    EXPECT_EQ(isInFunctionTree(clone, "m1_g", "a.c"), 1);
    EXPECT_EQ(isInFunctionTree(gf, "g", "a.c"), 0);
    EXPECT_EQ(findTreeNodeByCalled(g(), gf), t[1]);
}

TEST_F(FunctionTreeTest, ModulesWithTheSamePrefixShareOneClone) {
    NodeId f1 = b.at(10).function("f1");
    NodeId f2 = b.at(11).function("f2");
    NodeId gf = b.at(20).function("g");
    NodeId inF1 = b.call(gf);
    NodeId inF2 = b.call(gf);
    b.body(f1, {b.stmt(inF1)});
    b.body(f2, {b.stmt(inF2)});
    b.body(mainFn, {b.stmt(b.call(f1, {}, {"module prefix=p"})), b.stmt(b.call(f2, {}, {"module prefix=p"}))});

    ASSERT_EQ(buildFunctionTree(g()), 0);
    EXPECT_EQ(fileFunctions(), (std::vector<std::string>{"main", "f1", "f2", "g", "p_g"}));
    NodeId clone = getNextId(g(), gf);
    auto mods = modules();
    ASSERT_EQ(mods.size(), 2u);
    // Found later, heads the list and was collected first.
    EXPECT_EQ(mods[0]->function, f2);
    EXPECT_EQ(mods[1]->function, f1);
    for (const ModuleRecord* m : mods) {
        auto t = tree(m);
        ASSERT_EQ(t.size(), 1u);
        EXPECT_EQ(t[0]->node, clone);
        EXPECT_EQ(t[0]->called, gf);
    }
    EXPECT_EQ(getJumpId(g(), inF1), clone);
    EXPECT_EQ(getJumpId(g(), inF2), clone);
    EXPECT_EQ(findTreeNodeByCalled(g(), gf), tree(mods[0])[0]);
}

TEST_F(FunctionTreeTest, DifferentPrefixesMakeOneCloneEachNewestNextToTheOriginal) {
    NodeId f1 = b.function("f1");
    NodeId f2 = b.function("f2");
    NodeId gf = b.function("g");
    b.body(f1, {b.stmt(b.call(gf))});
    b.body(f2, {b.stmt(b.call(gf))});
    b.body(mainFn, {b.stmt(b.call(f1, {}, {"module prefix=a"})), b.stmt(b.call(f2, {}, {"module prefix=b"}))});
    ASSERT_EQ(buildFunctionTree(g()), 0);
    // f2 (prefix b) is collected first; a's clone then goes right after g.
    EXPECT_EQ(fileFunctions(), (std::vector<std::string>{"main", "f1", "f2", "g", "a_g", "b_g"}));
}

TEST_F(FunctionTreeTest, SecondModuleDirectiveOnTheSameFunctionIsIgnored) {
    NodeId f = b.function("f");
    NodeId gf = b.function("g");
    NodeId x = b.local(mainFn, "x", Type::Int());
    b.body(f, {b.stmt(b.call(gf))});
    b.body(mainFn, {b.at(3).stmt(b.call(f, {}, {"module prefix=a"})),
                    // Its prefix and its assigned result are not looked at.
                    b.at(4).stmt(b.assign(b.out(x), b.call(f, {}, {"module prefix=b"})))});
    ASSERT_EQ(buildFunctionTree(g()), 0);
    EXPECT_EQ(out, "");
    auto mods = modules();
    ASSERT_EQ(mods.size(), 1u);
    EXPECT_EQ(mods[0]->prefix, "a");
    EXPECT_EQ(fileFunctions(), (std::vector<std::string>{"main", "f", "g", "a_g"}));
}

TEST_F(FunctionTreeTest, ModuleCallingItselfEndsTheWalk) {
    NodeId f = b.function("f");
    NodeId self = b.call(f);
    b.body(f, {b.stmt(self)});
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module"}))});
    ASSERT_EQ(buildFunctionTree(g()), 0);
    auto t = tree(modules()[0]);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]->node, f);
    EXPECT_EQ(getJumpId(g(), self), f);
}

TEST_F(FunctionTreeTest, PrefixedModuleCallingItselfCallsItsOwnClone) {
    NodeId f = b.function("f");
    NodeId self = b.call(f);
    b.body(f, {b.stmt(self)});
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module prefix=p"}))});
    ASSERT_EQ(buildFunctionTree(g()), 0);
    NodeId clone = getNextId(g(), f);
    EXPECT_EQ(nameOf(clone), "p_f");
    EXPECT_EQ(getJumpId(g(), self), clone);
    NodeId copied = getAttrInt(g(), getAttrInt(g(), getAttrInt(g(), clone, CfgFunc_STARTCFG), CfgDatapath_OPELIST),
                               DfgOpeman_OPE);
    EXPECT_EQ(getJumpId(g(), copied), clone);
    EXPECT_EQ(tree(modules()[0]).size(), 1u);
}

// Owned nodes shared inside one function (a damaged graph): twenty levels
// of e + e over one call reach it 2^20 times, and it is cloned for once.
TEST_F(FunctionTreeTest, CallReachedTwiceInOneBodyIsHandledOnce) {
    NodeId h = b.function("h");
    NodeId f = b.function("f");
    NodeId e = b.call(h);
    for (int i = 0; i < 20; ++i) e = b.op(CALC_Add, e, e);
    b.body(f, {b.stmt(e)});
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module prefix=p"}))});
    ASSERT_EQ(buildFunctionTree(g()), 0);
    EXPECT_EQ(fileFunctions(), (std::vector<std::string>{"main", "h", "p_h", "f"}));
}

TEST_F(FunctionTreeTest, PrefixIsReadFromTheDirectiveText) {
    struct Case {
        const char* text;
        bool isModule;
        const char* prefix;  // nullptr: none
    };
    const Case cases[] = {
        {"module prefix=m1", true, "m1"},
        {"module", true, nullptr},
        {"module prefix", true, nullptr},
        {"module prefix=", true, nullptr},
        {"module, prefix: m1 trailing words", true, "m1"},
        {"module prefix = m1", true, "m1"},
        {"module\tprefix,m1", true, "m1"},
        {"  module prefix==m1", true, "m1"},
        {"module other=m1", true, nullptr},
        {"module Prefix=m1", true, nullptr},
        {"module=prefix=m1", false, nullptr},
        {"Module", false, nullptr},
        {"modules", false, nullptr},
        {"", false, nullptr},
    };
    for (const Case& c : cases) {
        tb::GraphBuilder local;
        local.file("a.c");
        NodeId m = local.function("main");
        NodeId f = local.function("f");
        local.body(m, {local.stmt(local.call(f, {}, {c.text}))});
        releaseModuleList();
        std::string captured;
        setMessageCapture(&captured);
        int result = buildFunctionTree(local.graph());
        if (!c.isModule) {
            EXPECT_EQ(result, -1) << c.text;
            continue;
        }
        ASSERT_EQ(result, 0) << c.text;
        ASSERT_NE(moduleList, nullptr) << c.text;
        EXPECT_EQ(moduleList->hasPrefix, c.prefix != nullptr) << c.text;
        if (c.prefix) {
            EXPECT_EQ(moduleList->prefix, c.prefix) << c.text;
        }
    }
}

TEST_F(FunctionTreeTest, ModuleDirectiveIsTheFirstToolDirectiveOfTheCall) {
    NodeId f = b.function("f");
    NodeId call = b.call(f);
    // A directive of another type before it does not hide it; a second tool
    // directive after another one is not looked at.
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("module", 54));
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("module prefix=x"));
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("module prefix=y"));
    b.body(mainFn, {b.stmt(call)});
    ASSERT_EQ(buildFunctionTree(g()), 0);
    ASSERT_NE(moduleList, nullptr);
    EXPECT_EQ(moduleList->prefix, "x");
}

TEST_F(FunctionTreeTest, ModuleCallFormIsChecked) {
    struct Case {
        const char* what;
        int pointerCheck;
        std::string expected;
    };
    // Each case builds main's module call from the declarations below.
    const Case cases[] = {
        {"plain variable", 1, ""},
        {"assigned result", 0, "E518:Error:a.c:7:The return value of '//tavik module' function has not supported. \n"},
        {"operation", 0,
         "E519:Error:a.c:7:The operation of the argument of '//tavik module' function call has not supported.\n"},
        {"call", 0,
         "E520:Error:a.c:7:The func call of the argument of '//tavik module' function call has not supported.\n"},
        {"pointer checked", 1,
         "E521:Error:a.c:7:The pointer variable of the argument of '//tavik module' function call has not "
         "supported.\n"},
        {"pointer unchecked", 0, ""},
        {"pointer array checked", 1,
         "E530:Error:a.c:7:Use of a pointer array has not been supported to the argument of the call for "
         "analysis. 'pa' \n"},
        {"pointer array unchecked", 0, ""},
        {"deep pointer array unchecked", 0,
         "E529:Error:a.c:2:A pointer and a pointer array serve as support to two dimensions (**p, *p[x]). 'ppa' \n"},
        {"triple pointer checked", 1,
         "E521:Error:a.c:7:The pointer variable of the argument of '//tavik module' function call has not "
         "supported.\n"},
        {"triple pointer unchecked", 0,
         "E529:Error:a.c:2:A pointer and a pointer array serve as support to two dimensions (**p, *p[x]). 'ppp' \n"},
        {"pointer member checked", 1,
         "E521:Error:a.c:7:The pointer variable of the argument of '//tavik module' function call has not "
         "supported.\n"},
        {"cast variable", 1, ""},
        {"literal", 1, ""},
    };
    for (const Case& c : cases) {
        tb::GraphBuilder l;
        l.file("a.c");
        NodeId s = l.at(1).structDef("S", {{"p", Type::Int().ptr()}});
        NodeId m = l.function("main");
        NodeId f = l.function("f");
        l.at(2);
        NodeId v = l.local(m, "v", Type::Int());
        NodeId p = l.local(m, "p", Type::Int().ptr());
        NodeId pa = l.local(m, "pa", Type::Int().ptr().array({4}));
        NodeId ppa = l.local(m, "ppa", Type::Int().ptr(2).array({4}));
        NodeId ppp = l.local(m, "ppp", Type::Int().ptr(3));
        NodeId sv = l.local(m, "sv", Type::Struct(s));
        NodeId h = l.function("h");
        l.at(7);
        std::string w = c.what;
        std::vector<NodeId> args;
        if (w == "plain variable") args = {l.var(v)};
        if (w == "operation") args = {l.op(CALC_Add, l.var(v), l.lit("1"))};
        if (w == "call") args = {l.call(h)};
        if (w.rfind("pointer checked", 0) == 0 || w == "pointer unchecked") args = {l.var(p)};
        if (w.rfind("pointer array", 0) == 0) args = {l.var(pa)};
        if (w == "deep pointer array unchecked") args = {l.var(ppa)};
        if (w.rfind("triple pointer", 0) == 0) args = {l.var(ppp)};
        if (w == "pointer member checked") args = {l.member(l.var(sv), l.var(l.memberDecl(sv, "p")))};
        if (w == "cast variable") args = {l.cast(Type::Long(), l.var(v))};
        if (w == "literal") args = {l.lit("3")};
        NodeId call = l.call(f, args, {"module"});
        NodeId statement = w == "assigned result" ? l.stmt(l.assign(l.out(v), call)) : l.stmt(call);
        l.body(m, {statement});

        releaseModuleList();
        runSettings.moduleArgPointerCheck = c.pointerCheck;
        initMessages(1, programCatalogue());
        std::string captured;
        setMessageCapture(&captured);
        EXPECT_EQ(buildFunctionTree(l.graph()), 0) << c.what;
        EXPECT_EQ(captured, c.expected) << c.what;
        EXPECT_EQ(errorCount(), c.expected.empty() ? 0 : 1) << c.what;
    }
}

TEST_F(FunctionTreeTest, EvaluationFunctionIsTheLastEvFuncDirective) {
    for (int mev : {0, 1}) {
        for (bool withEv : {false, true}) {
            tb::GraphBuilder l;
            l.file("a.c");
            NodeId m = l.function("main");
            NodeId f = l.function("f");
            NodeId e1 = l.function("e1");
            NodeId e2 = l.function("e2");
            std::vector<NodeId> body{l.stmt(l.call(f, {}, {"module"}))};
            if (withEv) {
                body.push_back(l.stmt(l.call(e1, {}, {"evFunc"})));
                body.push_back(l.stmt(l.call(e2, {}, {"evFunc"})));
            }
            l.body(m, body);
            releaseModuleList();
            runSettings.mevMode = mev;
            std::string captured;
            setMessageCapture(&captured);
            EXPECT_EQ(buildFunctionTree(l.graph()), 0);
            EXPECT_EQ(evalFunction, withEv ? e2 : 0u);
            EXPECT_EQ(captured, mev && !withEv ? "E503:Error:::An evaluation function is not found.(evFunc directive)\n"
                                               : "")
                << mev << withEv;
        }
    }
}

// Calls in every place the walk looks at are followed; a module directive in
// a function that no one calls still makes a module.
TEST_F(FunctionTreeTest, CollectionFollowsCallsInEveryStatementKind) {
    NodeId f = b.function("f");
    std::vector<NodeId> callees;
    auto callee = [&](const char* name) {
        NodeId fn = b.function(name);
        callees.push_back(fn);
        return b.call(fn);
    };
    NodeId x = b.local(f, "x", Type::Int());
    NodeId arr = b.local(f, "arr", Type::Int().array({4}));
    NodeId initialized = b.local(f, "y", Type::Int());
    b.init(initialized, b.op(CALC_Add, callee("inLocalInit"), b.lit("1")));
    NodeId list = b.make(CFG_MEMBER_LIST);
    NodeId member = b.make(CFG_MEMBER);
    b.own(member, CfgMember_SIGNAL, callee("inBraceList"));
    b.own(list, CfgMemberList_MEMBER, member);
    NodeId blockDecl = b.decl("z", Type::Int().array({1}));
    b.init(blockDecl, list);

    b.body(f, {
        b.ifStmt(callee("inIfCond"), {b.stmt(callee("inThen"))}, std::vector<NodeId>{b.stmt(callee("inElse"))}),
        b.switchStmt(callee("inSwitch"), {b.caseItem(b.lit("1"), {b.stmt(callee("inCase"))})}),
        b.loop(LOOP_FOR, callee("inLoopInit"), callee("inLoopCond"), callee("inLoopStep"), {b.stmt(callee("inLoopBody"))}),
        b.stmt(b.assign(b.out(x), b.op(CALC_Mul, b.var(x), b.index(b.var(arr), {callee("inIndex")})))),
        b.stmt(b.call(b.function("outer"), {callee("inArgument")})),
        b.declBlock({blockDecl}),
        b.ret(b.paren(b.cast(Type::Int(), callee("inReturn")))),
    });
    NodeId lonely = b.function("lonely");
    NodeId other = b.function("other");
    b.body(lonely, {b.stmt(b.call(other, {}, {"module"}))});
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module"}))});

    ASSERT_EQ(buildFunctionTree(g()), 0);
    auto mods = modules();
    ASSERT_EQ(mods.size(), 2u);
    EXPECT_EQ(mods[0]->function, other);  // lonely's body is scanned after main's
    EXPECT_EQ(mods[1]->function, f);
    for (NodeId fn : callees) {
        const char* name = getAttrString(g(), fn, CfgFunc_NAME);
        EXPECT_EQ(isInFunctionTree(fn, name, "a.c"), 1) << name;
    }
    EXPECT_EQ(isInFunctionTree(other, "other", "a.c"), 1);
}

TEST_F(FunctionTreeTest, HandBuiltListsAreSeenByTheLookups) {
    auto* m = new ModuleRecord;
    m->function = 7;
    m->name = "f";
    m->hasName = true;
    m->file = "a.c";
    m->hasFile = true;
    auto* t = new TreeNode;
    t->node = 9;
    t->called = 8;
    t->name = "p_g";
    t->hasName = true;
    t->file = "a.c";
    t->hasFile = true;
    m->tree = t;
    moduleList = m;
    EXPECT_EQ(isInFunctionTree(7, "f", "a.c"), 1);
    EXPECT_EQ(isInFunctionTree(9, "p_g", "a.c"), 1);
    EXPECT_EQ(findTreeNodeByCalled(g(), 8), t);

    auto* newer = new TreeNode;
    newer->node = 10;
    newer->called = 8;
    addTreeNode(*m, newer);
    EXPECT_EQ(findTreeNodeByCalled(g(), 8), newer);
    EXPECT_EQ(isInFunctionTree(10, "", "a.c"), 0);  // no name: matches nothing

    releaseModuleList();
    EXPECT_EQ(moduleList, nullptr);
    EXPECT_EQ(isInFunctionTree(7, "f", "a.c"), 0);
    EXPECT_EQ(findTreeNodeByCalled(g(), 8), nullptr);
}

// Many functions reached from one module, and a long chain of calls: the
// collection and the lookups stay fast and within the stack.
TEST_F(FunctionTreeTest, LargeProgramsStayCheap) {
    // Functions are linked into the file in one go (appending one by one
    // would walk the file's chain each time).
    std::vector<NodeId> elements;
    auto bareFunction = [&](const std::string& name) {
        NodeId fn = b.make(CFG_FUNCTION);
        setAttrString(g(), fn, CfgFunc_NAME, name.c_str());
        elements.push_back(fn);
        return fn;
    };
    NodeId f = bareFunction("f");
    std::vector<NodeId> statements;
    std::vector<NodeId> fns;
    for (int i = 0; i < 20000; ++i) {
        NodeId fn = bareFunction("w" + std::to_string(i));
        fns.push_back(fn);
        statements.push_back(b.stmt(b.call(fn)));
    }
    b.body(f, statements);
    NodeId chainHead = bareFunction("c0");
    NodeId previous = chainHead;
    for (int i = 1; i < 1000; ++i) {
        NodeId next = bareFunction("c" + std::to_string(i));
        b.body(previous, {b.stmt(b.call(next))});
        previous = next;
    }
    appendToChain(g(), mainFn, b.chain(elements));
    b.body(mainFn, {b.stmt(b.call(f, {}, {"module"})), b.stmt(b.call(chainHead, {}, {"module prefix=q"}))});

    ASSERT_EQ(buildFunctionTree(g()), 0);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(isInFunctionTree(fns[i], ("w" + std::to_string(i)).c_str(), "a.c"), 1);
    EXPECT_EQ(isInFunctionTree(previous, "c999", "a.c"), 0);
    EXPECT_EQ(nameOf(getNextId(g(), previous)), "q_c999");
    EXPECT_EQ(isInFunctionTree(getNextId(g(), previous), "q_c999", "a.c"), 1);
}

}  // namespace
