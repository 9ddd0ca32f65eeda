#include "support/c_program.h"

#include <gtest/gtest.h>

#include "cdfg/reader.h"
#include "cdfg/writer.h"
#include "frontend/frontend.h"

namespace tb {

std::unique_ptr<CdfgGraph> compileC(const std::string& source) {
    FrontendOptions options;
    options.files = {"a.c"};
    options.sources = {{"a.c", source}};
    options.headerDir = defaultHeaderDir();
    FrontendResult result = translateProgram(options);
    std::string messages;
    for (const FrontendDiagnostic& d : result.diagnostics)
        if (d.severity == "error") messages += formatDiagnostic(d) + "\n";
    EXPECT_NE(result.graph, nullptr) << result.failure << messages;
    return std::move(result.graph);
}

Run compileProgram(const ScratchDir& dir, const Files& files, const std::function<void(CdfgGraph&)>& edit) {
    std::vector<std::string> args = {"-o", "prog.cdfg"};
    for (const auto& [name, text] : files) {
        writeBytes(dir.path(name), text);
        if (name.size() > 2 && name.compare(name.size() - 2, 2, ".c") == 0) args.push_back(name);
    }
    Run front = runBinary(C2CDFG_BINARY, args, dir.dir());
    EXPECT_EQ(front.status, 0) << front.err;
    // What the front end writes is clean for cdfgtool and reads back unchanged.
    Run check = runBinary(CDFGTOOL_BINARY, {"check", "prog.cdfg"}, dir.dir());
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    Run dump = runBinary(CDFGTOOL_BINARY, {"dump", "prog.cdfg", "-o", "prog.txt"}, dir.dir());
    Run assemble = runBinary(CDFGTOOL_BINARY, {"asm", "prog.txt", "-o", "again.cdfg"}, dir.dir());
    EXPECT_EQ(dump.status + assemble.status, 0) << dump.err << assemble.err;
    EXPECT_EQ(readBytes(dir.path("again.cdfg")), readBytes(dir.path("prog.cdfg")));
    if (edit && front.status == 0) {
        const std::string cdfg = dir.path("prog.cdfg");
        std::unique_ptr<CdfgGraph> g = readCdfg(cdfg.c_str());
        EXPECT_NE(g, nullptr);
        if (g) edit(*g);
        EXPECT_EQ(writeCdfg(g.get(), cdfg.c_str()), 0);
    }
    return front;
}

CheckerRun runCheckerOn(const ScratchDir& dir, const std::vector<std::string>& options) {
    CheckerRun run;
    std::vector<std::string> checker = options;
    checker.push_back("prog.cdfg");
    checker.push_back("prog.inf");
    run.checker = runBinary(TAVIK_BINARY, checker, dir.dir());
    bool missing = false;
    run.inf = readBytes(dir.path("prog.inf"), &missing);
    run.infWritten = !missing;
    return run;
}

CheckerRun runChecker(const ScratchDir& dir, const Files& files, const std::vector<std::string>& options,
                      const std::function<void(CdfgGraph&)>& edit) {
    Run front = compileProgram(dir, files, edit);
    CheckerRun run = runCheckerOn(dir, options);
    run.front = front;
    return run;
}

std::string inf(const std::vector<std::string>& modules, int submodules, const std::string& records) {
    std::string text = "%%\n+-+-+module(s)+-+-+\n";
    for (const std::string& m : modules) text += " >> `" + m + "()'\n";
    if (modules.empty())
        text += " ...no module(only test bench).\n";
    else
        text += " ...and " + std::to_string(submodules) + " submodule(s).\n";
    return text + "\n%%\n" + records;
}

void expectOutcome(const CheckerRun& run, const std::vector<std::string>& messages, const std::string& inf) {
    std::string out;
    int errors = 0, warnings = 0;
    for (const std::string& m : messages) {
        out += m;
        errors += m[0] == 'E';
        warnings += m[0] == 'W';
    }
    EXPECT_EQ(run.checker.out, errors + warnings ? out + totals(errors, warnings) : "");
    EXPECT_EQ(run.checker.status, errors ? 255 : 0);
    EXPECT_EQ(run.infWritten, errors == 0);
    if (errors == 0) {
        EXPECT_EQ(run.inf, inf);
    }
}

}  // namespace tb
