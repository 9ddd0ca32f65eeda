#include "util/expr_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/graph_builder.h"
#include "util/large_stack.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

constexpr std::int32_t S = DECL_SIGNED;
constexpr std::int32_t U = DECL_UNSIGNED;

ExprType typeOf(const CdfgGraph& g, NodeId node) {
    ExprType t;
    t.valtype = -7;  // every evaluation starts from the defaults
    t.sign = -7;
    t.pointercnt = -7;
    std::int32_t returned = evalExprType(g, node, t);
    EXPECT_EQ(returned, t.valtype);
    return t;
}

void expectType(const ExprType& t, std::int32_t valtype, std::int32_t sign, std::int32_t depth) {
    EXPECT_EQ(t.valtype, valtype);
    EXPECT_EQ(t.sign, sign);
    EXPECT_EQ(t.pointercnt, depth);
}

struct LiteralCase {
    const char* text;
    std::int32_t valtype;
    std::int32_t sign;
};

TEST(ExprType, LiteralsAreTypedByTheirText) {
    const LiteralCase cases[] = {
        // Floating: a dot decides, then f and l (l wins over f).
        {"1.5", DECL_VALTYPE_DOUBLE, S},
        {"1.5f", DECL_VALTYPE_FLOAT, S},
        {"1.5F", DECL_VALTYPE_FLOAT, S},
        {"1.5L", DECL_VALTYPE_LONGDOUBLE, S},
        {"1.5fL", DECL_VALTYPE_LONGDOUBLE, S},
        {"1.5e3f", DECL_VALTYPE_FLOAT, S},
        // An exponent without a dot is DOUBLE whatever follows it, but hex
        // digits are never an exponent.
        {"1e3", DECL_VALTYPE_DOUBLE, S},
        {"1E3", DECL_VALTYPE_DOUBLE, S},
        {"1e3f", DECL_VALTYPE_DOUBLE, S},
        {"0x1e3", DECL_VALTYPE_INT, S},
        {"0X1E3", DECL_VALTYPE_INT, S},
        {"0xeL", DECL_VALTYPE_LONG, S},
        // Integer suffixes: the first L, else the first l, and its follower.
        {"10", DECL_VALTYPE_INT, S},
        {"10u", DECL_VALTYPE_INT, U},
        {"10UL", DECL_VALTYPE_LONG, U},
        {"10ul", DECL_VALTYPE_LONG, U},
        {"10l", DECL_VALTYPE_LONG, S},
        {"10ll", DECL_VALTYPE_LONGLONG, S},
        {"10LL", DECL_VALTYPE_LONGLONG, S},
        {"10uLL", DECL_VALTYPE_LONGLONG, U},
        {"10Ll", DECL_VALTYPE_LONGLONG, S},
        {"10lL", DECL_VALTYPE_LONG, S},  // the L found first has nothing behind it
        // A minus sign means signed, without reading the digits.
        {"-1", DECL_VALTYPE_INT, S},
        {"-4294967295", DECL_VALTYPE_INT, S},
        {"-1u", DECL_VALTYPE_INT, U},
        // 32-bit reading for INT and LONG: the top bit makes it unsigned.
        {"2147483647", DECL_VALTYPE_INT, S},
        {"2147483648", DECL_VALTYPE_INT, U},
        {"4294967295", DECL_VALTYPE_INT, U},
        {"4294967296", DECL_VALTYPE_INT, S},  // wraps to 0
        {"6442450944", DECL_VALTYPE_INT, U},  // 0x180000000 keeps 0x80000000
        {"+2147483648", DECL_VALTYPE_INT, U},
        {"2147483648L", DECL_VALTYPE_LONG, U},
        {"0x7FFFFFFF", DECL_VALTYPE_INT, S},
        {"0xFFFFFFFF", DECL_VALTYPE_INT, U},
        {"0Xffffffff", DECL_VALTYPE_INT, U},
        {"0x100000000", DECL_VALTYPE_INT, S},
        {"0x80000000L", DECL_VALTYPE_LONG, U},
        {"017", DECL_VALTYPE_INT, S},
        {"020000000000", DECL_VALTYPE_INT, U},  // octal 2^31
        {"017777777777", DECL_VALTYPE_INT, S},
        {"0", DECL_VALTYPE_INT, S},
        {"08", DECL_VALTYPE_INT, S},  // octal reading stops at 8
        {"0x", DECL_VALTYPE_INT, S},
        {"", DECL_VALTYPE_INT, S},
        // 64-bit reading for LONGLONG.
        {"0x80000000LL", DECL_VALTYPE_LONGLONG, S},
        {"9223372036854775807LL", DECL_VALTYPE_LONGLONG, S},
        {"9223372036854775808LL", DECL_VALTYPE_LONGLONG, U},
        {"18446744073709551616ll", DECL_VALTYPE_LONGLONG, S},  // wraps to 0
        {"0xFFFFFFFFFFFFFFFFLL", DECL_VALTYPE_LONGLONG, U},
        {"0x7FFFFFFFFFFFFFFFll", DECL_VALTYPE_LONGLONG, S},
        {"01000000000000000000000LL", DECL_VALTYPE_LONGLONG, U},  // octal 2^63
        {"99999999999999999999999999999999999999", DECL_VALTYPE_INT, U},  // low bits all ones
    };
    GraphBuilder b;
    for (const LiteralCase& c : cases) {
        SCOPED_TRACE(c.text);
        ExprType t = typeOf(b.graph(), b.lit(c.text));
        expectType(t, c.valtype, c.sign, 0);
    }
    // A literal without text keeps the defaults.
    NodeId bare = b.make(DFG_INPUT_CONST);
    expectType(typeOf(b.graph(), bare), DECL_VALTYPE_INT, S, 0);
}

