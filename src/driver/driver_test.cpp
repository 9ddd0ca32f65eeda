#include "driver/run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "cdfg/reader.h"
#include "cdfg/writer.h"
#include "report/messages.h"
#include "support/binary_run.h"
#include "support/graph_builder.h"
#include "support/sanitizer.h"
#include "util/memory.h"

namespace {

using tb::kEndError;
using tb::kEndOk;
using tb::maskClock;
using tb::Outcome;
using tb::runInChild;
using tb::runTool;
using tb::startBanner;
using tb::totals;


const std::string kUsage =
    "usage : tavikChk [option's] <cdfg name> <inf name>\n"
    "  <cdfg name>  : input cdfg file name\n"
    "  <inf name>   : output inf file name\n"
    "  <option's>\n"
    "    -nochk           : Only output inf file\n"
    "    -title           : display of the title\n"
    "    -version         : display of the version\n"
    "    -help            : display of the usage\n"
    "\n";
const std::string kVersionLine = "    tavikChk         : Ver.0.01.08\n";

// ---------------------------------------------------------------------------
// Argument loop

std::string describe(const RunSettings& s) {
    std::ostringstream o;
    auto path = [](const char* p) { return p ? "'" + std::string(p) + "'" : std::string("none"); };
    o << "in=" << path(s.inputCdfgPath) << " out=" << path(s.outputInfPath)
      << " ctf=" << path(s.constraintFilePath) << " title=" << s.titleMode << " debug=" << s.debugMode
      << " check=" << s.checkEnabled << " avar=" << s.autoVarMaxSize << " ec=" << s.ecMode
      << " mev=" << s.mevMode << " algoc=" << s.algocMode << " ansic=" << s.ansicMode
      << " fp=" << s.funcPointerCheck << " modArg=" << s.moduleArgPointerCheck
      << " multi=" << s.multiPointerCheck << " structPtr=" << s.structPointerMemberCheck
      << " dyn=" << s.dynamicAllocCheck;
    return o.str();
}

struct ParseCase {
    std::vector<std::string> args;
    ParseOutcome outcome;
    std::string messages;
    std::function<void(RunSettings&)> expect;  // edits the defaults into the expected settings
};

void files(RunSettings& s, const char* in, const char* out) {
    s.inputCdfgPath = in;
    s.outputInfPath = out;
}

void pointerChecks(RunSettings& s, int on) {
    s.funcPointerCheck = s.moduleArgPointerCheck = s.multiPointerCheck = on;
    s.structPointerMemberCheck = s.dynamicAllocCheck = on;
}

class ParseArgumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        initMessages(1, programCatalogue());
        setMessageCapture(&captured);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        initMessages(1, programCatalogue());
    }
    std::string captured;
};

