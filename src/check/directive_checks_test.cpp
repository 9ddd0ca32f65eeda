#include "check/directive_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/function_tree.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

// Lines of the test program: the declaration and the directive written below it.
constexpr int kDeclLine = 3;
constexpr int kDirLine = 4;

std::string err(int code, int line, const std::string& text) {
    return "E" + std::to_string(code) + ":Error:a.c:" + std::to_string(line) + ":" + text;
}
std::string e507(int line, const std::string& name) {
    return err(507, line, "Directive '" + name + "' has not supported.\n");
}
std::string e512(int line, const std::string& name) {
    return err(512, line, "Directive '" + name + "' is not a directive.\n");
}
std::string e513(int line, const std::string& name) {
    return err(513, line, "The format of directive '" + name + "' is different.\n");
}
std::string e514(int line, const std::string& what, const std::string& name) {
    return err(514, line, "'" + what + "' of directive '" + name + " is unusual. \n");
}
std::string e542(const std::string& kw) {
    return err(542, kDeclLine, "'" + kw + "' directive, 'fixedP' and 'int' defined.\n");
}
std::string e543(const std::string& kw) {
    return err(543, kDirLine, "'" + kw + "' directive, 'fixedP' is defined as the integer type variable.\n");
}
std::string e544(const std::string& kw) {
    return err(544, kDirLine, "'" + kw + "' directive, 'varname' is not defined.\n");
}
std::string e546(int line, const std::string& name) {
    return err(546, line, "'" + name + "' directive here is invalid.\n");
}
std::string e517(int line, const std::string& missing, const std::string& present) {
    return err(517, line, "There is no " + missing + " directive to a translate_off " + present + ".\n");
}

class DirectiveChecks : public ::testing::Test {
protected:
    void SetUp() override {
        runSettings = RunSettings{};
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        runSettings = RunSettings{};
        releaseModuleList();
    }

    // Runs the variable directive check of text on a local of the type and
    // returns what it printed; the result must agree with the output.
    std::string variable(const Type& type, const std::string& text) {
        GraphBuilder b;
        b.file("a.c");
        NodeId f = b.at(1).function("f");
        NodeId d = b.at(kDeclLine).local(f, "v", type);
        b.at(kDirLine);
        NodeId dir = b.directive(text);
        b.appendOwned(d, CfgDecl_DIRECTIVE, dir);
        out.clear();
        int result = checkVariableDirective(b.graph(), d, dir);
        EXPECT_EQ(result, out.empty() ? 0 : -1) << text;
        return out;
    }

    std::string out;
};

struct TextCase {
    const char* text;
    std::string expected;
};

TEST_F(DirectiveChecks, VariableDirectiveTexts) {
    const int D = kDeclLine;
    const std::vector<TextCase> cases = {
        // fixedP: [sign] width fraction [overflow [rounding]]
        {"fixedP S 16 8", ""},
        {"fixedP 16 8 s.r", ""},
        {"FixedP u 16 8 I T", ""},
        {"fixedP 16:8", ""},
        {"fixedP=16=8 s", ""},
        {"fixedP\t16\n8", ""},
        {"fixedP 16 8_3", ""},
        {"fixedP 16 8 .", ""},
        {"fixedP 16 8 .e", ""},
        {"fixedP 16 8 i.", ""},
        {"fixedP 16 8 s r ignored tokens", ""},
        {"fixedP 64 0", ""},
        {"fixedP 16 8 x", e514(D, "<ovf>", "fixedP")},
        {"fixedP 16 8 x.t", e514(D, "<ovf>", "fixedP")},
        {"fixedP 16 8 s.x", e514(D, "<rnd>", "fixedP")},
        {"fixedP 16 8 s.r.t", e514(D, "<rnd>", "fixedP")},
        {"fixedP 16 8 s x", e514(D, "<rnd>", "fixedP")},
        {"fixedP 16", e513(D, "fixedP")},
        {"fixedP", e513(D, "fixedP")},
        {"fixedP s", e513(D, "fixedP")},
        {"fixedP u 16", e513(D, "fixedP")},
        {"fixedP 0 0", e514(D, "<bitW>", "fixedP")},
        {"fixedP 65 8", e514(D, "<bitW>", "fixedP")},
        {"fixedP 1x 8", e514(D, "<bitW>", "fixedP")},
        {"fixedP -8 4", e514(D, "<bitW>", "fixedP")},
        {"fixedP 99999999999999999999999 8", e514(D, "<bitW>", "fixedP")},
        {"fixedP 8 8", e514(D, "<bitW>:<fsize>", "fixedP")},
        {"fixedP 8 9_1", e514(D, "<bitW>:<fsize>", "fixedP")},
        {"fixedP 16 65", e514(D, "<fsize>", "fixedP")},
        {"fixedP 16 99999999999999999999", e514(D, "<fsize>", "fixedP")},
        {"fixedP 8 -4", e514(D, "<fsize>", "fixedP")},
        {"fixedP 16 8x", e514(D, "<fsize>", "fixedP")},
        // int: [sign] width [overflow]
        {"int 8", ""},
        {"int u 8 i", ""},
        {"INT S 16 S", ""},
        {"int 65", e514(D, "<bitW>", "int")},
        {"int 8 x", e514(D, "<ovf>", "int")},
        {"int 8 t", e514(D, "<ovf>", "int")},
        {"int", e513(D, "int")},
        {"int s", e513(D, "int")},
        // the other keywords
        {"scale 8", e507(D, "scale")},
        {"Scale", e507(D, "scale")},
        {"float", ""},
        {"muladd_var", ""},
        {"fixedA 1 2 3", ""},
        {"inta", ""},
        {"Foo bar", e512(D, "foo")},
        {"fixedP_16", e512(D, "fixedp_16")},
        {"", ""},
        {" \t:= ", ""},
    };
    for (const TextCase& c : cases) EXPECT_EQ(variable(Type::Float(), c.text), c.expected) << c.text;
}