TEST(ExprType, VariablesTakeTheirDeclarationMinusWhatIsApplied) {
    GraphBuilder b;
    b.file("a.c");
    NodeId f = b.function("f");
    NodeId x = b.local(f, "x", Type::Int());
    NodeId c = b.local(f, "c", Type::Char().unsignedType());
    NodeId p = b.local(f, "p", Type::Float().ptr());
    NodeId a = b.local(f, "a", Type::Int().array({10}));
    NodeId m = b.local(f, "m", Type::Short().array({2, 3}));
    NodeId pa = b.local(f, "pa", Type::Double().ptr().array({4}));
    NodeId s = b.structDef("S", {{"v", Type::Float()}, {"q", Type::Long().unsignedType().ptr()}});
    NodeId sv = b.local(f, "sv", Type::Struct(s));
    auto i = [&] { return b.var(x); };
    struct Case {
        const char* what;
        NodeId ref;
        std::int32_t valtype, sign, depth;
    };
    const Case cases[] = {
        {"x", b.var(x), DECL_VALTYPE_INT, S, 0},
        {"x written", b.out(x), DECL_VALTYPE_INT, S, 0},
        {"&x", b.addressOf(b.var(x)), DECL_VALTYPE_INT, S, 1},
        {"c", b.var(c), DECL_VALTYPE_CHAR, U, 0},
        {"p", b.var(p), DECL_VALTYPE_FLOAT, S, 1},
        {"*p", b.deref(b.var(p)), DECL_VALTYPE_FLOAT, S, 0},
        {"**p", b.deref(b.var(p), 2), DECL_VALTYPE_FLOAT, S, 0},
        {"&p", b.addressOf(b.var(p)), DECL_VALTYPE_FLOAT, S, 2},
        {"a", b.var(a), DECL_VALTYPE_INT, S, 1},
        {"a[i]", b.index(b.var(a), {i()}), DECL_VALTYPE_INT, S, 0},
        {"&a[i]", b.addressOf(b.index(b.var(a), {i()})), DECL_VALTYPE_INT, S, 1},
        {"m[i]", b.index(b.var(m), {i()}), DECL_VALTYPE_SHORT, S, 1},
        {"m[i][i]", b.index(b.var(m), {i(), i()}), DECL_VALTYPE_SHORT, S, 0},
        {"pa[i]", b.index(b.var(pa), {i()}), DECL_VALTYPE_DOUBLE, S, 1},
        {"*pa[i]", b.deref(b.index(b.var(pa), {i()})), DECL_VALTYPE_DOUBLE, S, 0},
        // A structure reference is typed by the member at the end of it.
        {"sv", b.var(sv), DECL_VALTYPE_STRUCT, S, 0},
        {"sv.v", b.member(b.var(sv), b.var(b.memberDecl(sv, "v"))), DECL_VALTYPE_FLOAT, S, 0},
        {"sv.q", b.member(b.var(sv), b.var(b.memberDecl(sv, "q"))), DECL_VALTYPE_LONG, U, 1},
        {"*sv.q", b.member(b.var(sv), b.deref(b.var(b.memberDecl(sv, "q")))), DECL_VALTYPE_LONG,
         U, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        expectType(typeOf(b.graph(), k.ref), k.valtype, k.sign, k.depth);
    }

    // Without a declaration every declared attribute reads 0.
    NodeId loose = b.make(DFG_INPUT_VAR);
    expectType(typeOf(b.graph(), loose), DECL_VALTYPE_NONE, DECL_SIGNED_NONE, 0);
    NodeId looseAddress = b.addressOf(b.make(DFG_OUTPUT_VAR));
    expectType(typeOf(b.graph(), looseAddress), DECL_VALTYPE_NONE, DECL_SIGNED_NONE, 1);
}

TEST(ExprType, CallsTakeTheDefinitionOrTheirOwnAttributes) {
    GraphBuilder b;
    b.file("a.c");
    NodeId ul = b.function("ul", Type::Long().unsignedType());
    NodeId ip = b.function("ip", Type::Int().ptr());
    NodeId v = b.function("v", Type::Void());
    expectType(typeOf(b.graph(), b.call(ul)), DECL_VALTYPE_LONG, U, 0);
    expectType(typeOf(b.graph(), b.call(ip)), DECL_VALTYPE_INT, S, 1);
    NodeId derefCall = b.call(ip);
    setAttrInt(b.graph(), derefCall, DfgFuncCall_POINCNT, 1);  // *ip()
    expectType(typeOf(b.graph(), derefCall), DECL_VALTYPE_INT, S, 0);
    expectType(typeOf(b.graph(), b.call(v)), DECL_VALTYPE_VOID, DECL_SIGNED_NONE, 0);

    // No body: the call's own attributes, INT when it has no return type.
    expectType(typeOf(b.graph(), b.callByName("ext")), DECL_VALTYPE_INT, DECL_SIGNED_NONE, 0);
    NodeId signedExt = b.callByName("ext");
    setAttrInt(b.graph(), signedExt, DfgFuncCall_FUNC_SIGNED, U);
    expectType(typeOf(b.graph(), signedExt), DECL_VALTYPE_INT, U, 0);
    NodeId described = b.callByName("g");
    setAttrInt(b.graph(), described, DfgFuncCall_FUNC_RETTYPE, DECL_VALTYPE_DOUBLE);
    setAttrInt(b.graph(), described, DfgFuncCall_FUNC_SIGNED, S);
    setAttrInt(b.graph(), described, DfgFuncCall_FUNC_POINTERCNT, 2);
    setAttrInt(b.graph(), described, DfgFuncCall_POINCNT, 1);
    expectType(typeOf(b.graph(), described), DECL_VALTYPE_DOUBLE, S, 1);
    // A jump to something that is no function counts as no body.
    NodeId odd = b.callByName("odd");
    setJumpId(b.graph(), odd, b.lit("1.5"));
    expectType(typeOf(b.graph(), odd), DECL_VALTYPE_INT, DECL_SIGNED_NONE, 0);
}

struct PairCase {
    const char* what;
    std::int32_t op;
    Type left, right;
    std::int32_t valtype, sign, depth;
};

TEST(ExprType, OperandPairsFollowTheConversions) {
    const Type i = Type::Int(), ui = Type::Int().unsignedType();
    const Type c = Type::Char(), uc = Type::Char().unsignedType();
    const Type l = Type::Long(), ul = Type::Long().unsignedType();
    const Type ll = Type::LongLong(), ull = Type::LongLong().unsignedType();
    const Type f = Type::Float(), d = Type::Double(), ld = Type::LongDouble();
    const Type sh = Type::Short(), bo = Type::Of(DECL_VALTYPE_BOOL);
    const Type none = Type::Of(DECL_VALTYPE_NONE, DECL_SIGNED_NONE), vo = Type::Void();
    const Type st = Type::Of(DECL_VALTYPE_STRUCT);
    const PairCase cases[] = {
        {"c + c", CALC_Add, c, c, DECL_VALTYPE_INT, S, 0},
        {"uc + uc", CALC_Add, uc, uc, DECL_VALTYPE_INT, S, 0},
        {"ui + i", CALC_Add, ui, i, DECL_VALTYPE_INT, U, 0},
        {"i * ui", CALC_Mul, i, ui, DECL_VALTYPE_INT, U, 0},
        {"ui + c", CALC_Add, ui, c, DECL_VALTYPE_INT, U, 0},
        {"uc + i", CALC_Add, uc, i, DECL_VALTYPE_INT, S, 0},
        {"none + ui", CALC_Sub, none, ui, DECL_VALTYPE_INT, U, 0},
        {"none + none", CALC_Sub, none, none, DECL_VALTYPE_INT, S, 0},
        {"sh + bo", CALC_Add, sh, bo, DECL_VALTYPE_INT, S, 0},
        {"vo + c", CALC_Add, vo, c, DECL_VALTYPE_INT, S, 0},
        {"l + ui", CALC_Add, l, ui, DECL_VALTYPE_LONG, U, 0},
        {"l + uc", CALC_Add, l, uc, DECL_VALTYPE_LONG, S, 0},
        {"uc + l", CALC_Add, uc, l, DECL_VALTYPE_LONG, S, 0},
        {"ul + c", CALC_Add, ul, c, DECL_VALTYPE_LONG, U, 0},
        {"l + ul", CALC_Div, l, ul, DECL_VALTYPE_LONG, U, 0},
        {"ll + ui", CALC_Add, ll, ui, DECL_VALTYPE_LONGLONG, S, 0},
        {"ul + ll", CALC_Add, ul, ll, DECL_VALTYPE_LONGLONG, S, 0},
        {"ull + l", CALC_Add, ull, l, DECL_VALTYPE_LONGLONG, U, 0},
        {"ll + ull", CALC_Mod, ll, ull, DECL_VALTYPE_LONGLONG, U, 0},
        {"f * f", CALC_Mul, f, f, DECL_VALTYPE_DOUBLE, S, 0},
        {"f + ui", CALC_Add, f, ui, DECL_VALTYPE_DOUBLE, S, 0},
        {"ull + d", CALC_Add, ull, d, DECL_VALTYPE_DOUBLE, S, 0},
        {"d + ld", CALC_Add, d, ld, DECL_VALTYPE_LONGDOUBLE, S, 0},
        {"ld + st", CALC_Add, ld, st, DECL_VALTYPE_STRUCT, S, 0},
        // With a pointer: the deepest depth, FLOAT stays FLOAT.
        {"f* + i", CALC_Add, f.ptr(), i, DECL_VALTYPE_FLOAT, S, 1},
        {"i + d*", CALC_Add, i, d.ptr(), DECL_VALTYPE_DOUBLE, S, 1},
        {"f* + d", CALC_Add, f.ptr(), d, DECL_VALTYPE_DOUBLE, S, 1},
        {"ld* + f", CALC_Add, ld.ptr(), f, DECL_VALTYPE_LONGDOUBLE, S, 1},
        {"st* + i", CALC_Add, st.ptr(), i, DECL_VALTYPE_STRUCT, S, 1},
        {"i* - i*", CALC_Sub, i.ptr(), i.ptr(), DECL_VALTYPE_INT, S, 1},
        {"c* + ul", CALC_Add, c.ptr(), ul, DECL_VALTYPE_LONG, U, 1},
        {"i* + sh", CALC_Add, i.ptr(), sh, DECL_VALTYPE_SHORT, S, 1},
        {"bo + uc**", CALC_Add, bo, uc.ptr(2), DECL_VALTYPE_CHAR, U, 2},
        {"ll* + l", CALC_Add, ll.ptr(), l, DECL_VALTYPE_LONGLONG, S, 1},
        {"c** + i*", CALC_Add, c.ptr(2), i.ptr(), DECL_VALTYPE_CHAR, S, 2},
        {"ui* + i", CALC_Add, ui.ptr(), i, DECL_VALTYPE_INT, U, 1},
        // Every code outside the unary and truth groups converts both sides.
        {"op 0", 0, f, i, DECL_VALTYPE_DOUBLE, S, 0},
        {"op 5", CALC_AndReduce, c, c, DECL_VALTYPE_INT, S, 0},
        {"a & b", CALC_And, ui, l, DECL_VALTYPE_LONG, U, 0},
        {"c ? a : b", CALC_LogCond, l, f, DECL_VALTYPE_DOUBLE, S, 0},
        {"a += b", CALC_AddEqu, c, d, DECL_VALTYPE_DOUBLE, S, 0},
        {"op 99", 99, ul, i, DECL_VALTYPE_LONG, U, 0},
        // The left operand alone, promoted when a small scalar.
        {"+c", CALC_Plus, uc, ld, DECL_VALTYPE_INT, S, 0},
        {"-sh", CALC_Minus, sh, d, DECL_VALTYPE_INT, S, 0},
        {"~bo", CALC_BitNot, bo, i, DECL_VALTYPE_INT, S, 0},
        {"uc >> l", CALC_RightShift, uc, l, DECL_VALTYPE_INT, S, 0},
        {"ul << c", CALC_LeftShift, ul, c, DECL_VALTYPE_LONG, U, 0},
        {"-f", CALC_Minus, f, i, DECL_VALTYPE_FLOAT, S, 0},
        {"-(c*)", CALC_Minus, uc.ptr(), i, DECL_VALTYPE_CHAR, U, 1},
        // Truth values, whatever the operands.
        {"f && p", CALC_LogAnd, f, d.ptr(), DECL_VALTYPE_INT, S, 0},
        {"f || f", CALC_LogOr, f, f, DECL_VALTYPE_INT, S, 0},
        {"!p", CALC_Not, ld.ptr(), i, DECL_VALTYPE_INT, S, 0},
        {"p < q", CALC_Les, d.ptr(), d.ptr(), DECL_VALTYPE_INT, S, 0},
        {"a == b", CALC_Eq, ull, ull, DECL_VALTYPE_INT, S, 0},
    };
    GraphBuilder b;
    b.file("a.c");
    NodeId fn = b.function("f");
    int n = 0;
    for (const PairCase& k : cases) {
        SCOPED_TRACE(k.what);
        NodeId a = b.local(fn, "a" + std::to_string(n), k.left);
        NodeId r = b.local(fn, "b" + std::to_string(n++), k.right);
        NodeId e = b.op(k.op, b.var(a), b.var(r));
        expectType(typeOf(b.graph(), e), k.valtype, k.sign, k.depth);
    }
}

TEST(ExprType, MissingOperandsCountAsSignedInt) {
    GraphBuilder b;
    b.file("a.c");
    NodeId fn = b.function("f");
    NodeId c = b.local(fn, "c", Type::Char().unsignedType());
    NodeId ul = b.local(fn, "ul", Type::Long().unsignedType());
    NodeId p = b.local(fn, "p", Type::Short().ptr());
    // c++ and ul++ have no right operand.
    expectType(typeOf(b.graph(), b.op(CALC_PInc, b.out(c))), DECL_VALTYPE_INT, S, 0);
    expectType(typeOf(b.graph(), b.op(CALC_IncP, b.out(ul))), DECL_VALTYPE_LONG, U, 0);
    expectType(typeOf(b.graph(), b.op(CALC_PDec, b.out(p))), DECL_VALTYPE_SHORT, S, 1);
    expectType(typeOf(b.graph(), b.op(CALC_Minus, 0)), DECL_VALTYPE_INT, S, 0);
}

TEST(ExprType, CastsParenthesesAndOtherNodes) {
    GraphBuilder b;
    b.file("a.c");
    NodeId fn = b.function("f");
    NodeId x = b.local(fn, "x", Type::Int());
    NodeId g = b.local(fn, "g", Type::Float());
    NodeId dd = b.local(fn, "dd", Type::Double());
    const CdfgGraph& gr = b.graph();

    expectType(typeOf(gr, b.cast(Type::Char().unsignedType().ptr(), b.var(x))), DECL_VALTYPE_CHAR,
               U, 1);
    expectType(typeOf(gr, b.paren(b.var(g))), DECL_VALTYPE_FLOAT, S, 0);
    // (x + g) * dd
    NodeId sum = b.paren(b.op(CALC_Add, b.var(x), b.var(g)));
    expectType(typeOf(gr, b.op(CALC_Mul, sum, b.var(dd))), DECL_VALTYPE_DOUBLE, S, 0);
    // (x) + 1.5f: the parenthesis is typed by the node behind it.
    expectType(typeOf(gr, b.op(CALC_Add, b.paren(b.var(x)), b.lit("1.5f"))), DECL_VALTYPE_DOUBLE,
               S, 0);
    // An operand chain is typed by its first node: a cast heads its operand.
    expectType(typeOf(gr, b.op(CALC_Add, b.cast(Type::LongLong(), b.var(g)), b.var(x))),
               DECL_VALTYPE_LONGLONG, S, 0);
    // A parenthesis with nothing behind it, a string, an unknown kind, no node.
    expectType(typeOf(gr, b.make(DFG_EDGE_PRESEDENCE)), DECL_VALTYPE_INT, S, 0);
    expectType(typeOf(gr, b.str("abc")), DECL_VALTYPE_INT, S, 0);
    expectType(typeOf(gr, b.make(DFG_SIZEOF)), DECL_VALTYPE_INT, S, 0);
    expectType(typeOf(gr, 0), DECL_VALTYPE_INT, S, 0);
    expectType(typeOf(gr, 999999), DECL_VALTYPE_INT, S, 0);
    // A cast without attributes reads them as 0.
    expectType(typeOf(gr, b.make(DFG_SPEC)), DECL_VALTYPE_NONE, DECL_SIGNED_NONE, 0);

    EXPECT_TRUE(isFloatingType(DECL_VALTYPE_FLOAT));
    EXPECT_TRUE(isFloatingType(DECL_VALTYPE_DOUBLE));
    EXPECT_TRUE(isFloatingType(DECL_VALTYPE_LONGDOUBLE));
    EXPECT_FALSE(isFloatingType(DECL_VALTYPE_LONGLONG));
    EXPECT_FALSE(isFloatingType(DECL_VALTYPE_STRUCT));
}

TEST(ExprType, DamagedGraphsEndTheEvaluation) {
    GraphBuilder b;
    CdfgGraph& g = b.graph();
    // An operation that is its own operand.
    NodeId self = b.op(CALC_Add, b.lit("1"), b.lit("2"));
    setAttrNode(g, self, DfgOpe_LEFT, self);
    ExprType t;
    evalExprType(g, self, t);
    // A parenthesis chain that loops.
    NodeId p1 = b.make(DFG_EDGE_PRESEDENCE), p2 = b.make(DFG_EDGE_PRESEDENCE);
    setNextId(g, p1, p2);
    setNextId(g, p2, p1);
    expectType(typeOf(g, p1), DECL_VALTYPE_INT, S, 0);
    // Operations sharing both operands, 64 levels: 2^64 paths without a bound.
    NodeId shared = b.lit("1.5");
    for (int level = 0; level < 64; ++level) {
        NodeId o = b.op(CALC_Mul, 0, 0);
        setAttrNode(g, o, DfgOpe_LEFT, shared);
        setAttrNode(g, o, DfgOpe_RIGHT, shared);
        shared = o;
    }
    evalExprType(g, shared, t);
    // A member chain that loops.
    NodeId r1 = b.make(DFG_INPUT_VAR), r2 = b.make(DFG_INPUT_VAR);
    setAttrNode(g, r1, DfgPort_STRSON, r2);
    setAttrNode(g, r2, DfgPort_STRSON, r1);
    evalExprType(g, r1, t);
    // Attribute values that overflow 32-bit arithmetic.
    NodeId d = b.decl("d", Type::Int());
    setAttrInt(g, d, CfgDecl_POINTERCNT, 0x7fffffff);
    setAttrInt(g, d, CfgDecl_DIMCNT, 0x7fffffff);
    NodeId ref = b.var(d);
    setAttrInt(g, ref, DfgPort_POINTERCNT, 0x80000000u);
    evalExprType(g, ref, t);
}

TEST(ExprType, DeepExpressionsAreEvaluated) {
    // The checker evaluates on its large stack; so does this test, whatever
    // the build's frame sizes.
    ASSERT_TRUE(runOnLargeStack([] {
        // x + 1 + 1 + ... with a few thousand terms, nested to the left.
        GraphBuilder b;
        b.file("a.c");
        NodeId fn = b.function("f");
        NodeId x = b.local(fn, "x", Type::Long().unsignedType());
        NodeId e = b.var(x);
        for (int n = 0; n < 5000; ++n) e = b.op(CALC_Add, e, b.lit("1"));
        expectType(typeOf(b.graph(), e), DECL_VALTYPE_LONG, U, 0);
        // Nested parentheses form one chain, however many there are.
        NodeId inner = b.var(x);
        for (int n = 0; n < 50000; ++n) inner = b.paren(inner);
        expectType(typeOf(b.graph(), inner), DECL_VALTYPE_LONG, U, 0);
        // Far deeper than any source holds: the evaluation gives up, safely.
        for (int n = 0; n < 15000; ++n) e = b.op(CALC_Add, e, b.lit("1"));
        ExprType t;
        evalExprType(b.graph(), e, t);
    }));
}

}  // namespace
