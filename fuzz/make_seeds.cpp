// Writes the seed corpora of the fuzz targets (fuzz/corpus/*):
//   fuzz_make_seeds DIR
// CDFG programs in the shapes the front end writes for the checker targets,
// constraint files and directive texts for the other two.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

// int f(int a) { return a; }
// int main(int argc, char* argv[]) { int x; x = 1; f(x); //tavik module
//                                    return 0; }
std::string smallProgram() {
    GraphBuilder b;
    b.file("prog.c");
    NodeId f = b.at(1).function("f");
    NodeId a = b.param(f, "a", Type::Int());
    b.body(f, {b.ret(b.var(a))});
    NodeId main = b.at(3).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId x = b.local(main, "x", Type::Int());
    b.body(main, {b.at(4).stmt(b.assign(b.out(x), b.lit("1"))),
                  b.at(5).stmt(b.call(f, {b.var(x)}, {"module"})), b.at(6).ret(b.lit("0"))});
    return b.bytes();
}

// What the checker reports: recursion, malloc, a pointer cast, memset, a
// union, a long double, a bit of dead code in a translate block, a bad
// directive, goto, a call of an undeclared function, a pointer argument.
std::string programWithFindings() {
    GraphBuilder b;
    b.file("bad.c");
    NodeId u = b.at(1).structDef("u", {{"i", Type::Int()}, {"f", Type::Float()}}, true);
    NodeId gu = b.at(2).global("gu", Type::Struct(u));
    NodeId ld = b.at(3).global("ld", Type::LongDouble());
    b.at(4).proto("ext", Type::Int(), {Type::Int()});
    NodeId r = b.at(5).function("r", Type::Int());
    NodeId p = b.param(r, "p", Type::Int().ptr());
    NodeId q = b.local(r, "q", Type::Int().ptr());
    NodeId k = b.local(r, "k", Type::Float());
    b.directiveOnDecl(k, "fixedP 8 8");
    NodeId lab = b.at(9).label("again");
    b.body(r, {b.at(6).stmt(b.assign(b.out(q), b.cast(Type::Int().ptr(), b.callByName("malloc", {b.lit("16")})))),
               b.at(7).stmt(b.callByName("memset", {b.var(q), b.lit("0"), b.lit("4")})),
               b.at(8).translateOff({b.stmt(b.assign(b.out(k), b.lit("2.0")))}),
               lab,
               b.at(10).switchStmt(b.deref(b.var(p)),
                                   {b.caseItem(b.lit("1"), {b.stmt(b.call(r, {b.var(p)})), b.make(CFG_BREAK)}),
                                    b.caseItem(0, {b.gotoStmt(lab)})}),
               b.at(11).stmt(b.assign(b.out(k), b.op(CALC_LogAnd, b.var(k), b.var(ld)))),
               b.at(12).stmt(b.callByName("undeclared", {b.addressOf(b.var(k))})),
               b.at(13).ret(b.call(r, {b.var(q)}))});
    NodeId main = b.at(20).function("main");
    b.param(main, "argc", Type::Int());
    NodeId x = b.local(main, "x", Type::Int());
    b.body(main, {b.at(21).stmt(b.call(r, {b.addressOf(b.var(x))}, {"module", "fixedP S 8"})),
                  b.at(22).stmt(b.assign(b.member(b.out(gu), b.out(b.memberDecl(gu, "i"))), b.lit("3"))),
                  b.at(23).ret()});
    return b.bytes();
}

// Two modules with prefixes that share a callee chain, an evaluation
// function, and a module without a prefix.
std::string prefixedModules() {
    GraphBuilder b;
    b.file("m.c");
    NodeId g = b.at(1).global("g", Type::Float());
    std::vector<NodeId> chain;
    for (int i = 0; i < 6; ++i) {
        NodeId fn = b.at(2 + i).function("c" + std::to_string(i), Type::Float());
        NodeId v = b.param(fn, "v", Type::Float());
        b.directiveOnDecl(v, "fixedP S 16:8 i.r");
        chain.push_back(fn);
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        NodeId v = getAttrInt(b.graph(), chain[i], CfgFunc_ARGLIST);
        if (i + 1 < chain.size())
            b.body(chain[i], {b.stmt(b.assign(b.out(g), b.call(chain[i + 1], {b.var(v)}))), b.ret(b.var(g))});
        else
            b.body(chain[i], {b.ret(b.op(CALC_Mul, b.var(v), b.var(g)))});
    }
    NodeId m1 = b.at(20).function("m1", Type::Void());
    b.body(m1, {b.stmt(b.call(chain[0], {b.lit("1.0")}))});
    NodeId m2 = b.at(21).function("m2", Type::Void());
    b.body(m2, {b.loop(LOOP_WHILE, 0, b.var(g), 0, {b.stmt(b.call(chain[2], {b.lit("2.0")}, {"unroll"}))})});
    NodeId ev = b.at(22).function("ev", Type::Void());
    b.body(ev, {b.stmt(b.call(chain[5], {b.lit("0.0")}))});
    NodeId main = b.at(30).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    b.body(main, {b.stmt(b.call(m1, {}, {"module prefix=p1"})), b.stmt(b.call(m2, {}, {"module prefix=p2"})),
                  b.stmt(b.call(m1, {}, {"module"})), b.stmt(b.call(ev, {}, {"evFunc"})), b.ret(b.lit("0"))});
    return b.bytes();
}

