// The built checker on programs that break many rules at once: every message
// of the prototype, function tree, function, code, declaration, directive and
// global checks, byte for byte and in the order the passes print them, under
// the options that switch checks on and off.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/binary_run.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Outcome;
using tb::Type;
using Lines = std::vector<std::string>;

void mainParams(GraphBuilder& b, NodeId main) {
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
}

// Calls, module calls and function signatures. q.c:
//  1 int sq(int v) {
//  2   return v * v; }
//  3 int *ptr(int *p) { return p; }
//  5 int rec(int n) { return rec(n); }
//  7 void tick(void) { }
//  9 void mod(int a, int b, int *pp, int *arr[2][2], int ***deep) {
// 10   tick();                              //tavik unroll
// 11   tick();                              //tavik unmodule
// 12   rec(a);
// 13   ptr(pp);
// 14   ***deep = b; }
// 16 int mod2(int v) { return v; }
// 18 int main(int argc, char *argv) {
// 19   int x;
// 20   int r;
// 21   int *pp;
// 22   int *arr[2][2];
// 23   int ***deep;
// 24   RED = 1;                             (an enumeration constant)
// 25   c = 2;                               (an enumeration variable)
// 26   sq(1, 2);
// 27   sq("s");
// 28   later(x);
// 29   mod(x + 1, sq(x), pp, arr, deep);    //tavik module
// 30   r = mod2(x);                         //tavik module
// 31   return 0; }
// 33 int later(int v) { return v; }
void writeCallProgram(const std::string& path) {
    GraphBuilder b;
    b.file("q.c");
    NodeId sq = b.at(1).function("sq");
    NodeId v = b.param(sq, "v", Type::Int());
    b.body(sq, {b.at(2).ret(b.op(CALC_Mul, b.var(v), b.var(v)))});

    NodeId ptr = b.at(3).function("ptr", Type::Int().ptr());
    NodeId p = b.param(ptr, "p", Type::Int().ptr());
    b.body(ptr, {b.ret(b.var(p))});

    NodeId rec = b.at(5).function("rec");
    NodeId n = b.param(rec, "n", Type::Int());
    b.body(rec, {b.ret(b.call(rec, {b.var(n)}))});

    NodeId tick = b.at(7).function("tick", Type::Void());
    b.param(tick, "", Type::Void());

    NodeId mod = b.at(9).function("mod", Type::Void());
    NodeId a = b.param(mod, "a", Type::Int());
    NodeId bb = b.param(mod, "b", Type::Int());
    NodeId pp = b.param(mod, "pp", Type::Int().ptr());
    b.param(mod, "arr", Type::Int().ptr().array({2, 2}));
    NodeId deep = b.param(mod, "deep", Type::Int().ptr(3));
    b.body(mod, {b.at(10).stmt(b.call(tick, {}, {"unroll"})),
                 b.at(11).stmt(b.call(tick, {}, {"unmodule"})),
                 b.at(12).stmt(b.call(rec, {b.var(a)})),
                 b.at(13).stmt(b.call(ptr, {b.var(pp)})),
                 b.at(14).stmt(b.assign(b.deref(b.out(deep), 3), b.var(bb)))});

    NodeId mod2 = b.at(16).function("mod2");
    NodeId v2 = b.param(mod2, "v", Type::Int());
    b.body(mod2, {b.ret(b.var(v2))});

    NodeId main = b.at(18).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr());
    NodeId x = b.at(19).local(main, "x", Type::Int());
    NodeId r = b.at(20).local(main, "r", Type::Int());
    NodeId mpp = b.at(21).local(main, "pp", Type::Int().ptr());
    NodeId marr = b.at(22).local(main, "arr", Type::Int().ptr().array({2, 2}));
    NodeId mdeep = b.at(23).local(main, "deep", Type::Int().ptr(3));

    std::vector<NodeId> mainBody = {
        b.at(24).stmt(b.assign(b.enumConst("RED"), b.lit("1"))),
        b.at(25).stmt(b.assign(b.enumVar("c", true), b.lit("2"))),
        b.at(26).stmt(b.call(sq, {b.lit("1"), b.lit("2")})),
        b.at(27).stmt(b.call(sq, {b.str("s")})),
    };
    // later is defined below main; its call is pointed at it once it exists.
    NodeId laterCallStmt = b.at(28).stmt(b.callByName("later", {b.var(x)}));
    mainBody.push_back(laterCallStmt);
    mainBody.push_back(b.at(29).stmt(b.call(
        mod, {b.op(CALC_Add, b.var(x), b.lit("1")), b.call(sq, {b.var(x)}), b.var(mpp), b.var(marr), b.var(mdeep)},
        {"module"})));
    mainBody.push_back(b.at(30).stmt(b.assign(b.out(r), b.call(mod2, {b.var(x)}, {"module"}))));
    mainBody.push_back(b.at(31).ret(b.lit("0")));
    b.body(main, mainBody);

    NodeId laterFn = b.at(33).function("later");
    NodeId lv = b.param(laterFn, "v", Type::Int());
    b.body(laterFn, {b.ret(b.var(lv))});
    NodeId manage = getAttrInt(b.graph(), laterCallStmt, CfgDatapath_OPELIST);
    setJumpId(b.graph(), getAttrInt(b.graph(), manage, DfgOpeman_OPE), laterFn);
    b.writeTo(path);
}

