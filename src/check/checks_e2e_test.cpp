// C programs through c2cdfg and tavikChk: every message of the checks, byte
// for byte and in the order the passes print them, under the options that
// switch checks on and off. A row is a program, the options and the
// messages; the totals, the exit status and whether the INF file is written
// follow from the messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/c_program.h"

namespace {

using tb::Files;
using tb::inf;
using tb::msg;

struct Row {
    const char* name;
    Files files;
    std::vector<std::string> options;
    std::vector<std::string> messages;
    std::string inf = "";  // the INF file of a run without errors
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

// The test bench of many rows: work() is the module; its lines follow the
// program's own.
const std::string& kMain = tb::kModuleMain;

// main() calling the code on its lines.
std::string mainWith(const std::string& lines) {
    return "int main(int argc, char *argv[])\n{\n" + lines + "    return 0;\n}\n";
}

// work() with locals of the common types and the code under test on line 14.
Files inWork(const std::string& code) {
    return {{"a.c",
             "#include <stdlib.h>\n"
             "#include <string.h>\n"
             "struct pt { double x; int k; };\n"
             "float ratio(void) { return 1; } double root(double);\n"
             "int count(int n) { return n; }\n"
             "void work(void)\n"
             "{\n"
             "    int i = 1, n = 2, a[8];\n"
             "    float f = 1, *fp = 0;\n"
             "    double d = 2;\n"
             "    long double ld = 3;\n"
             "    int *p = 0;\n"
             "    struct pt s;\n"
             "    " + code + "\n"
             "}\n"
             "int main(int argc, char *argv[])\n"
             "{\n"
             "    work();             //tavik module\n"
             "    return 0;\n"
             "}\n"}};
}

const std::vector<Row>& workRows() {
    auto e508 = [](int line) { return msg(508, "a.c", line); };
    auto e509 = [](int line) { return msg(509, "a.c", line); };
    auto e539 = [](int line, const char* name) { return msg(539, "a.c", line, name); };
    auto w601 = [](int line) { return msg(601, "a.c", line); };
    auto w602 = [](int line) { return msg(602, "a.c", line); };
    auto e541 = [](int line) { return msg(541, "a.c", line); };
    auto w538 = [](int line, const char* name, double limit) { return msg(538, "a.c", line, name, limit); };
    auto fixedP = [](const char* directive) {
        return inWork("float v;            //tavik " + std::string(directive) + "\n    v = 0;");
    };
    auto onInt = [](const char* directive) {
        return inWork("int v;              //tavik " + std::string(directive) + "\n    v = 0;");
    };
    auto onStruct = [](const char* directive) {
        return inWork("struct pt v;        //tavik " + std::string(directive) + "\n    v.k = 0;");
    };
    auto call = [](const char* directive) {
        return inWork("count(1);           //tavik " + std::string(directive));
    };
    auto e513 = [](const char* name) { return msg(513, "a.c", 14, name); };
    auto e514 = [](const char* what, const char* name) { return msg(514, "a.c", 14, what, name); };
    static const std::vector<Row> rows = {
        // Dynamic memory, standard functions and pointer casts.
        {"Malloc", inWork("p = malloc(n);"), {}, {e508(14)}},
        {"Realloc", inWork("p = realloc(p, n);"), {}, {e508(14)}},
        {"Calloc", inWork("calloc(1, 4);"), {}, {e508(14)}},
        {"CastOfAnAllocation", inWork("p = (int *)(malloc(n));"), {}, {e508(14)}},
        {"ListedStandardFunctions", inWork("memcpy(p, p, 4); memset(p, 0, 4); bsearch(p, p, 1, 4, 0);"), {},
         {e539(14, "memcpy"), e539(14, "memset"), e539(14, "bsearch")}},
        {"OtherStandardFunctions", inWork("n = strlen(\"a\") + atoi(\"1\");"), {}, {}},
        {"PointerCasts", inWork("fp = (float *)p;\n    p = (int *)count(1);\n    i = (int)f;"), {},
         {e509(14), e509(15)}},
        {"ArgumentsIndicesAndOperands",
         inWork("count(count(i) + (int)strtod(\"1\", 0));\n"
                "    i = a[strtol(\"1\", 0, 10)];\n"
                "    a[strtoul(\"1\", 0, 10)] = 0;\n"
                "    i = memcmp(p, p, 1) ? (int)(long)malloc(1) : (int)(long)calloc(1, 1);"),
         {},
         {e539(14, "strtod"), e539(15, "strtol"), e539(16, "strtoul"), e508(17), e508(17), e539(17, "memcmp")}},
        {"WithoutTheAllocationCheck", inWork("p = (int *)malloc(n);\n    qsort(p, 1, 4, 0);\n    fp = (float *)p;"),
         {"-nopv"}, {e509(16)}},

        // Every kind of statement is walked.
        {"IfBranches", inWork("if (memcmp(p, p, 1))\n        p = malloc(1);\n    else\n        calloc(1, 1);"), {},
         {e539(14, "memcmp"), e508(15), e508(17)}},
        {"SwitchAndAStatementBeforeTheFirstCase",
         inWork("switch (memcmp(p, p, 1)) {\n        n = 0;\n    case 1: memset(p, 0, 1); break;\n"
                "    default: calloc(1, 1);\n    }"),
         {},
         {e539(14, "memcmp"), msg(528, "a.c", 15, 15), e539(16, "memset"), e508(17)}},
        {"LoopPartsInOrder",
         inWork("for (i = strtol(\"1\", 0, 10); f < strtod(\"1\", 0); i = strtoul(\"1\", 0, 10))\n"
                "        memset(p, 0, 1);"),
         {},
         {e539(14, "strtol"), e539(14, "strtod"), w602(14), e539(15, "memset"), e539(14, "strtoul")}},
        {"DeclarationBlock", inWork("{\n        char buf[16385];\n        int k = memchr(p, 0, 1) != 0;\n    }"), {},
         {w538(15, "buf", 16384), e539(16, "memchr")}},
        {"LabelsAndGotos", inWork("again: n = n - 1;\n    if (n) goto again;"), {}, {}},

        // Floating values in conditions.
        {"FloatingConditions",
         inWork("if (i) ;\n"               // 14
                "    if (f) ;\n"           // 15: a float
                "    if (d > 0) ;\n"       // 16: a double
                "    if (fp) ;\n"          // 17: pointer levels are not looked at
                "    if (s.x > 0) ;\n"     // 18: a double member
                "    if (s.k) ;\n"         // 19
                "    if (i == 0x1E) ;\n"   // 20: e is a hexadecimal digit
                "    if (i == 0X1e) ;\n"   // 21
                "    if (i > 1e3) ;\n"     // 22
                "    if (i > 2E5) ;\n"     // 23
                "    if (i == 0x1.8p3) ;\n"  // 24
                "    if (i ? 1 : d) ;\n"   // 25: the condition operand
                "    if (i && (2 == f)) ;\n"  // 26: nested
                "    if ((int)f) ;\n"      // 27: behind a cast
                "    if (ratio()) ;\n"     // 28: a float function
                "    if (count(f)) ;\n"    // 29: arguments are not looked at
                "    if (root(2)) ;\n"     // 30: a double function without a body
                "    if (i, f) ;\n"        // 31: a later item of the list
                "    if (i) { if (d) ; }\n"  // 32: nested statements
                "    if (ld) ;"),          // 33: and ld is referenced
         {},
         {w601(15), w601(16), w601(17), w601(18), w601(22), w601(23), w601(24), w601(25), w601(26),
          w601(27), w601(28), w601(30), w601(31), w601(32), w601(33),
          msg(525, "a.c", 11, "ld")}},
        {"FloatingLoopConditions",
         inWork("while (f < 1.0) ;\n    do ; while (i < 10);\n    for (;;) break;\n    do ; while (d);"), {},
         {w602(14), w602(17)}},

        // && and || on floating values, with -algoc or -ansic only.
        {"FloatingLogicalOperators",
         inWork("i = f && d;\n    i = (f && d) || f;\n    i = i && p;\n    i = fp && i;\n    i = i || n;\n"
                "    { int k = f && i; }"),
         {"-ansic"},
         {e541(14), e541(15), e541(15), e541(19)}},
        {"FloatingLogicalOperatorsByDefault", inWork("i = f && d;"), {}, {}},

        // The size of automatic variables.
        {"AutomaticVariables",
         inWork("char big[16385];\n"          // 14: one byte over
                "    char fits[16384];\n"     // 15
                "    short two[64][129];\n"   // 16
                "    double *ptrs[4097];\n"   // 17: pointers take 4 bytes
                "    double ds[2048];\n"      // 18
                "    struct pt pts[1366];\n"  // 19: 12 bytes each, no padding
                "    struct pt few[1365];"),  // 20
         {},
         {w538(14, "big", 16384), w538(16, "two", 16384), w538(17, "ptrs", 16384), w538(19, "pts", 16384)}},
        {"AutomaticVariablesUnderALowerLimit", inWork("int a26[26];\n    long double one;\n    char c;\n    char z[0][12];"),
         {"-avar_max_size", "11"},
         {w538(8, "a", 11), w538(11, "ld", 11), w538(13, "s", 11), w538(14, "a26", 11), w538(15, "one", 11),
          w538(17, "z", 11)}},  // a zero dimension is left out of the count

        // Declarations that analysed code refers to.
        {"PointerLevelsAndDeclarators",
         inWork("int **pp, ***p3, *pa[4], **pb[4], *pc[4][4], v3[4][4][4], (*parr)[4];\n"
                "    long double lx, unused;\n"
                "    pp = 0; p3 = 0; pa[0] = 0; pb[0] = 0; pc[0][0] = 0; v3[0][0][0] = 0; parr = 0; lx = 0;"),
         {},
         {msg(525, "a.c", 15, "lx"), msg(527, "a.c", 14, "parr"), msg(529, "a.c", 14, "pc"),
          msg(529, "a.c", 14, "pb"), msg(529, "a.c", 14, "p3")}},
        {"PointerLevelsAndDeclaratorsWithAlgoc",
         inWork("int **pp, ***p3, *pa[4], **pb[4];\n    pp = 0; p3 = 0; pa[0] = 0; pb[0] = 0; pp = 0;"),
         {"-algoc"},
         {msg(522, "a.c", 14, "pp"), msg(522, "a.c", 14, "p3"), msg(522, "a.c", 14, "pb"),
          msg(529, "a.c", 14, "pb"), msg(529, "a.c", 14, "p3")}},
        {"ArraySizes",
         inWork("int m1[n], m2[2 + 3], m3[(3) * 2], m4[4][n + 1], m5[(int)3], m6[count(1)], m7[n = 3],"
                " m8[1 ? 2 : n];\n"
                "    m1[0] = m2[0] = m3[0] = m4[0][0] = m5[0] = m6[0] = m7[0] = m8[0] = 0;"),
         {},
         {msg(511, "a.c", 14, "m8"), msg(511, "a.c", 14, "m7"), msg(511, "a.c", 14, "m6"),
          msg(511, "a.c", 14, "m5"), msg(511, "a.c", 14, "m4"), msg(511, "a.c", 14, "m1")}},
        {"FloatingLogicalOperatorInAnArraySize", inWork("int m[1.5 && 2];\n    m[0] = 0;"), {"-algoc"},
         {e541(14), e541(14)}},

        // Directives on referenced declarations.
        {"FixedP", fixedP("fixedP S 16 8"), {}, {}},
        {"FixedPModes", fixedP("FIXEDP 16 8 s.r"), {}, {}},
        {"FixedPOverflowAndRounding", fixedP("fixedP 16 8 s e"), {}, {}},
        {"FixedPFractionSuffix", fixedP("fixedP 16 8_3"), {}, {}},
        {"FixedPOverflowOnly", fixedP("fixedP 16 8 .t"), {}, {}},
        {"FixedPBadOverflow", fixedP("fixedP 16 8 x"), {}, {e514("<ovf>", "fixedP")}},
        {"FixedPBadOverflowBeforeADot", fixedP("fixedP 16 8 q.t"), {}, {e514("<ovf>", "fixedP")}},
        {"FixedPBadRounding", fixedP("fixedP 16 8 s x"), {}, {e514("<rnd>", "fixedP")}},
        {"FixedPBadRoundingAfterADot", fixedP("fixedP 16 8 i.q"), {}, {e514("<rnd>", "fixedP")}},
        {"FixedPWithoutFraction", fixedP("fixedP 16"), {}, {e513("fixedP")}},
        {"FixedPAlone", fixedP("fixedP"), {}, {e513("fixedP")}},
        {"FixedPSignOnly", fixedP("fixedP u"), {}, {e513("fixedP")}},
        {"FixedPNoIntegerBits", fixedP("fixedP 8 8"), {}, {e514("<bitW>:<fsize>", "fixedP")}},
        {"FixedPNegativeFraction", fixedP("fixedP 8 -4"), {}, {e514("<fsize>", "fixedP")}},
        {"FixedPNegativeFractionWithEc", fixedP("fixedP 8 -4"), {"-Ec"}, {}},
        {"FixedPLargeFraction", fixedP("fixedP 8 65"), {}, {e514("<fsize>", "fixedP")}},
        {"FixedPLargeFractionWithEc", fixedP("fixedP 8 -65"), {"-Ec"}, {e514("<fsize>", "fixedP")}},
        {"FixedPWidthOver64", fixedP("fixedP 65 8"), {}, {e514("<bitW>", "fixedP")}},
        {"FixedPWidthZero", fixedP("fixedP s 0 8"), {}, {e514("<bitW>", "fixedP")}},
        {"FixedPWidthNotANumber", fixedP("fixedP 1x 8"), {}, {e514("<bitW>", "fixedP")}},
        {"Int", onInt("int u 8 i"), {}, {}},
        {"IntWidth", onInt("int 64"), {}, {}},
        {"IntWidthOver64", onInt("int 65"), {}, {e514("<bitW>", "int")}},
        {"IntBadOverflow", onInt("int 8 x"), {}, {e514("<ovf>", "int")}},
        {"IntAlone", onInt("int"), {}, {e513("int")}},
        {"Scale", fixedP("scale 8"), {}, {msg(507, "a.c", 14, "scale")}},
        {"AcceptedKeywords", fixedP("muladd_var"), {}, {}},
        {"NotADirective", fixedP("Foo bar"), {}, {msg(512, "a.c", 14, "foo")}},
        {"PortWithFixedPAndInt", fixedP("input varname a fixedP 16 8 int 8"), {}, {msg(542, "a.c", 14, "input")}},
        {"PortFixedPOnAnInteger", onInt("input fixedP 16 8"), {}, {msg(543, "a.c", 14, "input")}},
        {"PortOnAStructureWithoutVarname", onStruct("output"), {}, {msg(544, "a.c", 14, "output", "varname")}},
        {"PortOnAStructure", onStruct("inout varname k int 8 s"), {}, {}},
        {"PortWithoutParameters", fixedP("input"), {}, {}},
        {"PortWithoutASection", fixedP("input 5"), {}, {e513("input")}},
        {"PortVarnameWithoutName", fixedP("input varname"), {}, {e514("varname", "input")}},
        {"PortRate", fixedP("output rate 1.5 a"), {}, {}},
        {"PortRateMode", fixedP("output rate 1.5 x"), {}, {e514("rate", "output")}},
        {"PortRateValue", fixedP("output rate 1x m"), {}, {e514("rate", "output")}},
        {"PortRateAlone", fixedP("output rate 1.5"), {}, {e514("rate", "output")}},
        {"PortDrang", fixedP("inout drang -1.5 2e3 r-turn"), {}, {}},
        {"PortDrangShort", fixedP("inout drang 1"), {}, {e514("drang", "inout")}},
        {"PortDrangValues", fixedP("inout drang 1 x y"), {}, {e514("drang", "inout"), e514("drang", "inout")}},
        {"PortEvfunc", fixedP("input varname a evfunc"), {}, {e514("evfunc", "input")}},
        {"PortFixedPSection", fixedP("input fixedp 8 8"), {}, {e514("<bitW>:<fsize>", "input->fixedP")}},
        {"PortIntSection", fixedP("input int 65"), {}, {e514("<bitW>", "input->int")}},
        {"PortEverySectionChecked", onInt("input varname fixedP 8 8 rate 1 x"), {},
         {msg(543, "a.c", 14, "input"), e514("varname", "input"), e514("<bitW>:<fsize>", "input->fixedP"),
          e514("rate", "input")}},

        // Directives on calls.
        {"Unroll", call("unroll 4"), {}, {msg(507, "a.c", 14, "unroll")}},
        {"Unmodule", call("unmodule"), {}, {msg(507, "a.c", 14, "unmodule")}},
        {"UnmoduleFloat", call("unmodule, float"), {}, {}},
        {"OtherCallDirective", call("roll"), {}, {}},
    };
    return rows;
}


// The generated main() of the main-argument rows: main with the parameters.
Files withMain(const std::string& parameters) {
    return {{"a.c", "void work(void) { }\nint main(" + parameters + ")\n{\n    work();   //tavik module\n    return 0;\n}\n"}};
}

const std::vector<Row>& programRows() {
    const std::string workInf = inf({"work"}, 0, R"(work,a.c,""%buf,"";)");
    const std::string moduleCalls = R"(struct pt { int k; float ***q; };
void m1(int a, float *p, float *rows[2], float ***deep) { }
int m2(int a) { return a; }
void m3(int a, float *b, float ***c) { }
int twice(int v) { return 2 * v; }
int main(int argc, char *argv[])
{
    int x = 1;
    float *p = 0;
    float *rows[2];
    float ***deep = 0;
    struct pt s;
    m1(x + 1, p, rows, deep);   //tavik module
    x = m2(twice(x));           //tavik module
    m3((int)x, (p), s.q);       //tavik module
    return 0;
}
)";
    const std::string e519 = msg(519, "a.c", 13), e521 = msg(521, "a.c", 13), e520 = msg(520, "a.c", 14),
                      e518 = msg(518, "a.c", 14);
    // Functions a module reaches are checked as their clones when it has a
    // prefix; main calls d itself, the module only when it has no clone of it.
    const std::string clones = R"(int r(int n) { return r(n); }
int *p(int *q) { return q; }
void g(void)
{
    int loc;            //tavik int 8
    char buf[20000];
    loc = 0;
}
int d(int v) { if (v) return 1; }
void f(int a)
{
    int *lp = 0;
    r(a);
    p(lp);
    g();
    d(a);
}
)" + mainWith("    int x = 0;\n    f(x);               //tavik DIRECTIVE\n    d(x);\n");
    auto clonesWith = [&clones](const std::string& directive) {
        std::string text = clones;
        text.replace(text.find("DIRECTIVE"), 9, directive);
        return Files{{"a.c", text}};
    };
    const std::string w538buf = msg(538, "a.c", 6, "buf", 16384.0);
    auto e506 = [](int line, const char* name) { return msg(506, "a.c", line, name); };
    auto e537 = [](int line, const char* name) { return msg(537, "a.c", line, name); };
    const std::string structures = R"(#include <stdio.h>
struct inner { long double z; char ***w; };
struct list { int v; };
struct point { long double x; struct inner in; struct list *next; };
union un { int i; float f; };
struct holder { int k; union un m; union un *pm; };
struct flags { int on : 1; };
struct tagged { int i; struct { char c; char *w; } t; int *p; };
void work(void)
{
    struct point pt;
    struct holder h;
    struct flags fl;
    struct tagged tg;
    union un u;
    FILE *file = 0;
    FILE **files = 0;
    tg.i = 0;
    pt.x = 0;
    h.k = 0;
    fl.on = 1;
    u.i = 0;
    file = 0;
    files = 0;
    files = 0;
}
)" + mainWith("    work();             //tavik module\n");
    auto structureMessages = [](bool algoc) {
        std::vector<std::string> m;
        if (algoc) m.push_back(msg(523, "tg", "w"));
        m.push_back(msg(524, "a.c", 12));
        m.push_back(msg(524, "a.c", 15));
        if (algoc) m.insert(m.end(), 2, msg(522, "a.c", 17, "files"));
        for (const std::string& line : {msg(540, "a.c", 7, "fl...on"), msg(529, "a.c", 2, "pt...w"),
                                        msg(525, "a.c", 2, "pt...z"), msg(525, "a.c", 4, "pt...x")})
            m.push_back(line);
        return m;
    };
    auto everyPlaceMessages = [] {
        std::vector<std::string> m;
        const int uLines[] = {9, 10, 11, 12, 13, 15, 16, 17, 19, 19, 20, 19};
        const int uOrder[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 11};
        for (int i = 0; i < 12; ++i)
            m.push_back(msg(533, "a.c", uLines[i], ("u" + std::to_string(uOrder[i])).c_str()));
        const int cLines[] = {2, 2, 3, 3, 3, 4, 4, 4, 5, 5};
        const int cCollected[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11};
        for (int i = 0; i < 10; ++i)
            m.push_back(msg(537, "a.c", cLines[i], ("c" + std::to_string(cCollected[i])).c_str()));
        m.push_back(msg(511, "a.c", 11, "vla"));
        for (int g = 12; g >= 1; --g) m.push_back(msg(515, "a.c", 1, ("g" + std::to_string(g)).c_str()));
        return m;
    };
    static const std::vector<Row> rows = {
        {"CleanProgramWritesTheInf",
         {{"a.c", R"(void scale(float x)     //tavik fixedP S 16:8
{
    float y;
    y = x * 0.5;
}
)" + mainWith("    float v;\n    v = 1.5;\n    scale(v);           //tavik module\n")}},
         {}, {}, inf({"scale"}, 0, R"(scale,a.c,""%x,"fixedP S 16:8"%y,"";)")},

        // The function tree: main, the modules, their calls and their clones.
        {"NoMain", {{"a.c", "void work(void) { }\nint Main(int argc, char *argv[]) { work(); return 0; } //tavik module\n"}},
         {}, {msg(501)}},
        {"NoModule", {{"a.c", "void work(void) { }\nint main(int argc, char *argv[]) { work(); return 0; }\n"}}, {},
         {msg(502)}},
        {"NoEvaluationFunction", {{"a.c", "void work(float *buf) { }\n" + kMain}}, {"-mev"}, {msg(503)}},
        {"EvaluationFunctionCallsAreNotFollowedByTheInf",
         {{"a.c", "void eval(float *b) { }\nvoid work(float *buf)\n{\n    eval(buf);          //tavik evFunc\n}\n" + kMain}},
         {"-mev"}, {}, workInf},
        {"ModuleCalls", {{"a.c", moduleCalls}}, {},
         {e519, msg(529, "a.c", 11, "deep"), e518, e520, msg(529, "a.c", 1, "q")}},
        {"ModuleCallsWithAlgoc", {{"a.c", moduleCalls}}, {"-algoc"},
         {e519, e521, msg(530, "a.c", 13, "rows"), e521, e518, e520, msg(521, "a.c", 15), msg(521, "a.c", 15)}},
        {"ModuleCallsWithAlgocNopv", {{"a.c", moduleCalls}}, {"-algoc", "-nopv"},
         {e519, msg(529, "a.c", 11, "deep"), e518, e520, msg(529, "a.c", 1, "q")}},
        // Separators of the module directive; a second module directive on
        // calls of a function is ignored by the checks (the INF file lists
        // it); modules with the same prefix share one clone; a directive
        // the INF file does not read as a module ("module,"); no prefix name.
        {"ModuleDirectiveForms",
         {{"a.c", R"(int g(int v) { char buf[20000]; buf[0] = v; return v; }
int f(int a) { return g(a) + g(a); }
int h(int b) { return g(b); }
int k(int c) { return g(c); }
int main(int argc, char *argv[])
{
    int x = 0;
    f(x);          //tavik module prefix: m1 trailing words
    f(x + 1);      //tavik module prefix=m9
    h(x);          //tavik module, prefix = m1
    k(x);          //tavik module prefix
    return 0;
}
)"}},
         {}, {msg(538, "a.c", 1, "buf", 16384.0), msg(538, "a.c", 1, "buf", 16384.0)},
         inf({"f", "f", "k"}, 1, R"(f,a.c,""%a,"";m1_g,a.c,""%v,""%buf,"";k,a.c,""%c,"";g,a.c,""%v,""%buf,"";)")},
        // The recursion check takes the module found last first; the code
        // checks follow the file, where the clone made last stands right after g.
        {"TwoPrefixes",
         {{"a.c", R"(int g(int v) { if (v) return 1; }
int r(int n) { return r(n); }
void fa(int a) { g(a); r(a); }
void fb(int b) { g(b); r(b); }
)" + mainWith("    int x;\n    fa(x);    //tavik module prefix=m1\n    fb(x);    //tavik module prefix=m2\n")}},
         {}, {e506(2, "m2_r"), e506(2, "m1_r"), e537(1, "m1_g"), e537(1, "m2_g")}},
        {"ModulesCallingThemselves",
         {{"a.c", R"(void w1(int n) { if (n) w1(n - 1); }
void w2(int n) { if (n) w2(n - 1); }
)" + mainWith("    w1(3);              //tavik module\n    w2(3);              //tavik module prefix=p\n")}},
         {}, {e506(2, "p_w2"), e506(1, "w1"), msg(516, "a.c", 1, "w1")}},
        {"ClonesWithAlgoc", clonesWith("module prefix=m1"), {"-algoc"},
         {msg(505, "a.c", 2, "m1_p"), e506(1, "m1_r"), w538buf, e537(9, "m1_d")}},
        {"Clones", clonesWith("module prefix=m1"), {}, {e506(1, "m1_r"), w538buf, e537(9, "m1_d")}},
        {"NoClonesWithAlgoc", clonesWith("module"), {"-algoc"},
         {msg(505, "a.c", 2, "p"), e506(1, "r"), w538buf, e537(9, "d"), msg(516, "a.c", 9, "d")}},
        {"PrefixGivesTheModuleItsOwnCopies",
         {{"a.c", R"(void tick(float *v) { v[0] = 1; }
void work(float *buf)
{
    tick(buf);
}
)" + mainWith("    float b[4];\n    tick(b);\n    work(b);            //tavik module prefix=m1\n")}},
         {}, {}, inf({"work"}, 1, R"(work,a.c,""%buf,"";m1_tick,a.c,""%v,"";)")},
        // A call in a declaration's initializer is shared by a function and
        // its clones, so the collection meets it again after redirecting it.
        {"CloneOfACloneThroughASharedInitializer",
         {{"a.c", R"(float unpack();
void upsample()
{
    unpack();
    { float scale = unpack(); }
}
float unpack()
{
    upsample();
    return 0;
}
)" + mainWith("    upsample();         //tavik module prefix=p\n")}},
         {}, {e506(7, "p_unpack"), e506(7, "p_p_unpack"), e506(7, "p_p_unpack"), e506(7, "p_p_unpack"),
              e506(7, "p_p_unpack")}},

        // Prototypes, argument counts and types, enumerations.
        {"Prototypes",
         {{"a.c", R"(enum mode { OFF, ON };
int sq(int v) { return v * v; }
int none(void) { return 0; }
int pick(float *a, int i) { return i; }
int text(char *s) { return 0; }
int q();
int main(int argc, char *argv[])
{
    float b[4];
    int *ip = 0;
    enum mode m;
    int n = sq(1, 2);
    int c[2] = { 0, { later(2) } };
    sq();
    none();
    none(1);
    pick(b, 2.5);
    pick(ip, 1);
    text("s");
    sq("s");
    pick(sq(1, 2), 1);
    later(1);
    malloc(4);
    other(1);
    q(1, 2);
    m = ON;
    OFF = 1;
    m += 1;
    b[m] = 1;
    {
        int q(int, int);
        q(3, 4);
    }
    return 0;
}
int later(int v) { return v; }
int q(int v) { return v; }
)"}},
         {},
         {msg(534, "a.c", 12, "sq"), msg(534, "a.c", 12, "sq"), msg(533, "a.c", 13, "later"),
          msg(534, "a.c", 14, "sq"), msg(534, "a.c", 14, "sq"), msg(535, "a.c", 16, 1, "none"),
          msg(535, "a.c", 16, 1, "none"), msg(535, "a.c", 18, 1, "pick"), msg(535, "a.c", 18, 1, "pick"),
          msg(535, "a.c", 20, 1, "sq"), msg(535, "a.c", 20, 1, "sq"), msg(535, "a.c", 21, 1, "pick"),
          msg(535, "a.c", 21, 1, "pick"), msg(534, "a.c", 21, "sq"), msg(534, "a.c", 21, "sq"),
          msg(533, "a.c", 22, "later"), msg(533, "a.c", 24, "other"), msg(534, "a.c", 25, "q"),
          msg(534, "a.c", 25, "q"), msg(532, "a.c", 26, "m"), msg(532, "a.c", 27, "OFF"),
          msg(534, "a.c", 32, "q"), msg(502)}},
        {"SeveralFilesAndAHeader",
         {{"work.h", "void work(float *buf);\nvoid tick(int n);\n"},
          {"a.c", "#include \"work.h\"\n" + kMain},
          {"b.c", "#include \"work.h\"\nvoid tick(int n) { }\nvoid work(float *buf)\n{\n    tick(1);\n}\n"}},
         {}, {}, inf({"work"}, 1, R"(work,b.c,""%buf,"";tick,b.c,""%n,"";)")},
        {"DeclarationsAreVisibleInTheirOwnFileOnly", {{"a.c", kMain}, {"b.c", "void work(float *buf) { }\n"}},
         {}, {msg(533, "a.c", 4, "work")}},

        // main's parameters.
        {"MainWithoutParameters", withMain("void"), {}, {msg(504)}},
        {"MainWithCharPointerPointer", withMain("int argc, char **argv"), {}, {},
         inf({"work"}, 0, "work,a.c,\"\";")},
        {"MainWithCharArrays", withMain("int argc, char argv[][8]"), {}, {}, inf({"work"}, 0, "work,a.c,\"\";")},
        {"MainWithALongCount", withMain("long argc, char *argv[]"), {}, {msg(504)}},
        {"MainWithACountArray", withMain("int argc[2], char *argv[]"), {}, {msg(504)}},
        {"MainWithOneCharPointer", withMain("int argc, char *argv"), {}, {msg(504)}},
        {"MainWithAnIntArray", withMain("int argc, int *argv[]"), {}, {msg(504)}},
        {"MainWithOneParameter", withMain("int argc"), {}, {msg(504)}},
        {"MainWithThreeParameters", withMain("int argc, char *argv[], char *envp[]"), {}, {msg(504)}},

        // Functions returning pointers, recursion, missing returns.
        {"PointerFunctionsInTheModulesWithAlgoc",
         {{"a.c", R"(float *pick(float *a, int i) { return &a[i]; }
float *unused(float *a) { return a; }
void work(float *buf)
{
    float *p;
    p = pick(buf, 0);
}
)" + kMain}},
         {"-algoc"}, {msg(505, "a.c", 1, "pick")}},
        {"PointerFunctionsWithAlgocNopv",
         {{"a.c", "float *pick(float *a, int i) { return &a[i]; }\nvoid work(float *buf)\n{\n    pick(buf, 0);\n}\n" +
                      kMain}},
         {"-algoc", "-nopv"}, {},
         inf({"work"}, 1, R"(work,a.c,""%buf,"";pick,a.c,""%a,""%i,"";)")},
        {"RecursionAndMissingReturns",
         {{"a.c", R"(#include <string.h>
int f(int n) { return n ? f(n - 1) : 0; }
int g(int n);
int h(int n) { return g(n); }
int g(int n) { return h(n); }
int leaf(int n) { return n; }
int r1(int x) { if (x) return 1; else return 0; }
int r2(int x) { if (x) return 1; }
int r3(int x) { if (x) return 1; return 0; }
int r4(int x) { if (x) return 1; else x = 0; }
int r5(int x) { if (x) { x = 1; if (x) return 2; else return 3; } else return 0; }
int r6(int x) { switch (x) { case 1: return 1; case 2: return 2; } }
int r7(int x) { switch (x) { case 1: return 1; default: return 0; } }
int r8(int x) { switch (x) { case 1: return 1; default: x = 0; } }
int r9(int x) { switch (x) { case 1: case 2: return 2; default: return 0; } }
int r10(int x) { for (;;) return 1; }
int r11(int x) { end: return 1; }
int r12(int x) { }
void r13(int x) { }
void *r14(int x) { }
float r15(int x) { x = 1; }
int r16(int *p) { return memcmp(p, p, 1); }
void work(int n)
{
    f(n);
    h(f(leaf(n)));
    r1(n); r2(n); r3(n); r4(n); r5(n); r6(n); r7(n); r8(n);
    r9(n); r10(n); r11(n); r12(n); r13(n); r14(n); r15(n); r16(&n);
}
)" + mainWith("    work(1);            //tavik module\n")}},
         {},
         {e506(2, "f"), e506(2, "f"), e506(4, "h"), e537(8, "r2"), e537(10, "r4"), e537(12, "r6"), e537(14, "r8"),
          e537(15, "r9"), e537(16, "r10"), e537(18, "r12"), e537(20, "r14"), e537(21, "r15"),
          msg(539, "a.c", 22, "memcmp")}},

        // Structures, unions, bit fields and the structures of the standard
        // headers; message 523 once per run, for the first pointer member
        // depth first.
        {"StructuresAndTheirMembers", {{"a.c", structures}}, {}, structureMessages(false)},
        {"StructuresAndTheirMembersWithAlgoc", {{"a.c", structures}}, {"-algoc"}, structureMessages(true)},
        {"ArrayWithoutSize", {{"a.c", "void work(float *buf)\n{\n    float a[];\n    a[0] = buf[0];\n}\n" + kMain}}, {},
         {msg(511, "a.c", 3, "a")}},
        {"ArrayParameters",
         {{"a.c", R"(void fill(int n, int a[][4], int b[n], int c[], int d[][n])
{
    a[0][0] = b[0] = c[0] = d[0][0] = n;
}
void work(float *buf)
{
    int m[2][4];
    fill(2, m, m[0], m[0], m);
}
)" + kMain}},
         {}, {msg(511, "a.c", 1, "d")}},

        // Directives in functions outside the modules; translate blocks.
        {"DirectivesOutsideTheModules",
         {{"a.c", R"(void outside(int k,     //tavik int 8
             float s)   //tavik fixedP S 16 8
{
    float t;            //tavik float
    int u;              //tavik INPUT
    if (k) {
        float w;        //tavik scale 8
    }
    for (;;) {
        int x;          //tavik output
    }
    switch (k) {
    case 1: {
        int y;          //tavik inout
    }
    }
}
void twin(void)
{
    int z;              //tavik int 8
}
void work(void)
{
    twin();
}
)" + mainWith("    outside(1, 2);\n    work();             //tavik module prefix=p\n")}},
         {},
         {msg(546, "a.c", 5, "input"), msg(546, "a.c", 7, "scale"), msg(546, "a.c", 10, "output"),
          msg(546, "a.c", 14, "inout"), msg(546, "a.c", 1, "int"), msg(546, "a.c", 2, "fixedP")}},
        {"TranslateBlocks",
         {{"a.c", R"(void trace(float v) { }
void work(int *buf)
{
    //tavik translate_off
    trace(buf[0]);
    //tavik translate_on
    buf[0] = 1;
    //tavik translate_on
    if (buf[0]) {
        buf[1] = 0;
        //tavik translate_off
    }
    while (buf[0]) {
        buf[0] = 0;
        //tavik translate_off
    }
    switch (buf[0]) {
    case 1:
        buf[0] = 1;
        //tavik translate_off
        break;
    }
}
void outside(void)
{
    //tavik translate_off
}
)" + mainWith("    int b[4];\n    outside();\n    work(b);            //tavik module\n")}},
         {},
         {msg(517, "a.c", 8, "translate_off", "translate_on"), msg(517, "a.c", 11, "translate_on", "translate_off"),
          msg(517, "a.c", 15, "translate_on", "translate_off"), msg(517, "a.c", 20, "translate_on", "translate_off"),
          msg(517, "a.c", 26, "translate_on", "translate_off")}},

        // Globals written and functions called on both sides of the border
        // of the analysed code.
        {"GlobalsAndOutsideCalls",
         {{"a.c", R"(#include <stdio.h>
int gl, ro, rw;
struct pair { int x; int y; struct { int z; } in; } gs, gt;
FILE *log;
int shared(int v) { return v; }
int inner(int v) { return v; }
void outside(void)
{
    int t = ro;
    gl = rw = 1;
    gs.x = 1;
    gs.in.z = 1;
    gt = gs;
    log = 0;
    shared(1);
}
void work(void)
{
    gl = 2;
    gl = 3;
    gs.x = 2;
    gs.in.z = 2;
    gt.y = 1;
    ro++;
    rw += 1;
    log = 0;
    shared(2);
    inner(1);
}
)" + mainWith("    outside();\n    work();             //tavik module\n")}},
         {},
         {msg(516, "a.c", 5, "shared"), msg(515, "a.c", 3, "gs..z"), msg(515, "a.c", 3, "gs..x"),
          msg(515, "a.c", 2, "gl")}},
        // Each walk of a function body in every place a call or a write can
        // stand: the prototype check (u), the function tree (c, not through
        // array sizes or assignment targets) and the global check (g).
        {"EveryPlaceOfACall",
         {{"a.c", R"(int g1, g2, g3, g4, g5, g6, g7, g8, g9, g10, g11, g12;
int c1(int a, int b) { } int c2(int a, int b) { } int c3(int a, int b) { }
int c4(int a, int b) { } int c5(int a, int b) { } int c6(int a, int b) { }
int c7(int a, int b) { } int c8(int a, int b) { } int c9(int a, int b) { }
int c10(int a, int b) { } int c11(int a, int b) { } int c12(int a, int b) { }
void outside(void) { g1 = g2 = g3 = g4 = g5 = g6 = g7 = g8 = g9 = g10 = g11 = g12 = 0; }
void work(int n)
{
    int k = c1(g1 = 1, u1());
    int arr[2] = { 0, c2(g2 = 1, u2()) };
    int vla[c3(g3 = 1, u3())];
    if (c4(g4 = 1, u4()))
        c5(g5 = 1, u5());
    else
        c6(g6 = 1, u6());
    switch (c7(g7 = 1, u7())) {
    case 1: c8(g8 = 1, u8());
    }
    for (c9(g9 = 1, u9()); c10(g10 = 1, u10()); c11(g11 = 1, u11()))
        vla[c12(g12 = 1, u12())] = 0;
}
)" + mainWith("    outside();\n    work(1);            //tavik module\n")}},
         {}, everyPlaceMessages()},
        // The INF file follows the calls of every place but switch
        // conditions, loop initialisations and steps, the calls inside an
        // unmodule call and a translate_off block.
        {"InfFollowsTheCalls",
         {{"a.c", R"(int f1(int a) { return a; } int f2(int a) { return a; } int f3(int a) { return a; }
int f4(int a) { return a; } int f5(int a) { return a; } int f6(int a) { return a; }
int f7(int a) { return a; } int f8(int a) { return a; } int f9(int a) { return a; }
int f10(int a) { return a; } int f11(int a) { return a; } int f12(int a) { return a; }
int f13(int a) { return a; } int f14(int a) { return a; } int f15(int a) { return a; }
int f16(int a) { return f1(a); }
void work(int n)
{
    int k = f1(1) * 2;
    int arr[2] = { 0, f2(1) };
    int vla[f3(1)];
    if (f4(1)) f5(1); else f6(1);
    switch (f7(1)) { case 1: f8(1); }
    for (f9(1); f10(1); f11(1)) arr[f12(1)] = 0;
    f13(f14(1));        //tavik unmodule float
    //tavik translate_off
    f15(1);
    //tavik translate_on
    k = 2 - f16(1);
}
)" + mainWith("    work(1);            //tavik module\n")}},
         {}, {},
         inf({"work"}, 10,
             R"(work,a.c,""%n,""%k,""%arr,""%vla,"";f1,a.c,""%a,"";f2,a.c,""%a,"";f3,a.c,""%a,"";f4,a.c,""%a,"";)"
             R"(f5,a.c,""%a,"";f6,a.c,""%a,"";f8,a.c,""%a,"";f10,a.c,""%a,"";f12,a.c,""%a,"";f16,a.c,""%a,"";)")},
        {"DirectivesOnEveryKindOfTarget",
         {{"a.c", R"(float gain;                     //tavik fixedP S 16:8
void tick(float v) { }
void reset(void)                //tavik float
{
}
void work(float *buf,           //tavik input fixedP S 16:12
          int n)                //tavik int S 16
{
    float acc = 0;              //tavik fixedP S 24:16
    int i;
    reset();
    for (i = 0; i < n; i++)     //tavik unroll
        acc += buf[i] * gain;
    tick(acc);                  //tavik unmodule float
}
)" + mainWith("    float b[4];\n    work(b, 4);                 //tavik module prefix=m1\n")}},
         {}, {},
         inf({"work"}, 1,
             R"(work,a.c,""%buf,"input fixedP S 16:12"%n,"int S 16"%acc,"fixedP S 24:16"%i,"";m1_reset,a.c,"float";)")},
        // Top-level elements take the name of their file record; the nodes
        // inside them keep the header's.
        {"FunctionOfAHeader",
         {{"g.h", "int g(int v)\n{\n    if (v) return 1;\n    malloc(4);\n}\n"},
          {"a.c", "#include \"g.h\"\nint main(int argc, char *argv[])\n{\n    g(1);   //tavik module\n    return 0;\n}\n"}},
         {}, {msg(508, "./g.h", 4), msg(537, "a.c", 1, "g")}},
        {"LineDirectiveNamesTheGeneratedFile",
         {{"a.c", "#include <stdlib.h>\nvoid work(float *buf)\n{\n#line 40 \"gen.c\"\n    buf = malloc(4);\n}\n" + kMain}},
         {}, {msg(508, "gen.c", 40)}},
    };
    return rows;
}

class Work : public ::testing::TestWithParam<Row> {};

TEST_P(Work, Messages) {
    const Row& row = GetParam();
    tb::ScratchDir dir;
    tb::CheckerRun run = tb::runChecker(dir, row.files, row.options);
    // The INF files of work() are looked at by other rows.
    expectOutcome(run, row.messages, run.inf);
}

INSTANTIATE_TEST_SUITE_P(Checks, Work, ::testing::ValuesIn(workRows()),
                         [](const auto& info) { return std::string(info.param.name); });

class Program : public ::testing::TestWithParam<Row> {};

TEST_P(Program, Messages) {
    const Row& row = GetParam();
    tb::ScratchDir dir;
    expectOutcome(tb::runChecker(dir, row.files, row.options), row.messages, row.inf);
}

INSTANTIATE_TEST_SUITE_P(Checks, Program, ::testing::ValuesIn(programRows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
