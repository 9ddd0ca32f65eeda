#include "check/code_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "check/declaration_checks.h"
#include "check/function_tree.h"
#include "check/global_updates.h"
#include "check/outside_calls.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

std::string error(int code, int line, const std::string& text) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "E%03d:Error:a.c:%d:", code, line);
    return prefix + text + "\n";
}

std::string warning(int code, int line, const std::string& text) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "W%03d:Warning:a.c:%d:", code, line);
    return prefix + text + "\n";
}

std::string e508(int line) { return error(508, line, "Dynamic memory allocation has not supported."); }
std::string e509(int line) { return error(509, line, "The pointer cast has not supported."); }
std::string e539(int line, const std::string& name) {
    return error(539, line, "Standard function '" + name + "' has not supported.");
}
std::string e528(int line) {
    return error(528, line,
                 "The syntax of '" + std::to_string(line) + "' line in switch has not been supported.");
}
std::string e537(int line, const std::string& name) {
    return error(537, line, "control reaches end of non-void function '" + name + "'");
}
std::string w538(int line, const std::string& name, const std::string& limit) {
    return warning(538, line, "The size of an auto variable is too large. '" + name + "' > " + limit);
}
std::string w601(int line) {
    return warning(601, line,
                   "Floating point arithmetic is contained in the conditions of if. An unusual end "
                   "may be carried out when a result does not suit.");
}
std::string w602(int line) {
    return warning(602, line,
                   "Floating point arithmetic is contained in the end conditions of a loop. An "
                   "unusual end may be carried out when a result does not suit.");
}
std::string e541(int line) {
    return error(541, line, "The operation &&, || of a floating decimal point has not supported.");
}
std::string e525(int line, const std::string& name) {
    return error(525, line, "The long double type has not been supported. '" + name + "'");
}

class CodeChecks : public ::testing::Test {
protected:
    void SetUp() override {
        runSettings = RunSettings{};
        autoScope = false;
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        runSettings = RunSettings{};
        releaseModuleList();
        resetDeclarationChecks();
        initMessages(1, programCatalogue());
    }
    // Messages of the statement walk, with the declarations it collected
    // checked and released afterwards.
    std::string statements(GraphBuilder& b, NodeId first) {
        out.clear();
        checkStatements(b.graph(), first);
        checkDeclarationEntries(b.graph());
        return out;
    }
    std::string out;
};

// A function "work" with locals of the common types; the code under test is
// built at line 5 unless a case says otherwise.
struct Program {
    GraphBuilder b;
    NodeId userMemcpy, ratio, count, work;
    NodeId i, n, f, d, ld, p, fp, a, s;
    Program() {
        b.file("a.c");
        NodeId point = b.at(1).structDef("point", {{"x", Type::Double()}, {"k", Type::Int()}});
        userMemcpy = b.at(1).function("memcpy", Type::Void().ptr());
        ratio = b.function("ratio", Type::Float());
        count = b.function("count", Type::Int());
        work = b.at(2).function("work", Type::Int());
        i = b.at(3).local(work, "i", Type::Int());
        n = b.local(work, "n", Type::Int());
        f = b.local(work, "f", Type::Float());
        d = b.local(work, "d", Type::Double());
        ld = b.local(work, "ld", Type::LongDouble());
        p = b.local(work, "p", Type::Int().ptr());
        fp = b.local(work, "fp", Type::Float().ptr());
        a = b.local(work, "a", Type::Int().array({8}));
        s = b.local(work, "s", Type::Struct(point));
        b.at(5);
    }
    NodeId malloc(std::vector<NodeId> args = {}) { return b.callByName("malloc", std::move(args)); }
};

struct ExpressionCase {
    const char* what;
    std::function<NodeId(Program&)> statement;
    std::string expected;
    bool dynamicAllocCheck = true;
};

