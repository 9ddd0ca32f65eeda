// The whole program on small CDFG files: how a run ends (function tree
// failures, an INF file that cannot be written, warnings only, -nochk, an
// option without its value) as seen on standard output, in the exit status
// and on disk.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "support/binary_run.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Outcome;
using tb::Type;

// a.c:
//  1 void g(float f) {
//  2   char buf[20000];
//  3   if (f > 0.5) { }
//    }
//  5 int main(int argc, char *argv[]) {
//  6   float x;
//  7   x = 1;
//  8   g(x);            //tavik module     (without it when module is false)
//  9   return 0;
//    }
// mainName renames main.
std::string smallProgram(const std::string& path, const std::string& mainName = "main", bool module = true) {
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.at(1).function("g", Type::Void());
    NodeId f = b.param(g, "f", Type::Float());
    b.at(2).local(g, "buf", Type::Char().array({20000}));
    b.body(g, {b.at(3).ifStmt(b.op(CALC_Gre, b.var(f), b.lit("0.5")), {})});
    NodeId main = b.at(5).function(mainName);
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId x = b.at(6).local(main, "x", Type::Float());
    std::vector<std::string> directives;
    if (module) directives.push_back("module");
    b.body(main, {b.at(7).stmt(b.assign(b.out(x), b.lit("1"))),
                  b.at(8).stmt(b.call(g, {b.var(x)}, directives)),
                  b.at(9).ret(b.lit("0"))});
    b.writeTo(path);
    return path;
}

const std::string kSmallInf =
    "%%\n"
    "+-+-+module(s)+-+-+\n"
    " >> `g()'\n"
    " ...and 0 submodule(s).\n"
    "\n"
    "%%\n"
    "g,a.c,\"\"%f,\"\"%buf,\"\";";

const std::string kW538 = "W538:Warning:a.c:2:The size of an auto variable is too large. 'buf' > 16384\n";
const std::string kW601 =
    "W601:Warning:a.c:3:Floating point arithmetic is contained in the conditions of if. "
    "An unusual end may be carried out when a result does not suit.\n";
const std::string kE501 = "E501:Error:::A main function is not found.\n";
const std::string kE502 = "E502:Error:::A module directive specification function call is not found.\n";

struct Case {
    std::string label;
    std::vector<std::string> options;  // put before the file names
    std::vector<std::string> after;    // put after them
    std::string mainName = "main";
    bool module = true;
    bool missingInfDirectory = false;
    std::string out;  // "<inf>", "<cdfg>" stand for the paths, "<banner>" for the start banner
    int status;
    bool infWritten;
};

