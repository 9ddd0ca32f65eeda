// The command line and the run sequence: the argument loop's settings, and
// the built program on a small C program, as standard output, exit status
// and the files on disk show each way a run can end.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/run.h"
#include "report/messages.h"
#include "support/binary_run.h"
#include "support/c_program.h"
#include "support/sanitizer.h"
#include "util/memory.h"

namespace {

using tb::msg;

// The settings that differ from the defaults.
std::string describe(const RunSettings& s) {
    const RunSettings d;
    std::ostringstream o;
    auto path = [&o](const char* name, const char* p) {
        if (p) o << name << "=" << p << " ";
    };
    auto number = [&o](const char* name, std::int64_t value, std::int64_t byDefault) {
        if (value != byDefault) o << name << "=" << value << " ";
    };
    path("in", s.inputCdfgPath);
    path("out", s.outputInfPath);
    path("ctf", s.constraintFilePath);
    number("title", s.titleMode, d.titleMode);
    number("debug", s.debugMode, d.debugMode);
    number("check", s.checkEnabled, d.checkEnabled);
    number("avar", s.autoVarMaxSize, d.autoVarMaxSize);
    number("ec", s.ecMode, d.ecMode);
    number("mev", s.mevMode, d.mevMode);
    number("algoc", s.algocMode, d.algocMode);
    number("ansic", s.ansicMode, d.ansicMode);
    number("fp", s.funcPointerCheck, d.funcPointerCheck);
    number("arg", s.moduleArgPointerCheck, d.moduleArgPointerCheck);
    number("multi", s.multiPointerCheck, d.multiPointerCheck);
    number("member", s.structPointerMemberCheck, d.structPointerMemberCheck);
    number("dyn", s.dynamicAllocCheck, d.dynamicAllocCheck);
    return o.str();
}

TEST(ParseArguments, SettingsInArgumentOrder) {
    const std::string pointers = "fp=1 arg=1 multi=1 member=1 ";
    const std::string e461 = "E461:Error:::Invalid option name '";
    using P = ParseOutcome;
    const struct {
        std::vector<std::string> args;
        P outcome;
        std::string messages;
        std::string settings;
    } cases[] = {
        {{"a", "b", "c"}, P::Run, "", "in=a out=b "},
        {{"-title", "-dsp", "-nochk", "-debug", "-mev", "-Ec", "a", "b"}, P::Run, "",
         "in=a out=b title=1 debug=1 check=0 ec=1 mev=1 "},
        {{"-algoc", "a", "b"}, P::Run, "", "in=a out=b algoc=1 " + pointers},
        {{"-ansic", "a", "b"}, P::Run, "", "in=a out=b ansic=1 " + pointers},
        {{"-nopv", "a", "b"}, P::Run, "", "in=a out=b dyn=0 "},
        {{"-algoc", "-nopv", "a", "b"}, P::Run, "", "in=a out=b algoc=1 dyn=0 "},
        {{"-nopv", "-ansic", "a", "b"}, P::Run, "", "in=a out=b ansic=1 " + pointers},
        {{"-avar_max_size", "1", "a", "b"}, P::Run, "", "in=a out=b avar=1 "},
        {{"-avar_max_size", " +42kb", "a", "b"}, P::Run, "", "in=a out=b avar=42 "},
        {{"-avar_max_size", "0", "a", "b"}, P::Run, "", "in=a out=b "},
        {{"-avar_max_size", "-5", "a", "b"}, P::Run, "", "in=a out=b "},
        {{"-avar_max_size", "big", "a", "b"}, P::Run, "", "in=a out=b "},
        {{"-avar_max_size", "99999999999", "a", "b"}, P::Run, "", "in=a out=b avar=2147483647 "},
        // A value is taken whatever it looks like.
        {{"-avar_max_size", "-nochk", "a", "b"}, P::Run, "", "in=a out=b "},
        {{"-max", "-zz", "a", "b"}, P::Run, "", "in=a out=b "},
        {{"-ctf", "-title", "a", "b"}, P::Run, "", "in=a out=b ctf=-title "},
        {{"-ctf", "x.ctf", "-ctf", "y.ctf", "a", "b"}, P::Run, "", "in=a out=b ctf=y.ctf "},
        // An option missing its value is reported and ends the loop.
        {{"a", "b", "-ctf"}, P::Run, e461 + "-ctf'.\n", "in=a out=b "},
        {{"a", "b", "-max"}, P::Run, e461 + "-max'.\n", "in=a out=b "},
        {{"a", "-avar_max_size"}, P::UsageError, e461 + "-avar_max_size'.\n" + msg(463), "in=a "},
        {{}, P::UsageError, msg(462) + msg(463), ""},
        // Unknown options stop the loop at once, -help before the file names.
        {{"a", "-x", "b"}, P::UsageError, e461 + "-x'.\n", "in=a "},
        {{"-Title", "a", "b"}, P::UsageError, e461 + "-Title'.\n", ""},
        {{"-", "a", "b"}, P::UsageError, e461 + "-'.\n", ""},
        {{"-x", "-help"}, P::UsageError, e461 + "-x'.\n", ""},
        {{"-nochk", "-help", "-x"}, P::Help, "", "check=0 "},
    };
    for (const auto& c : cases) {
        std::string label;
        for (const std::string& a : c.args) label += "[" + a + "]";
        SCOPED_TRACE(label);
        std::string captured;
        initMessages(1, programCatalogue());
        setMessageCapture(&captured);
        std::vector<std::string> copies = c.args;
        std::vector<char*> argv{const_cast<char*>("tavikChk")};
        for (std::string& a : copies) argv.push_back(a.data());
        RunSettings got;
        ParseOutcome outcome = parseArguments(static_cast<int>(argv.size()), argv.data(), got);
        setMessageCapture(nullptr);
        EXPECT_EQ(static_cast<int>(outcome), static_cast<int>(c.outcome));
        EXPECT_EQ(captured, c.messages);
        EXPECT_EQ(describe(got), c.settings);
    }
}

// Only a run that will read a large CDFG file starts again with heaps of
// huge pages; the probe prints nothing.
TEST(ParseArguments, OnlyARunOfALargeCdfgFileIsStartedAgain) {
    tb::ScratchDir dir;
    const std::string large = dir.path("large.cdfg"), small = dir.path("small.cdfg");
    tb::writeBytes(large, "");
    tb::writeBytes(small, "");
    ASSERT_EQ(::truncate(large.c_str(), off_t{16} << 20), 0);
    ASSERT_EQ(::truncate(small.c_str(), (off_t{16} << 20) - 1), 0);
    const struct {
        std::vector<std::string> args;
        bool large;
    } cases[] = {
        {{large, "x.inf"}, true},
        {{"-nochk", "-ctf", "c.ctf", large, "x.inf"}, true},
        {{small, "x.inf"}, false},
        {{large}, false},                      // no INF file: usage
        {{"-x", large, "x.inf"}, false},       // unknown option: usage
        {{"-version", large, "x.inf"}, false},
        {{"-help", large, "x.inf"}, false},
        {{dir.dir(), "x.inf"}, false},         // not a file
        {{dir.path("missing.cdfg"), "x.inf"}, false},
    };
    std::string captured;
    setMessageCapture(&captured);
    for (const auto& c : cases) {
        std::vector<std::string> copies = c.args;
        std::vector<char*> argv{const_cast<char*>("tavikChk")};
        for (std::string& a : copies) argv.push_back(a.data());
        EXPECT_EQ(readsLargeCdfg(static_cast<int>(argv.size()), argv.data()), c.large) << c.args[0];
    }
    setMessageCapture(nullptr);
    EXPECT_EQ(captured, "");
}

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

// g() comes from a header, so that every run that gets as far as the write
// back rewrites the CDFG file (g's file name becomes a.c).
const tb::Files kSmall = {
    {"g.h", "void g(float f)\n{\n    char buf[20000];\n    if (f > 0.5) { }\n}\n"},
    {"a.c", "#include \"g.h\"\nint main(int argc, char *argv[])\n{\n    float x;\n    x = 1;\n"
            "    g(x);            //tavik module\n    return 0;\n}\n"}};

// The same program in one file: reading it changes nothing.
const tb::Files kOneFile = {{"a.c", kSmall[0].second + kSmall[1].second.substr(kSmall[1].second.find('\n') + 1)}};

tb::Files variant(const std::string& from, const std::string& to) {
    tb::Files files = kSmall;
    files[1].second.replace(files[1].second.find(from), from.size(), to);
    return files;
}

// Untouched: the same file, not a copy of the same bytes.
enum class Cdfg { None, Unchanged, Untouched, Rewritten };

struct ProgramRow {
    const char* name;
    tb::Files files;        // compiled into prog.cdfg when not empty
    std::string setup;      // shell commands run first in the directory
    std::string args;       // shell words
    std::string out;        // both streams, clock masked; <banner>: the start banner
    int status;
    Cdfg cdfg;
    std::string inf;        // "": none written
};

void PrintTo(const ProgramRow& row, std::ostream* os) { *os << row.name; }

const std::vector<ProgramRow>& programRows() {
    const std::string version = "    tavikChk         : Ver.0.01.08\n";
    const std::string e461x = msg(461, "-x"), e452 = msg(452, "missing.cdfg");
    const std::string warnings = msg(538, "./g.h", 3, "buf", 16384.0) + msg(601, "./g.h", 4);
    const std::string reading = "--- Reading of 'prog.cdfg' file ...\n--- Reset of file name ...\n";
    const std::string checking = "--- Checking of proto function ...\n--- Makeing of function tree ...\n";
    const std::string freeing = "--- Deleteing of used memory ...\n" + tb::kEndLine;
    const std::string smallInf = tb::inf({"g"}, 0, R"(g,a.c,""%f,""%buf,"";)");
    const std::string noModuleInf = tb::inf({}, 0, R"()");
    const std::string e453 = msg(453, "no/prog.inf"), e461ctf = msg(461, "-ctf");
    const std::string refused = "tavikChk: the INF file ";
    using tb::totals;
    const auto none = tb::Files{};
    static const std::vector<ProgramRow> rows = {
        {"Version", none, "", "-version", version, 0, Cdfg::None, ""},
        {"VersionWinsOverEverything", none, "", "a -help -x -title -version -ctf", version, 0, Cdfg::None, ""},
        {"NoArguments", none, "", "", msg(462) + msg(463) + kUsage + totals(2, 0), 1, Cdfg::None, ""},
        {"NoInfFile", none, "", "in.cdfg", msg(463) + kUsage + totals(1, 0), 1, Cdfg::None, ""},
        {"Help", none, "", "-help -x", kUsage, 0, Cdfg::None, ""},
        {"HelpWithTitle", none, "", "-help -title", "<banner>" + kUsage + totals(0, 0) + tb::kEndOk, 0, Cdfg::None, ""},
        {"UnknownOption", none, "", "-x in out", e461x + kUsage + totals(1, 0), 1, Cdfg::None, ""},
        {"UnknownOptionWithTitle", none, "", "in out -x -title",
         "<banner>" + e461x + kUsage + totals(1, 0) + tb::kEndError, 1, Cdfg::None, ""},
        {"MissingCdfgFile", none, "", "missing.cdfg prog.inf", e452 + totals(1, 0), 255, Cdfg::None, ""},
        {"MissingCdfgFileWithDebug", none, "", "-debug missing.cdfg prog.inf",
         "--- Reading of 'missing.cdfg' file ...\n" + e452 + totals(1, 0), 255, Cdfg::None, ""},
        {"MissingCdfgFileWithTitle", none, "", "-title missing.cdfg prog.inf",
         "<banner>" + e452 + totals(1, 0) + tb::kEndError, 255, Cdfg::None, ""},
        {"WarningsOnly", kSmall, "", "prog.cdfg prog.inf", warnings + totals(0, 2), 0, Cdfg::Rewritten, smallInf},
        {"WarningsOnlyWithTitle", kSmall, "", "-title prog.cdfg prog.inf",
         "<banner>" + warnings + tb::kEndLine + totals(0, 2) + tb::kEndOk, 0, Cdfg::Rewritten, smallInf},
        {"WarningsOnlyWithDebug", kSmall, "", "-debug prog.cdfg prog.inf",
         reading + checking + "--- Checking of function ...\n" + warnings + freeing + totals(0, 2), 0, Cdfg::Rewritten,
         smallInf},
        {"EmptyConstraintFileWithDebug", kSmall, "touch c.ctf", "-debug -ctf c.ctf prog.cdfg prog.inf",
         reading + "--- Reading of 'c.ctf' file ...\n" + checking + "--- Checking of function ...\n" + warnings + freeing +
             totals(0, 2),
         0, Cdfg::Rewritten, smallInf},
        // The function tree pass failing ends the run at once.
        {"NoMain", variant("main", "Main"), "", "prog.cdfg prog.inf", msg(501) + totals(1, 0), 255, Cdfg::Rewritten, ""},
        {"NoMainWithTitle", variant("main", "Main"), "", "-title prog.cdfg prog.inf",
         "<banner>" + msg(501) + totals(1, 0) + tb::kEndError, 255, Cdfg::Rewritten, ""},
        {"NoMainWithDebug", variant("main", "Main"), "", "-debug prog.cdfg prog.inf",
         reading + checking + msg(501) + totals(1, 0), 255, Cdfg::Rewritten, ""},
        {"NoModule", variant("//tavik module", ""), "", "prog.cdfg prog.inf", msg(502) + totals(1, 0), 255,
         Cdfg::Rewritten, ""},
        // Without checks nothing is read but the CDFG file; the INF writer
        // looks for main itself.
        {"NoChecks", kSmall, "", "-nochk prog.cdfg prog.inf", "", 0, Cdfg::Rewritten, smallInf},
        {"NoChecksWithDebugNeverReadTheConstraintFile", kSmall, "", "-debug -ctf never.ctf -nochk prog.cdfg prog.inf",
         reading + freeing, 0, Cdfg::Rewritten, smallInf},
        {"NoChecksWithTitleAndAThirdName", kSmall, "", "-nochk -title prog.cdfg prog.inf ignored",
         "<banner>" + tb::kEndLine + totals(0, 0) + tb::kEndOk, 0, Cdfg::Rewritten, smallInf},
        {"NoChecksOnAProgramReadingChangesNot", kOneFile, "", "-nochk prog.cdfg prog.inf", "", 0, Cdfg::Untouched,
         smallInf},
        {"NoChecksOverALongerInfFile", kSmall, "head -c 100000 /dev/zero > prog.inf", "-nochk prog.cdfg prog.inf", "",
         0, Cdfg::Rewritten, smallInf},
        {"NoChecksNoMain", variant("main", "Main"), "", "-nochk prog.cdfg prog.inf", msg(501) + totals(1, 0), 255,
         Cdfg::Rewritten, ""},
        {"NoChecksNoModule", variant("//tavik module", ""), "", "-nochk prog.cdfg prog.inf", "", 0, Cdfg::Rewritten,
         noModuleInf},
        {"InfFileInAMissingDirectory", kSmall, "", "prog.cdfg no/prog.inf", warnings + e453 + totals(1, 2), 255,
         Cdfg::Rewritten, ""},
        {"InfFileInAMissingDirectoryNoChecks", kSmall, "", "-nochk prog.cdfg no/prog.inf", e453 + totals(1, 0), 255,
         Cdfg::Rewritten, ""},
        // An option without its value: the checks run, no INF file.
        {"ConstraintOptionWithoutFile", kSmall, "", "prog.cdfg prog.inf -ctf", e461ctf + warnings + totals(1, 2), 255,
         Cdfg::Rewritten, ""},
        {"ConstraintOptionWithoutFileWithTitle", kSmall, "", "-title prog.cdfg prog.inf -ctf",
         "<banner>" + e461ctf + warnings + tb::kEndLine + totals(1, 2) + tb::kEndError, 255, Cdfg::Rewritten, ""},
        {"SizeOptionWithoutValue", kSmall, "", "prog.cdfg prog.inf -avar_max_size",
         msg(461, "-avar_max_size") + warnings + totals(1, 2), 255, Cdfg::Rewritten, ""},
        // The INF file never overwrites an input; only files are read.
        {"InfFileIsTheCdfgFile", kSmall, "", "prog.cdfg prog.cdfg",
         refused + "'prog.cdfg' is the CDFG file 'prog.cdfg'; nothing was written.\n", 1, Cdfg::Unchanged, ""},
        {"InfFileLinksToTheCdfgFile", kSmall, "ln -s prog.cdfg prog.inf", "prog.cdfg prog.inf",
         refused + "'prog.inf' is the CDFG file 'prog.cdfg'; nothing was written.\n", 1, Cdfg::Unchanged, "<cdfg>"},
        {"InfFileIsAHardLinkOfTheCdfgFile", kSmall, "ln prog.cdfg prog.inf", "prog.cdfg prog.inf",
         refused + "'prog.inf' is the CDFG file 'prog.cdfg'; nothing was written.\n", 1, Cdfg::Unchanged, "<cdfg>"},
        {"InfFileIsTheConstraintFile", kSmall, "touch c.ctf", "-ctf c.ctf prog.cdfg c.ctf",
         refused + "'c.ctf' is the constraint file 'c.ctf'; nothing was written.\n", 1, Cdfg::Unchanged, ""},
        {"DirectoryAsCdfgFile", none, "mkdir dir", "dir prog.inf", msg(452, "dir") + totals(1, 0), 255, Cdfg::None, ""},
        {"DirectoryAsConstraintFile", kSmall, "mkdir dir", "-ctf dir prog.cdfg prog.inf",
         "Error:constarint:Cat't open 'dir'\n" + msg(452, "dir") + warnings + totals(1, 2), 255, Cdfg::Rewritten, ""},
        {"CdfgFileThroughAPipe", kSmall, "", "<(cat prog.cdfg) prog.inf", warnings + totals(0, 2), 0, Cdfg::Unchanged,
         smallInf},
        // A large file starts the program again before anything is printed.
        {"LargeCdfgFileWithTitleAndDebug", none, "truncate -s 16M big.cdfg", "-title -debug big.cdfg prog.inf",
         "<banner>--- Reading of 'big.cdfg' file ...\n--- Reset of file name ...\n" + checking + msg(501) +
             totals(1, 0) + tb::kEndError,
         255, Cdfg::None, ""},
        // A write back cut short by a file size limit keeps the original.
        {"FailedWriteBack", kSmall, "ulimit -f 1", "prog.cdfg prog.inf", warnings + totals(0, 2), 0, Cdfg::Unchanged,
         smallInf},
    };
    return rows;
}

class ProgramRun : public ::testing::TestWithParam<ProgramRow> {};

TEST_P(ProgramRun, OutputStatusAndFiles) {
    const ProgramRow& row = GetParam();
    tb::ScratchDir dir;
    std::string compiled;
    struct stat before {};
    if (!row.files.empty()) {
        tb::compileProgram(dir, row.files);
        compiled = tb::readBytes(dir.path("prog.cdfg"));
        ASSERT_EQ(::stat(dir.path("prog.cdfg").c_str(), &before), 0);
    }
    std::string command = "cd '" + dir.dir() + "' && ";
    if (!row.setup.empty()) command += row.setup + " && ";
    command += "exec '" TAVIK_BINARY "' " + row.args + " 2>&1";
    tb::Outcome o = tb::runInChild([&] {
        execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    });
    std::string year;
    std::string out = tb::maskClock(o.out, &year);
    std::string expected = row.out;
    if (expected.rfind("<banner>", 0) == 0) expected = tb::startBanner(year) + expected.substr(8);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(o.status, row.status);
    std::string cdfg = tb::readBytes(dir.path("prog.cdfg"));
    if (row.cdfg == Cdfg::Unchanged || row.cdfg == Cdfg::Untouched) {
        EXPECT_EQ(cdfg, compiled);
    }
    if (row.cdfg == Cdfg::Untouched) {
        struct stat after {};
        ASSERT_EQ(::stat(dir.path("prog.cdfg").c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
    }
    if (row.cdfg == Cdfg::Rewritten) {
        EXPECT_NE(cdfg, compiled);
    }
    bool missing = false;
    std::string inf = tb::readBytes(dir.path("prog.inf"), &missing);
    EXPECT_EQ(missing, row.inf.empty());
    if (!row.inf.empty()) {
        EXPECT_EQ(inf, row.inf == "<cdfg>" ? compiled : row.inf);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, ProgramRun, ::testing::ValuesIn(programRows()),
                         [](const auto& info) { return std::string(info.param.name); });

// Running out of memory in an allocation wrapper or in operator new prints
// message 451 with the totals so far and ends the process with status 1.
TEST(MemoryFailure, Prints451AndExitsOne) {
    if (tb::kAddressSanitizer || tb::kThreadSanitizer)
        GTEST_SKIP() << "the sanitizer allocator aborts on impossible requests";
    auto failing = [](const std::function<void()>& call) {
        return tb::runInChild([&] {
            setMessageCapture(nullptr);
            runSettings = RunSettings{};
            setMemoryFailureHandler(onMemoryFailure);
            installNewHandler();
            initMessages(1, programCatalogue());
            call();
        });
    };
    volatile std::size_t huge = SIZE_MAX - 4096;
    const std::string e451 = msg(451) + tb::totals(1, 0);
    tb::Outcome wrapper = failing([&] { allocZeroed(huge); });
    EXPECT_EQ(wrapper.status, 1);
    EXPECT_EQ(wrapper.out, e451);
    tb::Outcome viaNew = failing([&] { std::printf("unexpected %p\n", ::operator new(huge)); });
    EXPECT_EQ(viaNew.status, 1);
    EXPECT_EQ(viaNew.out, e451);
    tb::Outcome afterWarning = failing([&] {
        printMessage(603, "a.c", 2);
        reallocChecked(nullptr, huge);
    });
    EXPECT_EQ(afterWarning.status, 1);
    EXPECT_EQ(afterWarning.out, msg(603, "a.c", 2) + msg(451) + tb::totals(1, 1));
}

// Shapes the front end never writes: a function before the root, a file
// record without a name, chains that loop and a link to no node.
TEST(ResetFileNames, OnlyTopLevelElementsOfNamedFileRecordsAreRenamed) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    auto node = [&g](std::uint32_t kind, const char* file) {
        NodeId id = createNode(*g, kind);
        setFileName(*g, id, file);
        return id;
    };
    NodeId stray = node(CFG_FUNCTION, "stray.c");
    NodeId root = node(CFG_ROOT, nullptr);
    NodeId f = node(CFG_FUNCTION, "a.h"), d = node(CFG_DECLARE_DEF, "x.c"), p = node(CFG_PROTO_FUNC, nullptr);
    NodeId inner = node(CFG_STATE_DATAPATH, "x.c"), h = node(CFG_FUNCTION, "q.c");
    NodeId e1 = node(CFG_FUNCTION, "1.c"), e2 = node(CFG_FUNCTION, "2.c");
    NodeId a = node(CFG_FILEINFO, nullptr), unnamed = node(CFG_FILEINFO, nullptr), m = node(CFG_FILEINFO, nullptr);
    setAttrString(*g, a, CfgFileinfo_NAME, "a.c");
    setAttrString(*g, m, CfgFileinfo_NAME, "m.c");
    setAttrNode(*g, root, CfgRoot_ELEMENT, a);
    setAttrNode(*g, a, CfgFileinfo_ELEMENT, f);
    setAttrNode(*g, unnamed, CfgFileinfo_ELEMENT, h);
    setAttrNode(*g, m, CfgFileinfo_ELEMENT, e1);
    setAttrNode(*g, f, CfgFunc_STARTCFG, inner);
    for (auto [from, to] : {std::pair{f, d}, {d, p}, {a, unnamed}, {unnamed, m}, {m, a}, {e1, e2}, {e2, e1}})
        setNextId(*g, from, to);
    setNextId(*g, p, 999999);
    resetFileNames(*g);
    auto fileOf = [&g](NodeId n) { return std::string(orEmpty(getFileName(*g, n))); };
    for (NodeId n : {f, d}) EXPECT_EQ(fileOf(n), "a.c");
    EXPECT_EQ(fileOf(p), "");  // an element without a file name keeps none
    for (NodeId n : {e1, e2}) EXPECT_EQ(fileOf(n), "m.c");
    EXPECT_EQ(fileOf(inner), "x.c");
    EXPECT_EQ(fileOf(h), "q.c");
    EXPECT_EQ(fileOf(stray), "stray.c");
    EXPECT_EQ(fileOf(a), "");
}

}  // namespace
