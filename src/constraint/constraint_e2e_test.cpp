// The built checker run with -ctf: what it prints, the directives merged into
// the rewritten CDFG file (read back), the INF file, a second run over the
// rewritten file, and constraint files that are rejected.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cdfg/reader.h"
#include "support/binary_run.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Outcome;
using tb::Type;

// a.c:
//  1 float g;
//  3 void f(float v) {
//  4   float t;
//  5   t = v; }
//  7 void h(int p);
//  9 int main(int argc, char *argv[]) {
// 10   float x;
// 11   int y;
// 12   x = 1;
// 13   y = 2;
// 14   f(x);           (//tavik module when sourceModule)
// 15   h(y);
// 16   return 0; }
// b.c:
//  1 void h(int p) {
//  2   int q;
//  3   q = p; }
struct Program {
    NodeId g, t, q, fCall, hCall;

    explicit Program(const std::string& path, bool sourceModule = false) {
        GraphBuilder b;
        b.file("a.c");
        g = b.at(1).global("g", Type::Float());
        NodeId f = b.at(3).function("f", Type::Void());
        NodeId v = b.param(f, "v", Type::Float());
        t = b.at(4).local(f, "t", Type::Float());
        b.body(f, {b.at(5).stmt(b.assign(b.out(t), b.var(v)))});
        b.at(7).proto("h", Type::Void(), {Type::Int()});
        NodeId main = b.at(9).function("main");
        b.param(main, "argc", Type::Int());
        b.param(main, "argv", Type::Char().ptr().array({0}));
        NodeId x = b.at(10).local(main, "x", Type::Float());
        NodeId y = b.at(11).local(main, "y", Type::Int());
        std::vector<std::string> fDirectives;
        if (sourceModule) fDirectives.push_back("module");
        fCall = b.at(14).call(f, {b.var(x)}, fDirectives);
        hCall = b.at(15).callByName("h", {b.var(y)});
        b.body(main, {b.at(12).stmt(b.assign(b.out(x), b.lit("1"))),
                      b.at(13).stmt(b.assign(b.out(y), b.lit("2"))),
                      b.at(14).stmt(fCall),
                      b.at(15).stmt(hCall),
                      b.at(16).ret(b.lit("0"))});

        b.file("b.c");
        NodeId h = b.at(1).function("h", Type::Void());
        NodeId p = b.param(h, "p", Type::Int());
        q = b.at(2).local(h, "q", Type::Int());
        b.body(h, {b.at(3).stmt(b.assign(b.out(q), b.var(p)))});
        setJumpId(b.graph(), hCall, h);
        b.writeTo(path);
    }
};

const std::string kConstraints =
    "$def_start_option\n"
    "-max 10\n"
    "$end_start_option\n"
    "# directives for a.c and b.c\n"
    "$def_directive\n"
    "fixedP a.c $ g S 16:8\n"      // 6: the global g
    "fixedP a.c f t S 8:4;rest\n"  // 7: the semicolon ends the option
    "fixedP a.c f t U 12:2\n"      // 8: a second line for t
    "module,a.c f\n"               // 9: the comma ends the keyword
    "module b.c h m1 evfunc=ev\n"  // 10: h is defined in b.c, called in a.c
    "int b.c h \\\n"               // 11
    "   q 8\n"                     // 12: the continued line
    "roll a.c f\n"                 // 13: the module line takes the call
    "unroll a.c g loop\n"          // 14: no such call
    "evFunc a.c nothere\n"         // 15
    "scale a.c f zz 8\n"           // 16: never reported
    "$end_directive\n";

struct Placed {
    std::string text;
    std::uint32_t line;
    bool operator==(const Placed&) const = default;
};

void PrintTo(const Placed& p, std::ostream* os) { *os << "'" << p.text << "'@" << p.line; }