TEST_F(DirectiveChecks, NegativeFractionSizesOnlyWithEc) {
    const int D = kDeclLine;
    runSettings.ecMode = 1;
    const std::vector<TextCase> cases = {
        {"fixedP 8 -4", ""},
        {"fixedP 8 -64", ""},
        {"fixedP 8 64", ""},  // no width-minus-fraction rule here
        {"fixedP 8 8", ""},
        {"fixedP 8 70", e514(D, "<fsize>", "fixedP")},
        {"fixedP 8 -65", e514(D, "<fsize>", "fixedP")},
        {"fixedP 8 4x", e514(D, "<fsize>", "fixedP")},
    };
    for (const TextCase& c : cases) EXPECT_EQ(variable(Type::Float(), c.text), c.expected) << c.text;
}

struct PortCase {
    Type type;
    const char* text;
    std::string expected;
};

TEST_F(DirectiveChecks, PortDirectiveSections) {
    const int R = kDirLine;
    auto structType = [] { return Type::Of(DECL_VALTYPE_STRUCT); };
    const Type F = Type::Float();
    const Type I = Type::Int();
    const std::vector<PortCase> cases = {
        {F, "input", ""},
        {F, "input fixedP 16 8", ""},
        {Type::Double(), "output fixedp 16 8 s r", ""},
        {F, "inout varname a fixedP 16 8 drang -1.5 2e3 rate 1.5 m evfunc ev r-turn", ""},
        {F, "input fixedP 8 8 fixedP 16 8", ""},  // a later section replaces an earlier one
        {F, "input fixedP 16 8 r-turn x y", ""},
        {I, "input int 8 s", ""},
        {F, "input varname a fixedP 16 8 int 8", e542("input")},
        {I, "input fixedP 16 8", e543("input")},
        {Type::Char().ptr(), "output fixedP 16 8", e543("output")},
        {structType(), "input", e544("input")},
        {structType(), "input fixedP 16 8", e544("input")},
        {structType(), "input varname x fixedP 16 8", ""},
        {F, "input varname", e514(R, "varname", "input")},
        {F, "INPUT fixedP 16 8 x", e514(R, "<ovf>", "input->fixedP")},
        {F, "input fixedP 16", e513(R, "input->fixedP")},
        {I, "output int 65", e514(R, "<bitW>", "output->int")},
        {F, "output rate 1.5 a", ""},
        {F, "output rate 1.5 x", e514(R, "rate", "output")},
        {F, "output rate 1.5", e514(R, "rate", "output")},
        {F, "output rate x1 m", e514(R, "rate", "output")},
        {F, "output rate x y", e514(R, "rate", "output") + e514(R, "rate", "output")},
        {F, "inout drang 1 2", ""},
        {F, "inout drang 1", e514(R, "drang", "inout")},
        {F, "inout drang 1 x2 y", e514(R, "drang", "inout") + e514(R, "drang", "inout")},
        {F, "inout drang 1 2 evfunc", e514(R, "evfunc", "inout")},
        // no section that says what the port is
        {F, "input junk", e513(R, "input")},
        {F, "input evfunc ev", e513(R, "input")},
        {F, "input FixedP 16 8", e513(R, "input")},
        {I, "input evfunc", e513(R, "input")},
        // every step reports on its own
        {I, "input varname fixedP 8 8 int 65 rate 1 q",
         e542("input") + e543("input") + e514(R, "varname", "input") +
             e514(R, "<bitW>:<fsize>", "input->fixedP") + e514(R, "<bitW>", "input->int") +
             e514(R, "rate", "input")},
    };
    for (const PortCase& c : cases) EXPECT_EQ(variable(c.type, c.text), c.expected) << c.text;
}

