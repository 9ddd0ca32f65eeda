#include "check/declaration_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

std::string err(int code, int line, const std::string& text) {
    return "E" + std::to_string(code) + ":Error:a.c:" + std::to_string(line) + ":" + text;
}
std::string e511(int line, const std::string& name) {
    return err(511, line, "Array size of variable '" + name + "' cannot be decided.\n");
}
std::string e522(int line, const std::string& name) {
    return err(522, line, "The pointer variable '" + name + "' has not supported more than one.\n");
}
std::string e523(const std::string& tag, const std::string& member) {
    return "E523:Error:Structure object '" + tag + "' has pointer member '" + member +
           "'. It has not supported. \n";
}
std::string e524(int line) { return err(524, line, "union has not supported.\n"); }
std::string e525(int line, const std::string& name) {
    return err(525, line, "The long double type has not been supported. '" + name + "'\n");
}
std::string e527(int line, const std::string& name) {
    return err(527, line,
               "'int (*var)[]; or int *(var*);' Variable declaration, has not been supported. '" +
                   name + "'\n");
}
std::string e529(int line, const std::string& name) {
    return err(529, line,
               "A pointer and a pointer array serve as support to two dimensions (**p, *p[x]). '" +
                   name + "' \n");
}
std::string e540(int line, const std::string& name) {
    return err(540, line, "Specification of the bit field has not been supported. '" + name + "'\n");
}
std::string e541(int line) {
    return err(541, line, "The operation &&, || of a floating decimal point has not supported.\n");
}

class DeclarationChecks : public ::testing::Test {
protected:
    void SetUp() override {
        runSettings = RunSettings{};
        resetDeclarationChecks();
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        runSettings = RunSettings{};
        resetDeclarationChecks();
    }

    // Collects the nodes, runs the entry checks and returns everything printed.
    std::string run(CdfgGraph& g, const std::vector<NodeId>& nodes) {
        out.clear();
        for (NodeId n : nodes) EXPECT_EQ(collectDeclaration(g, n), 0);
        int result = checkDeclarationEntries(g);
        EXPECT_EQ(declList, nullptr);
        for (const CdfgNode& n : g.nodes) EXPECT_EQ(n.mark, 0u) << "node " << n.id;
        // 522, 523 and 524 come from the collector; the result covers the entries.
        EXPECT_EQ(result != 0, hasEntryMessage(out)) << out;
        return out;
    }
    static bool hasEntryMessage(const std::string& s) {
        for (const char* code : {"E511", "E507", "E512", "E513", "E514", "E525", "E527", "E529",
                                 "E540", "E541", "E542", "E543", "E544"})
            if (s.find(code) != std::string::npos) return true;
        return false;
    }

    std::string out;
};

TEST_F(DeclarationChecks, EachReferencedDeclarationIsCheckedOnceNewestFirst) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    NodeId a = b.at(3).local(f, "a", Type::LongDouble());
    NodeId c = b.at(4).local(f, "c", Type::LongDouble());
    b.at(5).local(f, "unused", Type::LongDouble());
    std::vector<NodeId> refs = {b.var(a), b.out(c), b.var(a), a};
    const std::string expected = e525(4, "c") + e525(3, "a");
    EXPECT_EQ(run(b.graph(), refs), expected);
    // The marks were cleared, so a second pass over the same graph agrees.
    EXPECT_EQ(run(b.graph(), refs), expected);
}

