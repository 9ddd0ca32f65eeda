// The INF file as the built checker writes it, byte for byte, with the checks
// on (module clones under their prefixed names) and with -nochk; and the
// CDFG file on disk, which never sees the clones.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cdfg/reader.h"
#include "support/binary_run.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Outcome;
using tb::Type;

const std::string kInfHead = "%%\n+-+-+module(s)+-+-+\n";

// a.c:
//  1 int h(int p /* //tavik fixedP S 16:8 */) {
//  2   return p; }
//  4 void g(void) {                          //tavik roll
//  5   int t;                                //tavik int 8
//  6   t = h(1); }
//  8 void u(void) { }
//  9 void e() { }
// 10 void w(void) { }
// 12 void f(int a) {
// 13   int loc;
// 14   g();
// 15   g();
// 16   loc = h(a);
// 17   u();                                  //tavik unmodule float
// 18   e();                                  //tavik evFunc
// 19   { int blk; blk = 0; }
// 20   //tavik translate_off
// 21   w();
// 22   //tavik translate_on
//    }
// 24 void k(float y) {
// 25   g(); }
// 27 int main(int argc, char *argv[]) {
// 28   int x;
// 29   float y;
// 30   x = 1;
// 31   y = 2;
// 32   f(x);                                 //tavik module prefix=m1
// 33   k(y);                                 //tavik module
// 34   return 0; }
void writeModuleProgram(const std::string& path) {
    GraphBuilder b;
    b.file("a.c");
    NodeId h = b.at(1).function("h");
    NodeId p = b.param(h, "p", Type::Int());
    b.directiveOnDecl(p, "fixedP S 16:8");
    b.body(h, {b.at(2).ret(b.var(p))});

    NodeId g = b.at(4).function("g", Type::Void());
    b.directiveOnFunction(g, "roll");
    b.param(g, "", Type::Void());
    NodeId t = b.at(5).local(g, "t", Type::Int());
    b.directiveOnDecl(t, "int 8");
    b.body(g, {b.at(6).stmt(b.assign(b.out(t), b.call(h, {b.lit("1")})))});

    NodeId u = b.at(8).function("u", Type::Void());
    b.param(u, "", Type::Void());
    NodeId e = b.at(9).function("e", Type::Void());
    NodeId w = b.at(10).function("w", Type::Void());
    b.param(w, "", Type::Void());

    NodeId f = b.at(12).function("f", Type::Void());
    NodeId a = b.param(f, "a", Type::Int());
    NodeId loc = b.at(13).local(f, "loc", Type::Int());
    NodeId blk = b.at(19).decl("blk", Type::Int());
    NodeId wCall = b.at(21).stmt(b.call(w));
    b.body(f, {b.at(14).stmt(b.call(g)),
               b.at(15).stmt(b.call(g)),
               b.at(16).stmt(b.assign(b.out(loc), b.call(h, {b.var(a)}))),
               b.at(17).stmt(b.call(u, {}, {"unmodule float"})),
               b.at(18).stmt(b.call(e, {}, {"evFunc"})),
               b.at(19).declBlock({blk}),
               b.stmt(b.assign(b.out(blk), b.lit("0"))),
               b.at(20).translateOff({wCall})});

    NodeId k = b.at(24).function("k", Type::Void());
    b.param(k, "y", Type::Float());
    b.body(k, {b.at(25).stmt(b.call(g))});

    NodeId main = b.at(27).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId x = b.at(28).local(main, "x", Type::Int());
    NodeId y = b.at(29).local(main, "y", Type::Float());
    b.body(main, {b.at(30).stmt(b.assign(b.out(x), b.lit("1"))),
                  b.at(31).stmt(b.assign(b.out(y), b.lit("2"))),
                  b.at(32).stmt(b.call(f, {b.var(x)}, {"module prefix=m1"})),
                  b.at(33).stmt(b.call(k, {b.var(y)}, {"module"})),
                  b.at(34).ret(b.lit("0"))});
    b.writeTo(path);
}

// a.c:
//  1 void g(void) { }
//  3 void f1(void) { g(); }
//  5 void f2(void) { g(); }
//  7 int main(int argc, char *argv[]) {
//  8   f1();   //tavik module prefix=m1
//  9   f2();   //tavik module prefix=m1
// 10   f1();   //tavik module
// 11   return 0; }
void writeSharedPrefixProgram(const std::string& path) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.at(1).function("g", Type::Void());
    b.param(g, "", Type::Void());
    NodeId f1 = b.at(3).function("f1", Type::Void());
    b.body(f1, {b.stmt(b.call(g))});
    NodeId f2 = b.at(5).function("f2", Type::Void());
    b.body(f2, {b.stmt(b.call(g))});
    NodeId main = b.at(7).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    b.body(main, {b.at(8).stmt(b.call(f1, {}, {"module prefix=m1"})),
                  b.at(9).stmt(b.call(f2, {}, {"module prefix=m1"})),
                  b.at(10).stmt(b.call(f1, {}, {"module"})),
                  b.at(11).ret(b.lit("0"))});
    b.writeTo(path);
}

