#include "check/prototype_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cdfg/reader.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

struct Outcome {
    int result;
    std::string out;
};

Outcome check(CdfgGraph& g) {
    std::string out;
    initMessages(1, programCatalogue());
    setMessageCapture(&out);
    int result = checkPrototypes(g);
    setMessageCapture(nullptr);
    return {result, out};
}

std::string implicit(const std::string& file, int line, const std::string& name) {
    return "E533:Error:" + file + ":" + std::to_string(line) +
           ":Implicit declaration of function '" + name + "'\n";
}
std::string tooMany(const std::string& file, int line, const std::string& name) {
    return "E534:Error:" + file + ":" + std::to_string(line) + ":too many arguments to function '" +
           name + "'\n";
}
std::string cannotConvert(const std::string& file, int line, int position, const std::string& name) {
    return "E535:Error:" + file + ":" + std::to_string(line) + ":cannot convert argument '" +
           std::to_string(position) + "' to '" + name + "'\n";
}
std::string enumRenewal(const std::string& file, int line, const std::string& name) {
    return "E532:Error:" + file + ":" + std::to_string(line) +
           ":The renewal of the enum variable '" + name + "' has not been supported.\n";
}

TEST(PrototypeCheck, DefinitionBelowTheCallIsImplicitButStillCompared) {
    GraphBuilder b;
    b.file("a.c");
    NodeId main = b.at(1).function("main");
    NodeId g = b.at(10).function("g");
    b.param(g, "x", Type::Int());
    b.body(main, {b.at(3).stmt(b.call(g, {b.lit("1"), b.lit("2")}))});
    Outcome o = check(b.graph());
    EXPECT_EQ(o.out, implicit("a.c", 3, "g") + tooMany("a.c", 3, "g"));
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(errorCount(), 2);
}

TEST(PrototypeCheck, DefinitionAboveIsComparedTwice) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.at(1).function("g");
    b.param(g, "x", Type::Int());
    NodeId main = b.at(5).function("main");
    b.body(main, {b.at(7).stmt(b.call(g, {b.lit("1"), b.lit("2")})),
                  b.at(8).stmt(b.call(g, {b.lit("1")}))});
    EXPECT_EQ(check(b.graph()).out, tooMany("a.c", 7, "g") + tooMany("a.c", 7, "g"));
}

TEST(PrototypeCheck, AFunctionMayCallItself) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    b.body(f, {b.at(2).stmt(b.call(f))});
    Outcome o = check(b.graph());
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.result, 0);
}

TEST(PrototypeCheck, DeclarationsAreVisibleBelowThemInTheirOwnFileOnly) {
    GraphBuilder b;
    b.file("a.c");
    // h is defined in b.c: the calls name it and jump to it.
    std::vector<NodeId> callsOfH;
    auto callH = [&](std::uint32_t line) {
        callsOfH.push_back(b.at(line).callByName("h", {b.lit("1")}));
        return b.stmt(callsOfH.back());
    };
    NodeId user1 = b.at(1).function("user1");
    b.body(user1, {callH(2), b.at(3).stmt(b.callByName("ext", {b.lit("1")}))});
    b.at(4).proto("h", Type::Int(), {Type::Int()});
    b.at(5).proto("ext", Type::Int(), {Type::Int()});
    NodeId user2 = b.at(6).function("user2");
    b.body(user2, {callH(7), b.at(8).stmt(b.callByName("ext", {b.lit("1")}))});
    b.file("b.c");
    NodeId h = b.at(1).function("h");
    b.param(h, "x", Type::Int());
    NodeId user3 = b.at(5).function("user3");
    // h is defined above in b.c; ext was declared in a.c only.
    b.body(user3, {callH(6), b.at(7).stmt(b.callByName("ext", {b.lit("1")}))});
    for (NodeId call : callsOfH) setJumpId(b.graph(), call, h);
    EXPECT_EQ(check(b.graph()).out,
              implicit("a.c", 2, "h") + implicit("a.c", 3, "ext") + implicit("b.c", 7, "ext"));
}

