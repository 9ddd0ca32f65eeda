// The front end on bad input: its message, its exit status, and no file
// written or left behind; an output file already there stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/binary_run.h"

namespace {

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