// Declarations and their directives. d.c:
//  1 struct pt { int *q; float x; };
//  2 union un { int i; float f; };
//  3 struct wide { long double ld; int bits : 3; };
//  5 void outside(void) {
//  6   int k;            //tavik int 8
//  7   float s;          //tavik fixedP S 16 8
//  8   float t; }        //tavik float
// 10 void work(int n, int m[][4]) {
// 11   int a[n];
// 12   float v1;         //tavik Foo
// 13   float v2;         //tavik fixedP 16
// 14   float v3;         //tavik fixedP 8 8
// 15   float v4;         //tavik fixedP 8 -4
// 16   float v5;         //tavik scale 8
// 17   float v6;         //tavik input varname a fixedP 16 8 int 8
// 18   int v7;           //tavik output fixedP 16 8
// 19   struct pt sp;     //tavik inout fixedP 16 8
// 20   union un u;
// 21   struct wide w;
// 22   int **pp;
// 23   int ***p3;
// 24   int (*pa)[4];
// 25   long double ld;
// 26   char buf[16385];
// 27   char small[200];
// 30.. v1 = 0; v2 = 0; ... v7 = 0; sp.x = 0; u.i = 0; w.ld = 0;
//      pp = 0; p3 = 0; pa = 0; ld = 0; a = 0; m = 0; }      (one a line, up to 45)
// 50 int main(int argc, char *argv[]) {
// 51   int x;
// 52   int mm[2][4];
// 53   work(x, mm);      //tavik module
// 54   return 0; }
void writeDeclarationProgram(const std::string& path) {
    GraphBuilder b;
    b.file("d.c");
    NodeId pt = b.at(1).structDef("pt", {{"q", Type::Int().ptr()}, {"x", Type::Float()}});
    NodeId un = b.at(2).structDef("un", {{"i", Type::Int()}, {"f", Type::Float()}}, true);
    NodeId wide = b.at(3).structDef("wide", {{"ld", Type::LongDouble()}, {"bits", Type::Int()}});
    for (NodeId m = getAttrInt(b.graph(), wide, CfgStruct_MEMBER); m; m = getNextId(b.graph(), m)) {
        const char* name = getAttrString(b.graph(), m, CfgDecl_NAME);
        if (name && std::string(name) == "bits") b.own(m, CfgDecl_BITEXP, b.lit("3"));
    }

    NodeId outside = b.at(5).function("outside", Type::Void());
    b.param(outside, "", Type::Void());
    b.directiveOnDecl(b.at(6).local(outside, "k", Type::Int()), "int 8");
    b.directiveOnDecl(b.at(7).local(outside, "s", Type::Float()), "fixedP S 16 8");
    b.directiveOnDecl(b.at(8).local(outside, "t", Type::Float()), "float");

    NodeId work = b.at(10).function("work", Type::Void());
    NodeId n = b.param(work, "n", Type::Int());
    NodeId m = b.param(work, "m", Type::Int().array({0, 4}));
    NodeId a = b.at(11).local(work, "a", Type::Int().array({1}));
    b.dimExpr(a, 0, b.var(n));
    struct Directed {
        std::uint32_t line;
        const char* name;
        Type type;
        const char* directive;
    };
    const Directed directed[] = {
        {12, "v1", Type::Float(), "Foo"},
        {13, "v2", Type::Float(), "fixedP 16"},
        {14, "v3", Type::Float(), "fixedP 8 8"},
        {15, "v4", Type::Float(), "fixedP 8 -4"},
        {16, "v5", Type::Float(), "scale 8"},
        {17, "v6", Type::Float(), "input varname a fixedP 16 8 int 8"},
        {18, "v7", Type::Int(), "output fixedP 16 8"},
        {19, "sp", Type::Struct(pt), "inout fixedP 16 8"},
    };
    std::vector<NodeId> referenced;
    for (const Directed& d : directed) {
        NodeId decl = b.at(d.line).local(work, d.name, d.type);
        b.directiveOnDecl(decl, d.directive);
        referenced.push_back(decl);
    }
    NodeId u = b.at(20).local(work, "u", Type::Struct(un));
    NodeId w = b.at(21).local(work, "w", Type::Struct(wide));
    NodeId pp = b.at(22).local(work, "pp", Type::Int().ptr(2));
    NodeId p3 = b.at(23).local(work, "p3", Type::Int().ptr(3));
    NodeId pa = b.at(24).local(work, "pa", Type::Int().ptr().array({4}));
    NodeId specNode = b.make(DFG_SPEC);
    setAttrInt(b.graph(), specNode, DfgSpec_POINTERCNT, 1);
    b.own(pa, CfgDecl_SPEC, specNode);
    NodeId ld = b.at(25).local(work, "ld", Type::LongDouble());
    b.at(26).local(work, "buf", Type::Char().array({16385}));
    b.at(27).local(work, "small", Type::Char().array({200}));

    std::vector<NodeId> body;
    std::uint32_t line = 30;
    auto zero = [&](NodeId target) { body.push_back(b.at(line++).stmt(b.assign(target, b.lit("0")))); };
    for (std::size_t i = 0; i < 7; ++i) zero(b.out(referenced[i]));
    NodeId sp = referenced[7];
    zero(b.member(b.out(sp), b.out(b.memberDecl(sp, "x"))));
    zero(b.member(b.out(u), b.out(b.memberDecl(u, "i"))));
    zero(b.member(b.out(w), b.out(b.memberDecl(w, "ld"))));
    for (NodeId d : {pp, p3, pa, ld, a, m}) zero(b.out(d));
    b.body(work, body);

    NodeId main = b.at(50).function("main");
    mainParams(b, main);
    NodeId x = b.at(51).local(main, "x", Type::Int());
    NodeId mm = b.at(52).local(main, "mm", Type::Int().array({2, 4}));
    b.body(main, {b.at(53).stmt(b.call(work, {b.var(x), b.var(mm)}, {"module"})), b.at(54).ret(b.lit("0"))});
    b.writeTo(path);
}