TEST_F(CodeChecks, MemoryLibraryAndCastRules) {
    const std::vector<ExpressionCase> cases = {
        {"malloc", [](Program& p) { return p.b.stmt(p.b.assign(p.b.out(p.p), p.malloc({p.b.var(p.n)}))); },
         e508(5)},
        {"realloc",
         [](Program& p) {
             return p.b.stmt(p.b.assign(p.b.out(p.p),
                                        p.b.callByName("realloc", {p.b.var(p.p), p.b.var(p.n)})));
         },
         e508(5)},
        {"calloc", [](Program& p) { return p.b.stmt(p.b.callByName("calloc", {p.b.lit("1")})); },
         e508(5)},
        {"a malloc of the program's own is still dynamic memory",
         [](Program& p) {
             NodeId own = p.b.at(1).function("malloc", Type::Void().ptr());
             return p.b.at(5).stmt(p.b.call(own));
         },
         e508(5)},
        {"library function without a definition",
         [](Program& p) { return p.b.stmt(p.b.callByName("memcpy", {p.b.var(p.p)})); },
         e539(5, "memcpy")},
        {"library function the program defines",
         [](Program& p) { return p.b.stmt(p.b.call(p.userMemcpy, {p.b.var(p.p)})); }, ""},
        {"last listed name", [](Program& p) { return p.b.stmt(p.b.callByName("memset")); },
         e539(5, "memset")},
        {"first listed name", [](Program& p) { return p.b.stmt(p.b.callByName("bsearch")); },
         e539(5, "bsearch")},
        {"names are compared whole",
         [](Program& p) { return p.b.stmt(p.b.callByName("memcpy_s")); }, ""},
        {"other library function", [](Program& p) { return p.b.stmt(p.b.callByName("printf")); },
         ""},
        {"call without a name", [](Program& p) { return p.b.stmt(p.b.callByName("")); }, ""},
        {"cast of an allocation",
         [](Program& p) {
             return p.b.stmt(
                 p.b.assign(p.b.out(p.p), p.b.cast(Type::Int().ptr(), p.malloc({p.b.var(p.n)}))));
         },
         e508(5)},
        {"cast of a parenthesised allocation",
         [](Program& p) {
             return p.b.stmt(p.b.assign(
                 p.b.out(p.p), p.b.cast(Type::Int().ptr(), p.b.paren(p.malloc({p.b.var(p.n)})))));
         },
         e508(5)},
        {"pointer cast of a variable",
         [](Program& p) {
             return p.b.stmt(p.b.assign(p.b.out(p.fp), p.b.cast(Type::Float().ptr(), p.b.var(p.p))));
         },
         e509(5)},
        {"pointer cast of another call",
         [](Program& p) {
             return p.b.stmt(p.b.assign(p.b.out(p.p), p.b.cast(Type::Int().ptr(), p.b.call(p.count))));
         },
         e509(5)},
        {"array cast", [](Program& p) { return p.b.stmt(p.b.cast(Type::Int().array({4}), p.b.var(p.p))); },
         e509(5)},
        {"value cast", [](Program& p) { return p.b.stmt(p.b.assign(p.b.out(p.i), p.b.cast(Type::Int(), p.b.var(p.f)))); },
         ""},
        {"without the dynamic memory check",
         [](Program& p) {
             return p.b.stmt(p.b.assign(p.b.out(p.p), p.b.cast(Type::Int().ptr(), p.malloc())));
         },
         "", false},
        {"library function without the dynamic memory check",
         [](Program& p) { return p.b.stmt(p.b.callByName("qsort")); }, "", false},
        {"pointer cast without the dynamic memory check",
         [](Program& p) { return p.b.stmt(p.b.cast(Type::Int().ptr(), p.b.var(p.fp))); }, e509(5),
         false},
        {"arguments are checked",
         [](Program& p) { return p.b.stmt(p.b.call(p.count, {p.b.var(p.i), p.b.callByName("strtod")})); },
         e539(5, "strtod")},
        {"index of a value",
         [](Program& p) {
             return p.b.stmt(p.b.assign(p.b.out(p.i), p.b.index(p.b.var(p.a), {p.b.callByName("strtol")})));
         },
         e539(5, "strtol")},
        {"index of the target",
         [](Program& p) {
             return p.b.stmt(p.b.assign(p.b.index(p.b.out(p.a), {p.b.callByName("memmove")}), p.b.lit("0")));
         },
         e539(5, "memmove")},
        {"operation on the target side",
         [](Program& p) {
             NodeId target = p.b.op(CALC_Add, p.b.var(p.p), p.b.callByName("memchr"));
             return p.b.stmt(p.b.assign(target, p.b.lit("0")));
         },
         e539(5, "memchr")},
        {"operands and condition operand",
         [](Program& p) {
             NodeId left = p.b.callByName("memcmp");
             NodeId right = p.b.at(6).callByName("malloc");
             NodeId cond = p.b.at(7).callByName("calloc");
             return p.b.at(5).stmt(p.b.op(CALC_LogCond, left, right, cond));
         },
         e539(5, "memcmp") + e508(6) + e508(7)},
    };
    for (const ExpressionCase& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        NodeId statement = c.statement(p);
        runSettings.dynamicAllocCheck = c.dynamicAllocCheck;
        EXPECT_EQ(statements(p.b, statement), c.expected);
    }
}

