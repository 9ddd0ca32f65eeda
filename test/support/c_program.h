// C programs for tests: compiled by the front end in this process, or by
// c2cdfg and run through tavikChk; and the checker's lines as expected text.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cdfg/graph.h"
#include "report/messages.h"
#include "support/binary_run.h"

namespace tb {

// (name, text): the .c files are the program, in order; the others (headers,
// constraint files) are only written beside them.
using Files = std::vector<std::pair<std::string, std::string>>;

// main() calling work(b) as the module: the test bench of most programs.
inline const std::string kModuleMain =
    "int main(int argc, char *argv[])\n"
    "{\n"
    "    float b[4];\n"
    "    work(b);            //tavik module\n"
    "    return 0;\n"
    "}\n";

// The graph the front end makes of one C file, a.c, compiled in this
// process; null (and a test failure naming the compiler's errors) when it
// does not compile.
std::unique_ptr<CdfgGraph> compileC(const std::string& source);

// What a checker run on a program left: its output, status and INF file.
struct CheckerRun {
    Run front;    // c2cdfg
    Run checker;  // tavikChk
    bool infWritten = false;
    std::string inf;
};
// Writes the files into dir and compiles the .c ones with c2cdfg into
// dir/prog.cdfg; edit (when given) then changes that graph.
Run compileProgram(const ScratchDir& dir, const Files& files,
                   const std::function<void(CdfgGraph&)>& edit = nullptr);
// tavikChk in dir with the options and "prog.cdfg prog.inf".
CheckerRun runCheckerOn(const ScratchDir& dir, const std::vector<std::string>& options);
// Both.
CheckerRun runChecker(const ScratchDir& dir, const Files& files, const std::vector<std::string>& options,
                      const std::function<void(CdfgGraph&)>& edit = nullptr);

// Message `code` as the checker prints it: the prefix of its kind, then its
// catalogue text formatted with the arguments (for "%s:%d:" texts the file
// and line come first).
template <typename... Args>
std::string msg(int code, Args... args) {
    const MessageRow* row = programCatalogue();
    while (row->code != -1 && row->code != code) ++row;
    char text[1024];
    if constexpr (sizeof...(Args) == 0)
        std::snprintf(text, sizeof text, "%s", row->text ? row->text : "");
    else
        std::snprintf(text, sizeof text, row->text, args...);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, row->kind == MSG_WARNING ? "W%03d:Warning:" : "E%03d:Error:", code);
    return prefix + std::string(text);
}

// An INF file: the module lines, the submodule count and the records.
std::string inf(const std::vector<std::string>& modules, int submodules, const std::string& records);

// The expected outcome of a checker run from its messages: the totals line
// counts the lines that begin with E and W; an error makes status -1 and
// leaves no INF file, otherwise the INF file must be `inf`.
void expectOutcome(const CheckerRun& run, const std::vector<std::string>& messages, const std::string& inf);

}  // namespace tb