TEST_F(DeclarationChecks, ArraySizesThatCannotBeDecided) {
    struct Case {
        const char* what;
        bool parameter;
        std::vector<std::int64_t> dims;
        std::function<void(GraphBuilder&, NodeId decl, NodeId n)> sizes;
        bool reported;
    };
    auto none = [](GraphBuilder&, NodeId, NodeId) {};
    const std::vector<Case> cases = {
        {"a[4][5]", false, {4, 5}, none, false},
        {"a[]", false, {0}, none, true},
        {"a[4][]", false, {4, 0}, none, true},
        {"a[n]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId n) { b.dimExpr(d, 0, b.var(n)); }, true},
        {"a[2 + 3]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId) {
             b.dimExpr(d, 0, b.op(CALC_Add, b.lit("2"), b.lit("3")));
         },
         false},
        {"a[(3) * 2]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId) {
             b.dimExpr(d, 0, b.op(CALC_Mul, b.paren(b.lit("3")), b.lit("2")));
         },
         false},
        {"a[4][n + 1]", false, {4, 1},
         [](GraphBuilder& b, NodeId d, NodeId n) {
             b.dimExpr(d, 1, b.op(CALC_Add, b.var(n), b.lit("1")));
         },
         true},
        {"a[(int)3]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId) { b.dimExpr(d, 0, b.cast(Type::Int(), b.lit("3"))); },
         true},
        {"a[g()]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId) { b.dimExpr(d, 0, b.callByName("g")); }, true},
        {"a[n = 3]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId n) { b.dimExpr(d, 0, b.assign(b.out(n), b.lit("3"))); },
         true},
        {"a[RED]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId) { b.dimExpr(d, 0, b.enumConst("RED")); }, true},
        {"a[1 ? 2 : n]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId n) {
             b.dimExpr(d, 0, b.op(CALC_LogCond, b.lit("2"), b.var(n), b.lit("1")));
         },
         true},
        {"a[n ? 2 : 3]", false, {1},
         [](GraphBuilder& b, NodeId d, NodeId n) {
             b.dimExpr(d, 0, b.op(CALC_LogCond, b.lit("2"), b.lit("3"), b.var(n)));
         },
         true},
        {"param m[][4]", true, {0, 4}, none, false},
        {"param m[]", true, {0}, none, false},
        {"param m[n]", true, {1},
         [](GraphBuilder& b, NodeId d, NodeId n) { b.dimExpr(d, 0, b.var(n)); }, false},
        {"param m[][n]", true, {0, 1},
         [](GraphBuilder& b, NodeId d, NodeId n) { b.dimExpr(d, 1, b.var(n)); }, true},
        {"param m[4][]", true, {4, 0}, none, true},
    };
    for (const Case& c : cases) {
        GraphBuilder b;
        b.file("a.c");
        NodeId f = b.at(1).function("f");
        NodeId n = b.at(2).local(f, "n", Type::Int());
        Type t = Type::Int().array(c.dims);
        NodeId d = c.parameter ? b.at(7).param(f, "m", t) : b.at(7).local(f, "a", t);
        c.sizes(b, d, n);
        EXPECT_EQ(run(b.graph(), {d}), c.reported ? e511(7, c.parameter ? "m" : "a") : "") << c.what;
    }
}

TEST_F(DeclarationChecks, FloatingLogicalOperatorsInArraySizes) {
    for (int mode = 0; mode < 3; ++mode) {
        runSettings.ansicMode = mode == 1;
        runSettings.algocMode = mode == 2;
        GraphBuilder b;
        b.file("a.c");
        NodeId f = b.at(1).function("f");
        NodeId d = b.at(3).local(f, "a", Type::Int().array({1}));
        b.at(4);
        NodeId inner = b.op(CALC_LogAnd, b.lit("1.0"), b.lit("2"));
        b.dimExpr(d, 0, b.op(CALC_Add, b.paren(inner), b.lit("1")));
        EXPECT_EQ(run(b.graph(), {d}), mode == 0 ? "" : e541(4)) << mode;
    }
}