// Statements, globals and calls across the border of the analysed code. s.c:
//  1 int gl;
//  2 struct pair { int x; int y; };
//  3 struct pair gs;
//  4 void *memcpy();
//  6 int shared(int v) { return v; }
//  8 int decide(int v) {
//  9   if (v) return 1; }
// 12 void outside(void) {
// 13   gl = 1;
// 14   gs.x = 1;
// 15   shared(1); }
// 18 void work(float f, float g, int n) {
// 19   int *p;
// 20   gl = 2;
// 21   gs.x = 2;
// 22   shared(2);
// 23   decide(n);
// 24   p = malloc(4);
// 25   p = (int *)malloc(4);
// 26   p = (int *)n;
// 27   memcpy(p, p, 4);
// 28   if (f && g) { }
// 29   while (f < 1.0) { }
// 30   switch (n) {
// 31     n = 1;
// 32   case 1: n = 2; }
// 34   //tavik translate_off
// 35   n = 3;
//      (the block ends with a directive other than translate_on) }
// 40 int main(int argc, char *argv[]) {
// 41   float a;
// 42   float b;
// 43   int k;
// 44   work(a, b, k);    //tavik module
// 45   return 0; }
void writeStatementProgram(const std::string& path) {
    GraphBuilder b;
    b.file("s.c");
    NodeId gl = b.at(1).global("gl", Type::Int());
    NodeId pair = b.at(2).structDef("pair", {{"x", Type::Int()}, {"y", Type::Int()}});
    NodeId gs = b.at(3).global("gs", Type::Struct(pair));
    b.at(4).proto("memcpy", Type::Void().ptr());
    auto gsX = [&] { return b.member(b.out(gs), b.out(b.memberDecl(gs, "x"))); };

    NodeId shared = b.at(6).function("shared");
    NodeId sv = b.param(shared, "v", Type::Int());
    b.body(shared, {b.ret(b.var(sv))});

    NodeId decide = b.at(8).function("decide");
    NodeId dv = b.param(decide, "v", Type::Int());
    b.body(decide, {b.at(9).ifStmt(b.var(dv), {b.ret(b.lit("1"))})});

    NodeId outside = b.at(12).function("outside", Type::Void());
    b.param(outside, "", Type::Void());
    b.body(outside, {b.at(13).stmt(b.assign(b.out(gl), b.lit("1"))),
                     b.at(14).stmt(b.assign(gsX(), b.lit("1"))),
                     b.at(15).stmt(b.call(shared, {b.lit("1")}))});

    NodeId work = b.at(18).function("work", Type::Void());
    NodeId f = b.param(work, "f", Type::Float());
    NodeId g = b.param(work, "g", Type::Float());
    NodeId n = b.param(work, "n", Type::Int());
    NodeId p = b.at(19).local(work, "p", Type::Int().ptr());
    NodeId translated = b.at(35).stmt(b.assign(b.out(n), b.lit("3")));
    b.body(work,
           {b.at(20).stmt(b.assign(b.out(gl), b.lit("2"))),
            b.at(21).stmt(b.assign(gsX(), b.lit("2"))),
            b.at(22).stmt(b.call(shared, {b.lit("2")})),
            b.at(23).stmt(b.call(decide, {b.var(n)})),
            b.at(24).stmt(b.assign(b.out(p), b.callByName("malloc", {b.lit("4")}))),
            b.at(25).stmt(b.assign(b.out(p), b.cast(Type::Int().ptr(), b.callByName("malloc", {b.lit("4")})))),
            b.at(26).stmt(b.assign(b.out(p), b.cast(Type::Int().ptr(), b.var(n)))),
            b.at(27).stmt(b.callByName("memcpy", {b.var(p), b.var(p), b.lit("4")})),
            b.at(28).ifStmt(b.op(CALC_LogAnd, b.var(f), b.var(g)), {}),
            b.at(29).loop(LOOP_WHILE, 0, b.op(CALC_Les, b.var(f), b.lit("1.0")), 0, {}),
            b.at(30).switchStmt(b.var(n), {b.at(31).stmt(b.assign(b.out(n), b.lit("1"))),
                                           b.at(32).caseItem(b.lit("1"), {b.stmt(b.assign(b.out(n), b.lit("2")))})}),
            b.at(34).translateOff({translated}, "translate_off", "other")});

    NodeId main = b.at(40).function("main");
    mainParams(b, main);
    NodeId ma = b.at(41).local(main, "a", Type::Float());
    NodeId mb = b.at(42).local(main, "b", Type::Float());
    NodeId mk = b.at(43).local(main, "k", Type::Int());
    b.body(main, {b.at(44).stmt(b.call(work, {b.var(ma), b.var(mb), b.var(mk)}, {"module"})),
                  b.at(45).ret(b.lit("0"))});
    b.writeTo(path);
}