TEST_F(DirectiveChecks, ParameterChecksLowerCaseTheirTokensInPlace) {
    GraphBuilder b;
    b.file("a.c");
    NodeId pos = b.at(7).make(INFO_DIRECTIVE);
    std::string t0 = "fixedP", t1 = "S", t2 = "16", t3 = "8", t4 = "S.R";
    char* tokens[] = {t0.data(), t1.data(), t2.data(), t3.data(), t4.data()};
    EXPECT_EQ(checkFixedPParams(b.graph(), pos, 5, tokens, "x->fixedP"), 0);
    EXPECT_STREQ(tokens[0], "fixedP");
    EXPECT_STREQ(tokens[1], "s");
    EXPECT_STREQ(tokens[4], "s.r");
    std::string w0 = "int", w1 = "U", w2 = "99";
    char* widths[] = {w0.data(), w1.data(), w2.data()};
    EXPECT_EQ(checkIntParams(b.graph(), pos, 3, widths, "x->int"), -1);
    EXPECT_STREQ(widths[1], "u");
    EXPECT_EQ(out, e514(7, "<bitW>", "x->int"));
}

TEST_F(DirectiveChecks, OnlyThirtyTokensAreRead) {
    const int R = kDirLine;
    std::string text = "inout drang";
    for (int i = 0; i < 27; ++i) text += " 1";
    EXPECT_EQ(variable(Type::Float(), text + " x"), e514(R, "drang", "inout"));  // 30th token
    EXPECT_EQ(variable(Type::Float(), text + " 1 x"), "");                      // 31st token
}

TEST_F(DirectiveChecks, CallDirectives) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"unroll"}, e507(9, "unroll")},
        {{",unroll 4"}, e507(9, "unroll")},
        {{"unmodule"}, e507(9, "unmodule")},
        {{"unmodule float"}, ""},
        {{"unmodule,float"}, ""},
        {{"unmodule\tfloat extra"}, ""},
        {{"unmodule float,x"}, e507(9, "unmodule")},
        {{"unmodule int"}, e507(9, "unmodule")},
        {{"Unroll"}, ""},
        {{"module prefix=m1"}, ""},
        {{"module", "unroll"}, ""},  // only the first directive counts
        {{""}, ""},
        {{}, ""},
    };
    for (const auto& [texts, expected] : cases) {
        GraphBuilder b;
        b.file("a.c");
        NodeId call = b.at(9).callByName("g", {}, texts);
        out.clear();
        int result = checkCallDirective(b.graph(), call);
        EXPECT_EQ(out, expected) << (texts.empty() ? "" : texts[0]);
        EXPECT_EQ(result, expected.empty() ? 0 : -1);
    }
    GraphBuilder b;
    b.file("a.c");
    NodeId call = b.at(9).callByName("g");
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("unroll", DIRE_Extension));
    EXPECT_EQ(checkCallDirective(b.graph(), call), 0);
    EXPECT_EQ(out, "");
}

TEST_F(DirectiveChecks, PlacementOutsideTheAnalysedFunctions) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("helper", Type::Void());
    NodeId local = b.at(2).local(f, "a", Type::Int());
    b.directiveOnDecl(local, "INT 8");
    b.directiveOnDecl(local, "float");
    NodeId quiet = b.at(3).local(f, "q", Type::Float());
    b.directiveOnDecl(quiet, "float");
    b.appendOwned(quiet, CfgDecl_DIRECTIVE, b.directive("fixedP 16 8", DIRE_Extension));
    NodeId param = b.at(1).param(f, "p", Type::Float());
    b.directiveOnDecl(param, "input fixedP 16 8");

    auto block = [&](int line, const char* text) {
        NodeId d = b.at(line).decl("d" + std::to_string(line), Type::Float());
        b.directiveOnDecl(d, text);
        return b.declBlock({d});
    };
    NodeId x = b.local(f, "x", Type::Int());
    b.body(f, {block(10, "output"),
               b.at(11).ifStmt(b.var(x), {block(12, "fixedp 16 8")}, std::vector<NodeId>{block(13, "scale")}),
               b.at(14).loop(LOOP_WHILE, 0, b.var(x), 0, {block(15, "inout")}),
               b.at(16).switchStmt(b.var(x), {b.caseItem(b.lit("1"), {block(17, "int 4")}),
                                              b.caseItem(0, {block(18, "muladd_var")})})});
    EXPECT_EQ(checkDirectivePlacement(b.graph(), f), -1);
    EXPECT_EQ(out, e546(2, "int") + e546(10, "output") + e546(12, "fixedP") + e546(13, "scale") +
                       e546(15, "inout") + e546(17, "int") + e546(1, "input"));

    out.clear();
    NodeId clean = b.at(30).function("clean");
    b.directiveOnDecl(b.local(clean, "c", Type::Float()), "float");
    EXPECT_EQ(checkDirectivePlacement(b.graph(), clean), 0);
    EXPECT_EQ(out, "");
}