// The directives hanging from attribute attr of node, with the position the
// merge gave them; every one must be a tool directive of the constraint file.
std::vector<Placed> directives(const CdfgGraph& g, NodeId node, std::uint32_t attr, const std::string& ctf) {
    std::vector<Placed> found;
    NodeId d = getAttrInt(g, node, attr);
    for (int guard = 0; d != 0 && guard < 100; ++guard, d = getNextId(g, d)) {
        const char* text = getAttrString(g, d, DfgDirective_STR);
        const char* file = getFileName(g, d);
        EXPECT_EQ(getKind(g, d), INFO_DIRECTIVE);
        EXPECT_EQ(getAttrInt(g, d, DfgDirective_TYPE), static_cast<std::uint32_t>(DIRE_Directive));
        EXPECT_EQ(file ? std::string(file) : "(none)", ctf);
        EXPECT_EQ(getColumn(g, d), 0u);
        found.push_back({text ? text : "(none)", getLine(g, d)});
    }
    return found;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Runs the checker twice over one CDFG file with the constraint file content.
void runTwiceWith(const std::string& content) {
    tb::ScratchDir dir;
    const std::string cdfg = dir.path("prog.cdfg"), inf = dir.path("prog.inf"), ctf = dir.path("prog.ctf");
    Program p(cdfg);
    tb::writeBytes(ctf, content);

    const std::string expectedOut = "W603:Warning:" + ctf + ":15:. There is no target.\n"
                                    "W603:Warning:" + ctf + ":13:. There is no target.\n"
                                    "W603:Warning:" + ctf + ":14:. There is no target.\n" +
                                    tb::totals(0, 3);
    const std::string expectedInf =
        "%%\n+-+-+module(s)+-+-+\n >> `f()'\n >> `h()'\n ...and 0 submodule(s).\n\n%%\n"
        "f,a.c,\"\"%v,\"\"%t,\"fixedP U 12:2\";h,b.c,\"\"%p,\"\"%q,\"int 8\";";
    using P = std::vector<Placed>;
    const P g1 = {{"fixedP S 16:8", 6}};
    const P t1 = {{"fixedP U 12:2", 8}, {"fixedP S 8:4", 7}};
    const P q1 = {{"int 8", 12}};

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        Outcome o = tb::runTool({"-ctf", ctf, cdfg, inf});
        EXPECT_EQ(o.out, expectedOut);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(tb::readBytes(inf), expectedInf);

        auto graph = readCdfg(cdfg.c_str());
        ASSERT_NE(graph, nullptr);
        auto twice = [&](const P& once) {
            P all = once;
            if (run == 2) all.insert(all.end(), once.begin(), once.end());
            return all;
        };
        // Declaration directives are added again by the second run ...
        EXPECT_EQ(directives(*graph, p.g, CfgDecl_DIRECTIVE, ctf), twice(g1));
        EXPECT_EQ(directives(*graph, p.t, CfgDecl_DIRECTIVE, ctf), twice(t1));
        EXPECT_EQ(directives(*graph, p.q, CfgDecl_DIRECTIVE, ctf), twice(q1));
        // ... call directives are not.
        EXPECT_EQ(directives(*graph, p.fCall, DfgFuncCall_DIRECTIVE, ctf), (P{{"module", 9}}));
        EXPECT_EQ(directives(*graph, p.hCall, DfgFuncCall_DIRECTIVE, ctf), (P{{"module prefix=m1 evfunc=ev", 10}}));
    }
}

TEST(ConstraintFileRun, MergedDirectivesReachTheCdfgAndInfFilesAndASecondRunAddsDeclarationsOnly) {
    runTwiceWith(kConstraints);
}

TEST(ConstraintFileRun, CrLfLineEndsReadAlike) {
    runTwiceWith(withCrLf(kConstraints));
}

