// The constraint file: its lines as stored or rejected, and its directives
// merged into a C program's graph by a checker run, as the rewritten CDFG
// file, the messages and the INF file show them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cdfg/reader.h"
#include "constraint/constraint_reader.h"
#include "constraint/directive_lines.h"
#include "report/messages.h"
#include "support/c_program.h"
#include "support/temp_path.h"

namespace {

using namespace std::string_literals;
using tb::inf;
using tb::msg;

// The stored records, list by list, newest first: "keyword file func var
// [option]@line", a missing field as "-".
std::string stored() {
    std::string out;
    for (int list = 0; list < CONSTRAINT_LIST_COUNT; ++list) {
        for (const ConstraintDirective* r = constraintDirectives[list]; r; r = r->next) {
            auto field = [](const char* s) { return s ? std::string(s) : "-"; };
            out += std::string(constraintKeyword(list)) + " " + field(r->fileName) + " " + field(r->funcName) +
                   " " + field(r->varName) + " [" + field(r->optionText) + "]@" + std::to_string(r->line) + "\n";
        }
    }
    return out;
}

struct Read {
    int status;
    std::string out;     // the reader's lines; <ctf> stands for the path
    std::string stored;  // the records kept
};

Read readFile(const std::string& content, bool exists = true) {
    const std::string path = tb::tempPath("c.ctf");
    if (exists) std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    Read r;
    initMessages(1, programCatalogue());
    releaseConstraintDirectives();
    setMessageCapture(&r.out);
    r.status = readConstraintFile(path.c_str());
    setMessageCapture(nullptr);
    EXPECT_EQ(errorCount(), 0);
    r.stored = stored();
    releaseConstraintDirectives();
    std::remove(path.c_str());
    for (std::size_t at; (at = r.out.find(path)) != std::string::npos;) r.out.replace(at, path.size(), "<ctf>");
    return r;
}

std::string rejected(int line, const std::string& usage = "") {
    return "Error:<ctf>:" + std::to_string(line) + ":Syntx error :" + usage + "\n";
}

// A directive line: what is stored, or the usage printed when it is rejected.
TEST(ConstraintLines, StoredOrRejected) {
    struct Case {
        std::string line;  // after "$def_directive\n"
        std::string expected;  // the record, or "!usage" for a rejected line
    };
    const Case cases[] = {
        {"module a.c f", "module a.c f - [-]@2"},
        {"module a.c f prefix=m1", "module a.c f - [prefix=m1]@2"},
        {"module a.c f prefix = m1", "module a.c f - [prefix=m1]@2"},
        {"module a.c f m1 x y", "module a.c f - [prefix=m1]@2"},
        {"module a.c f evfunc=ev prefix m1", "module a.c f - [prefix=m1 evfunc=ev]@2"},
        {"module a.c f m1 evfunc ev prefix m2", "module a.c f - [prefix=m2 evfunc=ev]@2"},
        {"module a.c f evfunc=ev", "module a.c f - [evfunc=ev]@2"},
        {"module a.c f m1;prefix", "module a.c f - [prefix=m1]@2"},
        {"module a.c f m1\tprefix", "module a.c f - [prefix=m1]@2"},
        {"module a.c f  m1", "module a.c f - [prefix= m1]@2"},
        {"module,a.c;f", "module a.c f - [-]@2"},
        {"evFunc a.c f whatever", "evFunc a.c f - [-]@2"},
        {"roll  a.c\tf ", "roll a.c f - [-]@2"},
        {"unmodule a.c f fixed more", "unmodule a.c f - [fixed]@2"},
        {"unroll a.c f func", "unroll a.c f - [func]@2"},
        {"fixedP a.c f v S 16:8;rest", "fixedP a.c f v [S 16:8]@2"},
        {"fixedP a.c $ g;S 16:8", "fixedP a.c $ g [S 16:8]@2"},
        {"int a.c f v  S 8", "int a.c f v [ S 8]@2"},
        {"input a.c f v\r", "input a.c f v [-]@2"},
        {"output a.c f v rate 1.5 a", "output a.c f v [rate 1.5 a]@2"},
        {"inout a.c f v  ;", "inout a.c f v [ ]@2"},
        {"scale a.c f v 1.5 extra", "scale a.c f v [1.5]@2"},
        {"float a.c f v ignored", "float a.c f v [-]@2"},
        {"muladd_var a.c f v", "muladd_var a.c f v [-]@2"},
        {"module", "!module directive <fileName>"},
        {"module a.c", "!module directive <funcName>"},
        {"module a.c f prefix=", "!module directive prefix=<string>"},
        {"module a.c f evfunc", "!module directive evfunc=<funcName>"},
        {"evFunc a.c;", "!evFunc directive <funcName>"},
        {"roll", "!roll directive <fileName>"},
        {"unmodule", "!ummodule directive <fileName>"},
        {"unmodule a.c f Float", "!unmodule directive <float | fixed>"},
        {"unroll a.c f", "!unroll directive <loop|func>"},
        {"unroll a.c f loops", "!unroll directive <loop|func>"},
        {"fixedP a.c f", "!fixedP directive <varName>"},
        {"fixedP a.c f v;;", "!fixedP directive <option>"},
        {"int a.c f v", "!int directive <option>"},
        {"input a.c f", "!input directive <varName>"},
        {"output a.c", "!output directive <funcName>"},
        {"inout", "!inout directive <fileName>"},
        {"scale a.c f v 16bit", "!scale directive <bitSize>"},
        {"float a.c f", "!float directive <varName>"},
        {"muladd_var a.c", "!muladd_var directive <funcName>"},
        {"Module a.c f", "!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Read r = readFile("$def_directive\n" + c.line + "\n");
        if (c.expected[0] == '!') {
            EXPECT_EQ(r.status, -1);
            EXPECT_EQ(r.out, rejected(2, c.expected.substr(1)));
            EXPECT_EQ(r.stored, "");
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.stored, c.expected + "\n");
        }
    }
}

// Sections, comments, continued lines and line ends.
TEST(ConstraintLines, FilesAndTheirLines) {
    const Read all = {0, "",
                      "module a.c f - [-]@2\nfixedP a.c f v [U 8:4]@8\nfixedP a.c f v [S 16:8]@7\n"
                      "input a.c f t [tail\\]@8\ninput a.c f w [" + std::string(2000, 'S') + "]@5\ninput a.c f v [opt ]@4\n"};
    const std::string chunk = "$def_directive" + std::string(508 - 14, ' ') + "\r";
    const struct {
        const char* what;
        std::string content;
        Read expected;
    } cases[] = {
        {"empty", "", {0, "", ""}},
        {"blank and comment lines", "\n  \t\n# note\n  # note\n#module a.c f\n//x\n,,\n", {0, "", ""}},
        {"continued lines, one without a newline",
         "$def_directive\nmodule,a.c f\ninput a.c f v opt\\\nx\ninput a.c f w " + std::string(2000, 'S') +
             "\n# input a.c f c\nfixedP a.c f v S 16:8\nfixedP a.c f v U 8:4\ninput a.c f t tail\\",
         all},
        {"a continued line is counted to its end", "$def_directive\nfixedP a.c \\\n  f  \\ \t\r\n\n",
         {-1, rejected(4, "fixedP directive <varName>"), ""}},
        {"the last line without a newline counts one less", "$def_directive\nfixedP a.c f t",
         {-1, rejected(1, "fixedP directive <option>"), ""}},
        {"a directive before any section", "\n\nmodule a.c f\n", {-1, rejected(3), ""}},
        {"a section opened twice", "$def_directive\n$def_directive\n", {-1, rejected(2), ""}},
        {"the end of the other section", "$def_start_option\n$end_directive\n", {-1, rejected(2), ""}},
        {"start options by name only",
         "$def_start_option\n-max\n-max 3 4\n-bsim_mode\n-O2 x\n-mev\n$end_start_option\n", {0, "", ""}},
        {"an unknown start option", "$def_start_option\n-mev\n  # note\n-foo 1\n", {-1, rejected(4), ""}},
        {"a directive among the start options", "$def_start_option\nmodule a.c f\n", {-1, rejected(2), ""}},
        {"an option among the directives", "$def_directive\n-max\n", {-1, rejected(2), ""}},
        {"sections reopen", "$def_directive\n$end_directive\n$def_start_option\n$end_start_option\n"
                            "$def_directive\nevFunc a.c f\n", {0, "", "evFunc a.c f - [-]@6\n"}},
        {"one slash is no comment", "$def_directive\n//x\n/x a.c f\n", {-1, rejected(3), ""}},
        {"CR LF line ends", "$def_directive\r\nevFunc a.c f\r\nroll\r\n", {-1, rejected(3, "roll directive <fileName>"), "evFunc a.c f - [-]@2\n"}},
        {"a NUL byte ends the line", "$def_directive\nevFunc a.c\0 f\n"s, {-1, rejected(2, "evFunc directive <funcName>"), ""}},
        {"a NUL keyword makes a blank line", "$def_directive\n\0bogus\nevFunc a.c f\n"s, {0, "", "evFunc a.c f - [-]@3\n"}},
        // CR alone ends a line only as the last byte of a 509-byte chunk.
        {"CR line ends", "$def_directive\revFunc a.c f\rbogus\r", {0, "", ""}},
        {"CR at the end of a chunk", chunk + "evFunc a.c f\r", {0, "", "evFunc a.c f - [-]@0\n"}},
        {"missing file", "<missing>", {-1, "Error:constarint:Cat't open '<ctf>'\n", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Read r = readFile(c.content, c.content != "<missing>");
        EXPECT_EQ(r.status, c.expected.status);
        EXPECT_EQ(r.out, c.expected.out);
        EXPECT_EQ(r.stored, c.expected.stored);
    }
}

TEST(ConstraintLines, HostileFilesEndQuickly) {
    auto start = std::chrono::steady_clock::now();
    // One huge line; every continuation must not rescan what the line holds.
    EXPECT_EQ(readFile("$def_directive\ninput a.c f v " + std::string(4 << 20, 'x')).status, 0);
    std::string joined = "$def_directive\nevFunc a.c f " + std::string(100000, '\\') + "\n";
    for (int i = 0; i < 100000; ++i) joined += "  \\\n\n";
    EXPECT_EQ(readFile(joined).stored, "evFunc a.c f - [-]@200002\n");
    // Random bytes, biased towards the characters the reader cares about.
    std::mt19937 rng(12345);
    const char alphabet[] = "\\ \t\r\n,;#/$_def_directive module a.c f evFunc\0\xff";
    for (int round = 0; round < 200; ++round) {
        std::string junk = round % 2 ? "$def_directive\n" : "";
        for (std::size_t i = rng() % 3000; i > 0; --i)
            junk += rng() % 4 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % (sizeof alphabet - 1)];
        readFile(junk);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// The directives of the constraint file in the rewritten CDFG file: per
// declaration or call, "name: text@line" in chain order.
std::vector<std::string> merged(const std::string& cdfg, const std::string& ctf) {
    std::vector<std::string> found;
    std::unique_ptr<CdfgGraph> g = readCdfg(cdfg.c_str());
    if (!g) return {"(unreadable)"};
    for (const CdfgNode& n : g->nodes) {
        std::uint32_t attr = n.kind == CFG_DECLARE ? CfgDecl_DIRECTIVE : n.kind == DFG_FUNC_CALL ? DfgFuncCall_DIRECTIVE : 0;
        if (!attr) continue;
        const char* name = getAttrString(*g, n.id, n.kind == CFG_DECLARE ? CfgDecl_NAME : DfgFuncCall_NAME);
        for (NodeId d = getAttrInt(*g, n.id, attr); d; d = getNextId(*g, d)) {
            const char* file = getFileName(*g, d);
            if (!file || file != ctf) continue;
            EXPECT_EQ(getAttrSigned(*g, d, DfgDirective_TYPE), DIRE_Directive);
            found.push_back(std::string(name) + (n.kind == DFG_FUNC_CALL ? "()" : "") + ": " +
                            getAttrString(*g, d, DfgDirective_STR) + "@" + std::to_string(getLine(*g, d)));
        }
    }
    return found;
}

struct MergeRow {
    const char* name;
    tb::Files files;
    std::string ctf;
    std::vector<std::string> messages;        // <ctf> stands for its path
    std::vector<std::string> directives;      // after one run
    std::vector<std::string> secondRun;       // what a second run adds
    std::string inf = "";
};

void PrintTo(const MergeRow& row, std::ostream* os) { *os << row.name; }

const std::vector<MergeRow>& mergeRows() {
    auto w603 = [](int line) { return msg(603, "<ctf>", line); };
    static const std::vector<MergeRow> rows = {
        {"DeclarationsAndCalls",
         {{"a.c", R"(float g;
void h(int p);
void f(float v)
{
    float t;
    t = v;
}
int main(int argc, char *argv[])
{
    float x = 1;
    int y = 2;
    f(x);
    h(y);
    return 0;
}
)"},
          {"b.c", "void h(int p)\n{\n    int q;\n    { int r; r = q = p; }\n}\n"}},
         "$def_start_option\n-max 10\n$end_start_option\n# a.c and b.c\n$def_directive\n"
         "fixedP a.c $ g S 16:8\n"       // 6
         "fixedP a.c f t S 8:4;rest\n"   // 7
         "fixedP a.c f t U 12:2\n"       // 8: a second line for t
         "module,a.c f\n"                // 9
         "module b.c h m1 evfunc=ev\n"   // 10: defined in b.c, called in a.c
         "int b.c h \\\n   q 8\n"        // 12: a continued line
         "float b.c h r\n"               // 13: a block's variable by its function
         "roll a.c f\n"                  // 14: the module line took the call
         "unroll a.c g loop\n"           // 15: no such call
         "evFunc a.c nothere\n"          // 16
         "scale a.c f zz 8\n"            // 17: never reported
         "$end_directive\n",
         {w603(16), w603(14), w603(15)},
         {"g: fixedP S 16:8@6", "t: fixedP U 12:2@8", "t: fixedP S 8:4@7", "f(): module@9",
          "h(): module prefix=m1 evfunc=ev@10", "q: int 8@12", "r: float  @13"},
         {"g: fixedP S 16:8@6", "t: fixedP U 12:2@8", "t: fixedP S 8:4@7", "q: int 8@12", "r: float  @13"},
         inf({"f", "h"}, 0, R"(f,a.c,""%v,""%t,"fixedP U 12:2";h,b.c,""%p,""%q,"int 8"%r,"float  ";)")},
        {"PortDirectivesOnStructures",
         {{"a.c", R"(struct pr { int a; float b; };
void f(void)
{
    struct pr s1, s2, s3;
    int n1, n2;
}
void k(void) { }
int main(int argc, char *argv[])
{
    f();                //tavik module
    k();
    return 0;
}
)"}},
         "$def_directive\ninput a.c f s1\ninput a.c f s2 fixedP S 8:4\n"
         "output a.c f s3 varname=t.a fixedP S 8:4\ninout a.c f n1\nint a.c f n2  S 8\n"
         "module a.c f prefix=m9\nmodule a.c k\nevFunc a.c k\nfloat a.c f s1\n$end_directive\n",
         {w603(9)},
         {"s1: input varname=s1@2", "s1: float  @10", "s2: input varname=s2 fixedP S 8:4@3",
          "s3: output varname=t.a fixedP S 8:4@4", "n1: inout  @5", "n2: int  S 8@6", "k(): module@8"},
         {"s1: input varname=s1@2", "s1: float  @10", "s2: input varname=s2 fixedP S 8:4@3",
          "s3: output varname=t.a fixedP S 8:4@4", "n1: inout  @5", "n2: int  S 8@6"},
         inf({"f", "k"}, 0,
             R"(f,a.c,""%s1,"input varname=s1"%s2,"input varname=s2 fixedP S 8:4"%s3,"output varname=t.a fixedP S 8:4")"
             R"(%n1,"inout  "%n2,"int  S 8";k,a.c,"";)")},
        // Calls get their directives in statements, branches, loop bodies,
        // assigned values and operands; not in conditions, arguments or
        // returns. Unapplied records of one list are reported newest first.
        {"WhereCallsAreLookedFor",
         {{"a.c", R"(int f(int v) { return v; }
int g(int v) { return v; }
int h(int v) { return v; }
int k(int v) { return v; }
int m(int v) { return v; }
int c(int v) { return v; }
void s(int v) { }
int main(int argc, char *argv[])
{
    int x = 1;
    if (x) { f(x); }
    while (g(x)) { h(x); }
    switch (x) { case 1: c(x); }
    x = m(k(x)) + 1;
    s(x);               //tavik module
    return f(x);
}
)"}},
         "$def_directive\nunroll a.c f loop\nunroll a.c g loop\nunroll a.c h func\nunroll a.c k loop\n"
         "unroll a.c m loop\nunroll a.c c func\n$end_directive\n",
         {w603(5), w603(3)},
         {"f(): unroll@2", "h(): unroll@4", "c(): unroll@7", "m(): unroll@6"},
         {},
         inf({"s"}, 0, R"(s,a.c,""%v,"";)")},
    };
    return rows;
}

class Merge : public ::testing::TestWithParam<MergeRow> {};

// Two runs over one CDFG file: the second finds the call directives in
// place and adds the declaration directives again.
TEST_P(Merge, RewrittenFileMessagesAndInf) {
    const MergeRow& row = GetParam();
    for (bool crlf : {false, true}) {
        SCOPED_TRACE(crlf ? "CR LF" : "LF");
        tb::ScratchDir dir;
        std::string ctf = row.ctf;
        if (crlf)
            for (std::size_t at = 0; (at = ctf.find('\n', at)) != std::string::npos; at += 2) ctf.replace(at, 1, "\r\n");
        tb::writeBytes(dir.path("c.ctf"), ctf);
        std::vector<std::string> expected = row.directives;
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            if (run == 1) tb::compileProgram(dir, row.files);
            tb::CheckerRun r = tb::runCheckerOn(dir, {"-ctf", "c.ctf"});
            std::vector<std::string> messages;
            for (std::string m : row.messages) messages.push_back(m.replace(m.find("<ctf>"), 5, "c.ctf"));
            expectOutcome(r, messages, row.inf);
            if (run == 2) expected.insert(expected.end(), row.secondRun.begin(), row.secondRun.end());
            std::vector<std::string> got = merged(dir.path("prog.cdfg"), "c.ctf");
            std::sort(got.begin(), got.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(got, expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Constraints, Merge, ::testing::ValuesIn(mergeRows()),
                         [](const auto& info) { return std::string(info.param.name); });

// A constraint file that cannot be read merges nothing, ends with message
// 452, and the checks go on.
TEST(ConstraintFile, RejectedFileMergesNothing) {
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("c.ctf"), "$def_directive\nfixedP a.c $ g S 16:8\nfixedP a.c f t\n");
    tb::CheckerRun r = tb::runChecker(dir, {{"a.c", "float g;\nvoid f(void) { }\nint main(int argc, char *argv[])\n{\n"
                                                    "    f();   //tavik module\n    return 0;\n}\n"}},
                                      {"-ctf", "c.ctf"});
    EXPECT_EQ(r.checker.out, "Error:c.ctf:3:Syntx error :fixedP directive <option>\n" + msg(452, "c.ctf") + tb::totals(1, 0));
    EXPECT_EQ(r.checker.status, 255);
    EXPECT_FALSE(r.infWritten);
    EXPECT_EQ(merged(dir.path("prog.cdfg"), "c.ctf"), std::vector<std::string>{});
}

}  // namespace