TEST(PrototypeCheck, PrototypesInABodyCoverThatBodyOnly) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f1 = b.at(1).function("f1");
    NodeId f2 = b.at(10).function("f2");
    NodeId f3 = b.at(20).function("f3");
    NodeId f4 = b.at(30).function("f4");
    // int u(int); among the local declarations.
    b.appendOwned(f1, CfgFunc_DECLARE, b.at(2).protoNode("u", Type::Int(), {Type::Int()}));
    b.body(f1, {b.at(3).stmt(b.callByName("u", {b.lit("1")}))});
    // The prototype as a statement: calls above it are not covered.
    b.body(f2, {b.at(11).stmt(b.callByName("u", {b.lit("1")})),
                b.at(12).protoNode("u", Type::Int(), {Type::Int()}),
                b.at(13).stmt(b.callByName("u", {b.lit("1")}))});
    // Declared in an inner block, it still covers the rest of the body.
    NodeId block = b.at(22).declBlock({b.protoNode("u", Type::Int(), {Type::Int()})});
    b.body(f3, {b.at(21).ifStmt(b.lit("1"), {block}),
                b.at(23).stmt(b.callByName("u", {b.lit("1")}))});
    b.body(f4, {b.at(31).stmt(b.callByName("u", {b.lit("1")}))});
    EXPECT_EQ(check(b.graph()).out, implicit("a.c", 11, "u") + implicit("a.c", 31, "u"));
}

TEST(PrototypeCheck, LocalPrototypesComeFirstThenTheFirstOfTheFile) {
    GraphBuilder b;
    b.file("a.c");
    b.at(1).proto("h", Type::Int(), {Type::Int()});
    b.at(2).proto("k", Type::Int(), {Type::Int()});
    b.at(3).proto("k", Type::Int(), {Type::Int(), Type::Int()});
    NodeId main = b.at(4).function("main");
    b.file("b.c");
    NodeId h = b.at(1).function("h");
    b.param(h, "x", Type::Int());
    b.param(h, "y", Type::Int());
    NodeId k = b.at(2).function("k");
    b.param(k, "x", Type::Int());
    b.appendOwned(main, CfgFunc_DECLARE, b.protoNode("h", Type::Int(), {Type::Int(), Type::Int()}));
    b.body(main, {b.at(5).stmt(b.call(h, {b.lit("1"), b.lit("2")})),
                  b.at(6).stmt(b.call(k, {b.lit("1")}))});
    EXPECT_EQ(check(b.graph()).out, "");
}

TEST(PrototypeCheck, CallsWithoutABodyNeedADeclarationUnlessAllocatingOrTyped) {
    GraphBuilder b;
    b.file("a.c");
    NodeId main = b.at(1).function("main");
    NodeId typed = b.callByName("sqrt", {b.lit("2.0")});
    setAttrInt(b.graph(), typed, DfgFuncCall_FUNC_RETTYPE, DECL_VALTYPE_DOUBLE);
    b.body(main, {b.at(2).stmt(b.callByName("malloc", {b.lit("4")})),
                  b.at(3).stmt(b.callByName("realloc", {b.lit("0"), b.lit("4")})),
                  b.at(4).stmt(b.callByName("calloc", {b.lit("1"), b.lit("4")})),
                  b.at(5).stmt(b.callByName("free", {b.lit("0")})),
                  b.at(6).stmt(typed),
                  b.at(7).stmt(b.callByName(""))});
    EXPECT_EQ(check(b.graph()).out, implicit("a.c", 5, "free"));

    // A nameless call of a function with a body has no declaration either.
    GraphBuilder n;
    n.file("n.c");
    NodeId user = n.at(1).function("user");
    NodeId f = n.at(5).function("f");
    NodeId call = n.at(2).call(f);
    setAttrString(n.graph(), call, DfgFuncCall_NAME, static_cast<const char*>(nullptr));
    n.body(user, {n.stmt(call)});
    EXPECT_EQ(check(n.graph()).out, implicit("n.c", 2, ""));
}