TEST_F(CodeChecks, StatementKinds) {
    const std::vector<ExpressionCase> cases = {
        {"if: condition, then and else",
         [](Program& p) {
             GraphBuilder& b = p.b;
             NodeId cond = b.callByName("memcmp");
             NodeId thenPart = b.at(6).stmt(p.malloc());
             NodeId elsePart = b.at(7).stmt(b.callByName("calloc"));
             return b.at(5).ifStmt(cond, {thenPart}, std::vector<NodeId>{elsePart});
         },
         e539(5, "memcmp") + e508(6) + e508(7)},
        {"switch: condition, statement outside a label, case items",
         [](Program& p) {
             GraphBuilder& b = p.b;
             NodeId cond = b.callByName("qsort");
             NodeId stray = b.at(6).stmt(p.malloc());
             NodeId item = b.at(7).caseItem(b.lit("1"), {b.stmt(b.callByName("memset"))});
             NodeId dflt = b.at(8).caseItem(0, {b.stmt(b.callByName("calloc"))});
             return b.at(5).switchStmt(cond, {stray, item, dflt});
         },
         e539(5, "qsort") + e528(6) + e539(7, "memset") + e508(8)},
        {"loop: init, condition, body, step",
         [](Program& p) {
             GraphBuilder& b = p.b;
             NodeId init = b.assign(b.out(p.i), b.callByName("strtol"));
             NodeId cond = b.op(CALC_Les, b.var(p.f), b.callByName("strtod"));
             NodeId body = b.at(6).stmt(b.callByName("memset"));
             NodeId step = b.at(7).assign(b.out(p.i), b.callByName("strtoul"));
             return b.at(5).loop(LOOP_FOR, init, cond, step, {body});
         },
         e539(5, "strtol") + e539(5, "strtod") + w602(5) + e539(6, "memset") +
             e539(7, "strtoul")},
        {"return", [](Program& p) { return p.b.ret(p.malloc()); }, e508(5)},
        {"declaration block",
         [](Program& p) {
             GraphBuilder& b = p.b;
             NodeId big = b.decl("buf", Type::Char().array({16385}));
             NodeId small = b.at(6).decl("k", Type::Int());
             b.init(small, b.op(CALC_Add, b.callByName("memchr"), b.lit("1")));
             return b.at(5).declBlock({big, small});
         },
         w538(5, "buf", "16384") + e539(6, "memchr")},
        {"labels and gotos", [](Program& p) {
             NodeId l = p.b.label("again");
             return p.b.chain({l, p.b.gotoStmt(l)});
         }, ""},
    };
    for (const ExpressionCase& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        NodeId statement = c.statement(p);
        EXPECT_EQ(statements(p.b, statement), c.expected);
        EXPECT_FALSE(autoScope);
    }
}