TEST_F(DeclarationChecks, TypesAndShapesOfDeclarations) {
    struct Case {
        const char* what;
        Type type;
        int specPointers;  // -1: no CfgDecl_SPEC
        bool bitField;
        std::string expected;  // declaration "v" on line 3
    };
    const std::vector<Case> cases = {
        {"int **v", Type::Int().ptr(2), -1, false, ""},
        {"int *v[4]", Type::Int().ptr().array({4}), -1, false, ""},
        {"int ***v", Type::Int().ptr(3), -1, false, e529(3, "v")},
        {"int **v[4]", Type::Int().ptr(2).array({4}), -1, false, e529(3, "v")},
        {"int *v[4][4]", Type::Int().ptr().array({4, 4}), -1, false, e529(3, "v")},
        {"int v[4][4][4]", Type::Int().array({4, 4, 4}), -1, false, ""},
        {"long double v", Type::LongDouble(), -1, false, e525(3, "v")},
        {"int v : 3", Type::Int(), -1, true, e540(3, "v")},
        {"int (*v)[4]", Type::Int().ptr().array({4}), 0, false, e527(3, "v")},
        {"int (*v)", Type::Int().ptr(), 0, false, ""},
        {"specNode* with array", Type::Int().array({4}), 1, false, e527(3, "v")},
        {"specNode* with pointer", Type::Int().ptr(), 1, false, e527(3, "v")},
        {"specNode* alone", Type::Int(), 1, false, ""},
        {"long double ***v : 1", Type::LongDouble().ptr(3), -1, true,
         e525(3, "v") + e529(3, "v") + e540(3, "v")},
    };
    for (const Case& c : cases) {
        GraphBuilder b;
        b.file("a.c");
        NodeId f = b.at(1).function("f");
        NodeId d = b.at(3).local(f, "v", c.type);
        if (c.specPointers >= 0) {
            NodeId specNode = b.make(DFG_SPEC);
            setAttrInt(b.graph(), specNode, DfgSpec_POINTERCNT, static_cast<std::uint32_t>(c.specPointers));
            b.own(d, CfgDecl_SPEC, specNode);
        }
        if (c.bitField) b.own(d, CfgDecl_BITEXP, b.lit("3"));
        EXPECT_EQ(run(b.graph(), {b.var(d)}), c.expected) << c.what;
    }
}

TEST_F(DeclarationChecks, MultiplePointersOnlyWithTheSetting) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    NodeId p = b.at(3).local(f, "p", Type::Int().ptr(2));
    NodeId q = b.at(4).local(f, "q", Type::Int().ptr());
    EXPECT_EQ(run(b.graph(), {b.var(p), b.var(q)}), "");
    runSettings.multiPointerCheck = 1;
    EXPECT_EQ(run(b.graph(), {b.var(p), b.var(q), b.var(p)}), e522(3, "p"));
}

TEST_F(DeclarationChecks, DirectivesOfCollectedDeclarations) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    NodeId x = b.at(3).local(f, "x", Type::Float());
    b.at(4).directiveOnDecl(x, "scale 8");
    b.appendOwned(x, CfgDecl_DIRECTIVE, b.directive("Foo", DIRE_Extension));
    b.at(5).directiveOnDecl(x, "fixedP 16");
    b.at(6).local(f, "unused", Type::Float());
    EXPECT_EQ(run(b.graph(), {b.var(x)}),
              err(507, 3, "Directive 'scale' has not supported.\n") +
                  err(513, 3, "The format of directive 'fixedP' is different.\n"));
}

TEST_F(DeclarationChecks, StructureMembersAreCollectedWithTheirOwner) {
    GraphBuilder b;
    b.file("a.c");
    NodeId inner = b.at(2).structDef("inner", {{"z", Type::LongDouble()}, {"w", Type::Char().ptr(3)}});
    NodeId list = b.at(4).structDef("list", {{"v", Type::Int()}});
    NodeId point = b.at(5).structDef(
        "point", {{"x", Type::LongDouble()}, {"in", Type::Struct(inner)}, {"next", Type::Struct(list).ptr()}});
    NodeId f = b.at(10).function("f");
    NodeId pt = b.at(11).local(f, "pt", Type::Struct(point));
    NodeId ref = b.member(b.var(pt), b.var(b.memberDecl(pt, "x")));
    // Newest first: w and z (reached through in), then x; the pointer member
    // next is collected but its structure is not.
    EXPECT_EQ(run(b.graph(), {ref}), e529(2, "pt...w") + e525(2, "pt...z") + e525(5, "pt...x"));
}