TEST(PrototypeCheck, VoidParameterList) {
    GraphBuilder b;
    b.file("a.c");
    NodeId v = b.at(1).function("v");
    b.param(v, "", Type::Void());
    NodeId vp = b.at(2).function("vp");
    b.param(vp, "p", Type::Void().ptr());
    NodeId main = b.at(3).function("main");
    b.body(main, {b.at(4).stmt(b.call(v)),
                  // One argument for (void) is a type mismatch of that pair.
                  b.at(5).stmt(b.call(v, {b.lit("1")})),
                  b.at(6).stmt(b.call(v, {b.call(v)})),
                  // (void *) is a real parameter.
                  b.at(7).stmt(b.call(vp))});
    EXPECT_EQ(check(b.graph()).out, cannotConvert("a.c", 5, 1, "v") +
                                        cannotConvert("a.c", 5, 1, "v") +
                                        cannotConvert("a.c", 6, 1, "v") +
                                        cannotConvert("a.c", 6, 1, "v") + tooMany("a.c", 7, "vp") +
                                        tooMany("a.c", 7, "vp"));
}

struct ArgumentCase {
    const char* what;
    Type parameter;
    std::function<NodeId(GraphBuilder&, NodeId main)> argument;
    bool compatible;
};

NodeId localVar(GraphBuilder& b, NodeId main, const Type& t) {
    static int n = 0;
    std::string name = std::to_string(n++);
    return b.var(b.local(main, name.insert(0, 1, 'v'), t));
}

TEST(PrototypeCheck, ArgumentCompatibility) {
    using B = GraphBuilder;
    const Type i = Type::Int(), c = Type::Char(), f = Type::Float();
    const Type i10 = Type::Int().array({10}), i23 = Type::Int().array({2, 3});
    const ArgumentCase cases[] = {
        {"int <- int", i, [](B& b, NodeId m) { return localVar(b, m, Type::Int()); }, true},
        {"float <- int", f, [](B& b, NodeId m) { return localVar(b, m, Type::Int()); }, true},
        {"int <- 1.5", i, [](B& b, NodeId) { return b.lit("1.5"); }, true},
        {"char <- long long", c, [](B& b, NodeId m) { return localVar(b, m, Type::LongLong()); },
         true},
        {"struct <- int", Type::Of(DECL_VALTYPE_STRUCT), [](B& b, NodeId) { return b.lit("1"); },
         true},
        {"int <- string", i, [](B& b, NodeId) { return b.str("abc"); }, false},
        {"char* <- string", c.ptr(), [](B& b, NodeId) { return b.str("abc"); }, true},
        {"char* <- (char *)string", c.ptr(),
         [](B& b, NodeId) { return b.cast(Type::Char().ptr(), b.str("abc")); }, true},
        {"int* <- string", i.ptr(), [](B& b, NodeId) { return b.str("abc"); }, false},
        {"void* <- string", Type::Void().ptr(), [](B& b, NodeId) { return b.str("abc"); }, false},
        {"int* <- int", i.ptr(), [](B& b, NodeId m) { return localVar(b, m, Type::Int()); }, false},
        {"int* <- &int", i.ptr(),
         [](B& b, NodeId m) { return b.addressOf(localVar(b, m, Type::Int())); }, true},
        {"int* <- unsigned int*", i.ptr(),
         [](B& b, NodeId m) { return localVar(b, m, Type::Int().unsignedType().ptr()); }, true},
        {"int* <- float*", i.ptr(), [](B& b, NodeId m) { return localVar(b, m, Type::Float().ptr()); },
         false},
        {"int** <- int*", i.ptr(2), [](B& b, NodeId m) { return localVar(b, m, Type::Int().ptr()); },
         false},
        {"int <- int*", i, [](B& b, NodeId m) { return localVar(b, m, Type::Int().ptr()); }, false},
        {"int <- *p", i,
         [](B& b, NodeId m) { return b.deref(localVar(b, m, Type::Int().ptr())); }, true},
        {"int[] <- int[10]", i.array({0}),
         [i10](B& b, NodeId m) { return localVar(b, m, i10); }, true},
        {"int[][3] <- int[2][3]", i.array({0, 3}),
         [i23](B& b, NodeId m) { return localVar(b, m, i23); }, true},
        {"int[][3] <- int[10]", i.array({0, 3}),
         [i10](B& b, NodeId m) { return localVar(b, m, i10); }, false},
        {"int* <- p + 1", i.ptr(),
         [](B& b, NodeId m) {
             return b.op(CALC_Add, localVar(b, m, Type::Int().ptr()), b.lit("1"));
         },
         true},
        {"double <- *ip()", Type::Double(),
         [](B& b, NodeId) {
             NodeId call = b.callByName("ip");
             setAttrInt(b.graph(), call, DfgFuncCall_FUNC_RETTYPE, DECL_VALTYPE_INT);
             setAttrInt(b.graph(), call, DfgFuncCall_FUNC_POINTERCNT, 1);
             setAttrInt(b.graph(), call, DfgFuncCall_POINCNT, 1);
             return call;
         },
         true},
        {"void <- void call", Type::Void(),
         [](B& b, NodeId) {
             NodeId call = b.callByName("vf");
             setAttrInt(b.graph(), call, DfgFuncCall_FUNC_RETTYPE, DECL_VALTYPE_VOID);
             return call;
         },
         true},
    };
    for (const ArgumentCase& k : cases) {
        SCOPED_TRACE(k.what);
        // a.c declares f(int, T) above the caller; b.c defines it.
        GraphBuilder b;
        b.file("a.c");
        NodeId proto = b.at(1).proto("f");
        b.appendOwned(proto, CfgFunc_ARGLIST, b.decl("", Type::Int(), DECL_ARG));
        b.appendOwned(proto, CfgFunc_ARGLIST, b.decl("", k.parameter, DECL_ARG));
        NodeId main = b.at(2).function("main");
        b.file("b.c");
        NodeId f = b.at(1).function("f");
        b.param(f, "a", Type::Int());
        b.param(f, "b", k.parameter);
        b.file("a.c");
        NodeId arg = k.argument(b, main);
        b.body(main, {b.at(3).stmt(b.call(f, {b.lit("0"), arg}))});
        std::string expected;
        if (!k.compatible) expected = cannotConvert("a.c", 3, 2, "f") + cannotConvert("a.c", 3, 2, "f");
        EXPECT_EQ(check(b.graph()).out, expected);
    }
}