std::string e(int code, const std::string& text) {
    return "E" + std::to_string(code) + ":Error:" + text + "\n";
}
std::string w(int code, const std::string& text) {
    return "W" + std::to_string(code) + ":Warning:" + text + "\n";
}

// Functions a module with a prefix reaches are checked as their clones. c.c:
//  1 int r(int n) { return r(n); }
//  3 int *p(int *q) { return q; }
//  5 void g(void) {
//  6   int loc;            //tavik int 8
//  7   char buf[20000];
//  8   loc = 0; }
// 10 int d(int v) { if (v) return 1; }
// 12 void f(int a) {
// 13   int *lp;
// 14   r(a);
// 15   p(lp);
// 16   g();
// 17   d(a); }
// 19 int main(int argc, char *argv[]) {
// 20   int x;
// 21   f(x);               //tavik <directive>
// 22   d(x);
// 23   return 0; }
std::function<void(const std::string&)> cloneProgram(const std::string& directive) {
    return [directive](const std::string& path) {
        GraphBuilder b;
        b.file("c.c");
        NodeId r = b.at(1).function("r");
        NodeId n = b.param(r, "n", Type::Int());
        b.body(r, {b.ret(b.call(r, {b.var(n)}))});
        NodeId p = b.at(3).function("p", Type::Int().ptr());
        NodeId q = b.param(p, "q", Type::Int().ptr());
        b.body(p, {b.ret(b.var(q))});
        NodeId g = b.at(5).function("g", Type::Void());
        b.param(g, "", Type::Void());
        NodeId loc = b.at(6).local(g, "loc", Type::Int());
        b.directiveOnDecl(loc, "int 8");
        b.at(7).local(g, "buf", Type::Char().array({20000}));
        b.body(g, {b.at(8).stmt(b.assign(b.out(loc), b.lit("0")))});
        NodeId d = b.at(10).function("d");
        NodeId v = b.param(d, "v", Type::Int());
        b.body(d, {b.ifStmt(b.var(v), {b.ret(b.lit("1"))})});
        NodeId f = b.at(12).function("f", Type::Void());
        NodeId a = b.param(f, "a", Type::Int());
        NodeId lp = b.at(13).local(f, "lp", Type::Int().ptr());
        b.body(f, {b.at(14).stmt(b.call(r, {b.var(a)})), b.at(15).stmt(b.call(p, {b.var(lp)})),
                   b.at(16).stmt(b.call(g)), b.at(17).stmt(b.call(d, {b.var(a)}))});
        NodeId main = b.at(19).function("main");
        mainParams(b, main);
        NodeId x = b.at(20).local(main, "x", Type::Int());
        b.body(main, {b.at(21).stmt(b.call(f, {b.var(x)}, {directive})), b.at(22).stmt(b.call(d, {b.var(x)})),
                      b.at(23).ret(b.lit("0"))});
        b.writeTo(path);
    };
}