TEST_F(DeclarationChecks, PointerMemberReportedOncePerRun) {
    runSettings.structPointerMemberCheck = 1;
    GraphBuilder b;
    b.file("a.c");
    NodeId tagless = b.at(2).structDef("", {{"c", Type::Char()}, {"w", Type::Char().ptr()}});
    NodeId outer = b.at(3).structDef("outer", {{"i", Type::Int()}, {"t", Type::Struct(tagless)},
                                                {"p", Type::Int().ptr()}});
    NodeId plain = b.at(4).structDef("plain", {{"i", Type::Int()}});
    NodeId f = b.at(10).function("f");
    NodeId clean = b.at(11).local(f, "clean", Type::Struct(plain));
    NodeId o1 = b.at(12).local(f, "o1", Type::Struct(outer));
    NodeId o2 = b.at(13).local(f, "o2", Type::Struct(outer));
    // Depth first: the structure member t comes before p; t's structure has
    // no tag, so the variable names it.
    EXPECT_EQ(run(b.graph(), {b.var(clean), b.var(o1), b.var(o2)}), e523("o1", "w"));
    EXPECT_EQ(run(b.graph(), {b.var(o2)}), "");
    resetDeclarationChecks();
    EXPECT_EQ(run(b.graph(), {b.var(o2)}), e523("o2", "w"));
}

TEST_F(DeclarationChecks, UnionsAreReportedAtTheVariable) {
    GraphBuilder b;
    b.file("a.c");
    NodeId u = b.at(2).structDef("u", {{"a", Type::Int()}, {"b", Type::Float()}}, true);
    NodeId s = b.at(3).structDef("s", {{"k", Type::Int()}, {"m", Type::Struct(u)}, {"pm", Type::Struct(u).ptr()}});
    NodeId f = b.at(10).function("f");
    NodeId uv = b.at(11).local(f, "uv", Type::Struct(u));
    NodeId sv = b.at(12).local(f, "sv", Type::Struct(s));
    EXPECT_EQ(run(b.graph(), {b.var(uv), b.var(sv)}), e524(11) + e524(12));
}

TEST_F(DeclarationChecks, StructuresOfStandardHeadersAreLeftAlone) {
    runSettings.structPointerMemberCheck = 1;
    runSettings.multiPointerCheck = 1;
    GraphBuilder b;
    b.file("/usr/include/stdio.h");
    NodeId file = b.at(40).structDef("_IO_FILE", {{"buf", Type::Char().ptr()}, {"n", Type::LongDouble()}});
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    NodeId fp = b.at(3).local(f, "fp", Type::Struct(file).ptr());
    NodeId fpp = b.at(4).local(f, "fpp", Type::Struct(file).ptr(2));
    EXPECT_EQ(isStandardHeaderStruct(b.graph(), fp), 1);
    // Never collected, so the 522 check runs at every reference.
    EXPECT_EQ(run(b.graph(), {b.var(fp), b.var(fpp), b.var(fpp)}), e522(4, "fpp") + e522(4, "fpp"));
}

TEST_F(DeclarationChecks, StandardHeaderNames) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"stdio.h", 1},          {"/usr/include/math.h", 1}, {"C:\\inc\\stdlib.h", 1},
        {"x/y\\time.h", 1},      {"unistd.h", 1},            {"ctype.h", 1},
        {"signal.h", 1},         {"string.h", 1},            {"mystdio.h", 0},
        {"stdio.hpp", 0},        {"STDIO.H", 0},             {"stdio.h/", 0},
        {"", 0},                 {nullptr, 0},
    };
    for (const auto& [name, expected] : cases) {
        GraphBuilder b;
        NodeId s = b.structDef("t", {{"i", Type::Int()}});
        setFileName(b.graph(), s, name);
        NodeId d = b.decl("v", Type::Struct(s));
        EXPECT_EQ(isStandardHeaderStruct(b.graph(), d), expected) << (name ? name : "(none)");
    }
    GraphBuilder b;
    EXPECT_EQ(isStandardHeaderStruct(b.graph(), b.decl("i", Type::Int())), 0);
}