TEST(PrototypeCheck, EveryIncompatibleArgumentIsReported) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    b.param(f, "p", Type::Int().ptr());
    b.param(f, "x", Type::Int());
    b.param(f, "q", Type::Int().ptr());
    NodeId main = b.at(5).function("main");
    b.body(main, {b.at(6).stmt(b.call(f, {b.lit("1"), b.str("s"), b.lit("2")}))});
    std::string once = cannotConvert("a.c", 6, 1, "f") + cannotConvert("a.c", 6, 2, "f") +
                       cannotConvert("a.c", 6, 3, "f");
    EXPECT_EQ(check(b.graph()).out, once + once);
}

TEST(PrototypeCheck, WritingAnEnumerationIsReported) {
    GraphBuilder b;
    b.file("a.c");
    NodeId main = b.at(1).function("main");
    NodeId x = b.local(main, "x", Type::Int());
    NodeId port = b.at(5).make(DFG_OUTPUT_PORT);
    setAttrNode(b.graph(), port, DfgPort_DECL, b.make(CFG_ENUM));
    NodeId nameless = b.at(6).make(DFG_INPUT_PARA);
    b.body(main, {b.at(2).stmt(b.assign(b.enumConst("RED"), b.lit("3"))),
                  b.at(3).stmt(b.assign(b.enumVar("colour", true), b.lit("1"))),
                  // Reading one is fine, and so is a plain variable.
                  b.at(4).stmt(b.assign(b.out(x), b.enumVar("colour", false))),
                  b.stmt(b.assign(port, b.lit("1"))), b.stmt(b.assign(nameless, b.lit("1"))),
                  b.at(7).stmt(b.op(CALC_AddEqu, b.enumVar("colour", true), b.lit("1")))});
    Outcome o = check(b.graph());
    EXPECT_EQ(o.out, enumRenewal("a.c", 2, "RED") + enumRenewal("a.c", 3, "colour") +
                         enumRenewal("a.c", 5, "") + enumRenewal("a.c", 6, ""));
    EXPECT_EQ(o.result, -1);
}

