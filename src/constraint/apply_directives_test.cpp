#include "constraint/apply_directives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cdfg/graph_ops.h"
#include "constraint/constraint_reader.h"
#include "constraint/directive_lines.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;
using Texts = std::vector<std::string>;

constexpr const char* kPath = "prog.ctf";

class ApplyDirectives : public ::testing::Test {
protected:
    void SetUp() override {
        initMessages(1, programCatalogue());
        releaseConstraintDirectives();
        setMessageCapture(&output);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        releaseConstraintDirectives();
    }

    // Stores one constraint line as if it stood on the given line.
    void line(int number, const char* keyword, const std::string& rest) {
        lineCounter = number;
        for (const KeywordRow* row = directiveTable(); row->name != nullptr; ++row) {
            if (std::strcmp(row->name, keyword) != 0) continue;
            std::vector<char> text(rest.begin(), rest.end());
            text.push_back('\0');
            ASSERT_EQ(row->handler(text.data(), row->parameter), 0) << keyword << " " << rest;
            return;
        }
        FAIL() << "no handler for " << keyword;
    }

    void merge(CdfgGraph& g) {
        EXPECT_EQ(applyConstraintDirectives(g, kPath), 0);
        reportUnappliedDirectives(kPath);
    }

    static std::string warning603(int line) {
        return "W603:Warning:" + std::string(kPath) + ":" + std::to_string(line) +
               ":. There is no target.\n";
    }

    std::string output;
};

// Texts of the directive chain held by attribute attr of owner.
Texts directives(const CdfgGraph& g, NodeId owner, std::uint32_t attr) {
    Texts texts;
    NodeId d = getAttrInt(g, owner, attr);
    for (int guard = 0; d != 0 && guard < 100; ++guard, d = getNextId(g, d)) {
        const char* text = getAttrString(g, d, DfgDirective_STR);
        texts.push_back(text ? text : "(none)");
    }
    return texts;
}

Texts onDecl(GraphBuilder& b, NodeId decl) { return directives(b.graph(), decl, CfgDecl_DIRECTIVE); }
Texts onCall(GraphBuilder& b, NodeId call) {
    return directives(b.graph(), call, DfgFuncCall_DIRECTIVE);
}

TEST_F(ApplyDirectives, DeclarationsByFileFunctionAndName) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.global("g", Type::Float());
    NodeId f = b.function("f");
    NodeId param = b.param(f, "g", Type::Float());
    NodeId local = b.local(f, "h", Type::Float());
    NodeId inLoop = b.decl("k", Type::Float());
    NodeId inBranch = b.decl("m", Type::Float());
    NodeId x = b.local(f, "x", Type::Int());
    b.body(f, {b.loop(LOOP_FOR, 0, 0, 0, {b.declBlock({inLoop})}),
               b.ifStmt(b.var(x), {b.stmt(b.var(x))}, std::vector<NodeId>{b.declBlock({inBranch})})});
    NodeId main = b.function("main");
    NodeId mainH = b.local(main, "h", Type::Float());
    b.file("b.c");
    NodeId otherG = b.global("g", Type::Float());

    line(2, "fixedP", "a.c $ g S 16:8");
    line(3, "fixedP", "a.c f g S 8:4");
    line(4, "int", "a.c f k  S 8");
    line(5, "scale", "a.c f m 12");
    line(6, "fixedP", "a.c f h U 4:2");
    line(7, "fixedP", "a.c g h U 4:2");   // no function g
    line(8, "float", "A.c main h");       // file names compare exactly
    line(9, "scale", "a.c f nothing 3");  // never reported
    merge(b.graph());

    EXPECT_EQ(onDecl(b, g), Texts{"fixedP S 16:8"});
    EXPECT_EQ(onDecl(b, param), Texts{"fixedP S 8:4"});
    EXPECT_EQ(onDecl(b, local), Texts{"fixedP U 4:2"});
    EXPECT_EQ(onDecl(b, inLoop), Texts{"int  S 8"});
    EXPECT_EQ(onDecl(b, inBranch), Texts{"scale 12"});
    EXPECT_EQ(onDecl(b, mainH), Texts{});
    EXPECT_EQ(onDecl(b, otherG), Texts{});
    EXPECT_EQ(output, warning603(7));
    EXPECT_EQ(warningCount(), 1);

    // The node carries the constraint file's position and hangs from its owner.
    const CdfgGraph& cg = b.graph();
    NodeId d = getAttrInt(cg, g, CfgDecl_DIRECTIVE);
    EXPECT_EQ(getKind(cg, d), INFO_DIRECTIVE);
    EXPECT_EQ(getAttrSigned(cg, d, DfgDirective_TYPE), DIRE_Directive);
    EXPECT_STREQ(getFileName(cg, d), kPath);
    EXPECT_EQ(getLine(cg, d), 2u);
    EXPECT_EQ(getColumn(cg, d), 0u);
    EXPECT_EQ(getPrevId(cg, d), g);
}