TEST_F(DeclarationChecks, ConstantEvaluation) {
    GraphBuilder b;
    auto L = [&](const char* text) { return b.lit(text); };
    auto op = [&](std::int32_t type, NodeId l, NodeId r = 0) { return b.op(type, l, r); };
    const std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::vector<std::pair<NodeId, std::int64_t>> cases = {
        {L("42"), 42},
        {L("-5"), -5},
        {L("4294967295"), -1},  // a 32-bit value, sign-extended
        {b.paren(b.paren(L("7"))), 7},
        {op(CALC_Plus, L("3")), 3},
        {op(CALC_Minus, L("3")), -3},
        {op(CALC_Not, L("0")), 1},
        {op(CALC_Not, L("9")), 0},
        {op(CALC_BitNot, L("0")), -1},
        {op(CALC_Mul, L("6"), L("7")), 42},
        {op(CALC_Add, L("6"), L("7")), 13},
        {op(CALC_Sub, L("6"), L("7")), -1},
        {op(CALC_Div, L("7"), L("0")), 0},
        {op(CALC_Div, L("-7"), L("2")), -3},
        {op(CALC_Mod, L("-7"), L("2")), -1},
        {op(CALC_Mod, L("7"), L("0")), 0},
        {op(CALC_LeftShift, L("1"), L("70")), 64},
        {op(CALC_RightShift, L("-16"), L("2")), -4},
        {op(CALC_LeftShift, L("1"), L("-1")), kMin},  // by -1 modulo 64
        {op(CALC_Div, op(CALC_LeftShift, L("1"), L("63")), L("-1")), kMin},
        {op(CALC_Mod, op(CALC_LeftShift, L("1"), L("63")), L("-1")), 0},
        {op(CALC_Minus, op(CALC_LeftShift, L("1"), L("63"))), kMin},
        {op(CALC_Mul, op(CALC_LeftShift, L("1"), L("62")), L("4")), 0},
        {op(CALC_Les, L("-1"), L("0")), 1},
        {op(CALC_LesEq, L("1"), L("0")), 0},
        {op(CALC_Gre, L("1"), L("0")), 1},
        {op(CALC_GreEq, L("0"), L("0")), 1},
        {op(CALC_Eq, L("2"), L("2")), 1},
        {op(CALC_NotEq, L("2"), L("2")), 0},
        {op(CALC_LogAnd, L("2"), L("3")), 1},
        {op(CALC_LogAnd, L("2"), L("0")), 0},
        {op(CALC_LogOr, L("0"), L("3")), 1},
        {op(CALC_And, L("12"), L("10")), 8},
        {op(CALC_Or, L("12"), L("10")), 14},
        {op(CALC_Xor, L("12"), L("10")), 6},
        {op(CALC_Xnor, L("12"), L("10")), 0},
        {op(CALC_Mul, b.paren(op(CALC_Add, L("2"), L("3"))), L("4")), 20},
        {b.str("abc"), 0},
        {b.cast(Type::Int(), L("3")), 0},
        {0, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(evalConstExpr(b.graph(), cases[i].first), cases[i].second) << "case " << i;
}

TEST_F(DeclarationChecks, ElementCountsAndSizes) {
    GraphBuilder b;
    b.file("a.c");
    NodeId cs = b.at(2).structDef("cs", {{"c", Type::Char()}, {"i", Type::Int()}});
    NodeId nested = b.structDef("nested", {{"a", Type::Struct(cs).array({2})}, {"d", Type::Double()},
                                           {"p", Type::Struct(cs).ptr()}, {"e", Type::Char().array({0})}});
    struct Case {
        const char* what;
        Type type;
        std::int64_t count;
        std::int64_t size;
    };
    const std::vector<Case> cases = {
        {"char", Type::Char(), 1, 1},
        {"void", Type::Void(), 1, 1},
        {"none", Type::Of(DECL_VALTYPE_NONE), 1, 1},
        {"short", Type::Short(), 1, 2},
        {"int", Type::Int(), 1, 4},
        {"long", Type::Long(), 1, 4},
        {"bool", Type::Of(DECL_VALTYPE_BOOL), 1, 4},
        {"float", Type::Float(), 1, 4},
        {"long long", Type::LongLong(), 1, 8},
        {"double", Type::Double(), 1, 8},
        {"long double", Type::LongDouble(), 1, 12},
        {"unknown type code", Type::Of(42), 1, 4},
        {"double *", Type::Double().ptr(), 1, 4},
        {"int a[3][5]", Type::Int().array({3, 5}), 15, 4},
        {"int a[][5]", Type::Int().array({0, 5}), 5, 4},
        {"struct cs", Type::Struct(cs), 1, 5},
        {"struct cs a[7]", Type::Struct(cs).array({7}), 7, 5},
        {"struct nested", Type::Struct(nested), 1, 2 * 5 + 8 + 4 + 1},
    };
    for (const Case& c : cases) {
        NodeId d = b.decl("v", c.type);
        EXPECT_EQ(elementCount(b.graph(), d), c.count) << c.what;
        EXPECT_EQ(elementSize(b.graph(), d), c.size) << c.what;
    }
    // A size expression that is an operation is evaluated; other ones are
    // read from the dimension's constant.
    NodeId d = b.decl("v", Type::Int().array({1, 9}));
    b.dimExpr(d, 0, b.op(CALC_Add, b.lit("2"), b.lit("3")));
    setAttrInt(b.graph(), getNextId(b.graph(), getAttrInt(b.graph(), d, CfgDecl_DIMNODE)), DfgDim_CNT, 4);
    EXPECT_EQ(elementCount(b.graph(), d), 20);
    // Without its own copy the structure definition gives the size.
    NodeId orgOnly = b.decl("o", Type::Of(DECL_VALTYPE_STRUCT));
    setAttrNode(b.graph(), orgOnly, CfgDecl_STRUCTORGNODE, cs);
    EXPECT_EQ(elementSize(b.graph(), orgOnly), 5);
}

TEST_F(DeclarationChecks, DamagedGraphsEnd) {
    runSettings.structPointerMemberCheck = 1;
    GraphBuilder b;
    b.file("a.c");
    NodeId self = b.at(2).structDef("self", {{"i", Type::Int()}, {"me", Type::Of(DECL_VALTYPE_STRUCT)},
                                             {"again", Type::Of(DECL_VALTYPE_STRUCT)}});
    NodeId f = b.at(10).function("f");
    NodeId v = b.at(11).local(f, "v", Type::Struct(self));
    // Both structure members contain the structure that holds them.
    NodeId copy = getAttrInt(b.graph(), v, CfgDecl_STRUCTNODE);
    setAttrNode(b.graph(), b.memberDecl(v, "me"), CfgDecl_STRUCTNODE, copy);
    setAttrNode(b.graph(), b.memberDecl(v, "again"), CfgDecl_STRUCTNODE, copy);
    EXPECT_EQ(elementSize(b.graph(), v), 4);
    NodeId loopOp = b.op(CALC_Add, b.lit("1"), b.lit("2"));
    setAttrNode(b.graph(), loopOp, DfgOpe_LEFT, loopOp);
    setAttrNode(b.graph(), loopOp, DfgOpe_RIGHT, loopOp);
    EXPECT_EQ(evalConstExpr(b.graph(), loopOp), 0);
    NodeId enumRef = b.enumVar("color", false);
    EXPECT_EQ(run(b.graph(), {v, enumRef, 0}), "");
}

}  // namespace