TEST(PrototypeCheck, TheWalkReachesEveryExpressionInSourceOrder) {
    GraphBuilder b;
    b.file("a.c");
    // u() has no declaration anywhere: each call that is walked reports.
    auto u = [&](std::uint32_t line) { return b.at(line).callByName("u"); };
    NodeId g = b.at(1).global("g", Type::Int());
    b.init(g, b.op(CALC_Add, u(1), b.lit("1")));
    NodeId ok = b.at(2).function("ok");
    b.param(ok, "x", Type::Int());
    NodeId main = b.at(3).function("main");
    NodeId i = b.local(main, "i", Type::Int());
    NodeId a = b.local(main, "a", Type::Int().array({4}));
    NodeId sized = b.local(main, "s", Type::Int().array({0}));
    b.dimExpr(sized, 0, u(4));
    NodeId y = b.local(main, "y", Type::Int());
    b.init(y, b.op(CALC_Mul, u(5), b.lit("2")));
    NodeId z = b.local(main, "z", Type::Int());
    b.init(z, u(100));  // a plain call as initializer is not walked
    NodeId list = b.local(main, "l", Type::Int().array({2}));
    NodeId members = b.make(CFG_MEMBER_LIST);
    NodeId m1 = b.make(CFG_MEMBER), m2 = b.make(CFG_MEMBER);
    b.own(m1, CfgMember_SIGNAL, u(6));
    NodeId inner = b.make(CFG_MEMBER_LIST);
    b.own(inner, CfgMemberList_MEMBER, m2);
    b.own(m2, CfgMember_SIGNAL, u(7));
    b.own(members, CfgMemberList_MEMBER, b.chain({m1, inner}));
    b.init(list, members);

    NodeId blockDecl = b.decl("w", Type::Int());
    b.init(blockDecl, b.op(CALC_Sub, u(14), b.lit("1")));
    b.body(main, {
        b.at(8).ifStmt(u(8), {b.stmt(u(9))}, std::vector<NodeId>{b.stmt(u(10))}),
        b.switchStmt(u(11), {b.caseItem(u(101), {b.stmt(u(12))}), b.caseItem(0, {b.stmt(u(13))})}),
        b.declBlock({blockDecl}),
        b.loop(LOOP_FOR, b.assign(b.out(i), u(15)), b.op(CALC_Les, b.var(i), u(16)),
               b.op(CALC_PInc, b.out(i)), {b.stmt(u(18))}),
        b.stmt(b.assign(b.index(b.out(a), {u(19)}), b.cast(Type::Int(), b.paren(u(20))))),
        b.stmt(b.call(ok, {b.op(CALC_Add, b.index(b.var(a), {u(21)}), u(22))})),
        b.ret(b.op(CALC_LogCond, u(23), u(24), u(25))),
    });
    // The step holds a call too.
    NodeId loopStmt = 0;
    for (NodeId s = getAttrInt(b.graph(), main, CfgFunc_STARTCFG); s; s = getNextId(b.graph(), s))
        if (getKind(b.graph(), s) == CFG_LOOP_BEGIN) loopStmt = s;
    for (NodeId p = getAttrInt(b.graph(), loopStmt, CfgLoopBegin_CFG); p; p = getNextId(b.graph(), p))
        if (getKind(b.graph(), p) == CFG_LOOP_STEP)
            b.appendOwned(p, CfgLoopStep_OPELIST, b.manage(u(17)));

    std::string expected;
    // The loop parts come as init, condition, body, step.
    for (int line : {1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 17, 19, 20, 21, 22, 23,
                     24, 25})
        expected += implicit("a.c", line, "u");
    EXPECT_EQ(check(b.graph()).out, expected);
}