TEST(ConstraintFileRun, RejectedOrMissingFileMergesNothingAndTheChecksGoOn) {
    struct Case {
        std::string label;
        std::string content;  // no file at all when it is "<missing>"
        std::string report;   // the reader's line; "<ctf>" stands for the path
    };
    const std::vector<Case> cases = {
        {"line without option", "$def_directive\nfixedP a.c $ g S 16:8\nfixedP a.c f t\nmodule a.c f\n",
         "Error:<ctf>:3:Syntx error :fixedP directive <option>\n"},
        // A continued line is counted up to its last physical line.
        {"continued line", "$def_directive\nfixedP a.c $ g S 16:8\nunroll a.c \\\n  f loops\n",
         "Error:<ctf>:4:Syntx error :unroll directive <loop|func>\n"},
        // The last line has no newline, so it counts one line less.
        {"last line without newline", "$def_directive\nfixedP a.c $ g S 16:8\nfixedP a.c f t",
         "Error:<ctf>:2:Syntx error :fixedP directive <option>\n"},
        {"directive outside its section", "fixedP a.c $ g S 16:8\n", "Error:<ctf>:1:Syntx error :\n"},
        {"unknown keyword", "$def_directive\nModule a.c f\n", "Error:<ctf>:2:Syntx error :\n"},
        {"unknown start option", "$def_start_option\n-mev\n  # note\n-foo 1\n", "Error:<ctf>:4:Syntx error :\n"},
        {"one slash", "$def_directive\n//x\n/x a.c f\n", "Error:<ctf>:3:Syntx error :\n"},
        {"missing file", "<missing>", "Error:constarint:Cat't open '<ctf>'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        tb::ScratchDir dir;
        const std::string cdfg = dir.path("prog.cdfg"), inf = dir.path("prog.inf"), ctf = dir.path("prog.ctf");
        Program p(cdfg, true);
        if (c.content != "<missing>") tb::writeBytes(ctf, c.content);

        Outcome o = tb::runTool({"-ctf", ctf, cdfg, inf});
        std::string report = c.report;
        report.replace(report.find("<ctf>"), 5, ctf);
        EXPECT_EQ(o.out, report + "E452:Error:::Reading of a file went wrong. '" + ctf + "'\n" + tb::totals(1, 0));
        EXPECT_EQ(o.status, 255);
        bool missing = false;
        tb::readBytes(inf, &missing);
        EXPECT_TRUE(missing);

        auto graph = readCdfg(cdfg.c_str());
        ASSERT_NE(graph, nullptr);
        EXPECT_EQ(getAttrInt(*graph, p.g, CfgDecl_DIRECTIVE), 0u);
        EXPECT_EQ(getAttrInt(*graph, p.t, CfgDecl_DIRECTIVE), 0u);
    }
}

std::vector<std::string> texts(const CdfgGraph& g, NodeId node, std::uint32_t attr) {
    std::vector<std::string> found;
    NodeId d = getAttrInt(g, node, attr);
    for (int guard = 0; d != 0 && guard < 100; ++guard, d = getNextId(g, d)) {
        const char* text = getAttrString(g, d, DfgDirective_STR);
        found.push_back(text ? text : "(none)");
    }
    return found;
}

// a.c:
//  1 struct pr { int a; float b; };
//  3 void f(void) {
//  4   struct pr s1;
//  5   struct pr s2;
//  6   struct pr s3;
//  7   int n1;
//  8   int n2; }
// 10 void k(void) { }
// 12 int main(int argc, char *argv[]) {
// 13   f();    //tavik module
// 14   k();
// 15   return 0; }
TEST(ConstraintFileRun, PortDirectivesNameStructuresAndSourceModuleDirectivesStay) {
    tb::ScratchDir dir;
    const std::string cdfg = dir.path("prog.cdfg"), inf = dir.path("prog.inf"), ctf = dir.path("prog.ctf");
    GraphBuilder b;
    b.file("a.c");
    NodeId pr = b.at(1).structDef("pr", {{"a", Type::Int()}, {"b", Type::Float()}});
    NodeId f = b.at(3).function("f", Type::Void());
    b.param(f, "", Type::Void());
    NodeId s1 = b.at(4).local(f, "s1", Type::Struct(pr));
    NodeId s2 = b.at(5).local(f, "s2", Type::Struct(pr));
    NodeId s3 = b.at(6).local(f, "s3", Type::Struct(pr));
    NodeId n1 = b.at(7).local(f, "n1", Type::Int());
    NodeId n2 = b.at(8).local(f, "n2", Type::Int());
    NodeId k = b.at(10).function("k", Type::Void());
    b.param(k, "", Type::Void());
    NodeId main = b.at(12).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId fCall = b.at(13).call(f, {}, {"module"});
    NodeId kCall = b.at(14).call(k);
    b.body(main, {b.at(13).stmt(fCall), b.at(14).stmt(kCall), b.at(15).ret(b.lit("0"))});
    b.writeTo(cdfg);
    tb::writeBytes(ctf,
                   "$def_directive\n"
                   "input a.c f s1\n"
                   "input a.c f s2 fixedP S 8:4\n"
                   "output a.c f s3 varname=t.a fixedP S 8:4\n"
                   "inout a.c f n1\n"
                   "int a.c f n2  S 8\n"
                   "module a.c f prefix=m9\n"  // the call has its own module directive
                   "module a.c k\n"
                   "evFunc a.c k\n"            // 9: the module line took the call
                   "$end_directive\n");

    Outcome o = tb::runTool({"-ctf", ctf, cdfg, inf});
    EXPECT_EQ(o.out, "W603:Warning:" + ctf + ":9:. There is no target.\n" + tb::totals(0, 1));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(tb::readBytes(inf),
              "%%\n+-+-+module(s)+-+-+\n >> `f()'\n >> `k()'\n ...and 0 submodule(s).\n\n%%\n"
              "f,a.c,\"\"%s1,\"input varname=s1\"%s2,\"input varname=s2 fixedP S 8:4\""
              "%s3,\"output varname=t.a fixedP S 8:4\"%n1,\"inout  \"%n2,\"int  S 8\";"
              "k,a.c,\"\";");

    auto graph = readCdfg(cdfg.c_str());
    ASSERT_NE(graph, nullptr);
    using T = std::vector<std::string>;
    EXPECT_EQ(texts(*graph, s1, CfgDecl_DIRECTIVE), T{"input varname=s1"});
    EXPECT_EQ(texts(*graph, s2, CfgDecl_DIRECTIVE), T{"input varname=s2 fixedP S 8:4"});
    EXPECT_EQ(texts(*graph, s3, CfgDecl_DIRECTIVE), T{"output varname=t.a fixedP S 8:4"});
    EXPECT_EQ(texts(*graph, n1, CfgDecl_DIRECTIVE), T{"inout  "});
    EXPECT_EQ(texts(*graph, n2, CfgDecl_DIRECTIVE), T{"int  S 8"});
    EXPECT_EQ(texts(*graph, fCall, DfgFuncCall_DIRECTIVE), T{"module"});
    EXPECT_EQ(texts(*graph, kCall, DfgFuncCall_DIRECTIVE), T{"module"});
}

// a.c:
//  1 int f(int v) { return v; }           (g, h, k, m alike on lines 2 to 5)
//  6 void s(int v) { }
//  7 int main(int argc, char *argv[]) {
//  8   int x;
//  9   if (x) { f(x); }
// 10   while (g(x)) { h(x); }
// 11   x = m(k(x));
// 12   s(x);                              //tavik module
// 13   return f(x); }
TEST(ConstraintFileRun, CallDirectivesGoOnlyWhereTheMergeLooks) {
    tb::ScratchDir dir;
    const std::string cdfg = dir.path("prog.cdfg"), inf = dir.path("prog.inf"), ctf = dir.path("prog.ctf");
    GraphBuilder b;
    b.file("a.c");
    NodeId fn[5];
    const char* names[] = {"f", "g", "h", "k", "m"};
    for (int i = 0; i < 5; ++i) {
        fn[i] = b.at(static_cast<std::uint32_t>(i + 1)).function(names[i]);
        NodeId v = b.param(fn[i], "v", Type::Int());
        b.body(fn[i], {b.ret(b.var(v))});
    }
    NodeId sFn = b.at(6).function("s", Type::Void());
    b.param(sFn, "v", Type::Int());
    NodeId main = b.at(7).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId x = b.at(8).local(main, "x", Type::Int());
    NodeId inIf = b.at(9).call(fn[0], {b.var(x)});
    NodeId inCond = b.at(10).call(fn[1], {b.var(x)});
    NodeId inLoop = b.call(fn[2], {b.var(x)});
    NodeId inArgs = b.at(11).call(fn[3], {b.var(x)});
    NodeId assigned = b.call(fn[4], {inArgs});
    NodeId returned = b.at(13).call(fn[0], {b.var(x)});
    b.body(main, {b.at(9).ifStmt(b.var(x), {b.stmt(inIf)}),
                  b.at(10).loop(LOOP_WHILE, 0, inCond, 0, {b.stmt(inLoop)}),
                  b.at(11).stmt(b.assign(b.out(x), assigned)),
                  b.at(12).stmt(b.call(sFn, {b.var(x)}, {"module"})),
                  b.at(13).ret(returned)});
    b.writeTo(cdfg);
    tb::writeBytes(ctf,
                   "$def_directive\n"
                   "unroll a.c f loop\n"
                   "unroll a.c g loop\n"   // 3: only in a loop condition
                   "unroll a.c h func\n"
                   "unroll a.c k loop\n"   // 5: only in the arguments of a call
                   "unroll a.c m loop\n"
                   "$end_directive\n");

    Outcome o = tb::runTool({"-ctf", ctf, cdfg, inf});
    // Unapplied records of one list are reported newest first.
    EXPECT_EQ(o.out, "W603:Warning:" + ctf + ":5:. There is no target.\n"
                     "W603:Warning:" + ctf + ":3:. There is no target.\n" + tb::totals(0, 2));
    EXPECT_EQ(o.status, 0);

    auto graph = readCdfg(cdfg.c_str());
    ASSERT_NE(graph, nullptr);
    using T = std::vector<std::string>;
    EXPECT_EQ(texts(*graph, inIf, DfgFuncCall_DIRECTIVE), T{"unroll"});
    EXPECT_EQ(texts(*graph, inCond, DfgFuncCall_DIRECTIVE), T{});
    EXPECT_EQ(texts(*graph, inLoop, DfgFuncCall_DIRECTIVE), T{"unroll"});
    EXPECT_EQ(texts(*graph, inArgs, DfgFuncCall_DIRECTIVE), T{});
    EXPECT_EQ(texts(*graph, assigned, DfgFuncCall_DIRECTIVE), T{"unroll"});
    EXPECT_EQ(texts(*graph, returned, DfgFuncCall_DIRECTIVE), T{});
}

}  // namespace