TEST_F(CodeChecks, FloatingConditions) {
    struct Case {
        const char* what;
        std::function<NodeId(Program&)> condition;
        int expected;
    };
    const std::vector<Case> cases = {
        {"int variable", [](Program& p) { return p.b.var(p.i); }, 0},
        {"float variable", [](Program& p) { return p.b.var(p.f); }, 1},
        {"double variable", [](Program& p) { return p.b.var(p.d); }, 1},
        {"long double variable", [](Program& p) { return p.b.var(p.ld); }, 1},
        {"pointer levels are not looked at", [](Program& p) { return p.b.var(p.fp); }, 1},
        {"written variable", [](Program& p) { return p.b.out(p.f); }, 1},
        {"double member", [](Program& p) {
             return p.b.member(p.b.var(p.s), p.b.var(p.b.memberDecl(p.s, "x")));
         }, 1},
        {"int member", [](Program& p) {
             return p.b.member(p.b.var(p.s), p.b.var(p.b.memberDecl(p.s, "k")));
         }, 0},
        {"decimal point", [](Program& p) { return p.b.lit("1.0"); }, 1},
        {"exponent", [](Program& p) { return p.b.lit("1e3"); }, 1},
        {"capital exponent", [](Program& p) { return p.b.lit("2E5"); }, 1},
        {"hexadecimal with e digit", [](Program& p) { return p.b.lit("0x1E"); }, 0},
        {"capital hexadecimal with e digit", [](Program& p) { return p.b.lit("0X1e"); }, 0},
        {"hexadecimal with a point", [](Program& p) { return p.b.lit("0x1.8p3"); }, 1},
        {"integer literal", [](Program& p) { return p.b.lit("10"); }, 0},
        {"right operand", [](Program& p) {
             return p.b.op(CALC_Gre, p.b.var(p.i), p.b.lit("1e3"));
         }, 1},
        {"condition operand", [](Program& p) {
             return p.b.op(CALC_LogCond, p.b.var(p.i), p.b.lit("1"), p.b.var(p.d));
         }, 1},
        {"nested operand", [](Program& p) {
             return p.b.op(CALC_LogAnd, p.b.var(p.i),
                           p.b.op(CALC_Eq, p.b.lit("2"), p.b.var(p.f)));
         }, 1},
        {"inside parentheses", [](Program& p) {
             return p.b.paren(p.b.op(CALC_Les, p.b.var(p.f), p.b.lit("1")));
         }, 1},
        {"behind a cast", [](Program& p) { return p.b.cast(Type::Int(), p.b.var(p.f)); }, 1},
        {"call of a float function", [](Program& p) { return p.b.call(p.ratio); }, 1},
        {"call of an int function", [](Program& p) { return p.b.call(p.count); }, 0},
        {"arguments are not looked at", [](Program& p) {
             return p.b.call(p.count, {p.b.var(p.f)});
         }, 0},
        {"call without a definition returning double", [](Program& p) {
             NodeId c = p.b.callByName("sqrt", {p.b.lit("2")});
             setAttrInt(p.b.graph(), c, DfgFuncCall_FUNC_RETTYPE, DECL_VALTYPE_DOUBLE);
             return c;
         }, 1},
        {"the definition's type comes first", [](Program& p) {
             NodeId c = p.b.call(p.count);
             setAttrInt(p.b.graph(), c, DfgFuncCall_FUNC_RETTYPE, DECL_VALTYPE_DOUBLE);
             return c;
         }, 0},
        {"enumeration constant", [](Program& p) { return p.b.enumConst("RED"); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        NodeId list = p.b.manage(c.condition(p));
        EXPECT_EQ(containsFloating(p.b.graph(), list), c.expected);
    }

    Program p;
    NodeId second = p.b.manage(p.b.var(p.f));
    NodeId list = p.b.chain({p.b.manage(p.b.var(p.i)), second});
    EXPECT_EQ(containsFloating(p.b.graph(), list), 1) << "a later item of the list";
    EXPECT_EQ(containsFloating(p.b.graph(), 0), 0);
}

TEST_F(CodeChecks, FloatingConditionWarnings) {
    Program p;
    GraphBuilder& b = p.b;
    NodeId body = b.chain({
        b.at(5).ifStmt(b.op(CALC_Eq, b.var(p.i), b.lit("0x1E")), {}),
        b.at(6).ifStmt(b.op(CALC_Gre, b.var(p.i), b.lit("1e3")), {}),
        b.at(7).loop(LOOP_WHILE, 0, b.op(CALC_Les, b.var(p.f), b.lit("1.0")), 0, {}),
        b.at(8).loop(LOOP_DOWHILE, 0, b.op(CALC_Les, b.var(p.i), b.lit("10")), 0, {}),
        b.at(9).ifStmt(b.var(p.i), {b.at(10).ifStmt(b.var(p.d), {})}),
    });
    EXPECT_EQ(statements(b, body), w601(6) + w602(7) + w601(10));
}

TEST_F(CodeChecks, MissingReturn) {
    struct Case {
        const char* what;
        Type returns;
        std::function<std::vector<NodeId>(GraphBuilder&, NodeId x)> body;
        bool reported;
    };
    auto ret = [](GraphBuilder& b, const char* v) { return b.ret(b.lit(v)); };
    const std::vector<Case> cases = {
        {"if and else both return", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{
                 b.ifStmt(b.var(x), {ret(b, "1")}, std::vector<NodeId>{ret(b, "0")})};
         },
         false},
        {"if without else", Type::Int(),
         [&](GraphBuilder& b, NodeId x) { return std::vector<NodeId>{b.ifStmt(b.var(x), {ret(b, "1")})}; },
         true},
        {"if without else and a return after it", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{b.ifStmt(b.var(x), {ret(b, "1")}), ret(b, "0")};
         },
         false},
        {"else branch without return", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{b.ifStmt(b.var(x), {ret(b, "1")},
                                                 std::vector<NodeId>{b.stmt(b.var(x))})};
         },
         true},
        {"nested if in both branches", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             NodeId inner = b.ifStmt(b.var(x), {ret(b, "2")}, std::vector<NodeId>{ret(b, "3")});
             return std::vector<NodeId>{
                 b.ifStmt(b.var(x), {b.stmt(b.var(x)), inner}, std::vector<NodeId>{ret(b, "0")})};
         },
         false},
        {"switch whose cases return, no default", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{b.switchStmt(
                 b.var(x), {b.caseItem(b.lit("1"), {ret(b, "1")}), b.caseItem(b.lit("2"), {ret(b, "2")})})};
         },
         true},
        {"switch with a returning default", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{b.switchStmt(
                 b.var(x), {b.caseItem(b.lit("1"), {ret(b, "1")}), b.caseItem(0, {ret(b, "0")})})};
         },
         false},
        {"switch whose default does not return", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{b.switchStmt(
                 b.var(x), {b.caseItem(b.lit("1"), {ret(b, "1")}), b.caseItem(0, {b.stmt(b.var(x))})})};
         },
         true},
        {"case falling through to the next", Type::Int(),
         [&](GraphBuilder& b, NodeId x) {
             return std::vector<NodeId>{b.switchStmt(
                 b.var(x), {b.caseItem(b.lit("1"), {}), b.caseItem(b.lit("2"), {ret(b, "2")}),
                            b.caseItem(0, {ret(b, "0")})})};
         },
         true},
        {"loop with a return", Type::Int(),
         [&](GraphBuilder& b, NodeId) {
             return std::vector<NodeId>{b.loop(LOOP_FOREVER, 0, 0, 0, {ret(b, "1")})};
         },
         true},
        {"return after a label", Type::Int(),
         [&](GraphBuilder& b, NodeId) { return std::vector<NodeId>{b.label("end"), ret(b, "1")}; },
         false},
        {"empty body", Type::Int(), [](GraphBuilder&, NodeId) { return std::vector<NodeId>{}; }, true},
        {"void function", Type::Void(), [](GraphBuilder&, NodeId) { return std::vector<NodeId>{}; },
         false},
        {"function returning void *", Type::Void().ptr(),
         [](GraphBuilder&, NodeId) { return std::vector<NodeId>{}; }, true},
        {"function returning float", Type::Float(),
         [](GraphBuilder& b, NodeId x) { return std::vector<NodeId>{b.stmt(b.var(x))}; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GraphBuilder b;
        b.file("a.c");
        NodeId f = b.at(3).function("f", c.returns);
        NodeId x = b.param(f, "x", Type::Int());
        b.at(4);
        b.body(f, c.body(b, x));
        out.clear();
        int result = checkMissingReturn(b.graph(), f);
        EXPECT_EQ(out, c.reported ? e537(3, "f") : "");
        EXPECT_EQ(result != 0, c.reported);
    }
}