// a.c:
//  1 void g(void) { }
//  3 void f(void) { g(); }
//  5 int main(int argc, char *argv[]) {
//  6   f();    //tavik <directive>
//  7   return 0; }
std::function<void(const std::string&)> oneModuleProgram(const std::string& directive) {
    return [directive](const std::string& path) {
        GraphBuilder b;
        b.file("a.c");
        NodeId g = b.at(1).function("g", Type::Void());
        b.param(g, "", Type::Void());
        NodeId f = b.at(3).function("f", Type::Void());
        b.param(f, "", Type::Void());
        b.body(f, {b.stmt(b.call(g))});
        NodeId main = b.at(5).function("main");
        b.param(main, "argc", Type::Int());
        b.param(main, "argv", Type::Char().ptr().array({0}));
        b.body(main, {b.at(6).stmt(b.call(f, {}, {directive})), b.at(7).ret(b.lit("0"))});
        b.writeTo(path);
    };
}

// a.c:
//  1 int w1(void) { return 1; }        (w2, w3 and w5 alike on lines 2, 3 and 5)
//  4 void w4(void) { }                 (w6 alike on line 6)
//  8 void f(void) {
//  9   int i;
// 10   for (i = w1(); i < w5(); i = w2()) { w6(); }
// 11   switch (w3()) { case 1: w4(); } }
// 14 int main(int argc, char *argv[]) {
// 15   f();    //tavik module
// 16   return 0; }
void writeReachProgram(const std::string& path) {
    GraphBuilder b;
    b.file("a.c");
    NodeId w[7] = {};
    for (int n = 1; n <= 6; ++n) {
        bool returns = n != 4 && n != 6;
        w[n] = b.at(static_cast<std::uint32_t>(n)).function("w" + std::to_string(n), returns ? Type::Int() : Type::Void());
        b.param(w[n], "", Type::Void());
        if (returns) b.body(w[n], {b.ret(b.lit(std::to_string(n)))});
    }
    NodeId f = b.at(8).function("f", Type::Void());
    b.param(f, "", Type::Void());
    NodeId i = b.at(9).local(f, "i", Type::Int());
    b.body(f, {b.at(10).loop(LOOP_FOR, b.assign(b.out(i), b.call(w[1])), b.op(CALC_Les, b.var(i), b.call(w[5])),
                             b.assign(b.out(i), b.call(w[2])), {b.stmt(b.call(w[6]))}),
               b.at(11).switchStmt(b.call(w[3]), {b.caseItem(b.lit("1"), {b.stmt(b.call(w[4]))})})});
    NodeId main = b.at(14).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    b.body(main, {b.at(15).stmt(b.call(f, {}, {"module"})), b.at(16).ret(b.lit("0"))});
    b.writeTo(path);
}

// a.c:
//  1 void g(void) { }        carrying an extension directive "inline"
//  3 void f(void) { g(); }
//  5 int main(int argc, char *argv[]) {
//  6   f();    an extension directive "note", then //tavik module
//  7   f();    //tavik module
//  8   return 0; }
void writeExtensionFirstProgram(const std::string& path) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.at(1).function("g", Type::Void());
    b.param(g, "", Type::Void());
    b.appendOwned(g, CfgFunc_DIRECTIVE, b.directive("inline", DIRE_Extension));
    NodeId f = b.at(3).function("f", Type::Void());
    b.param(f, "", Type::Void());
    b.body(f, {b.stmt(b.call(g))});
    NodeId main = b.at(5).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId call = b.at(6).call(f);
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("note", DIRE_Extension));
    b.appendOwned(call, DfgFuncCall_DIRECTIVE, b.directive("module"));
    b.body(main, {b.stmt(call), b.at(7).stmt(b.call(f, {}, {"module"})), b.at(8).ret(b.lit("0"))});
    b.writeTo(path);
}

struct InfCase {
    std::string label;
    std::function<void(const std::string&)> write;
    std::vector<std::string> options;
    std::string inf;
};