TEST_F(ApplyDirectives, EveryMatchingLineAddsItsOwnNode) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId v = b.local(f, "v", Type::Float());
    b.directiveOnDecl(v, "float");
    NodeId source = getAttrInt(b.graph(), v, CfgDecl_DIRECTIVE);

    line(1, "input", "a.c f v");
    line(2, "fixedP", "a.c f v S 16:8");
    line(3, "fixedP", "a.c f v S 12:4");
    line(4, "muladd_var", "a.c f v");
    merge(b.graph());

    EXPECT_EQ(onDecl(b, v),
              (Texts{"float", "fixedP S 12:4", "fixedP S 16:8", "input  ", "muladd_var  "}));
    EXPECT_EQ(getPrevId(b.graph(), getNextId(b.graph(), source)), source);
    EXPECT_EQ(output, "");
}

TEST_F(ApplyDirectives, PortDirectivesNameTheStructureVariable) {
    struct Case {
        const char* keyword;
        bool structure;
        const char* option;    // nullptr: none
        const char* expected;  // '$' stands for the variable's name
    };
    const Case cases[] = {
        {"input", true, nullptr, "input varname=$"},
        {"output", true, "varname=t.a fixedP S 8:4", "output varname=t.a fixedP S 8:4"},
        {"inout", true, "fixedP S 8:4", "inout varname=$ fixedP S 8:4"},
        {"input", true, "fixedP S 8:4 ;x", "input varname=$ fixedP S 8:4 "},
        {"input", true, "a=varname", "input a=varname"},
        {"input", true, "varnames=t", "input varname=$ varnames=t"},
        {"fixedP", true, "S 8:4", "fixedP S 8:4"},
        {"scale", true, "8", "scale 8"},
        {"float", true, nullptr, "float  "},
        {"input", false, nullptr, "input  "},
        {"output", false, "fixedP S 8:4", "output fixedP S 8:4"},
    };
    GraphBuilder b;
    b.file("a.c");
    NodeId shape = b.structDef("S", {{"a", Type::Float()}});
    NodeId f = b.function("f");
    std::vector<NodeId> vars;
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        std::string name = "s" + std::to_string(vars.size());
        vars.push_back(b.local(f, name, c.structure ? Type::Struct(shape) : Type::Float()));
        std::string rest = "a.c f " + name;
        if (c.option) rest += std::string(" ") + c.option;
        line(static_cast<int>(vars.size()), c.keyword, rest);
        std::string text = c.expected;
        if (std::size_t at = text.find('$'); at != std::string::npos) text.replace(at, 1, name);
        expected.push_back(text);
    }
    merge(b.graph());
    for (std::size_t i = 0; i < vars.size(); ++i) EXPECT_EQ(onDecl(b, vars[i]), Texts{expected[i]});
}

TEST_F(ApplyDirectives, CallsOfFunctionsOfTheGraph) {
    GraphBuilder b;
    b.file("b.c");
    NodeId g = b.function("g");
    NodeId h = b.function("h");
    NodeId k = b.function("k");
    NodeId u = b.function("u");
    NodeId w = b.function("w");
    NodeId r = b.function("r");
    NodeId p = b.function("p");
    NodeId q = b.function("q");
    NodeId s = b.function("s");
    NodeId gInB = b.call(g);
    b.body(w, {b.stmt(gInB)});

    b.file("a.c");
    NodeId main = b.function("main");
    NodeId x = b.local(main, "x", Type::Int());
    NodeId gInA = b.call(g);
    NodeId hCall = b.call(h, {}, {"module prefix=src"});
    NodeId kCall = b.call(k);
    NodeId uInCond = b.call(u);
    NodeId uInBody = b.call(u);
    NodeId rArg = b.call(r);
    NodeId wCall = b.call(w, {rArg});
    NodeId ext = b.callByName("ext");
    NodeId pCall = b.call(p);
    NodeId qCall = b.call(q);
    NodeId sCall = b.call(s);
    b.body(main, {
        b.stmt(gInA),
        b.stmt(b.assign(b.out(x), hCall)),
        b.ifStmt(b.var(x), {}, std::vector<NodeId>{b.stmt(kCall)}),
        b.loop(LOOP_FOR, 0, uInCond, 0, {b.stmt(uInBody)}),
        b.stmt(wCall),
        b.stmt(ext),
        b.stmt(b.op(CALC_Add, b.paren(pCall), b.op(CALC_Add, b.lit("1"), qCall))),
        b.switchStmt(b.var(x), {b.caseItem(b.lit("1"), {b.stmt(sCall)})}),
    });

    line(1, "module", "b.c g m1");
    line(2, "module", "a.c g m2");  // g is defined in b.c
    line(3, "module", "b.c h");
    line(4, "evFunc", "b.c k");
    line(5, "module", "b.c k");
    line(6, "unmodule", "b.c u float");
    line(7, "roll", "b.c w");
    line(8, "unroll", "b.c r loop");
    line(9, "module", "a.c ext");
    line(10, "evFunc", "b.c p");
    line(11, "evFunc", "b.c q");
    line(12, "unroll", "b.c s func");
    line(13, "unmodule", "b.c s");
    merge(b.graph());

    EXPECT_EQ(onCall(b, gInA), Texts{"module prefix=m1"});
    EXPECT_EQ(onCall(b, gInB), Texts{"module prefix=m1"});
    EXPECT_EQ(onCall(b, hCall), Texts{"module prefix=src"});
    EXPECT_EQ(onCall(b, kCall), Texts{"module"});
    EXPECT_EQ(onCall(b, uInCond), Texts{});
    EXPECT_EQ(onCall(b, uInBody), Texts{"unmodule float"});
    EXPECT_EQ(onCall(b, wCall), Texts{"roll"});
    EXPECT_EQ(onCall(b, rArg), Texts{});
    EXPECT_EQ(onCall(b, ext), Texts{});
    EXPECT_EQ(onCall(b, pCall), Texts{"evFunc"});
    EXPECT_EQ(onCall(b, qCall), Texts{"evFunc"});
    EXPECT_EQ(onCall(b, sCall), Texts{"unmodule"});  // unmodule comes before unroll

    // Unapplied records, list by list, newest first.
    EXPECT_EQ(output, warning603(9) + warning603(2) + warning603(4) + warning603(12) + warning603(8));
    EXPECT_EQ(warningCount(), 5);
}