TEST_F(ParseArgumentsTest, EachOptionInArgumentOrder) {
    const auto E461 = [](const char* arg) { return std::string("E461:Error:::Invalid option name '") + arg + "'.\n"; };
    const std::string E462 = "E462:Error:::Please specify an input CDFG file. \n";
    const std::string E463 = "E463:Error:::Please specify an output INF file. \n";
    using P = ParseOutcome;
    const std::vector<ParseCase> cases = {
        {{"a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"a", "b", "c"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"-title", "-dsp", "-nochk", "-debug", "-mev", "-Ec", "a", "b"}, P::Run, "",
         [](RunSettings& s) {
             files(s, "a", "b");
             s.titleMode = s.debugMode = s.mevMode = s.ecMode = 1;
             s.checkEnabled = 0;
         }},
        {{"-algoc", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.algocMode = 1; pointerChecks(s, 1); }},
        {{"-ansic", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.ansicMode = 1; pointerChecks(s, 1); }},
        {{"-nopv", "a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); pointerChecks(s, 0); }},
        {{"-algoc", "-nopv", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.algocMode = 1; pointerChecks(s, 0); }},
        {{"-nopv", "-ansic", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.ansicMode = 1; pointerChecks(s, 1); }},
        {{"-avar_max_size", "100", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.autoVarMaxSize = 100; }},
        {{"-avar_max_size", "1", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.autoVarMaxSize = 1; }},
        {{"-avar_max_size", " +42kb", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.autoVarMaxSize = 42; }},
        {{"-avar_max_size", "0", "a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"-avar_max_size", "-5", "a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"-avar_max_size", "big", "a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"-avar_max_size", "99999999999", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.autoVarMaxSize = INT32_MAX; }},
        // A value is taken whatever it looks like.
        {{"-avar_max_size", "-nochk", "a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"-max", "-zz", "a", "b"}, P::Run, "", [](RunSettings& s) { files(s, "a", "b"); }},
        {{"-ctf", "-title", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.constraintFilePath = "-title"; }},
        {{"-ctf", "x.ctf", "-ctf", "y.ctf", "a", "b"}, P::Run, "",
         [](RunSettings& s) { files(s, "a", "b"); s.constraintFilePath = "y.ctf"; }},
        // An option missing its value is reported, and the run goes on.
        {{"a", "b", "-ctf"}, P::Run, E461("-ctf"), [](RunSettings& s) { files(s, "a", "b"); }},
        {{"a", "b", "-avar_max_size"}, P::Run, E461("-avar_max_size"), [](RunSettings& s) { files(s, "a", "b"); }},
        {{"a", "b", "-max"}, P::Run, E461("-max"), [](RunSettings& s) { files(s, "a", "b"); }},
        {{"a", "-ctf"}, P::UsageError, E461("-ctf") + E463, [](RunSettings& s) { s.inputCdfgPath = "a"; }},
        // Missing names.
        {{}, P::UsageError, E462 + E463, [](RunSettings&) {}},
        {{"-nochk", "a"}, P::UsageError, E463,
         [](RunSettings& s) { s.inputCdfgPath = "a"; s.checkEnabled = 0; }},
        // Unknown options stop the loop at once.
        {{"a", "-x", "b"}, P::UsageError, E461("-x"), [](RunSettings& s) { s.inputCdfgPath = "a"; }},
        {{"-", "a", "b"}, P::UsageError, E461("-"), [](RunSettings&) {}},
        {{"-Title", "a", "b"}, P::UsageError, E461("-Title"), [](RunSettings&) {}},
        {{"-nochkx", "a", "b"}, P::UsageError, E461("-nochkx"), [](RunSettings&) {}},
        {{"-x", "-help"}, P::UsageError, E461("-x"), [](RunSettings&) {}},
        // -help stops the loop too, before the file names are asked for.
        {{"-nochk", "-help", "-x"}, P::Help, "", [](RunSettings& s) { s.checkEnabled = 0; }},
        {{"-help"}, P::Help, "", [](RunSettings&) {}},
    };
    for (const ParseCase& c : cases) {
        std::string label;
        for (const std::string& a : c.args) label += "[" + a + "]";
        captured.clear();
        initMessages(1, programCatalogue());
        std::vector<std::string> copies = c.args;
        std::vector<char*> argv{const_cast<char*>("tavikChk")};
        for (std::string& a : copies) argv.push_back(a.data());
        RunSettings got;
        ParseOutcome outcome = parseArguments(static_cast<int>(argv.size()), argv.data(), got);
        RunSettings expected;
        c.expect(expected);
        EXPECT_EQ(static_cast<int>(outcome), static_cast<int>(c.outcome)) << label;
        EXPECT_EQ(captured, c.messages) << label;
        EXPECT_EQ(describe(got), describe(expected)) << label;
    }
}

TEST_F(ParseArgumentsTest, PathsReferToTheArgumentStrings) {
    char program[] = "tavikChk", in[] = "in.cdfg", out[] = "out.inf", opt[] = "-ctf", ctf[] = "c.ctf";
    char* argv[] = {program, opt, ctf, in, out};
    RunSettings s;
    ASSERT_EQ(parseArguments(5, argv, s), ParseOutcome::Run);
    EXPECT_EQ(s.inputCdfgPath, in);
    EXPECT_EQ(s.outputInfPath, out);
    EXPECT_EQ(s.constraintFilePath, ctf);
}

// ---------------------------------------------------------------------------
// Totals and exit status

TEST_F(ParseArgumentsTest, CloseRunPrintsTotalsAndChoosesTheStatus) {
    struct Case {
        int title, errors, warnings, status;
        std::string output;  // calendar times masked
        int result;
    };
    const Case cases[] = {
        {0, 0, 0, 0, "", 0},
        {0, 0, 2, 0, totals(0, 2), 0},
        {0, 1, 0, 0, totals(1, 0), -1},
        {0, 2, 1, 1, totals(2, 1), 1},
        {0, 0, 0, -1, "", -1},
        {1, 0, 0, 0, totals(0, 0) + kEndOk, 0},
        {1, 0, 3, 0, totals(0, 3) + kEndOk, 0},
        {1, 1, 0, 1, totals(1, 0) + kEndError, 1},
        // The end banner follows the count, not the status.
        {1, 0, 0, -1, totals(0, 0) + kEndOk, -1},
    };
    for (const Case& c : cases) {
        initMessages(1, programCatalogue());
        for (int i = 0; i < c.errors; ++i) printMessage(451);
        for (int i = 0; i < c.warnings; ++i) printMessage(603, "a.c", 1);
        captured.clear();
        runSettings = RunSettings{};
        runSettings.titleMode = c.title;
        int result = closeRun(c.status);
        runSettings = RunSettings{};
        EXPECT_EQ(result, c.result) << c.errors << "/" << c.warnings << "/" << c.status;
        EXPECT_EQ(maskClock(captured), c.output);
    }
}

TEST(MemoryFailure, AllocationWrapperAndOperatorNewPrint451AndExitOne) {
    if (tb::kAddressSanitizer) GTEST_SKIP() << "the sanitizer allocator aborts on impossible requests";
    auto prepared = [](const std::function<void()>& failingCall) {
        return runInChild([&] {
            setMessageCapture(nullptr);
            runSettings = RunSettings{};
            setMemoryFailureHandler(onMemoryFailure);
            installNewHandler();
            initMessages(1, programCatalogue());
            failingCall();
        });
    };
    volatile std::size_t huge = SIZE_MAX - 4096;
    const std::string expected = "E451:Error:::Reservation of a memory went wrong.\n\n1 error(s), 0 warning(s).\n";

    Outcome wrapper = prepared([&] { allocZeroed(huge); });
    EXPECT_EQ(wrapper.status, 1);
    EXPECT_EQ(wrapper.out, expected);

    Outcome viaNew = prepared([&] {
        void* p = ::operator new(huge);
        std::printf("unexpected %p\n", p);
    });
    EXPECT_EQ(viaNew.status, 1);
    EXPECT_EQ(viaNew.out, expected);

    // The totals count what came before the failure.
    Outcome afterWarning = prepared([&] {
        printMessage(603, "a.c", 2);
        reallocChecked(nullptr, huge);
    });
    EXPECT_EQ(afterWarning.status, 1);
    EXPECT_EQ(afterWarning.out, "W603:Warning:a.c:2:. There is no target.\n"
                             "E451:Error:::Reservation of a memory went wrong.\n\n1 error(s), 1 warning(s).\n");
}

// ---------------------------------------------------------------------------
// resetFileNames

struct ResetGraph {
    std::unique_ptr<CdfgGraph> g = newGraph();
    NodeId node(std::uint32_t kind, const char* fileName = nullptr) {
        NodeId id = createNode(*g, kind);
        if (fileName) setFileName(*g, id, fileName);
        return id;
    }
    void chain(std::initializer_list<NodeId> ids) {
        NodeId prev = 0;
        for (NodeId id : ids) {
            if (prev) {
                setNextId(*g, prev, id);
                setPrevId(*g, id, prev);
            }
            prev = id;
        }
    }
    NodeId file(const char* name, NodeId firstElement) {
        NodeId id = node(CFG_FILEINFO);
        if (name) setAttrString(*g, id, CfgFileinfo_NAME, name);
        if (firstElement) {
            setAttrNode(*g, id, CfgFileinfo_ELEMENT, firstElement);
            setPrevId(*g, firstElement, id);
        }
        return id;
    }
    std::string fileOf(NodeId id) const {
        const char* name = getFileName(*g, id);
        return name ? name : "(none)";
    }
};

TEST(ResetFileNames, TopLevelElementsTakeTheirFileRecordsName) {
    ResetGraph t;
    NodeId stray = t.node(CFG_FUNCTION, "stray.c");  // before the root: not in any file record
    NodeId root = t.node(CFG_ROOT);
    NodeId f1 = t.node(CFG_FUNCTION, "a.h");
    NodeId d1 = t.node(CFG_DECLARE_DEF, "a.c");
    NodeId p1 = t.node(CFG_PROTO_FUNC);
    NodeId inner = t.node(CFG_STATE_DATAPATH, "x.c");
    setAttrNode(*t.g, f1, CfgFunc_STARTCFG, inner);
    t.chain({f1, d1, p1});
    NodeId g1 = t.node(CFG_FUNCTION, "q.c");
    NodeId h1 = t.node(CFG_FUNCTION, "z.c");
    NodeId h2 = t.node(CFG_DECLARE_DEF, "b.c");
    t.chain({h1, h2});
    NodeId file1 = t.file("a.c", f1);
    NodeId file2 = t.file(nullptr, g1);
    NodeId file3 = t.file("b.c", h1);
    NodeId file4 = t.file("c.c", 0);
    t.chain({file1, file2, file3, file4});
    setAttrNode(*t.g, root, CfgRoot_ELEMENT, file1);

    resetFileNames(*t.g);
    EXPECT_EQ(t.fileOf(f1), "a.c");
    EXPECT_EQ(t.fileOf(d1), "a.c");
    EXPECT_EQ(t.fileOf(p1), "(none)");
    EXPECT_EQ(t.fileOf(inner), "x.c");   // deeper nodes are not visited
    EXPECT_EQ(t.fileOf(g1), "q.c");      // its file record has no name
    EXPECT_EQ(t.fileOf(h1), "b.c");
    EXPECT_EQ(t.fileOf(h2), "b.c");
    EXPECT_EQ(t.fileOf(stray), "stray.c");
    EXPECT_EQ(t.fileOf(file1), "(none)");
}

TEST(ResetFileNames, EmptyGraphsRootsWithoutElementsAndCyclesAreHarmless) {
    ResetGraph empty;
    resetFileNames(*empty.g);

    ResetGraph bare;
    NodeId f = bare.node(CFG_FUNCTION, "a.h");
    bare.node(CFG_ROOT);
    NodeId file = bare.file("a.c", f);
    resetFileNames(*bare.g);
    EXPECT_EQ(bare.fileOf(f), "a.h");
    (void)file;

    // NextId cycles in both chains, and a link to a node that does not exist.
    ResetGraph loops;
    NodeId root = loops.node(CFG_ROOT);
    NodeId e1 = loops.node(CFG_FUNCTION, "1.c");
    NodeId e2 = loops.node(CFG_FUNCTION, "2.c");
    setNextId(*loops.g, e1, e2);
    setNextId(*loops.g, e2, e1);
    NodeId looped = loops.file("m.c", e1);
    setNextId(*loops.g, looped, looped);
    setAttrNode(*loops.g, root, CfgRoot_ELEMENT, looped);
    NodeId dangling = loops.node(CFG_FUNCTION, "d.c");
    setNextId(*loops.g, dangling, 999999);
    setNextId(*loops.g, e2, dangling);
    resetFileNames(*loops.g);
    EXPECT_EQ(loops.fileOf(e1), "m.c");
    EXPECT_EQ(loops.fileOf(e2), "m.c");
    EXPECT_EQ(loops.fileOf(dangling), "m.c");
}

// ---------------------------------------------------------------------------
// The built program

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavik-driver-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string path(const char* name) const { return dir + "/" + name; }

    // int f(int a) { return a; }
    // int main(int argc, char* argv[]) { int x; x = 1; f(x); //tavik module
    //                                    return 0; }
    // main was recorded under another file name, so that the rewrite is visible.
    std::string writeSmallProgram(const char* name) {
        tb::GraphBuilder b;
        b.file("prog.c");
        NodeId f = b.at(1).function("f");
        NodeId a = b.param(f, "a", tb::Type::Int());
        b.body(f, {b.ret(b.var(a))});
        NodeId main = b.at(3).function("main");
        b.param(main, "argc", tb::Type::Int());
        tb::Type argv = tb::Type::Char().ptr();
        argv.dims.push_back(0);  // char* argv[]
        b.param(main, "argv", argv);
        NodeId x = b.local(main, "x", tb::Type::Int());
        b.body(main, {b.at(4).stmt(b.assign(b.out(x), b.lit("1"))),
                      b.at(5).stmt(b.call(f, {b.var(x)}, {"module"})),
                      b.at(6).ret(b.lit("0"))});
        setFileName(b.graph(), main, "prog.i");
        std::string p = path(name);
        b.writeTo(p);
        return p;
    }

    // The function node named name among the top-level elements.
    static NodeId topLevelFunction(const CdfgGraph& g, const char* name) {
        NodeId file = getAttrInt(g, findRoot(g), CfgRoot_ELEMENT);
        for (NodeId id = getAttrInt(g, file, CfgFileinfo_ELEMENT); id != 0; id = getNextId(g, id)) {
            const char* text = getAttrString(g, id, CfgFunc_NAME);
            if (getKind(g, id) == CFG_FUNCTION && text && std::string(text) == name) return id;
        }
        return 0;
    }

    std::string dir;
};

TEST_F(ProgramTest, UsageVersionAndHelpAnswers) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;  // calendar times masked; "<banner>" for the start banner
        int status;
    };
    const std::string E461x = "E461:Error:::Invalid option name '-x'.\n";
    const std::string E462 = "E462:Error:::Please specify an input CDFG file. \n";
    const std::string E463 = "E463:Error:::Please specify an output INF file. \n";
    const Case cases[] = {
        {{"-version"}, kVersionLine, 0},
        {{"a", "-help", "-x", "-version", "-ctf"}, kVersionLine, 0},
        {{"-title", "-version"}, kVersionLine, 0},
        {{}, E462 + E463 + kUsage + totals(2, 0), 1},
        {{"in.cdfg"}, E463 + kUsage + totals(1, 0), 1},
        {{"-help"}, kUsage, 0},
        {{"-help", "-x"}, kUsage, 0},
        {{"-title", "-help"}, "<banner>" + kUsage + totals(0, 0) + kEndOk, 0},
        {{"-help", "-title"}, "<banner>" + kUsage + totals(0, 0) + kEndOk, 0},
        {{"-x", "in", "out"}, E461x + kUsage + totals(1, 0), 1},
        {{"in", "out", "-x", "-title"}, "<banner>" + E461x + kUsage + totals(1, 0) + kEndError, 1},
        {{"-title"}, "<banner>" + E462 + E463 + kUsage + totals(2, 0) + kEndError, 1},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const std::string& a : c.args) label += "[" + a + "]";
        Outcome o = runTool(c.args);
        std::string year;
        std::string got = maskClock(o.out, &year);
        std::string expected = c.expected;
        if (expected.rfind("<banner>", 0) == 0) expected = startBanner(year) + expected.substr(8);
        EXPECT_EQ(o.status, c.status) << label;
        EXPECT_EQ(got, expected) << label;
    }
}

TEST_F(ProgramTest, UnreadableCdfgFileEndsWith452) {
    std::string missing = path("missing.cdfg");
    std::string inf = path("out.inf");
    const std::string e452 = "E452:Error:::Reading of a file went wrong. '" + missing + "'\n";

    Outcome plain = runTool({missing, inf});
    EXPECT_EQ(plain.status, 255);
    EXPECT_EQ(plain.out, e452 + "\n1 error(s), 0 warning(s).\n");

    Outcome debug = runTool({"-debug", missing, inf});
    EXPECT_EQ(debug.status, 255);
    EXPECT_EQ(debug.out, "--- Reading of '" + missing + "' file ...\n" + e452 + "\n1 error(s), 0 warning(s).\n");

    Outcome title = runTool({"-title", missing, inf});
    EXPECT_EQ(title.status, 255);
    std::string year;
    std::string masked = maskClock(title.out, &year);
    EXPECT_EQ(masked, startBanner(year) + e452 + totals(1, 0) + kEndError);
    EXPECT_FALSE(std::filesystem::exists(inf));
}

TEST_F(ProgramTest, NoCheckRunRewritesTheCdfgFileWithoutReadingTheConstraintFile) {
    std::string cdfg = writeSmallProgram("prog.cdfg");
    std::string inf = path("prog.inf");
    std::string ctf = path("never-read.ctf");

    Outcome quiet = runTool({"-nochk", cdfg, inf});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    auto rewritten = readCdfg(cdfg.c_str());
    ASSERT_NE(rewritten, nullptr);
    NodeId main = topLevelFunction(*rewritten, "main");
    ASSERT_NE(main, 0u);
    ASSERT_NE(getFileName(*rewritten, main), nullptr);
    EXPECT_STREQ(getFileName(*rewritten, main), "prog.c");
    EXPECT_EQ(getLine(*rewritten, main), 3u);

    // The missing constraint file goes unnoticed: it is never opened.
    Outcome debug = runTool({"-debug", "-ctf", ctf, "-nochk", cdfg, inf});
    EXPECT_EQ(debug.status, 0);
    EXPECT_EQ(debug.out,
              "--- Reading of '" + cdfg + "' file ...\n"
              "--- Reset of file name ...\n"
              "--- Deleteing of used memory ...\n"
              "End of tavikChk ...\n");

    Outcome title = runTool({"-nochk", "-title", cdfg, inf, "ignored"});
    EXPECT_EQ(title.status, 0);
    std::string year;
    std::string masked = maskClock(title.out, &year);
    EXPECT_EQ(masked, startBanner(year) + "End of tavikChk ...\n" + totals(0, 0) + kEndOk);
}

TEST_F(ProgramTest, CheckingRunPrintsItsProgressInOrder) {
    std::string cdfg = writeSmallProgram("prog.cdfg");
    std::string inf = path("prog.inf");
    std::string ctf = path("c.ctf");
    std::ofstream(ctf) << "";

    Outcome o = runTool({"-debug", "-ctf", ctf, cdfg, inf});
    const std::string head = "--- Reading of '" + cdfg + "' file ...\n"
                             "--- Reset of file name ...\n"
                             "--- Reading of '" + ctf + "' file ...\n";
    ASSERT_EQ(o.out.substr(0, head.size()), head) << o.out;
    // What the passes report depends on them; the driver's lines keep their order.
    std::size_t proto = o.out.find("--- Checking of proto function ...\n");
    std::size_t tree = o.out.find("--- Makeing of function tree ...\n");
    ASSERT_NE(proto, std::string::npos) << o.out;
    ASSERT_NE(tree, std::string::npos) << o.out;
    EXPECT_LT(proto, tree);
    if (o.status == 0) {
        EXPECT_NE(o.out.find("--- Checking of function ...\n"), std::string::npos);
        std::string tail = "--- Deleteing of used memory ...\nEnd of tavikChk ...\n";
        std::size_t at = o.out.rfind(tail);
        ASSERT_NE(at, std::string::npos) << o.out;
    } else {
        EXPECT_EQ(o.status, 255) << o.out;
    }
}

TEST_F(ProgramTest, OptionWithoutValueAtTheEndRunsButWritesNoInf) {
    std::string cdfg = writeSmallProgram("prog.cdfg");
    std::string inf = path("prog.inf");
    for (const char* option : {"-ctf", "-avar_max_size", "-max"}) {
        Outcome o = runTool({cdfg, inf, option});
        EXPECT_EQ(o.status, 255) << option;
        std::string first = std::string("E461:Error:::Invalid option name '") + option + "'.\n";
        EXPECT_EQ(o.out.substr(0, first.size()), first) << o.out;
        // It ends with a totals line counting at least that error.
        ASSERT_GE(o.out.size(), 2u);
        std::string last = o.out.substr(o.out.rfind('\n', o.out.size() - 2) + 1);
        int errors = 0, warnings = 0;
        EXPECT_EQ(std::sscanf(last.c_str(), "%d error(s), %d warning(s).", &errors, &warnings), 2) << o.out;
        EXPECT_GE(errors, 1) << o.out;
        EXPECT_EQ(o.out.find(kUsage), std::string::npos) << option;
        EXPECT_FALSE(std::filesystem::exists(inf)) << option;
    }
}

}  // namespace