struct CheckCase {
    std::string label;
    std::function<void(const std::string&)> write;
    std::vector<std::string> options;
    Lines lines;
    int errors, warnings;
};

void runCases(const std::vector<CheckCase>& cases) {
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.label);
        tb::ScratchDir dir;
        std::string cdfg = dir.path("p.cdfg"), inf = dir.path("p.inf");
        c.write(cdfg);
        const std::string before = tb::readBytes(cdfg);
        std::vector<std::string> args = c.options;
        args.push_back(cdfg);
        args.push_back(inf);
        Outcome o = tb::runTool(args);
        std::string expected;
        for (const std::string& line : c.lines) expected += line;
        expected += tb::totals(c.errors, c.warnings);
        EXPECT_EQ(o.out, expected);
        EXPECT_EQ(o.status, c.errors ? 255 : 0);
        bool missing = false;
        tb::readBytes(inf, &missing);
        EXPECT_EQ(missing, c.errors != 0);
        // Without a constraint file the rewritten CDFG file is the file read.
        EXPECT_EQ(tb::readBytes(cdfg), before);
    }
}

// Builds a case from a base list: drop removes every line containing one of
// its texts, add inserts lines before the line at the given index of the base.
Lines edited(const Lines& base, const std::vector<std::string>& drop,
             const std::vector<std::pair<std::size_t, std::string>>& add = {}) {
    Lines out;
    for (std::size_t i = 0; i <= base.size(); ++i) {
        for (const auto& [at, line] : add)
            if (at == i) out.push_back(line);
        if (i == base.size()) break;
        bool dropped = false;
        for (const std::string& d : drop) dropped = dropped || base[i].find(d) != std::string::npos;
        if (!dropped) out.push_back(base[i]);
    }
    return out;
}

