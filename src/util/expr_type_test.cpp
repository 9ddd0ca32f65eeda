// The type of an expression: of literal texts, and of C expressions as the
// front end writes them, as "VALTYPE SIGN DEPTH".
#include "util/expr_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/c_program.h"
#include "util/large_stack.h"

namespace {

std::string typeText(const CdfgGraph& g, NodeId node) {
    static const char* const valtypes[] = {"NONE",     "VOID",  "CHAR",   "SHORT",      "INT",   "LONG",
                                           "LONGLONG", "BOOL",  "FLOAT",  "DOUBLE",     "STRUCT", "LONGDOUBLE"};
    static const char* const signs[] = {"-", "S", "U"};
    ExprType t;
    t.valtype = t.sign = t.pointercnt = -7;  // every evaluation starts from the defaults
    const std::int32_t returned = evalExprType(g, node, t);
    EXPECT_EQ(returned, t.valtype);
    if (t.valtype < 0 || t.valtype > 11 || t.sign < 0 || t.sign > 2) return "?";
    return std::string(valtypes[t.valtype]) + " " + signs[t.sign] + " " + std::to_string(t.pointercnt);
}

TEST(ExprType, LiteralsAreTypedByTheirText) {
    const std::pair<const char*, const char*> cases[] = {
        // Floating: a dot decides, then f and l (l wins over f).
        {"1.5", "DOUBLE S 0"}, {"1.5f", "FLOAT S 0"}, {"1.5F", "FLOAT S 0"}, {"1.5L", "LONGDOUBLE S 0"},
        {"1.5fL", "LONGDOUBLE S 0"}, {"1.5e3f", "FLOAT S 0"},
        // An exponent without a dot is DOUBLE, but hex digits are no exponent.
        {"1e3", "DOUBLE S 0"}, {"1E3", "DOUBLE S 0"}, {"1e3f", "DOUBLE S 0"}, {"0x1e3", "INT S 0"},
        {"0X1E3", "INT S 0"}, {"0xeL", "LONG S 0"},
        // Integer suffixes: the first L, else the first l, and its follower.
        {"10", "INT S 0"}, {"10u", "INT U 0"}, {"10UL", "LONG U 0"}, {"10ul", "LONG U 0"}, {"10l", "LONG S 0"},
        {"10ll", "LONGLONG S 0"}, {"10LL", "LONGLONG S 0"}, {"10uLL", "LONGLONG U 0"}, {"10Ll", "LONGLONG S 0"},
        {"10lL", "LONG S 0"},
        // A minus sign means signed, without reading the digits.
        {"-1", "INT S 0"}, {"-4294967295", "INT S 0"}, {"-1u", "INT U 0"},
        // 32-bit reading for INT and LONG: the top bit makes it unsigned.
        {"2147483647", "INT S 0"}, {"2147483648", "INT U 0"}, {"4294967295", "INT U 0"},
        {"4294967296", "INT S 0"}, {"6442450944", "INT U 0"}, {"+2147483648", "INT U 0"},
        {"2147483648L", "LONG U 0"}, {"0x7FFFFFFF", "INT S 0"}, {"0xFFFFFFFF", "INT U 0"},
        {"0Xffffffff", "INT U 0"}, {"0x100000000", "INT S 0"}, {"0x80000000L", "LONG U 0"}, {"017", "INT S 0"},
        {"020000000000", "INT U 0"}, {"017777777777", "INT S 0"}, {"0", "INT S 0"}, {"08", "INT S 0"},
        {"0x", "INT S 0"}, {"", "INT S 0"},
        // 64-bit reading for LONGLONG.
        {"0x80000000LL", "LONGLONG S 0"}, {"9223372036854775807LL", "LONGLONG S 0"},
        {"9223372036854775808LL", "LONGLONG U 0"}, {"18446744073709551616ll", "LONGLONG S 0"},
        {"0xFFFFFFFFFFFFFFFFLL", "LONGLONG U 0"}, {"0x7FFFFFFFFFFFFFFFll", "LONGLONG S 0"},
        {"01000000000000000000000LL", "LONGLONG U 0"}, {"99999999999999999999999999999999999999", "INT U 0"},
    };
    std::unique_ptr<CdfgGraph> g = newGraph();
    for (const auto& [text, type] : cases) {
        NodeId n = createNode(*g, DFG_INPUT_CONST);
        setAttrString(*g, n, DfgInputCnst_STRVALUE, text);
        EXPECT_EQ(typeText(*g, n), type) << text;
    }
    // Without a text, a node or a kind that has a type: the defaults.
    for (std::uint32_t kind : {DFG_INPUT_CONST, DFG_EDGE_PRESEDENCE, DFG_INPUT_STRING, DFG_SIZEOF})
        EXPECT_EQ(typeText(*g, createNode(*g, kind)), "INT S 0") << kind;
    EXPECT_EQ(typeText(*g, 0), "INT S 0");
    EXPECT_EQ(typeText(*g, 999999), "INT S 0");
    EXPECT_EQ(typeText(*g, createNode(*g, DFG_SPEC)), "NONE - 0");
    EXPECT_EQ(typeText(*g, createNode(*g, DFG_INPUT_VAR)), "NONE - 0");
    for (std::int32_t v : {DECL_VALTYPE_FLOAT, DECL_VALTYPE_DOUBLE, DECL_VALTYPE_LONGDOUBLE}) EXPECT_TRUE(isFloatingType(v));
    for (std::int32_t v : {DECL_VALTYPE_LONGLONG, DECL_VALTYPE_STRUCT}) EXPECT_FALSE(isFloatingType(v));
}

TEST(ExprType, OfCExpressions) {
    const std::pair<const char*, const char*> cases[] = {
        // Variables: their declaration, less the levels applied to them.
        {"i", "INT S 0"}, {"&i", "INT S 1"}, {"uc", "CHAR U 0"}, {"fp", "FLOAT S 1"}, {"*fp", "FLOAT S 0"},
        {"&fp", "FLOAT S 2"}, {"a", "INT S 1"}, {"a[i]", "INT S 0"}, {"&a[i]", "INT S 1"}, {"m[i]", "SHORT S 1"},
        {"m[i][i]", "SHORT S 0"}, {"pa[i]", "DOUBLE S 1"}, {"*pa[i]", "DOUBLE S 0"},
        // A member access is typed by the member at its end.
        {"sv", "STRUCT - 0"}, {"sv.v", "FLOAT S 0"}, {"sv.q", "LONG U 1"}, {"*sv.q", "LONG U 0"},
        {"sp->v", "FLOAT S 0"},
        // Calls: the definition, else the call's own attributes.
        {"uld()", "LONG U 0"}, {"ul()", "LONG U 0"}, {"ip()", "INT S 1"}, {"*ip()", "INT S 0"},
        {"dx()", "DOUBLE S 0"}, {"later()", "INT - 0"},
        // Pairs of operands, converted.
        {"c + c", "INT S 0"}, {"uc + uc", "INT S 0"}, {"ui + i", "INT U 0"}, {"i * ui", "INT U 0"},
        {"ui + c", "INT U 0"}, {"uc + i", "INT S 0"}, {"sh + bo", "INT S 0"}, {"l + ui", "LONG U 0"},
        {"l + uc", "LONG S 0"}, {"uc + l", "LONG S 0"}, {"ulv + c", "LONG U 0"}, {"l / ulv", "LONG U 0"},
        {"ll + ui", "LONGLONG S 0"}, {"ulv + ll", "LONGLONG S 0"}, {"ull + l", "LONGLONG U 0"},
        {"ll % ull", "LONGLONG U 0"}, {"f * f", "DOUBLE S 0"}, {"f + ui", "DOUBLE S 0"}, {"ull + d", "DOUBLE S 0"},
        {"d + ld", "LONGDOUBLE S 0"}, {"ui & l", "LONG U 0"}, {"i ? l : f", "DOUBLE S 0"},
        {"c += d", "DOUBLE S 0"},
        // With a pointer: the deepest depth; the widest type of a list.
        {"fp + i", "FLOAT S 1"}, {"i + dp", "DOUBLE S 1"}, {"ldp - 1", "LONGDOUBLE S 1"}, {"p - p", "INT S 1"},
        {"cp + ulv", "LONG U 1"}, {"p + sh", "SHORT S 1"}, {"bo + ucpp", "CHAR U 2"}, {"llp + l", "LONGLONG S 1"},
        {"cpp - i", "CHAR S 2"}, {"uip + i", "INT U 1"}, {"sp + 1", "STRUCT S 1"},
        // One operand, promoted when a small scalar.
        {"+uc", "INT S 0"}, {"-sh", "INT S 0"}, {"~bo", "INT S 0"}, {"uc >> l", "INT S 0"}, {"ulv << c", "LONG U 0"},
        {"-f", "FLOAT S 0"}, {"uc++", "INT S 0"}, {"ulv++", "LONG U 0"}, {"--shp", "SHORT S 1"},
        // Truth values, whatever the operands.
        {"f && dp", "INT S 0"}, {"f || f", "INT S 0"}, {"!ldp", "INT S 0"}, {"dp < dp", "INT S 0"},
        {"ull == ull", "INT S 0"},
        // Casts, parentheses and what has no type of its own.
        {"(unsigned char *)i", "CHAR U 1"}, {"(f)", "FLOAT S 0"}, {"(i + f) * d", "DOUBLE S 0"},
        {"(i) + 1.5f", "DOUBLE S 0"}, {"(long long)f + i", "LONGLONG S 0"}, {"\"abc\"", "INT S 0"},
        {"sizeof i", "INT S 0"},
    };
    std::string source = R"(struct S { float v; unsigned long *q; };
unsigned long uld(void) { return 0; }
unsigned long ul(void); int *ip(void); double dx(void);
void t(void)
{
    char c, *cp, **cpp; unsigned char uc, **ucpp; short sh, m[2][3], *shp; _Bool bo; int i, *p, a[10];
    unsigned ui, *uip; long l; unsigned long ulv; long long ll, *llp; unsigned long long ull;
    float f, *fp; double d, *dp, *pa[4]; long double ld, *ldp; struct S sv, *sp;
)";
    for (const auto& c : cases) source += "    e(" + std::string(c.first) + ");\n";
    source += "}\n";
    std::unique_ptr<CdfgGraph> g = tb::compileC(source);
    ASSERT_NE(g, nullptr);
    std::size_t i = 0;
    for (const CdfgNode& n : g->nodes) {
        const char* name = getAttrString(*g, n.id, DfgFuncCall_NAME);
        if (n.kind != DFG_FUNC_CALL || !name || std::string(name) != "e") continue;
        ASSERT_LT(i, std::size(cases));
        NodeId argument = getAttrInt(*g, getAttrInt(*g, n.id, DfgFuncCall_ARGLIST), DfgPortInfo_SIGNAL);
        EXPECT_EQ(typeText(*g, argument), cases[i].second) << cases[i].first;
        ++i;
    }
    EXPECT_EQ(i, std::size(cases));
}

// Links that share or loop end the evaluation; deep expressions are typed.
TEST(ExprType, DamagedAndDeepExpressionsEnd) {
    // The checker evaluates on its large stack; so does this test, whatever
    // the build's frame sizes.
    ASSERT_TRUE(runOnLargeStack([] {
        std::unique_ptr<CdfgGraph> g = newGraph();
        auto node = [&g](std::uint32_t kind, std::int32_t type = 0) {
            NodeId n = createNode(*g, kind);
            if (type) setAttrInt(*g, n, DfgOpe_TYPE, static_cast<std::uint32_t>(type));
            return n;
        };
        NodeId self = node(DFG_OPERATION, CALC_Add);
        setAttrNode(*g, self, DfgOpe_LEFT, self);
        NodeId p1 = node(DFG_EDGE_PRESEDENCE), p2 = node(DFG_EDGE_PRESEDENCE);
        setNextId(*g, p1, p2);
        setNextId(*g, p2, p1);
        NodeId r1 = node(DFG_INPUT_VAR), r2 = node(DFG_INPUT_VAR);
        setAttrNode(*g, r1, DfgPort_STRSON, r2);
        setAttrNode(*g, r2, DfgPort_STRSON, r1);
        // Operations sharing both operands, 64 levels: 2^64 paths without a bound.
        NodeId shared = node(DFG_INPUT_CONST);
        setAttrString(*g, shared, DfgInputCnst_STRVALUE, "1.5");
        for (int level = 0; level < 64; ++level) {
            NodeId o = node(DFG_OPERATION, CALC_Mul);
            setAttrNode(*g, o, DfgOpe_LEFT, shared);
            setAttrNode(*g, o, DfgOpe_RIGHT, shared);
            shared = o;
        }
        // Attribute values that overflow 32-bit arithmetic.
        NodeId d = node(CFG_DECLARE), big = node(DFG_INPUT_VAR);
        setAttrInt(*g, d, CfgDecl_POINTERCNT, 0x7fffffff);
        setAttrInt(*g, d, CfgDecl_DIMCNT, 0x7fffffff);
        setAttrNode(*g, big, DfgPort_DECL, d);
        setAttrInt(*g, big, DfgPort_POINTERCNT, 0x80000000u);
        for (NodeId n : {self, p1, r1, shared, big}) typeText(*g, n);
        EXPECT_EQ(typeText(*g, p1), "INT S 0");
        // x + 1 + 1 + ... nested to the left, and a long chain of parentheses.
        NodeId x = node(CFG_DECLARE);
        setAttrInt(*g, x, CfgDecl_VALTYPE, DECL_VALTYPE_LONG);
        setAttrInt(*g, x, CfgDecl_SIGNED, DECL_UNSIGNED);
        NodeId e = node(DFG_INPUT_VAR);
        setAttrNode(*g, e, DfgPort_DECL, x);
        NodeId paren = e;
        for (int n = 0; n < 5000; ++n) {
            NodeId o = node(DFG_OPERATION, CALC_Add);
            setAttrNode(*g, o, DfgOpe_LEFT, e);
            e = o;
        }
        EXPECT_EQ(typeText(*g, e), "LONG U 0");
        for (int n = 0; n < 50000; ++n) {
            NodeId p = node(DFG_EDGE_PRESEDENCE);
            setNextId(*g, p, paren);
            paren = p;
        }
        EXPECT_EQ(typeText(*g, paren), "LONG U 0");
    }));
}

}  // namespace