TEST_F(CodeChecks, AutomaticVariableSize) {
    struct Case {
        const char* what;
        Type type;
        std::int64_t limit;
        std::string expected;
    };
    GraphBuilder s;
    const std::vector<Case> cases = {
        {"at the limit", Type::Char().array({16384}), 16384, ""},
        {"one byte over", Type::Char().array({16385}), 16384, w538(4, "buf", "16384")},
        {"two dimensions", Type::Short().array({64, 129}), 16384, w538(4, "buf", "16384")},
        {"pointers count 4 bytes", Type::Double().ptr().array({4097}), 16384,
         w538(4, "buf", "16384")},
        {"doubles", Type::Double().array({2048}), 16384, ""},
        {"a scalar is one element", Type::LongDouble(), 11, w538(4, "buf", "11")},
        {"a lower limit", Type::Int().array({26}), 100, w538(4, "buf", "100")},
        {"an unsized array counts one element", Type::Int().array({0}), 3, w538(4, "buf", "3")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GraphBuilder b;
        b.file("a.c");
        NodeId d = b.at(4).decl("buf", c.type);
        runSettings.autoVarMaxSize = c.limit;
        out.clear();
        autoScope = true;
        checkDeclarations(b.graph(), d);
        autoScope = false;
        EXPECT_EQ(out, c.expected);
        out.clear();
        checkDeclarations(b.graph(), d);
        EXPECT_EQ(out, "") << "outside autoScope";
    }

    // Structures count their members without padding: 5 bytes each.
    runSettings = RunSettings{};
    GraphBuilder b;
    b.file("a.c");
    NodeId pair = b.structDef("pair", {{"c", Type::Char()}, {"i", Type::Int()}});
    NodeId fits = b.at(4).decl("fits", Type::Struct(pair).array({3276}));
    NodeId over = b.at(5).decl("over", Type::Struct(pair).array({3277}));
    out.clear();
    autoScope = true;
    checkDeclarations(b.graph(), b.chain({fits, over}));
    autoScope = false;
    EXPECT_EQ(out, w538(5, "over", "16384"));
}

TEST_F(CodeChecks, DeclarationSizeExpressionsAndInitialisers) {
    Program p;
    GraphBuilder& b = p.b;
    NodeId sized = b.at(6).decl("sized", Type::Int().array({0}));
    b.dimExpr(sized, 0, b.op(CALC_Add, b.callByName("memset"), b.lit("1")));
    NodeId computed = b.at(7).decl("computed", Type::Int());
    b.init(computed, b.op(CALC_Mul, b.callByName("memcmp"), b.lit("2")));
    // { memchr(), { malloc() } }
    NodeId braces = b.at(8).decl("braces", Type::Int().array({2}));
    NodeId inner = b.make(CFG_MEMBER_LIST);
    NodeId innerMember = b.make(CFG_MEMBER);
    b.own(innerMember, CfgMember_SIGNAL, p.malloc());
    b.own(inner, CfgMemberList_MEMBER, innerMember);
    NodeId outer = b.make(CFG_MEMBER_LIST);
    NodeId first = b.make(CFG_MEMBER);
    b.own(first, CfgMember_SIGNAL, b.callByName("memchr"));
    b.own(outer, CfgMemberList_MEMBER, b.chain({first, inner}));
    b.init(braces, outer);
    NodeId notDeclaration = b.protoNode("proto");
    out.clear();
    checkDeclarations(b.graph(), b.chain({sized, computed, braces, notDeclaration}));
    EXPECT_EQ(out, e539(6, "memset") + e539(7, "memcmp") + e539(8, "memchr") + e508(8));
}

TEST_F(CodeChecks, FloatingLogicalOperators) {
    Program p;
    GraphBuilder& b = p.b;
    NodeId inner = b.at(6).op(CALC_LogAnd, b.var(p.f), b.var(p.d));
    NodeId both = b.at(5).op(CALC_LogOr, b.paren(inner), b.var(p.f));
    NodeId statement = b.stmt(both);
    runSettings.ansicMode = 1;
    EXPECT_EQ(statements(b, statement), e541(5) + e541(6));
    runSettings = RunSettings{};
    EXPECT_EQ(statements(b, statement), "") << "only with -ansic or -algoc";

    // An initialiser gets the check once on its own and once from the walk.
    NodeId k = b.at(7).decl("k", Type::Int());
    b.init(k, b.op(CALC_LogAnd, b.var(p.f), b.var(p.i)));
    runSettings.algocMode = 1;
    out.clear();
    checkDeclarations(b.graph(), k);
    checkDeclarationEntries(b.graph());
    EXPECT_EQ(out, e541(7) + e541(7));
}

TEST_F(CodeChecks, ReferencedDeclarationsAreCollected) {
    // Long double declarations make the collection visible (message 525).
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.at(1).function("f", Type::Void());
    NodeId target = b.at(2).local(f, "target", Type::LongDouble().array({4}));
    NodeId index = b.at(3).local(f, "index", Type::LongDouble());
    NodeId value = b.at(4).local(f, "value", Type::LongDouble());
    NodeId argument = b.at(5).local(f, "argument", Type::LongDouble());
    NodeId size = b.at(6).local(f, "size", Type::LongDouble());
    NodeId unused = b.at(7).local(f, "unused", Type::LongDouble());
    (void)unused;
    NodeId sized = b.at(8).decl("sized", Type::Int().array({0}));
    b.dimExpr(sized, 0, b.op(CALC_Add, b.var(size), b.lit("1")));
    NodeId body = b.at(9).chain(
        {b.stmt(b.assign(b.index(b.out(target), {b.cast(Type::Int(), b.var(index))}),
                         b.op(CALC_Add, b.var(value), b.callByName("g", {b.var(argument)})))),
         b.declBlock({sized})});
    out.clear();
    checkStatements(b.graph(), body);
    checkDeclarationEntries(b.graph());
    // Newest first; the declaration of a block is not itself a reference.
    EXPECT_EQ(out, e525(6, "size") + e525(5, "argument") + e525(4, "value") + e525(3, "index") +
                       e525(2, "target"));
}

// ---- the whole pass over a program with a function tree ----

bool allMarksClear(const CdfgGraph& g) {
    for (const CdfgNode& n : g.nodes)
        if (n.mark != 0) return false;
    return true;
}

// main calls module f; f calls g; h is called by nobody.
struct TreeProgram {
    GraphBuilder b;
    NodeId mainFn, f, g, h;
    TreeProgram() {
        b.file("a.c");
        g = b.at(10).function("g", Type::Int());
        h = b.at(30).function("h", Type::Int());
        f = b.at(40).function("f", Type::Void());
        mainFn = b.at(50).function("main", Type::Int());
        b.at(50).param(mainFn, "argc", Type::Int());
        b.param(mainFn, "argv", Type::Char().ptr().array({0}));
    }
    // Call of f from main marked as a module, then the function tree.
    void finish(std::vector<NodeId> fBody) {
        b.body(f, std::move(fBody));
        b.body(mainFn, {b.at(51).stmt(b.call(f, {}, {"module"})), b.at(52).ret(b.lit("0"))});
        ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    }
};

TEST_F(CodeChecks, WholePassOverAnalysedAndOtherFunctions) {
    TreeProgram t;
    GraphBuilder& b = t.b;
    NodeId table = b.at(11).local(t.g, "table", Type::Char().array({20000}));
    b.directiveOnDecl(table, "fixedP 8 8");
    NodeId big = b.at(10).param(t.g, "big", Type::Char().array({20000}));
    b.body(t.g, {b.at(12).stmt(b.assign(b.index(b.out(table), {b.lit("0")}), b.callByName("malloc"))),
                 b.at(13).ifStmt(b.var(big), {b.at(14).ret(b.lit("1"))})});
    NodeId hTable = b.at(31).local(t.h, "table", Type::Char().array({20000}));
    b.directiveOnDecl(hTable, "int 8");
    NodeId hidden = b.at(33).stmt(b.callByName("malloc"));
    b.body(t.h, {b.at(32).translateOff({hidden}, "translate_off", "nothing")});
    t.finish({b.at(41).stmt(b.call(t.g, {b.at(41).callByName("memset")}))});

    out.clear();
    EXPECT_NE(runCodeChecks(b.graph()), 0);
    // Functions in file order: g, h, f, main.
    EXPECT_EQ(out, w538(11, "table", "16384") + e508(12) + e537(10, "g") +
                       error(546, 31, "'int' directive here is invalid.") + e539(41, "memset") +
                       error(514, 11, "'<bitW>:<fsize>' of directive 'fixedP is unusual. ") +
                       error(517, 32,
                             "There is no translate_on directive to a translate_off translate_off."));
    EXPECT_TRUE(allMarksClear(b.graph()));
    EXPECT_FALSE(autoScope);
}

TEST_F(CodeChecks, CleanProgramReportsNothing) {
    TreeProgram t;
    GraphBuilder& b = t.b;
    NodeId x = b.at(10).param(t.g, "x", Type::Int());
    b.body(t.g, {b.at(11).ret(b.op(CALC_Add, b.var(x), b.lit("1")))});
    b.body(t.h, {b.at(31).stmt(b.callByName("malloc"))});
    t.finish({b.at(41).stmt(b.call(t.g, {b.lit("2")}))});
    out.clear();
    EXPECT_EQ(runCodeChecks(b.graph()), 0);
    EXPECT_EQ(out, "");
}

// Every message of the code and global checks from one program; a second run
// over the same graph must print the same, which fails when a pass leaves a
// mark or a flag behind.
TEST_F(CodeChecks, AllChecksTwiceGiveTheSameMessages) {
    TreeProgram t;
    GraphBuilder& b = t.b;
    NodeId shared = b.at(5).global("shared", Type::Int());
    NodeId point = b.at(6).structDef("point", {{"x", Type::Float()}, {"y", Type::Float()}});
    NodeId where = b.at(7).global("where", Type::Struct(point));
    NodeId x = b.at(10).param(t.g, "x", Type::Float());
    NodeId buf = b.at(11).local(t.g, "buf", Type::Char().array({16385}));
    NodeId ld = b.at(12).local(t.g, "ld", Type::LongDouble());
    NodeId p = b.at(13).local(t.g, "p", Type::Int().ptr());
    auto whereX = [&](NodeId ref) { return b.member(ref, b.var(b.memberDecl(where, "x"))); };
    b.body(t.g, {
        b.at(14).stmt(b.assign(b.out(p), b.cast(Type::Int().ptr(), b.callByName("calloc")))),
        b.at(15).stmt(b.assign(b.out(p), b.cast(Type::Int().ptr(), b.var(buf)))),
        b.at(16).stmt(b.callByName("memcpy")),
        b.at(17).ifStmt(b.op(CALC_Les, b.var(x), b.lit("1.5")), {}),
        b.at(18).loop(LOOP_WHILE, 0, b.op(CALC_Les, b.var(ld), b.lit("2")), 0, {}),
        b.at(19).switchStmt(b.var(shared), {b.at(20).stmt(b.var(shared))}),
        b.at(21).stmt(b.op(CALC_LogAnd, b.var(x), b.var(ld))),
        b.at(22).stmt(b.assign(b.out(shared), b.lit("1"))),
        b.at(23).stmt(b.assign(whereX(b.out(where)), b.var(x))),
    });
    b.body(t.h, {b.at(31).stmt(b.call(t.g, {b.lit("1")}))});
    b.body(t.mainFn, {});  // replaced by finish
    NodeId mainWrite = b.at(53).stmt(b.assign(b.out(shared), b.lit("2")));
    NodeId mainMember = b.at(54).stmt(b.assign(whereX(b.out(where)), b.lit("0")));
    NodeId mainCall = b.at(55).stmt(b.call(t.g, {b.lit("3")}));
    t.finish({b.at(41).stmt(b.call(t.g, {b.lit("4")}))});
    // main: module call, then the statements above, then its return.
    NodeId mainFirst = getAttrInt(b.graph(), t.mainFn, CfgFunc_STARTCFG);
    NodeId mainReturn = getNextId(b.graph(), mainFirst);
    b.chain({mainFirst, mainWrite, mainMember, mainCall, mainReturn});
    runSettings.ansicMode = 1;

    auto runAll = [&]() {
        out.clear();
        initMessages(1, programCatalogue());
        runCodeChecks(b.graph());
        checkOutsideCalls(b.graph());
        checkGlobalUpdates(b.graph());
        EXPECT_TRUE(allMarksClear(b.graph()));
        return out;
    };
    std::string first = runAll();
    EXPECT_EQ(first,
              w538(11, "buf", "16384") + e508(14) + e509(15) + e539(16, "memcpy") + w601(17) +
                  w602(18) + e528(20) + e541(21) + e537(10, "g") + e525(12, "ld") +
                  error(516, 10, "Function 'g' is called from the outside of the object for analysis.") +
                  error(515, 6, "Global variable 'where..x' is updated out of the object for analysis.") +
                  error(515, 5, "Global variable 'shared' is updated out of the object for analysis."));
    EXPECT_EQ(runAll(), first);
}

TEST_F(CodeChecks, MalformedChainsEndTheWalk) {
    Program p;
    GraphBuilder& b = p.b;
    // A statement chain that loops back on itself.
    NodeId s1 = b.stmt(p.malloc());
    NodeId s2 = b.at(6).ret(b.lit("1"));
    b.chain({s1, s2});
    setNextId(b.graph(), s2, s1);
    checkStatements(b.graph(), s1);
    checkDeclarationEntries(b.graph());
    EXPECT_EQ(alwaysReturns(b.graph(), s1), 1);

    // An operation that owns itself.
    NodeId loop = b.op(CALC_Add, b.var(p.i), 0);
    setAttrNode(b.graph(), loop, DfgOpe_RIGHT, loop);
    setAttrNode(b.graph(), loop, DfgOpe_COND, loop);
    checkExpression(b.graph(), loop);
    checkDeclarationEntries(b.graph());
    EXPECT_EQ(containsFloating(b.graph(), b.manage(loop)), 0);
    SUCCEED();
}

TEST_F(CodeChecks, DeepExpressionsAreWalked) {
    Program p;
    GraphBuilder& b = p.b;
    NodeId e = b.at(9).callByName("malloc");
    for (int k = 0; k < 9990; ++k) e = b.op(CALC_Add, b.lit("1"), e);
    NodeId statement = b.at(5).ifStmt(b.op(CALC_Les, e, b.var(p.f)), {});
    EXPECT_EQ(statements(b, statement), e508(9) + w601(5));
}

}  // namespace