TEST(CheckMessages, CallsModuleCallsAndFunctions) {
    const std::string tail529 = "A pointer and a pointer array serve as support to two dimensions (**p, *p[x]). ";
    const Lines prototypes = {
        e(532, "q.c:24:The renewal of the enum variable 'RED' has not been supported."),
        e(532, "q.c:25:The renewal of the enum variable 'c' has not been supported."),
        // Compared with the declaration found by name and with the call's target.
        e(534, "q.c:26:too many arguments to function 'sq'"),
        e(534, "q.c:26:too many arguments to function 'sq'"),
        e(535, "q.c:27:cannot convert argument '1' to 'sq'"),
        e(535, "q.c:27:cannot convert argument '1' to 'sq'"),
        e(533, "q.c:28:Implicit declaration of function 'later'"),
    };
    const std::string e519 = e(519, "q.c:29:The operation of the argument of '//tavik module' function call has not supported.");
    const std::string e520 = e(520, "q.c:29:The func call of the argument of '//tavik module' function call has not supported.");
    const std::string e521 = e(521, "q.c:29:The pointer variable of the argument of '//tavik module' function call has not supported.");
    const std::string e518 = e(518, "q.c:30:The return value of '//tavik module' function has not supported. ");
    const std::string e504 = e(504, "::The argument of a main function is 'main (int argc and char *argv[])'.");
    const std::string e506 = e(506, "q.c:5:Function 'rec' is a recursive call. It is outside support.");
    const Lines unsupported = {e(507, "q.c:10:Directive 'unroll' has not supported."),
                               e(507, "q.c:11:Directive 'unmodule' has not supported.")};
    const std::string deep529 = e(529, "q.c:9:" + tail529 + "'deep' ");

    Lines plain = prototypes;
    for (const std::string& line : {e519, e520, e(529, "q.c:22:" + tail529 + "'arr' "),
                                    e(529, "q.c:23:" + tail529 + "'deep' "), e518, e504, e506})
        plain.push_back(line);
    plain.insert(plain.end(), unsupported.begin(), unsupported.end());
    plain.push_back(deep529);

    Lines algoc = prototypes;
    for (const std::string& line :
         {e519, e520, e521,
          e(530, "q.c:29:Use of a pointer array has not been supported to the argument of the call for analysis. 'arr' "),
          e521, e518, e504, e(505, "q.c:3:Function 'ptr' is a pointer type. It is outside support."), e506})
        algoc.push_back(line);
    algoc.insert(algoc.end(), unsupported.begin(), unsupported.end());
    algoc.push_back(e(522, "q.c:9:The pointer variable 'deep' has not supported more than one."));
    algoc.push_back(deep529);

    const std::string e503 = e(503, "::An evaluation function is not found.(evFunc directive)");
    runCases({
        {"default", writeCallProgram, {}, plain, 17, 0},
        {"-algoc", writeCallProgram, {"-algoc"}, algoc, 20, 0},
        {"-algoc -nopv", writeCallProgram, {"-algoc", "-nopv"}, plain, 17, 0},
        {"-mev", writeCallProgram, {"-mev"}, edited(plain, {}, {{12, e503}}), 18, 0},
    });
}

TEST(CheckMessages, DeclarationsAndTheirDirectives) {
    const Lines base = {
        e(546, "d.c:6:'int' directive here is invalid."),
        e(546, "d.c:7:'fixedP' directive here is invalid."),
        w(538, "d.c:26:The size of an auto variable is too large. 'buf' > 16384"),
        e(523, "Structure object 'pt' has pointer member 'q'. It has not supported. "),
        e(524, "d.c:20:union has not supported."),
        e(522, "d.c:22:The pointer variable 'pp' has not supported more than one."),
        e(522, "d.c:23:The pointer variable 'p3' has not supported more than one."),
        // Collected declarations are checked newest first.
        e(511, "d.c:11:Array size of variable 'a' cannot be decided."),
        e(525, "d.c:25:The long double type has not been supported. 'ld'"),
        e(527, "d.c:24:'int (*var)[]; or int *(var*);' Variable declaration, has not been supported. 'pa'"),
        e(529, "d.c:23:A pointer and a pointer array serve as support to two dimensions (**p, *p[x]). 'p3' "),
        e(540, "d.c:3:Specification of the bit field has not been supported. 'w...bits'"),
        e(525, "d.c:3:The long double type has not been supported. 'w...ld'"),
        e(544, "d.c:19:'inout' directive, 'varname' is not defined."),
        e(543, "d.c:18:'output' directive, 'fixedP' is defined as the integer type variable."),
        e(542, "d.c:17:'input' directive, 'fixedP' and 'int' defined."),
        e(507, "d.c:16:Directive 'scale' has not supported."),
        e(514, "d.c:15:'<fsize>' of directive 'fixedP is unusual. "),
        e(514, "d.c:14:'<bitW>:<fsize>' of directive 'fixedP is unusual. "),
        e(513, "d.c:13:The format of directive 'fixedP' is different."),
        e(512, "d.c:12:Directive 'foo' is not a directive."),
    };
    const std::vector<std::string> pointerChecks = {"E523", "E522"};
    runCases({
        {"-algoc", writeDeclarationProgram, {"-algoc"}, base, 20, 1},
        {"-ansic", writeDeclarationProgram, {"-ansic"}, base, 20, 1},
        {"default", writeDeclarationProgram, {}, edited(base, pointerChecks), 17, 1},
        {"-ansic -nopv", writeDeclarationProgram, {"-ansic", "-nopv"}, edited(base, pointerChecks), 17, 1},
        // Negative fraction sizes are allowed, and the width is not weighed against them.
        {"-Ec", writeDeclarationProgram, {"-Ec"}, edited(base, {"E523", "E522", "E514"}), 15, 1},
        {"-avar_max_size 100", writeDeclarationProgram, {"-avar_max_size", "100"},
         edited(base, {"E523", "E522", "W538"},
                {{3, w(538, "d.c:26:The size of an auto variable is too large. 'buf' > 100")},
                 {3, w(538, "d.c:27:The size of an auto variable is too large. 'small' > 100")}}),
         17, 2},
        {"-avar_max_size 20000", writeDeclarationProgram, {"-avar_max_size", "20000"},
         edited(base, {"E523", "E522", "W538"}), 17, 0},
    });
}

