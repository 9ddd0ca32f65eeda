#include "tools/cdfg_dot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "support/binary_run.h"
#include "support/cdfg_files.h"

namespace {

using tooltest::assemble;

// f calls g; f's statement assigns to a variable, which refers to its
// declaration.
const char kProgram[] = R"(
node @root CFG_ROOT
  CfgRoot_ELEMENT @file
node @file CFG_FILEINFO
  CfgFileinfo_NAME "a.c"
  CfgFileinfo_ELEMENT @g
node @g CFG_FUNCTION next @f
  CfgFunc_NAME "g"
  CfgFunc_STARTCFG @g_ret
node @g_ret CFG_RETURN
node @f CFG_FUNCTION
  CfgFunc_NAME "f"
  CfgFunc_DECLARE @v
  CfgFunc_STARTCFG @s
node @v CFG_DECLARE
  CfgDecl_NAME "v \"quoted\" \\ \xff"
  CfgDecl_DIRECTIVE @d
node @d INFO_DIRECTIVE
  DfgDirective_TYPE DIRE_Directive
  DfgDirective_STR "fixedP S 16:8"
node @s CFG_STATE_DATAPATH
  CfgDatapath_OPELIST @m
node @m DFG_MANAGE_OPERATION
  DfgOpeman_OPE @edge
node @target DFG_OUTPUT_VAR next @edge
  DfgPort_NAME "v"
  DfgPort_DECL @v
node @edge DFG_EDGE_BLOCKING next @add
node @add DFG_OPERATION
  DfgOpe_TYPE CALC_Add
  DfgOpe_LEFT @call
  DfgOpe_RIGHT @99
node @call DFG_FUNC_CALL jump @g
  DfgFuncCall_NAME "g"
)";

std::string dotOf(const std::string& bytes, const std::string* function = nullptr,
                  bool references = false) {
    DotOptions options;
    options.function = function;
    options.references = references;
    std::string out, error;
    EXPECT_TRUE(writeDot(parseRecords(bytes), options, out, error)) << error;
    return out;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CdfgDot, DrawsEachKindOfLinkInItsOwnStyle) {
    const std::string dot = dotOf(assemble(kProgram));
    // Labels: kind and key attribute, escaped for Graphviz.
    EXPECT_TRUE(has(dot, "r0 [label=\"1 CFG_ROOT\"];"));
    EXPECT_TRUE(has(dot, "[label=\"6 CFG_DECLARE\\n\\\"v \\\\\\\"quoted\\\\\\\" \\\\\\\\ \\\\xff\\\"\"]")) << dot;
    EXPECT_TRUE(has(dot, "\\n\\\"fixedP S 16:8\\\"\""));
    EXPECT_TRUE(has(dot, "12 DFG_OPERATION\\nCALC_Add"));
    // Owned subtree, chain, call, missing node.
    EXPECT_TRUE(has(dot, "r4 -> r5 [color=blue, fontcolor=blue, label=\"CfgFunc_DECLARE\"]"));
    EXPECT_TRUE(has(dot, "r9 -> r10 [color=black"));
    EXPECT_TRUE(has(dot, "r10 -> r11 [color=black"));
    EXPECT_TRUE(has(dot, "r12 -> r2 [color=red, fontcolor=red, style=bold, constraint=false, label=\"call\"]"));
    EXPECT_TRUE(has(dot, "missing99 [label=\"99 missing\""));
    // Values that are no node draw nothing; cross references only on request.
    EXPECT_FALSE(has(dot, "DfgOpe_TYPE"));
    EXPECT_FALSE(has(dot, "DfgPort_DECL"));
    EXPECT_TRUE(has(dotOf(assemble(kProgram), nullptr, true), "r9 -> r5 [color=gray40, fontcolor=gray40, style=dashed"));
}

TEST(CdfgDot, FunctionLimitsThePicture) {
    const std::string bytes = assemble(kProgram);
    const std::string f = "f";
    const std::string dot = dotOf(bytes, &f);
    EXPECT_TRUE(has(dot, "\"5 CFG_FUNCTION\\n\\\"f\\\"\""));
    EXPECT_TRUE(has(dot, "r9 [label=\"10 DFG_OUTPUT_VAR"));  // the target in front of the edge
    EXPECT_TRUE(has(dot, "r2 [label=\"3 CFG_FUNCTION\\n\\\"g\\\"\", style=dashed"));  // called: a stub
    EXPECT_FALSE(has(dot, "CFG_RETURN"));  // g's body
    EXPECT_FALSE(has(dot, "CFG_FILEINFO"));
    EXPECT_FALSE(has(dot, "r2 -> "));  // nothing drawn out of a stub

    DotOptions options;
    const std::string missing = "h";
    options.function = &missing;
    std::string out, error;
    EXPECT_FALSE(writeDot(parseRecords(bytes), options, out, error));
    EXPECT_EQ(error, "no function named 'h'");
}

// Graphviz accepts the pictures of the examples, of a random file with any
// bytes in its texts, and of a file with missing nodes.
TEST(CdfgDot, GraphvizAcceptsThePictures) {
    if (std::system("dot -V > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Graphviz 'dot' is not installed; install graphviz to run this test";
    std::vector<std::pair<std::string, std::string>> pictures;
    const std::string main = "main";
    for (const char* example : {"fir", "hello", "unsupported"}) {
        const std::string bytes = tb::readBytes(std::string(TAVIK_EXAMPLES_DIR) + "/" + example + ".cdfg");
        pictures.emplace_back(example, dotOf(bytes, std::string(example) == "fir" ? &main : nullptr, true));
    }
    std::mt19937 rng(5);
    pictures.emplace_back("random", dotOf(tooltest::randomGraphBytes(rng), nullptr, true));
    pictures.emplace_back("program", dotOf(assemble(kProgram), nullptr, true));
    // One run of dot per graph: some versions of dot fail on a file of
    // several graphs that each pass alone.
    const std::string path =
        ::testing::TempDir() + "cdfgtool_dot_test_" + std::to_string(::getpid()) + ".dot";
    for (const auto& [name, dot] : pictures) {
        ASSERT_TRUE(writeWholeFile(path, dot));
        EXPECT_EQ(std::system(("dot -Tsvg " + path + " > /dev/null").c_str()), 0) << name << '\n' << dot;
    }
    std::remove(path.c_str());
}

}  // namespace