TEST_F(DirectiveChecks, PlacementSkipsAFunctionAModuleReachesThroughACopy) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.at(1).function("g", Type::Void());
    b.directiveOnDecl(b.at(2).local(g, "a", Type::Int()), "int 8");
    NodeId f = b.at(5).function("f", Type::Void());
    b.body(f, {b.at(6).stmt(b.call(g))});
    NodeId mainFn = b.at(10).function("main");
    b.param(mainFn, "argc", Type::Int());
    b.param(mainFn, "argv", Type::Char().ptr(2));
    b.body(mainFn, {b.at(11).stmt(b.call(f, {}, {"module prefix=m1"})), b.ret(b.lit("0"))});
    ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    if (!findTreeNodeByCalled(b.graph(), g)) GTEST_SKIP() << "the function tree is not built yet";
    out.clear();
    EXPECT_EQ(checkDirectivePlacement(b.graph(), g), 0);
    EXPECT_EQ(out, "");
}

TEST_F(DirectiveChecks, TranslatePairs) {
    struct PairCase {
        const char* off;
        const char* on;
        std::string expected;  // begin on line 20, end on line 22
    };
    const std::vector<PairCase> cases = {
        {"translate_off", "translate_on", ""},
        {"translate_off", "translate_on ", e517(20, "translate_on", "translate_off")},
        {"translate_off", "TRANSLATE_ON", e517(20, "translate_on", "translate_off")},
        {"translate_of", "translate_on", e517(22, "translate_off", "translate_on")},
        {"unroll", "float", ""},
    };
    for (const PairCase& c : cases) {
        // At the top of a body and nested in each kind of statement body.
        for (int place = 0; place < 5; ++place) {
            GraphBuilder b;
            b.file("a.c");
            NodeId f = b.at(1).function("f");
            NodeId x = b.local(f, "x", Type::Int());
            NodeId inside = b.at(21).stmt(b.assign(b.out(x), b.lit("1")));
            NodeId begin = b.at(20).translateOff({inside}, c.off, c.on);
            NodeId end = getJumpId(b.graph(), begin);
            setLine(b.graph(), end, 22);
            NodeId stmt = begin;
            b.at(30);
            if (place == 1) stmt = b.ifStmt(b.var(x), {b.ret(b.lit("0"))}, std::vector<NodeId>{begin});
            if (place == 2) stmt = b.loop(LOOP_WHILE, 0, b.var(x), 0, {begin});
            if (place == 3) stmt = b.switchStmt(b.var(x), {b.caseItem(b.lit("1"), {begin})});
            if (place == 4) stmt = b.ifStmt(b.var(x), {begin});
            b.body(f, {stmt, b.ret(b.lit("0"))});
            out.clear();
            int result = checkTranslatePairs(b.graph());
            EXPECT_EQ(out, c.expected) << c.off << " / " << c.on << " place " << place;
            EXPECT_EQ(result, c.expected.empty() ? 0 : -1);
        }
    }
}

TEST_F(DirectiveChecks, TranslateBeginWithoutEnd) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    b.at(20);
    NodeId begin = b.translateOff({});
    NodeId end = getJumpId(b.graph(), begin);
    setJumpId(b.graph(), begin, 0);
    setJumpId(b.graph(), end, 0);
    setLine(b.graph(), end, 22);
    b.body(f, {begin});
    EXPECT_EQ(checkTranslatePairs(b.graph()), -1);
    EXPECT_EQ(out, e517(20, "translate_on", "translate_off") + e517(22, "translate_off", "translate_on"));
}

TEST_F(DirectiveChecks, StatementCycleEnds) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f");
    NodeId s1 = b.make(CFG_STATE_DATAPATH);
    NodeId s2 = b.make(CFG_STATE_DATAPATH);
    NodeId loop = b.make(CFG_LOOP_BEGIN);
    NodeId stat = b.make(CFG_LOOP_STAT);
    b.own(loop, CfgLoopBegin_CFG, stat);
    b.own(stat, CfgLoopStat_CFG, loop);  // a body that holds its own loop
    b.body(f, {s1, s2, loop});
    setNextId(b.graph(), loop, s1);
    EXPECT_EQ(checkTranslatePairs(b.graph()), 0);
    EXPECT_EQ(checkDirectivePlacement(b.graph(), f), 0);
}

}  // namespace