TEST(CheckMessages, StatementsGlobalsAndOutsideCalls) {
    const Lines base = {
        e(537, "s.c:8:control reaches end of non-void function 'decide'"),
        e(508, "s.c:24:Dynamic memory allocation has not supported."),
        e(508, "s.c:25:Dynamic memory allocation has not supported."),
        e(509, "s.c:26:The pointer cast has not supported."),
        e(539, "s.c:27:Standard function 'memcpy' has not supported."),
        e(541, "s.c:28:The operation &&, || of a floating decimal point has not supported."),
        w(601, "s.c:28:Floating point arithmetic is contained in the conditions of if. "
               "An unusual end may be carried out when a result does not suit."),
        w(602, "s.c:29:Floating point arithmetic is contained in the end conditions of a loop. "
               "An unusual end may be carried out when a result does not suit."),
        e(528, "s.c:31:The syntax of '31' line in switch has not been supported."),
        e(517, "s.c:34:There is no translate_on directive to a translate_off translate_off."),
        e(516, "s.c:6:Function 'shared' is called from the outside of the object for analysis."),
        e(515, "s.c:2:Global variable 'gs..x' is updated out of the object for analysis."),
        e(515, "s.c:1:Global variable 'gl' is updated out of the object for analysis."),
    };
    runCases({
        {"-ansic", writeStatementProgram, {"-ansic"}, base, 11, 2},
        {"-algoc", writeStatementProgram, {"-algoc"}, base, 11, 2},
        {"default", writeStatementProgram, {}, edited(base, {"E541"}), 10, 2},
        {"-algoc -nopv", writeStatementProgram, {"-algoc", "-nopv"}, edited(base, {"E508", "E539"}), 8, 2},
    });
}

TEST(CheckMessages, ClonesAreCheckedUnderTheirPrefixedNames) {
    auto lines = [](const std::string& prefix, bool pointerCheck) {
        Lines out;
        if (pointerCheck) out.push_back(e(505, "c.c:3:Function '" + prefix + "p' is a pointer type. It is outside support."));
        out.push_back(e(506, "c.c:1:Function '" + prefix + "r' is a recursive call. It is outside support."));
        out.push_back(w(538, "c.c:7:The size of an auto variable is too large. 'buf' > 16384"));
        out.push_back(e(537, "c.c:10:control reaches end of non-void function '" + prefix + "d'"));
        // main calls d itself; the module calls d only when it has no clone of it.
        if (prefix.empty())
            out.push_back(e(516, "c.c:10:Function 'd' is called from the outside of the object for analysis."));
        return out;
    };
    // The function g the clone was made from is outside the analysed code but
    // not looked at for misplaced directives: its "int 8" gives no 546.
    runCases({
        {"prefix, -algoc", cloneProgram("module prefix=m1"), {"-algoc"}, lines("m1_", true), 3, 1},
        {"prefix", cloneProgram("module prefix=m1"), {}, lines("m1_", false), 2, 1},
        {"no prefix, -algoc", cloneProgram("module"), {"-algoc"}, lines("", true), 4, 1},
    });
}