// Declarations the declaration checks and the type evaluation look into:
// nested structures, a structure with a pointer member, arrays sized by
// expressions, a large local array, typedefs, enumerations, initializers,
// and calls whose arguments differ in type from the prototypes.
std::string declarationsAndTypes() {
    GraphBuilder b;
    b.file("d.c");
    NodeId inner = b.at(1).structDef("inner", {{"a", Type::Short().array({4})}, {"b", Type::Double()}});
    NodeId outer = b.at(2).structDef("outer", {{"in", Type::Struct(inner)}, {"p", Type::Int().ptr()},
                                               {"n", Type::LongLong().unsignedType()}});
    b.at(3).typedefDef("real", Type::Float());
    NodeId table = b.at(4).global("table", Type::Int().array({0, 3}));
    b.dimExpr(table, 0, b.op(CALC_Add, b.op(CALC_Mul, b.lit("2"), b.lit("8")), b.lit("1")));
    NodeId limit = b.at(5).global("limit", Type::Long());
    b.init(limit, b.op(CALC_LeftShift, b.lit("1"), b.op(CALC_Div, b.lit("40"), b.lit("-3"))));
    b.at(6).proto("take", Type::Double(), {Type::Float(), Type::Int().ptr(), Type::Char()});
    NodeId take = b.at(7).function("take", Type::Double());
    NodeId tf = b.param(take, "f", Type::Float());
    b.param(take, "ip", Type::Int().ptr());
    b.param(take, "c", Type::Char());
    b.body(take, {b.ret(b.cast(Type::Double(), b.var(tf)))});
    NodeId main = b.at(10).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId o = b.local(main, "o", Type::Struct(outer));
    NodeId big = b.local(main, "big", Type::Double().array({4096, 8}));
    NodeId q = b.local(main, "q", Type::Int().ptr(2));
    NodeId d = b.local(main, "d", Type::Double());
    NodeId u = b.local(main, "u", Type::Char().unsignedType());
    b.init(u, b.lit("'x'"));
    b.directiveOnDecl(big, "int S 8 i");
    b.body(main, {
        b.at(11).stmt(b.assign(b.out(d), b.call(take, {b.index(b.var(big), {b.lit("1"), b.var(u)}),
                                                      b.addressOf(b.var(table)), b.str("\"s\"")}, {"module"}))),
        b.at(12).stmt(b.assign(b.member(b.out(o), b.out(b.memberDecl(o, "n"))),
                               b.op(CALC_LogCond, b.var(d), b.deref(b.var(q), 2), b.enumConst("RED")))),
        b.at(13).stmt(b.assign(b.out(q), b.cast(Type::Int().ptr(2), b.addressOf(b.var(o))))),
        b.at(14).stmt(b.assign(b.enumVar("color", true), b.paren(b.op(CALC_Minus, b.var(limit))))),
        b.at(15).ret(b.lit("0"))});
    return b.bytes();
}

void write(const std::filesystem::path& path, const std::string& bytes) {
    fuzz::writeFile(path.string(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir = argv[1];
    for (const char* target : {"checker", "constraint", "directive"}) fs::create_directories(dir / target);

    write(dir / "checker" / "fixed.cdfg", fuzz::fixedProgramBytes());
    write(dir / "checker" / "small.cdfg", smallProgram());
    write(dir / "checker" / "findings.cdfg", programWithFindings());
    write(dir / "checker" / "prefixes.cdfg", prefixedModules());
    write(dir / "checker" / "declarations.cdfg", declarationsAndTypes());

    write(dir / "constraint" / "all.ctf", fuzz::fixedConstraintText());
    write(dir / "constraint" / "continued.ctf",
          "$def_directive\r\nfixedP a.c f \\\n v S 16:8\r\n// comment\n\n"
          "module a.c f m1 evfunc ev\nunmodule a.c h float\n$end_directive\n");
    write(dir / "constraint" / "options.ctf",
          "$def_start_option\n-O2\n-bx_mode2\n-erep\n-D\n$end_start_option\n$def_directive\nint a.c $ g U 8 i\n");
    write(dir / "constraint" / "rejected.ctf", "$def_directive\nfixedP a.c\n");

    const char* directives[] = {
        "module",           "module prefix=m1",    "evFunc",          "unmodule",
        "unroll",           "roll loop1:expand",   "roll f",          "fixedP S 16:8",
        "fixedP U 24 : 12_4 i.r", "int S 8 s",     "input",           "input fixedP S 8:4",
        "output 1.5 %20",   "output int U 16 2.5", "scale 16",        "translate_off",
        "translate_on",     "fixedP S 16:8 s.t",
    };
    int n = 0;
    for (const char* text : directives) write(dir / "directive" / ("d" + std::to_string(n++)), text);
    return 0;
}