TEST_F(ApplyDirectives, SecondMergeRepeatsOnlyDeclarationDirectives) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId main = b.function("main");
    NodeId v = b.local(main, "v", Type::Float());
    NodeId call = b.call(f);
    b.body(main, {b.stmt(b.assign(b.out(v), call))});
    for (int run = 0; run < 2; ++run) {
        line(1, "fixedP", "a.c main v S 16:8");
        line(2, "module", "a.c f prefix=m1");
        merge(b.graph());
        releaseConstraintDirectives();
    }
    EXPECT_EQ(onDecl(b, v), (Texts{"fixedP S 16:8", "fixedP S 16:8"}));
    EXPECT_EQ(onCall(b, call), Texts{"module prefix=m1"});
    EXPECT_EQ(output, "");
}

TEST_F(ApplyDirectives, NamelessNodesMatchNothing) {
    GraphBuilder b;
    NodeId file = b.file("a.c");
    NodeId f = b.function("f");
    NodeId v = b.local(f, "v", Type::Float());
    NodeId call = b.call(f);
    b.body(f, {b.stmt(call)});
    NodeId nameless = b.function("");
    NodeId w = b.local(nameless, "w", Type::Float());
    NodeId unnamedDecl = b.local(f, "", Type::Float());
    setAttrString(b.graph(), file, CfgFileinfo_NAME, static_cast<const char*>(nullptr));
    line(1, "fixedP", "a.c f v S 8:4");
    line(2, "module", "a.c f");
    merge(b.graph());
    EXPECT_EQ(onDecl(b, v), Texts{});
    EXPECT_EQ(onCall(b, call), Texts{});
    EXPECT_EQ(onDecl(b, w), Texts{});
    EXPECT_EQ(onDecl(b, unnamedDecl), Texts{});
    EXPECT_EQ(output, warning603(2) + warning603(1));
}

TEST_F(ApplyDirectives, CyclicLinksEndTheWalk) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId v = b.local(f, "v", Type::Float());
    NodeId call = b.call(f);
    NodeId s1 = b.stmt(call);
    NodeId inner = b.stmt(b.var(v));
    NodeId branch = b.ifStmt(b.var(v), {inner});
    b.body(f, {s1, branch});
    NodeId sum = b.op(CALC_Add, b.var(v), b.lit("1"));
    b.body(b.function("h"), {b.stmt(sum)});
    CdfgGraph& g = b.graph();
    // The statement after the if leads back to the first; the branch leads
    // back to the if; the declarations and an operand loop onto themselves.
    setNextId(g, getNextId(g, branch), s1);
    setNextId(g, inner, branch);
    setNextId(g, v, v);
    setAttrNode(g, sum, DfgOpe_LEFT, sum);
    line(1, "fixedP", "a.c f v S 8:4");
    line(2, "module", "a.c f");
    merge(g);
    EXPECT_EQ(onDecl(b, v), Texts{"fixedP S 8:4"});
    EXPECT_EQ(onCall(b, call), Texts{"module"});
}

}  // namespace
