// How the front end writes each C construct that the checks never see spelled
// out (docs/cdfg-format.md, section 3): the lines of `cdfgtool dump` that show
// its shape, in the order they appear.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/binary_run.h"

namespace {

struct Shape {
    const char* construct;
    const char* code;                  // the body of f(int n, struct pt *p)
    std::vector<std::string> lines;    // dump lines, in order (each a part of one line)
};

const char* const kTop =
    "struct pt { float x; int flags : 3; };\n"
    "enum mode { OFF, ON };\n"
    "static int counter;\n"
    "extern float table[4];\n"
    "int g(int v) { return v; }\n"
    "void f(int n, struct pt *p)\n"
    "{\n";

TEST(FrontEndShapes, EachConstructAsDocumented) {
    const Shape shapes[] = {
        {"compound assignment", "n += 2;",
         {"CFG_STATE_DATAPATH", "DFG_OPERATION", "DfgOpe_TYPE ATTR_INT CALC_AddEqu", "DFG_OUTPUT_VAR",
          "DfgPort_NAME ATTR_STRING \"n\"", "DFG_INPUT_CONST"}},
        {"increments", "n++; --n;",
         {"CALC_IncP", "DFG_OUTPUT_VAR", "CALC_PDec", "DFG_OUTPUT_VAR"}},
        {"conditional", "n = n > 0 ? n : -n;",
         {"DFG_OUTPUT_VAR", "DFG_OPERATION", "CALC_LogCond", "DfgOpe_LEFT", "DfgOpe_RIGHT", "DfgOpe_COND",
          "CALC_Minus", "CALC_Gre", "DFG_EDGE_BLOCKING"}},
        {"commas: list items at the top, an operation inside",
         "int i, j;\nfor (i = 0, j = 1; i < n; i++, j--) n = (i, j);",
         {"CFG_LOOP_INIT", "DFG_MANAGE_OPERATION", "DFG_MANAGE_OPERATION", "CFG_LOOP_COND",
          "CFG_LOOP_STAT", "CALC_Concat", "CFG_LOOP_STEP", "DFG_MANAGE_OPERATION", "DFG_MANAGE_OPERATION"}},
        {"sizeof", "n = sizeof n + sizeof(int);",
         {"DFG_SIZEOF", "DfgSizeof_OPE", "DFG_INPUT_VAR", "DFG_SIZEOF", "DFG_SPEC",
          "DfgSpec_TYPESTR ATTR_STRING \"int\""}},
        {"member through a pointer", "p->x = 1;",
         {"DFG_OUTPUT_VAR", "DfgPort_NAME ATTR_STRING \"p\"", "DfgPort_POINTERCNT ATTR_INT 1",
          "DfgPort_STRSON", "DFG_OUTPUT_VAR", "DfgPort_NAME ATTR_STRING \"x\"", "DfgPort_STRPARENT"}},
        {"enumerations", "enum mode m;\nm = ON;",
         {"DFG_OUTPUT_VAR", "DfgPort_NAME ATTR_STRING \"m\"", "DFG_INPUT_CONST",
          "DfgInputCnst_STRVALUE ATTR_STRING \"1\""}},
        {"static and extern", "counter = table[0];",
         {"CfgDecl_NAME ATTR_STRING \"counter\"", "CfgDecl_CLASS ATTR_INT 1", "CfgDecl_NAME ATTR_STRING \"table\"",
          "CfgDecl_CLASS ATTR_INT 2", "CfgDecl_EXTFLAG ATTR_INT 1"}},
        {"bit fields", "p->flags = 1;", {"CfgDecl_NAME ATTR_STRING \"flags\"", "CfgDecl_BITEXP"}},
        {"string and character literals", "g(\"abc\"[0] + 'A');",
         {"DFG_INPUT_STRING", "DfgInputStr_STRING ATTR_STRING \"\\\"abc\\\"\"", "DFG_INPUT_CONST",
          "DfgInputCnst_STRVALUE ATTR_STRING \"65\""}},
        {"brace initialisers", "int a[2] = {1, 2};\nstruct pt q = {1.0f, 2};\nn = a[0] + q.flags;",
         {"CFG_MEMBER_LIST", "CfgMemberList_MEMBER", "CFG_MEMBER", "CfgMember_SIGNAL", "CFG_MEMBER",
          "CFG_MEMBER_LIST", "CFG_MEMBER", "CFG_MEMBER"}},
        {"break, continue and empty statements", "while (n) { ; if (n > 2) continue; break; }",
         {"CFG_LOOP_BEGIN", "LOOP_WHILE", "CFG_STATE_IF", "CFG_CONTINUE", "CFG_STATE_ENDIF", "CFG_BREAK",
          "CFG_LOOP_END"}},
        {"labels", "again:\nn--;\nif (n) goto again;",
         {"CFG_STATE_LABEL", "CfgStateLabel_NAME ATTR_STRING \"again\"", "CFG_STATE_DATAPATH", "CFG_GOTO",
          "CfgGoto_LABEL ATTR_STRING \"again\""}},
        {"declarations in blocks and for headers",
         "n = 1;\n{ int t = n; n = t; }\nfor (int k = 0; k < n; k++) n--;",
         {"CFG_STATE_DATAPATH", "CFG_DECLARE_DEF", "CFG_DECLARE", "CfgDecl_NAME ATTR_STRING \"t\"", "CFG_MEMBER",
          "CFG_STATE_DATAPATH", "CFG_DECLARE_DEF", "CfgDecl_NAME ATTR_STRING \"k\"", "CFG_LOOP_BEGIN",
          "CFG_LOOP_INIT", "DFG_OUTPUT_VAR", "DfgPort_NAME ATTR_STRING \"k\"", "DFG_EDGE_BLOCKING"}},
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.construct);
        tb::ScratchDir dir;
        tb::writeBytes(dir.path("a.c"), std::string(kTop) + s.code + "\n}\n");
        tb::Run front = tb::runBinary(C2CDFG_BINARY, {"-o", "a.cdfg", "a.c"}, dir.dir());
        ASSERT_EQ(front.status, 0) << front.err;
        tb::Run dump = tb::runBinary(CDFGTOOL_BINARY, {"dump", "a.cdfg"}, dir.dir());
        // The function f, from its record on.
        std::size_t at = dump.out.find("CfgFunc_NAME ATTR_STRING \"f\"");
        if (std::string(s.construct) == "static and extern") at = 0;  // file-scope declarations
        ASSERT_NE(at, std::string::npos);
        for (const std::string& line : s.lines) {
            std::size_t found = dump.out.find(line, at);
            ASSERT_NE(found, std::string::npos) << "missing, in order: " << line << "\n" << dump.out.substr(at);
            at = found + line.size();
        }
    }
}

}  // namespace