// Two modules with different prefixes. t.c:
//  1 int g(int v) { if (v) return 1; }
//  3 int r(int n) { return r(n); }
//  5 void fa(int a) { g(a); r(a); }
//  7 void fb(int b) { g(b); r(b); }
//  9 int main(int argc, char *argv[]) {
// 10   int x;
// 11   fa(x);    //tavik module prefix=m1
// 12   fb(x);    //tavik module prefix=m2
// 13   return 0; }
void writeTwoPrefixProgram(const std::string& path) {
    GraphBuilder b;
    b.file("t.c");
    NodeId g = b.at(1).function("g");
    NodeId v = b.param(g, "v", Type::Int());
    b.body(g, {b.ifStmt(b.var(v), {b.ret(b.lit("1"))})});
    NodeId r = b.at(3).function("r");
    NodeId n = b.param(r, "n", Type::Int());
    b.body(r, {b.ret(b.call(r, {b.var(n)}))});
    NodeId modules[2];
    const char* names[] = {"fa", "fb"};
    for (int i = 0; i < 2; ++i) {
        modules[i] = b.at(static_cast<std::uint32_t>(5 + 2 * i)).function(names[i], Type::Void());
        NodeId p = b.param(modules[i], i ? "b" : "a", Type::Int());
        b.body(modules[i], {b.stmt(b.call(g, {b.var(p)})), b.stmt(b.call(r, {b.var(p)}))});
    }
    NodeId main = b.at(9).function("main");
    mainParams(b, main);
    NodeId x = b.at(10).local(main, "x", Type::Int());
    b.body(main, {b.at(11).stmt(b.call(modules[0], {b.var(x)}, {"module prefix=m1"})),
                  b.at(12).stmt(b.call(modules[1], {b.var(x)}, {"module prefix=m2"})),
                  b.at(13).ret(b.lit("0"))});
    b.writeTo(path);
}

// A call in a declaration's initializer is shared by a function and its
// clones, so the collection meets it again after redirecting it. a.c:
//  1 void upsample() {
//  2   unpack();
//  3   { float scale = unpack(); }
//  4 }
//  5 float unpack() {
//  6   upsample();
//  7   return 0; }
// 10 int main(int argc, char *argv[]) {
// 11   upsample();   //tavik module prefix=p
// 12 }
void writeSharedInitializerProgram(const std::string& path) {
    GraphBuilder b;
    b.file("a.c");
    NodeId upsample = b.at(1).function("upsample", Type::Void());
    NodeId unpack = b.at(5).function("unpack", Type::Float());
    NodeId scale = b.at(3).decl("scale", Type::Float());
    NodeId member = b.make(CFG_MEMBER);
    b.own(member, CfgMember_SIGNAL, b.call(unpack));
    b.init(scale, member);
    b.body(upsample, {b.at(2).stmt(b.call(unpack)), b.at(3).declBlock({scale})});
    b.body(unpack, {b.at(6).stmt(b.call(upsample)), b.at(7).ret(b.lit("0"))});
    NodeId main = b.at(10).function("main");
    mainParams(b, main);
    b.body(main, {b.at(11).stmt(b.call(upsample, {}, {"module prefix=p"}))});
    b.writeTo(path);
}

TEST(CheckMessages, ModulesAreWalkedNewestFirstAndClonesFollowTheirFunction) {
    // The recursion check takes the module found last first; the code checks
    // follow the file, where the clone made last stands right after g.
    runCases({{"two prefixes", writeTwoPrefixProgram, {},
               {e(506, "t.c:3:Function 'm2_r' is a recursive call. It is outside support."),
                e(506, "t.c:3:Function 'm1_r' is a recursive call. It is outside support."),
                e(537, "t.c:1:control reaches end of non-void function 'm1_g'"),
                e(537, "t.c:1:control reaches end of non-void function 'm2_g'")},
               4, 0},
              {"a clone of a clone through a shared initializer", writeSharedInitializerProgram, {},
               {e(533, "a.c:2:Implicit declaration of function 'unpack'"),
                e(533, "a.c:3:Implicit declaration of function 'unpack'"),
                e(506, "a.c:5:Function 'p_unpack' is a recursive call. It is outside support."),
                e(506, "a.c:5:Function 'p_p_unpack' is a recursive call. It is outside support."),
                e(506, "a.c:5:Function 'p_p_unpack' is a recursive call. It is outside support."),
                e(506, "a.c:5:Function 'p_p_unpack' is a recursive call. It is outside support."),
                e(506, "a.c:5:Function 'p_p_unpack' is a recursive call. It is outside support.")},
               7, 0}});
}

}  // namespace