TEST(RunEnd, StatusOutputAndInfFileOfEachWayARunEnds) {
    const std::string e453 = "E453:Error:::Writing of a file went wrong. '<inf>'\n";
    const std::string e461 = "E461:Error:::Invalid option name '-ctf'.\n";
    const std::string reading = "--- Reading of '<cdfg>' file ...\n--- Reset of file name ...\n";
    const std::string checking = "--- Checking of proto function ...\n--- Makeing of function tree ...\n";
    const std::string freeing = "--- Deleteing of used memory ...\n" + tb::kEndLine;
    const std::vector<Case> cases = {
        {"warnings only", {}, {}, "main", true, false, kW538 + kW601 + tb::totals(0, 2), 0, true},
        {"warnings only, with -title", {"-title"}, {}, "main", true, false,
         "<banner>" + kW538 + kW601 + tb::kEndLine + tb::totals(0, 2) + tb::kEndOk, 0, true},
        // The function tree pass fails: the run ends at once with status -1.
        {"no main", {}, {}, "Main", true, false, kE501 + tb::totals(1, 0), 255, false},
        {"no main, with -title", {"-title"}, {}, "Main", true, false,
         "<banner>" + kE501 + tb::totals(1, 0) + tb::kEndError, 255, false},
        {"no module", {}, {}, "main", false, false, kE502 + tb::totals(1, 0), 255, false},
        // Without checks the INF writer looks for main itself.
        {"no main, -nochk", {"-nochk"}, {}, "Main", true, false, kE501 + tb::totals(1, 0), 255, false},
        {"no module, -nochk", {"-nochk"}, {}, "main", false, false, "", 0, true},
        {"-nochk", {"-nochk"}, {}, "main", true, false, "", 0, true},
        {"INF file in a missing directory", {}, {}, "main", true, true,
         kW538 + kW601 + e453 + tb::totals(1, 2), 255, false},
        {"INF file in a missing directory, -nochk", {"-nochk"}, {}, "main", true, true,
         e453 + tb::totals(1, 0), 255, false},
        // The checks still run; the error keeps the INF file from being written.
        {"-ctf without its file", {}, {"-ctf"}, "main", true, false, e461 + kW538 + kW601 + tb::totals(1, 2), 255,
         false},
        // The progress lines of -debug around what the passes print.
        {"warnings only, -debug", {"-debug"}, {}, "main", true, false,
         reading + checking + "--- Checking of function ...\n" + kW538 + kW601 + freeing + tb::totals(0, 2), 0, true},
        {"no main, -debug", {"-debug"}, {}, "Main", true, false, reading + checking + kE501 + tb::totals(1, 0), 255,
         false},
        {"-nochk -debug", {"-nochk", "-debug"}, {}, "main", true, false, reading + freeing, 0, true},
        {"-ctf without its file, with -title", {"-title"}, {"-ctf"}, "main", true, false,
         "<banner>" + e461 + kW538 + kW601 + tb::kEndLine + tb::totals(1, 2) + tb::kEndError, 255, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        tb::ScratchDir dir;
        std::string cdfg = smallProgram(dir.path("a.cdfg"), c.mainName, c.module);
        std::string inf = c.missingInfDirectory ? dir.path("missing/a.inf") : dir.path("a.inf");
        std::vector<std::string> args = c.options;
        args.push_back(cdfg);
        args.push_back(inf);
        args.insert(args.end(), c.after.begin(), c.after.end());

        Outcome o = tb::runTool(args);
        std::string year;
        std::string got = tb::maskClock(o.out, &year);
        std::string expected = c.out;
        for (std::size_t at; (at = expected.find("<inf>")) != std::string::npos;) expected.replace(at, 5, inf);
        for (std::size_t at; (at = expected.find("<cdfg>")) != std::string::npos;) expected.replace(at, 6, cdfg);
        if (expected.rfind("<banner>", 0) == 0) expected = tb::startBanner(year) + expected.substr(8);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(o.status, c.status);

        bool missing = false;
        std::string written = tb::readBytes(inf, &missing);
        EXPECT_EQ(!missing, c.infWritten);
        if (!c.infWritten) continue;
        if (c.module) {
            EXPECT_EQ(written, kSmallInf);
        } else {
            EXPECT_EQ(written, "%%\n+-+-+module(s)+-+-+\n ...no module(only test bench).\n\n%%\n");
        }
    }
}

// An INF path that names an input file is refused before anything is
// written; a path that is no file cannot be read; a pipe is read as a file.
// Run by the shell in the scratch directory, standard error included.
TEST(RunEnd, InputFilesAreNeverOverwrittenAndOnlyFilesAreRead) {
    struct Shape {
        std::string label;
        std::string setup;  // shell commands run first
        std::string args;   // shell words
        std::string out;
        int status;
        enum { None, TheCdfgFile, Written } inf;  // what a.inf is afterwards
    };
    const std::string refused = "tavikChk: the INF file ";
    const std::string e452 = "E452:Error:::Reading of a file went wrong. 'dir'\n";
    const std::vector<Shape> shapes = {
        {"the CDFG file named twice", "", "a.cdfg a.cdfg",
         refused + "'a.cdfg' is the CDFG file 'a.cdfg'; nothing was written.\n", 1, Shape::None},
        {"a symbolic link to the CDFG file", "ln -s a.cdfg a.inf", "a.cdfg a.inf",
         refused + "'a.inf' is the CDFG file 'a.cdfg'; nothing was written.\n", 1, Shape::TheCdfgFile},
        {"a hard link of the CDFG file", "ln a.cdfg a.inf", "a.cdfg a.inf",
         refused + "'a.inf' is the CDFG file 'a.cdfg'; nothing was written.\n", 1, Shape::TheCdfgFile},
        {"the constraint file as INF file", "", "-ctf c.ctf a.cdfg c.ctf",
         refused + "'c.ctf' is the constraint file 'c.ctf'; nothing was written.\n", 1, Shape::None},
        {"a directory as CDFG file", "mkdir dir", "dir a.inf", e452 + tb::totals(1, 0), 255, Shape::None},
        {"a directory as constraint file", "mkdir dir", "-ctf dir a.cdfg a.inf",
         "Error:constarint:Cat't open 'dir'\n" + e452 + kW538 + kW601 + tb::totals(1, 2), 255, Shape::None},
        {"the CDFG file through a pipe", "", "<(cat a.cdfg) a.inf", kW538 + kW601 + tb::totals(0, 2), 0,
         Shape::Written},
    };
    for (const Shape& c : shapes) {
        SCOPED_TRACE(c.label);
        tb::ScratchDir dir;
        const std::string cdfgBytes = tb::readBytes(smallProgram(dir.path("a.cdfg")));
        const std::string ctfBytes = "$def_directive\n$end_directive\n";
        tb::writeBytes(dir.path("c.ctf"), ctfBytes);

        std::string command = "cd '" + dir.dir() + "' && ";
        if (!c.setup.empty()) command += c.setup + " && ";
        command += "exec '" TAVIK_BINARY "' " + c.args + " 2>&1";
        Outcome o = tb::runInChild([&] {
            execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        });
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(tb::readBytes(dir.path("a.cdfg")), cdfgBytes);
        EXPECT_EQ(tb::readBytes(dir.path("c.ctf")), ctfBytes);
        bool missing = false;
        const std::string inf = tb::readBytes(dir.path("a.inf"), &missing);
        EXPECT_EQ(missing, c.inf == Shape::None);
        if (c.inf != Shape::None) {
            EXPECT_EQ(inf, c.inf == Shape::Written ? kSmallInf : cdfgBytes);
        }
    }
}

// Top-level elements take the name of their file record before any check
// runs; the nodes inside them keep the name the front end gave them.
TEST(RunEnd, TopLevelElementsAreReportedUnderTheirFileRecordsName) {
    tb::ScratchDir dir;
    std::string cdfg = dir.path("a.cdfg"), inf = dir.path("a.inf");
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.at(1).function("g");
    NodeId v = b.param(g, "v", Type::Int());
    b.body(g, {b.at(2).ifStmt(b.var(v), {b.ret(b.lit("1"))}), b.at(3).stmt(b.callByName("malloc", {b.lit("4")}))});
    NodeId main = b.at(5).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    b.body(main, {b.at(6).stmt(b.call(g, {b.lit("1")}, {"module"})), b.at(7).ret(b.lit("0"))});
    // g and everything in it was read from a header.
    for (const CdfgNode& node : b.graph().nodes)
        if (node.id >= g && node.id < main) setFileName(b.graph(), node.id, "g.h");
    b.writeTo(cdfg);

    Outcome o = tb::runTool({cdfg, inf});
    EXPECT_EQ(o.out, "E508:Error:g.h:3:Dynamic memory allocation has not supported.\n"
                     "E537:Error:a.c:1:control reaches end of non-void function 'g'\n" + tb::totals(2, 0));
    EXPECT_EQ(o.status, 255);

    o = tb::runTool({"-nochk", cdfg, inf});
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(tb::readBytes(inf), "%%\n+-+-+module(s)+-+-+\n >> `g()'\n ...and 0 submodule(s).\n\n%%\ng,a.c,\"\"%v,\"\";");
}

}  // namespace
