// C programs through c2cdfg and tavikChk: one row per message the checks can
// print for C source, and the INF file of clean programs. Every graph the
// front end writes is also checked by cdfgtool and must read back unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/binary_run.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// The test bench of most rows: work() is the module. Its lines follow the
// program's own.
const std::string kMain =
    "int main(int argc, char *argv[])\n"
    "{\n"
    "    float b[4];\n"
    "    work(b);            //tavik module\n"
    "    return 0;\n"
    "}\n";

struct Row {
    const char* name;
    Files files;
    std::vector<std::string> options;
    std::string out;  // the checker's standard output
    int status;       // the checker's exit status
    std::string inf = "";  // the INF file when the run writes one
};

std::string totals(int errors, int warnings) { return tb::totals(errors, warnings); }

std::string inf(const std::string& modules, const std::string& records) {
    return "%%\n+-+-+module(s)+-+-+\n" + modules + "\n%%\n" + records;
}

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        {"CleanProgramWritesTheInf",
         {{"a.c",
           "void scale(float x)     //tavik fixedP S 16:8\n"
           "{\n"
           "    float y;\n"
           "    y = x * 0.5;\n"
           "}\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float v;\n"
           "    v = 1.5;\n"
           "    scale(v);           //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "",
         0,
         inf(" >> `scale()'\n ...and 0 submodule(s).\n",
             "scale,a.c,\"\"%x,\"fixedP S 16:8\"%y,\"\";")},
        {"E501NoMain",
         {{"a.c", "void work(void) { }\nint Main(int argc, char *argv[]) { work(); return 0; } //tavik module\n"}},
         {},
         "E501:Error:::A main function is not found.\n" + totals(1, 0),
         255},
        {"E502NoModule",
         {{"a.c", "void work(void) { }\nint main(int argc, char *argv[]) { work(); return 0; }\n"}},
         {},
         "E502:Error:::A module directive specification function call is not found.\n" + totals(1, 0),
         255},
        {"E503NoEvaluationFunction",
         {{"a.c", "void work(float *buf) { }\n" + kMain}},
         {"-mev"},
         "E503:Error:::An evaluation function is not found.(evFunc directive)\n" + totals(1, 0),
         255},
        {"E504MainArguments",
         {{"a.c", "void work(void) { }\nint main(void)\n{\n    work();             //tavik module\n    return 0;\n}\n"}},
         {},
         "E504:Error:::The argument of a main function is 'main (int argc and char *argv[])'.\n" +
             totals(1, 0),
         255},
        {"E505FunctionReturnsPointer",
         {{"a.c",
           "float *pick(float *a, int i)\n"
           "{\n"
           "    return &a[i];\n"
           "}\n"
           "void work(float *buf)\n"
           "{\n"
           "    float *p;\n"
           "    p = pick(buf, 0);\n"
           "}\n" + kMain}},
         {"-algoc"},
         "E505:Error:a.c:1:Function 'pick' is a pointer type. It is outside support.\n" + totals(1, 0),
         255},
        {"E506Recursion",
         {{"a.c",
           "int fact(int n)\n"
           "{\n"
           "    if (n > 1)\n"
           "        return n * fact(n - 1);\n"
           "    return 1;\n"
           "}\n"
           "void work(float *buf)\n"
           "{\n"
           "    buf[0] = fact(3);\n"
           "}\n" + kMain}},
         {},
         "E506:Error:a.c:1:Function 'fact' is a recursive call. It is outside support.\n" + totals(1, 0),
         255},
        {"E507Scale",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    float gain;         //tavik scale 8\n"
           "    gain = buf[0];\n"
           "}\n" + kMain}},
         {},
         "E507:Error:a.c:3:Directive 'scale' has not supported.\n" + totals(1, 0),
         255},
        {"E507UnrollOnACall",
         {{"a.c",
           "void tick(void) { }\n"
           "void work(float *buf)\n"
           "{\n"
           "    tick();             //tavik unroll\n"
           "}\n" + kMain}},
         {},
         "E507:Error:a.c:4:Directive 'unroll' has not supported.\n" + totals(1, 0),
         255},
        {"E507UnmoduleWithoutFloat",
         {{"a.c",
           "void tick(void) { }\n"
           "void work(float *buf)\n"
           "{\n"
           "    tick();             //tavik unmodule\n"
           "}\n" + kMain}},
         {},
         "E507:Error:a.c:4:Directive 'unmodule' has not supported.\n" + totals(1, 0),
         255},
        {"E508Malloc",
         {{"a.c",
           "#include <stdlib.h>\n"
           "void work(float *buf)\n"
           "{\n"
           "    float *p;\n"
           "    p = malloc(16);\n"
           "}\n" + kMain}},
         {},
         "E508:Error:a.c:5:Dynamic memory allocation has not supported.\n" + totals(1, 0),
         255},
        {"E509PointerCast",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    int *bits;\n"
           "    bits = (int *)buf;\n"
           "}\n" + kMain}},
         {},
         "E509:Error:a.c:4:The pointer cast has not supported.\n" + totals(1, 0),
         255},
        {"E511VariableLengthArray",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    int n = 4;\n"
           "    float a[n];\n"
           "    a[0] = buf[0];\n"
           "}\n" + kMain}},
         {},
         "E511:Error:a.c:4:Array size of variable 'a' cannot be decided.\n" + totals(1, 0),
         255},
        {"E511ArrayWithoutSize",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    float a[];\n"
           "    a[0] = buf[0];\n"
           "}\n" + kMain}},
         {},
         "E511:Error:a.c:3:Array size of variable 'a' cannot be decided.\n" + totals(1, 0),
         255},
        {"E512NotADirective",
         {{"a.c", "void work(float *buf)\n{\n    float g;            //tavik Foo\n    g = buf[0];\n}\n" + kMain}},
         {},
         "E512:Error:a.c:3:Directive 'foo' is not a directive.\n" + totals(1, 0),
         255},
        {"E513DirectiveForm",
         {{"a.c", "void work(float *buf)\n{\n    float g;            //tavik fixedP 16\n    g = buf[0];\n}\n" + kMain}},
         {},
         "E513:Error:a.c:3:The format of directive 'fixedP' is different.\n" + totals(1, 0),
         255},
        {"E514DirectiveParameter",
         {{"a.c", "void work(float *buf)\n{\n    float g;            //tavik fixedP 8 8\n    g = buf[0];\n}\n" + kMain}},
         {},
         "E514:Error:a.c:3:'<bitW>:<fsize>' of directive 'fixedP is unusual. \n" + totals(1, 0),
         255},
        {"E515GlobalWrittenOnBothSides",
         {{"a.c",
           "float level;\n"
           "void work(float *buf)\n"
           "{\n"
           "    level = buf[0];\n"
           "}\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float b[4];\n"
           "    level = 2;\n"
           "    work(b);            //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "E515:Error:a.c:1:Global variable 'level' is updated out of the object for analysis.\n" +
             totals(1, 0),
         255},
        {"E516FunctionCalledOnBothSides",
         {{"a.c",
           "void tick(void) { }\n"
           "void work(float *buf)\n"
           "{\n"
           "    tick();\n"
           "}\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float b[4];\n"
           "    tick();\n"
           "    work(b);            //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "E516:Error:a.c:1:Function 'tick' is called from the outside of the object for analysis.\n" +
             totals(1, 0),
         255},
        {"E517TranslateOffWithoutOn",
         {{"a.c",
           "#include <stdio.h>\n"
           "void work(float *buf)\n"
           "{\n"
           "    {                   //tavik translate_off\n"
           "        printf(\"%f\\n\", buf[0]);\n"
           "    }\n"
           "}\n" + kMain}},
         {},
         "E517:Error:a.c:4:There is no translate_on directive to a translate_off translate_off.\n" +
             totals(1, 0),
         255},
        {"E518ModuleResultUsed",
         {{"a.c",
           "int work(int n)\n"
           "{\n"
           "    return n;\n"
           "}\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    int r;\n"
           "    r = work(1);        //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "E518:Error:a.c:8:The return value of '//tavik module' function has not supported. \n" +
             totals(1, 0),
         255},
        {"E519ModuleArgumentOperation",
         {{"a.c",
           "void work(int n) { }\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    work(argc + 1);     //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "E519:Error:a.c:4:The operation of the argument of '//tavik module' function call has not "
         "supported.\n" + totals(1, 0),
         255},
        {"E520ModuleArgumentCall",
         {{"a.c",
           "int twice(int n) { return 2 * n; }\n"
           "void work(int n) { }\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    work(twice(argc));  //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "E520:Error:a.c:5:The func call of the argument of '//tavik module' function call has not "
         "supported.\n" + totals(1, 0),
         255},
        {"E521ModuleArgumentPointer",
         {{"a.c",
           "void work(float *buf) { }\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float *p = 0;\n"
           "    work(p);            //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {"-algoc"},
         "E521:Error:a.c:5:The pointer variable of the argument of '//tavik module' function call has "
         "not supported.\n" + totals(1, 0),
         255},
        {"E522PointerToPointer",
         {{"a.c", "void work(float *buf)\n{\n    float **pp;\n    pp = &buf;\n}\n" + kMain}},
         {"-algoc"},
         "E522:Error:a.c:3:The pointer variable 'pp' has not supported more than one.\n" + totals(1, 0),
         255},
        {"E523StructurePointerMember",
         {{"a.c",
           "struct node { struct node *next; float v; };\n"
           "void work(float *buf)\n"
           "{\n"
           "    struct node n;\n"
           "    n.v = buf[0];\n"
           "}\n" + kMain}},
         {"-algoc"},
         "E523:Error:Structure object 'node' has pointer member 'next'. It has not supported. \n" +
             totals(1, 0),
         255},
        {"E524Union",
         {{"a.c",
           "union sample { float f; int i; };\n"
           "void work(float *buf)\n"
           "{\n"
           "    union sample s;\n"
           "    s.f = buf[0];\n"
           "}\n" + kMain}},
         {},
         "E524:Error:a.c:4:union has not supported.\n" + totals(1, 0),
         255},
        {"E525LongDouble",
         {{"a.c", "void work(float *buf)\n{\n    long double x;\n    x = buf[0];\n}\n" + kMain}},
         {},
         "E525:Error:a.c:3:The long double type has not been supported. 'x'\n" + totals(1, 0),
         255},
        {"E527PointerToArray",
         {{"a.c", "void work(float *buf)\n{\n    float (*rows)[4];\n    rows = 0;\n}\n" + kMain}},
         {},
         "E527:Error:a.c:3:'int (*var)[]; or int *(var*);' Variable declaration, has not been "
         "supported. 'rows'\n" + totals(1, 0),
         255},
        {"E528StatementBeforeFirstCase",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    int n = 1;\n"
           "    switch (n) {\n"
           "    n = 0;\n"
           "    case 1: buf[0] = 1; break;\n"
           "    }\n"
           "}\n" + kMain}},
         {},
         "E528:Error:a.c:5:The syntax of '5' line in switch has not been supported.\n" + totals(1, 0),
         255},
        {"E529ThreePointerLevels",
         {{"a.c", "void work(float *buf)\n{\n    float ***p;\n    p = 0;\n}\n" + kMain}},
         {},
         "E529:Error:a.c:3:A pointer and a pointer array serve as support to two dimensions (**p, "
         "*p[x]). 'p' \n" + totals(1, 0),
         255},
        {"E530ModuleArgumentPointerArray",
         {{"a.c",
           "void work(float *rows[]) { }\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float *rows[2];\n"
           "    work(rows);         //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {"-algoc"},
         "E530:Error:a.c:5:Use of a pointer array has not been supported to the argument of the call "
         "for analysis. 'rows' \n" + totals(1, 0),
         255},
        {"E532EnumerationVariable",
         {{"a.c",
           "enum mode { OFF, ON };\n"
           "void work(float *buf)\n"
           "{\n"
           "    enum mode m;\n"
           "    m = ON;\n"
           "}\n" + kMain}},
         {},
         "E532:Error:a.c:5:The renewal of the enum variable 'm' has not been supported.\n" + totals(1, 0),
         255},
        {"E532EnumerationConstant",
         {{"a.c", "enum mode { OFF, ON };\nvoid work(float *buf)\n{\n    OFF = 1;\n}\n" + kMain}},
         {},
         "E532:Error:a.c:4:The renewal of the enum variable 'OFF' has not been supported.\n" +
             totals(1, 0),
         255},
        {"E533ImplicitDeclaration",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    buf[0] = later();\n"
           "}\n"
           "int later(void) { return 1; }\n" + kMain}},
         {},
         "E533:Error:a.c:3:Implicit declaration of function 'later'\n" + totals(1, 0),
         255},
        {"E534ArgumentCount",
         {{"a.c",
           "float pick(float *a, int i)\n"
           "{\n"
           "    return a[i];\n"
           "}\n"
           "void work(float *buf)\n"
           "{\n"
           "    buf[1] = pick(buf, 1, 2);\n"
           "}\n" + kMain}},
         {},
         "E534:Error:a.c:7:too many arguments to function 'pick'\n"
         "E534:Error:a.c:7:too many arguments to function 'pick'\n" + totals(2, 0),
         255},
        {"E535ArgumentType",
         {{"a.c",
           "float pick(float *a, int i)\n"
           "{\n"
           "    return a[i];\n"
           "}\n"
           "void work(float *buf)\n"
           "{\n"
           "    buf[1] = pick(3, 1);\n"
           "}\n" + kMain}},
         {},
         "E535:Error:a.c:7:cannot convert argument '1' to 'pick'\n"
         "E535:Error:a.c:7:cannot convert argument '1' to 'pick'\n" + totals(2, 0),
         255},
        {"E537MissingReturn",
         {{"a.c",
           "int sign(int x)\n"
           "{\n"
           "    if (x < 0)\n"
           "        return -1;\n"
           "}\n"
           "void work(float *buf)\n"
           "{\n"
           "    buf[0] = sign(2);\n"
           "}\n" + kMain}},
         {},
         "E537:Error:a.c:1:control reaches end of non-void function 'sign'\n" + totals(1, 0),
         255},
        {"W538LargeLocal",
         {{"a.c", "void work(float *buf)\n{\n    char big[20000];\n    big[0] = 1;\n}\n" + kMain}},
         {},
         "W538:Warning:a.c:3:The size of an auto variable is too large. 'big' > 16384\n" + totals(0, 1),
         0,
         inf(" >> `work()'\n ...and 0 submodule(s).\n", "work,a.c,\"\"%buf,\"\"%big,\"\";")},
        {"E539StandardFunction",
         {{"a.c",
           "#include <string.h>\n"
           "void work(float *buf)\n"
           "{\n"
           "    memcpy(buf, buf + 1, 4);\n"
           "}\n" + kMain}},
         {},
         "E539:Error:a.c:4:Standard function 'memcpy' has not supported.\n" + totals(1, 0),
         255},
        {"E540BitField",
         {{"a.c",
           "struct flags {\n"
           "    int on : 1;\n"
           "};\n"
           "void work(float *buf)\n"
           "{\n"
           "    struct flags f;\n"
           "    f.on = 1;\n"
           "}\n" + kMain}},
         {},
         "E540:Error:a.c:2:Specification of the bit field has not been supported. 'f...on'\n" +
             totals(1, 0),
         255},
        {"E541FloatingLogicalOperator",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    int both;\n"
           "    both = buf[0] && buf[1];\n"
           "}\n" + kMain}},
         {"-algoc"},
         "E541:Error:a.c:4:The operation &&, || of a floating decimal point has not supported.\n" +
             totals(1, 0),
         255},
        {"E542FixedPAndInt",
         {{"a.c",
           "void work(float *buf)\n"
           "{\n"
           "    float g;            //tavik input varname g fixedP 16 8 int 8\n"
           "    g = buf[0];\n"
           "}\n" + kMain}},
         {},
         "E542:Error:a.c:3:'input' directive, 'fixedP' and 'int' defined.\n" + totals(1, 0),
         255},
        {"E543FixedPOnInteger",
         {{"a.c",
           "void work(float *buf)\n{\n    int n;              //tavik input fixedP 16 8\n    n = 1;\n}\n" + kMain}},
         {},
         "E543:Error:a.c:3:'input' directive, 'fixedP' is defined as the integer type variable.\n" +
             totals(1, 0),
         255},
        {"E544StructurePortWithoutVarname",
         {{"a.c",
           "struct pt { float x; };\n"
           "void work(float *buf)\n"
           "{\n"
           "    struct pt p;        //tavik output\n"
           "    p.x = buf[0];\n"
           "}\n" + kMain}},
         {},
         "E544:Error:a.c:4:'output' directive, 'varname' is not defined.\n" + totals(1, 0),
         255},
        {"E546DirectiveOutsideTheModules",
         {{"a.c",
           "void work(float *buf) { }\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float b[4];         //tavik fixedP S 16:8\n"
           "    work(b);            //tavik module\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "E546:Error:a.c:4:'fixedP' directive here is invalid.\n" + totals(1, 0),
         255},
        {"W601FloatingIfCondition",
         {{"a.c", "void work(float *buf)\n{\n    if (buf[0] > 0.5)\n        buf[0] = 0;\n}\n" + kMain}},
         {},
         "W601:Warning:a.c:3:Floating point arithmetic is contained in the conditions of if. An "
         "unusual end may be carried out when a result does not suit.\n" + totals(0, 1),
         0,
         inf(" >> `work()'\n ...and 0 submodule(s).\n", "work,a.c,\"\"%buf,\"\";")},
        {"W602FloatingLoopCondition",
         {{"a.c", "void work(float *buf)\n{\n    while (buf[0] < 1.0)\n        buf[0] += 0.5f;\n}\n" + kMain}},
         {},
         "W602:Warning:a.c:3:Floating point arithmetic is contained in the end conditions of a loop. "
         "An unusual end may be carried out when a result does not suit.\n" + totals(0, 1),
         0,
         inf(" >> `work()'\n ...and 0 submodule(s).\n", "work,a.c,\"\"%buf,\"\";")},

        // Programs of several files, headers, #line and directives on every
        // kind of target.
        {"SeveralFilesAndAHeader",
         {{"work.h", "void work(float *buf);\nvoid tick(int n);\n"},
          {"a.c", "#include \"work.h\"\n" + kMain},
          {"b.c",
           "#include \"work.h\"\n"
           "void tick(int n) { }\n"
           "void work(float *buf)\n"
           "{\n"
           "    tick(1);\n"
           "}\n"}},
         {},
         "",
         0,
         inf(" >> `work()'\n ...and 1 submodule(s).\n",
             "work,b.c,\"\"%buf,\"\";tick,b.c,\"\"%n,\"\";")},
        {"CallAboveItsDefinitionInAnotherFile",
         {{"a.c", kMain}, {"b.c", "void work(float *buf) { }\n"}},
         {},
         "E533:Error:a.c:4:Implicit declaration of function 'work'\n" + totals(1, 0),
         255},
        {"LineDirectiveNamesTheGeneratedFile",
         {{"a.c",
           "#include <stdlib.h>\n"
           "void work(float *buf)\n"
           "{\n"
           "#line 40 \"gen.c\"\n"
           "    buf = malloc(4);\n"
           "}\n" + kMain}},
         {},
         "E508:Error:gen.c:40:Dynamic memory allocation has not supported.\n" + totals(1, 0),
         255},
        {"TranslateBlockIsNotFollowedByTheInf",
         {{"a.c",
           "void trace(float v) { }\n"
           "void work(float *buf)\n"
           "{\n"
           "    {                   //tavik translate_off\n"
           "        trace(buf[0]);\n"
           "    }                   //tavik translate_on\n"
           "}\n" + kMain}},
         {},
         "",
         0,
         inf(" >> `work()'\n ...and 0 submodule(s).\n", "work,a.c,\"\"%buf,\"\";")},
        {"DirectivesOnEveryKindOfTarget",
         {{"a.c",
           "float gain;                     //tavik fixedP S 16:8\n"
           "void tick(float v) { }\n"
           "void reset(void)                //tavik float\n"
           "{\n"
           "}\n"
           "void work(float *buf,           //tavik input fixedP S 16:12\n"
           "          int n)                //tavik int S 16\n"
           "{\n"
           "    float acc = 0;              //tavik fixedP S 24:16\n"
           "    int i;\n"
           "    reset();\n"
           "    for (i = 0; i < n; i++)     //tavik unroll\n"
           "        acc += buf[i] * gain;\n"
           "    tick(acc);                  //tavik unmodule float\n"
           "}\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float b[4];\n"
           "    work(b, 4);                 //tavik module prefix=m1\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "",
         0,
         inf(" >> `work()'\n ...and 1 submodule(s).\n",
             "work,a.c,\"\"%buf,\"input fixedP S 16:12\"%n,\"int S 16\"%acc,\"fixedP S 24:16\"%i,\"\";"
             "m1_reset,a.c,\"float\";")},
        {"PrefixGivesTheModuleItsOwnCopies",
         {{"a.c",
           "void tick(float *v) { v[0] = 1; }\n"
           "void work(float *buf)\n"
           "{\n"
           "    tick(buf);\n"
           "}\n"
           "int main(int argc, char *argv[])\n"
           "{\n"
           "    float b[4];\n"
           "    tick(b);\n"
           "    work(b);            //tavik module prefix=m1\n"
           "    return 0;\n"
           "}\n"}},
         {},
         "",
         0,
         inf(" >> `work()'\n ...and 1 submodule(s).\n",
             "work,a.c,\"\"%buf,\"\";m1_tick,a.c,\"\"%v,\"\";")},
    };
    return table;
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class ThroughTheChain : public ::testing::TestWithParam<Row> {};

TEST_P(ThroughTheChain, CheckerOutput) {
    const Row& row = GetParam();
    tb::ScratchDir dir;
    std::vector<std::string> args = {"-o", "prog.cdfg"};
    for (const auto& [name, text] : row.files) {
        tb::writeBytes(dir.path(name), text);
        if (name.size() > 2 && name.substr(name.size() - 2) == ".c") args.push_back(name);
    }
    tb::Run front = tb::runBinary(C2CDFG_BINARY, args, dir.dir());
    ASSERT_EQ(front.status, 0) << front.err;

    tb::Run check = tb::runBinary(CDFGTOOL_BINARY, {"check", "prog.cdfg"}, dir.dir());
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    tb::Run dump = tb::runBinary(CDFGTOOL_BINARY, {"dump", "prog.cdfg", "-o", "prog.txt"}, dir.dir());
    tb::Run assemble = tb::runBinary(CDFGTOOL_BINARY, {"asm", "prog.txt", "-o", "again.cdfg"}, dir.dir());
    ASSERT_EQ(dump.status + assemble.status, 0) << dump.err << assemble.err;
    EXPECT_EQ(tb::readBytes(dir.path("again.cdfg")), tb::readBytes(dir.path("prog.cdfg")));

    std::vector<std::string> checker = row.options;
    checker.push_back("prog.cdfg");
    checker.push_back("prog.inf");
    tb::Run run = tb::runBinary(TAVIK_BINARY, checker, dir.dir());
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.status, row.status);
    bool missing = false;
    std::string written = tb::readBytes(dir.path("prog.inf"), &missing);
    if (row.inf.empty())
        EXPECT_TRUE(missing);
    else
        EXPECT_EQ(written, row.inf);
}

INSTANTIATE_TEST_SUITE_P(C2cdfg, ThroughTheChain, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });

// The front end on bad input: its message, its exit status, and no file
// written or left behind; an output file already there stays as it was.
struct CommandRow {
    const char* name;
    std::string source;  // a.c
    std::vector<std::string> args;
    int status;
    std::vector<std::string> err;  // the standard error's lines, in order
};

TEST(C2cdfgCommand, BadInputGetsItsMessageAndNoFile) {
    const std::string kUsage = "usage: c2cdfg [-I DIR]... [-D NAME[=VALUE]]... [-U NAME]... "
                               "[-std=c99|c11|gnu99|gnu11]";
    const CommandRow rows[] = {
        {"does not compile", "int main( {\n", {"-o", "out.cdfg", "a.c"}, 1,
         {"a.c:1:11: error: expected parameter declarator", "a.c:1:11: error: expected ')'"}},
        {"missing file", "", {"-o", "out.cdfg", "nope.c"}, 2,
         {"c2cdfg: cannot read 'nope.c': No such file or directory"}},
        {"unwritable output", "int main(int argc, char *argv[]) { return 0; }\n",
         {"-o", "no-dir/out.cdfg", "a.c"}, 2,
         {"c2cdfg: cannot write 'no-dir/out.cdfg': No such file or directory"}},
        {"unsupported constructs, all of them",
         "_Complex double z;\n"
         "int main(int argc, char *argv[])\n"
         "{\n"
         "    int w = ({ 1; });\n"
         "    __asm__(\"nop\");\n"
         "    return 0;\n"
         "}\n",
         {"-o", "out.cdfg", "a.c"}, 1,
         {"a.c:1:1: error: a _Complex type cannot be represented in a CDFG file",
          "a.c:4:13: error: a statement expression cannot be represented in a CDFG file",
          "a.c:5:5: error: inline assembly cannot be represented in a CDFG file"}},
        {"output is an input", "int main(int argc, char *argv[]) { return 0; }\n",
         {"-o", "a.c", "a.c"}, 2,
         {"c2cdfg: the output 'a.c' is the input file 'a.c'; nothing written"}},
        {"unknown option", "", {"-x", "-o", "out.cdfg", "a.c"}, 2,
         {"c2cdfg: unknown option '-x'", kUsage}},
        {"no output", "", {"a.c"}, 2, {"c2cdfg: no output file given (-o OUT.cdfg)", kUsage}},
    };
    for (const CommandRow& row : rows) {
        SCOPED_TRACE(row.name);
        tb::ScratchDir dir;
        tb::writeBytes(dir.path("a.c"), row.source);
        tb::writeBytes(dir.path("out.cdfg"), "old");
        tb::Run run = tb::runBinary(C2CDFG_BINARY, row.args, dir.dir());
        EXPECT_EQ(run.status, row.status);
        std::size_t at = 0;
        for (const std::string& line : row.err) {
            std::size_t found = run.err.find(line + "\n", at);
            EXPECT_NE(found, std::string::npos) << line << "\nin:\n" << run.err;
            if (found != std::string::npos) at = found + line.size();
        }
        EXPECT_EQ(tb::readBytes(dir.path("out.cdfg")), "old");
        EXPECT_EQ(tb::readBytes(dir.path("a.c")), row.source);
        std::set<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(dir.dir()))
            left.insert(entry.path().filename().string());
        EXPECT_EQ(left, (std::set<std::string>{"a.c", "out.cdfg"}));
    }
}

TEST(C2cdfgCommand, DirectiveWithNothingToAttachIsAWarning) {
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("a.c"),
                   "int main(int argc, char *argv[])\n"
                   "{\n"
                   "    int n;\n"
                   "    n = 1;              //tavik module\n"
                   "    //tavik fixedP S 16:8\n"
                   "    return 0;\n"
                   "}\n"
                   "//tavik translate_on\n");
    tb::Run run = tb::runBinary(C2CDFG_BINARY, {"-o", "out.cdfg", "a.c"}, dir.dir());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "a.c:4:25: warning: '//tavik module' is ignored: there is no call on its line\n"
              "a.c:5:5: warning: '//tavik fixedP S 16:8' is ignored: there is no declaration or "
              "function definition on its line\n"
              "a.c:8:1: warning: '//tavik translate_on' is ignored: it is not between two "
              "statements of a function body\n");
}

}  // namespace