TEST(InfFile, ByteExactThroughTheProgram) {
    const std::string modules = kInfHead + " >> `f()'\n >> `k()'\n";
    const std::string f = "f,a.c,\"\"%a,\"\"%loc,\"\"%blk,\"\";";
    const std::string g = "g,a.c,\"roll\"%t,\"int 8\";";
    const std::string h = "h,a.c,\"\"%p,\"fixedP S 16:8\";";
    const std::string k = "k,a.c,\"\"%y,\"\";";
    const std::vector<InfCase> cases = {
        // The module with prefix m1 reaches the clones of g and h; k, without
        // prefix, the functions themselves. Records follow the depth-first
        // pre-order of the reach; the calls of u (unmodule), e (evFunc) and
        // w (inside translate_off) are not followed.
        {"checks on", writeModuleProgram, {},
         modules + " ...and 4 submodule(s).\n\n%%\n" + f + "m1_g,a.c,\"roll\"%t,\"int 8\";" +
             "m1_h,a.c,\"\"%p,\"fixedP S 16:8\";" + k + g + h},
        {"-nochk", writeModuleProgram, {"-nochk"},
         modules + " ...and 2 submodule(s).\n\n%%\n" + f + g + h + k},
        // Two modules with the same prefix share one clone of g; f1 stands
        // twice in the header.
        {"shared prefix, checks on", writeSharedPrefixProgram, {},
         kInfHead + " >> `f1()'\n >> `f2()'\n >> `f1()'\n ...and 0 submodule(s).\n\n%%\n"
                    "f1,a.c,\"\";m1_g,a.c,\"\";f2,a.c,\"\";"},
        {"shared prefix, -nochk", writeSharedPrefixProgram, {"-nochk"},
         kInfHead + " >> `f1()'\n >> `f2()'\n >> `f1()'\n ...and 0 submodule(s).\n\n%%\n"
                    "f1,a.c,\"\";g,a.c,\"\";f2,a.c,\"\";"},
        // How the function tree pass and the INF writer read a module directive.
        {"prefix word without a name", oneModuleProgram("module prefix"), {},
         kInfHead + " >> `f()'\n ...and 1 submodule(s).\n\n%%\nf,a.c,\"\";g,a.c,\"\";"},
        {"prefix after a tab and a colon", oneModuleProgram("module\tprefix:m3"), {},
         kInfHead + " >> `f()'\n ...and 1 submodule(s).\n\n%%\nf,a.c,\"\";m3_g,a.c,\"\";"},
        // The INF writer reads the first blank-delimited word: "module,prefix=m2"
        // names no directive, so the file lists no module, although the checks
        // took f as a module with prefix m2.
        {"comma after module", oneModuleProgram("module,prefix=m2"), {},
         kInfHead + " ...no module(only test bench).\n\n%%\n"},
        // The INF writer reads only the first directive of a call, so the
        // first call of f is no module call for it (the function tree pass
        // finds the module directive behind the other one). A function's own
        // directive is written whatever its kind.
        {"module directive second on its call", writeExtensionFirstProgram, {},
         kInfHead + " >> `f()'\n ...and 1 submodule(s).\n\n%%\nf,a.c,\"\";g,a.c,\"inline\";"},
        {"text after the keyword", oneModuleProgram("modules"), {"-nochk"},
         kInfHead + " ...no module(only test bench).\n\n%%\n"},
        // Loop initialisation and step and the switch expression are not
        // followed; the loop condition, the loop body and the case items are.
        {"loops and switches", writeReachProgram, {},
         kInfHead + " >> `f()'\n ...and 3 submodule(s).\n\n%%\n"
                    "f,a.c,\"\"%i,\"\";w5,a.c,\"\";w6,a.c,\"\";w4,a.c,\"\";"},
        {"loops and switches, -nochk", writeReachProgram, {"-nochk"},
         kInfHead + " >> `f()'\n ...and 3 submodule(s).\n\n%%\n"
                    "f,a.c,\"\"%i,\"\";w5,a.c,\"\";w6,a.c,\"\";w4,a.c,\"\";"},
    };
    for (const InfCase& c : cases) {
        SCOPED_TRACE(c.label);
        tb::ScratchDir dir;
        std::string cdfg = dir.path("a.cdfg"), inf = dir.path("a.inf");
        c.write(cdfg);
        std::vector<std::string> args = c.options;
        args.push_back(cdfg);
        args.push_back(inf);
        Outcome o = tb::runTool(args);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(tb::readBytes(inf), c.inf);
    }
}

bool startsWith(const char* text, const char* prefix) {
    return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

TEST(InfFile, ClonesNeverReachTheCdfgFile) {
    tb::ScratchDir dir;
    std::string cdfg = dir.path("a.cdfg"), inf = dir.path("a.inf");
    writeModuleProgram(cdfg);
    const std::string before = tb::readBytes(cdfg);

    Outcome o = tb::runTool({cdfg, inf});
    ASSERT_EQ(o.status, 0) << o.out;
    // The INF file names the clones ...
    ASSERT_NE(tb::readBytes(inf).find("m1_g,a.c,"), std::string::npos);
    // ... the rewritten CDFG file holds neither them nor calls renamed to them.
    EXPECT_EQ(tb::readBytes(cdfg), before);
    auto g = readCdfg(cdfg.c_str());
    ASSERT_NE(g, nullptr);
    int functions = 0;
    for (const CdfgNode& node : g->nodes) {
        if (node.id == 0) continue;  // deleted
        if (node.kind == CFG_FUNCTION) {
            ++functions;
            EXPECT_FALSE(startsWith(getAttrString(*g, node.id, CfgFunc_NAME), "m1_"))
                << getAttrString(*g, node.id, CfgFunc_NAME);
        }
        if (node.kind == DFG_FUNC_CALL) {
            EXPECT_FALSE(startsWith(getAttrString(*g, node.id, DfgFuncCall_NAME), "m1_"))
                << getAttrString(*g, node.id, DfgFuncCall_NAME);
        }
    }
    EXPECT_EQ(functions, 8);  // h, g, u, e, w, f, k, main
}

}  // namespace