TEST(PrototypeCheck, MessagesFromAReadCdfgFile) {
    GraphBuilder b;
    b.file("src/main.c");
    NodeId main = b.at(12).function("main");
    b.file("src/lib.c");
    NodeId lib = b.at(3).function("lib");
    b.param(lib, "s", Type::Char().ptr());
    b.file("src/main.c");
    b.body(main, {b.at(14).stmt(b.call(lib, {b.lit("7")}))});
    std::string bytes = b.bytes();
    auto g = readCdfgBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    ASSERT_TRUE(g);
    EXPECT_EQ(check(*g).out,
              implicit("src/main.c", 14, "lib") + cannotConvert("src/main.c", 14, 1, "lib"));
}

TEST(PrototypeCheck, MarksAreClearedAndTheStateForgotten) {
    GraphBuilder b;
    b.file("a.c");
    b.at(1).proto("p", Type::Int(), {Type::Int()});
    NodeId main = b.at(2).function("main");
    b.body(main, {b.at(3).ifStmt(b.var(b.local(main, "x", Type::Int())),
                                 {b.stmt(b.callByName("p", {b.lit("1")}))})});
    EXPECT_EQ(check(b.graph()).out, "");
    for (const CdfgNode& n : b.graph().nodes) EXPECT_EQ(n.mark, 0u) << n.id;
    EXPECT_EQ(lookupDeclaration("p"), 0u);
    EXPECT_EQ(lookupDeclaration("main"), 0u);
    EXPECT_EQ(lookupDeclaration(nullptr), 0u);
    // A second run sees the same program the same way.
    EXPECT_EQ(check(b.graph()).out, "");
}

TEST(PrototypeCheck, DamagedGraphsDoNotHang) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    b.param(f, "x", Type::Int());
    NodeId main = b.at(2).function("main");
    CdfgGraph& g = b.graph();
    NodeId s1 = b.stmt(b.callByName("u"));
    NodeId s2 = b.stmt(b.call(f, {b.lit("1")}));
    NodeId loopOp = b.op(CALC_Add, b.lit("1"), b.lit("2"));
    setAttrNode(g, loopOp, DfgOpe_LEFT, loopOp);
    NodeId s3 = b.stmt(loopOp);
    NodeId cyclicArgs = b.call(f, {b.lit("1"), b.lit("2")});
    NodeId firstArg = getAttrInt(g, cyclicArgs, DfgFuncCall_ARGLIST);
    setNextId(g, getNextId(g, firstArg), firstArg);
    NodeId s4 = b.stmt(cyclicArgs);
    b.body(main, {s1, s2, s3, s4});
    setNextId(g, s4, s1);  // the statements loop
    NodeId fileNode = getAttrInt(g, b.root(), CfgRoot_ELEMENT);
    setNextId(g, fileNode, fileNode);  // and so do the files
    setNextId(g, main, f);             // and the elements
    Outcome o = check(g);
    EXPECT_NE(o.out.find(implicit("a.c", 2, "u")), std::string::npos);
    EXPECT_NE(o.out.find(tooMany("a.c", 2, "f")), std::string::npos);
    for (const CdfgNode& n : g.nodes) EXPECT_EQ(n.mark, 0u) << n.id;

    // No root at all.
    auto empty = newGraph();
    EXPECT_EQ(check(*empty).result, 0);
}

TEST(PrototypeCheck, DeepNestingAndManyFunctions) {
    GraphBuilder b;
    // Each function calls the one above it: thousands of names in one file.
    // (Made before the file record and chained at once, to keep the set-up
    // linear.)
    std::vector<NodeId> elements{b.function("f0")};
    for (int n = 1; n < 5000; ++n) {
        std::string name = std::to_string(n);
        NodeId fn = b.function(name.insert(0, 1, 'f'));
        b.body(fn, {b.stmt(b.call(elements.back()))});
        elements.push_back(fn);
    }
    NodeId main = b.function("main");
    elements.push_back(main);
    b.own(b.file("a.c"), CfgFileinfo_ELEMENT, b.chain(elements));
    // Statements nested far deeper than the call stack would allow.
    NodeId inner = b.at(30001).stmt(b.callByName("deep"));
    for (int n = 0; n < 30000; ++n) inner = b.ifStmt(b.lit("1"), {inner});
    b.body(main, {inner});
    EXPECT_EQ(check(b.graph()).out, implicit("a.c", 30001, "deep"));
}

}  // namespace
