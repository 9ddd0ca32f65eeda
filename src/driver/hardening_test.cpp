// Hostile and damaged input end every run with a clear outcome: damaged
// graphs are refused, the in-process run behaves as the program does, and
// every input that once made a fuzz target fail still ends quickly.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cdfg/graph_ops.h"
#include "cdfg/reader.h"
#include "cdfg/validate.h"
#include "driver/run.h"
#include "fuzz_support.h"
#include "report/messages.h"
#include "support/c_program.h"
#include "support/sanitizer.h"

namespace {

namespace fs = std::filesystem;
using tb::msg;

// Longest a run of these tests may take; the inputs that failed once hung.
constexpr double kSlowSeconds = 10.0;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The in-process run on a large stack; the status as the shell would see it.
tb::Outcome runInProcess(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"tavikChk"};
    all.insert(all.end(), args.begin(), args.end());
    tb::Outcome result;
    result.status = fuzz::runCheckerQuietly(all, &result.out) & 0xff;
    return result;
}

const char* const kProgram = R"(int f(int a) { return a; }
int main(int argc, char *argv[])
{
    int x;
    x = 1;
    f(x);               //tavik module
    return 0;
}
)";

// The CDFG bytes c2cdfg makes of a program, after edit.
std::string compiled(const std::string& source, const std::function<void(CdfgGraph&)>& edit = nullptr) {
    tb::ScratchDir dir;
    tb::compileProgram(dir, {{"a.c", source}}, edit);
    return tb::readBytes(dir.path("prog.cdfg"));
}

// The first node of a kind.
NodeId first(const CdfgGraph& g, std::uint32_t kind) {
    for (const CdfgNode& n : g.nodes)
        if (n.id && n.kind == kind) return n.id;
    return 0;
}

TEST(Hardening, DamagedGraphsAreRefusedAndLeftAsTheyWere) {
    const struct {
        const char* what;
        std::function<void(CdfgGraph&)> damage;
        const char* reason;
    } cases[] = {
        {"a NextId chain that loops",
         [](CdfgGraph& g) {
             NodeId s = first(g, CFG_STATE_DATAPATH);
             setNextId(g, getNextId(g, s), s);
         },
         "the NextId chain through node"},
        {"a PrevId chain that loops",
         [](CdfgGraph& g) { setPrevId(g, first(g, DFG_INPUT_CONST), first(g, DFG_INPUT_CONST)); },
         "the PrevId chain through node"},
        {"an ownership cycle",
         [](CdfgGraph& g) { setAttrNode(g, first(g, DFG_MANAGE_OPERATION), DfgOpeman_OPE, first(g, CFG_FUNCTION)); },
         "is part of a cycle of owned nodes"},
        {"a node that owns itself",
         [](CdfgGraph& g) { setAttrNode(g, first(g, DFG_INPUT_CONST), 1, first(g, DFG_INPUT_CONST)); },
         "is part of a cycle of owned nodes"},
        {"200,000 levels of nesting",
         [](CdfgGraph& g) {
             NodeId manage = first(g, DFG_MANAGE_OPERATION);
             NodeId e = getAttrInt(g, manage, DfgOpeman_OPE);
             for (int i = 0; i < 200000; ++i) {
                 NodeId op = newNode(g, DFG_OPERATION, 0);
                 setAttrInt(g, op, DfgOpe_TYPE, CALC_Minus);
                 setAttrNode(g, op, DfgOpe_LEFT, e);
                 setPrevId(g, e, op);
                 e = op;
             }
             setAttrNode(g, manage, DfgOpeman_OPE, e);
             setPrevId(g, e, manage);
         },
         "levels deep"},
    };
    // A call with an argument too many: the prototype check, which runs
    // beside validation, has a message that a refused graph must not print.
    std::string program = kProgram;
    program.replace(program.find("f(x);"), 5, "f(x, x);");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tb::ScratchDir dir;
        const std::string bytes = compiled(program, c.damage);
        tb::writeBytes(dir.path("damaged.cdfg"), bytes);
        auto start = std::chrono::steady_clock::now();
        tb::Run o = tb::runBinary(TAVIK_BINARY, {"damaged.cdfg", "damaged.inf"}, dir.dir());
        EXPECT_LT(secondsSince(start), kSlowSeconds);
        EXPECT_EQ(o.status, 255);
        const std::string head = "Error:Cdfg damaged: ";
        ASSERT_EQ(o.out.substr(0, head.size()), head) << o.out;
        EXPECT_NE(o.out.find(c.reason), o.out.find('\n')) << o.out;
        EXPECT_EQ(o.out.substr(o.out.find('\n') + 1), msg(452, "damaged.cdfg") + tb::totals(1, 0));
        EXPECT_EQ(tb::readBytes(dir.path("damaged.cdfg")), bytes);
        EXPECT_FALSE(fs::exists(dir.path("damaged.inf")));
    }
}

// Every way a run ends, twice over in one process: the same output, status
// and files as the program, and nothing of one run stays for the next.
TEST(Hardening, InProcessRunsAnswerAsTheProgramDoes) {
    tb::ScratchDir dir;
    const std::string cdfg = dir.path("in.cdfg"), inf = dir.path("out.inf"), ctf = dir.path("c.ctf");
    tb::writeBytes(ctf, "$def_directive\nfixedP a.c f a S 16:8\nmodule a.c nothing\n");
    const std::string small = compiled(kProgram);
    const std::string findings = compiled(R"(#include <stdlib.h>
int *r(int **p)
{
    malloc(4);
    return r(p);
}
int main(int argc, char *argv[])
{
    r(0);               //tavik module
    return 0;
}
)");
    const std::string damaged = compiled(kProgram, [](CdfgGraph& g) {
        setAttrNode(g, findRoot(g), CfgRoot_ELEMENT, findRoot(g));
    });
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string input;  // CDFG bytes written before the run
    } cases[] = {
        {"usage error", {}, ""},
        {"version", {"-version", cdfg, inf}, small},
        {"help", {"-help"}, ""},
        {"unknown option", {"-x", cdfg, inf}, small},
        {"clean run", {cdfg, inf}, small},
        {"findings with -algoc", {"-algoc", cdfg, inf}, findings},
        {"findings", {cdfg, inf}, findings},
        {"constraint file", {"-ctf", ctf, cdfg, inf}, small},
        {"no checks", {"-nochk", cdfg, inf}, findings},
        {"damaged graph", {cdfg, inf}, damaged},
        {"missing file", {dir.path("missing.cdfg"), inf}, ""},
        {"option without value", {cdfg, inf, "-avar_max_size"}, small},
    };
    struct Result {
        tb::Outcome outcome;
        std::string cdfgAfter, infAfter;
    };
    auto run = [&](const auto& c, bool inProcess) {
        fs::remove(cdfg);
        fs::remove(inf);
        if (!c.input.empty()) tb::writeBytes(cdfg, c.input);
        Result r;
        r.outcome = inProcess ? runInProcess(c.args) : tb::runTool(c.args);
        r.cdfgAfter = tb::readBytes(cdfg);
        r.infAfter = tb::readBytes(inf);
        return r;
    };
    std::vector<Result> expected;
    for (const auto& c : cases) expected.push_back(run(c, false));
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(std::string(cases[i].what) + " round " + std::to_string(round));
            Result got = run(cases[i], true);
            EXPECT_EQ(got.outcome.status, expected[i].outcome.status);
            EXPECT_EQ(got.outcome.out, expected[i].outcome.out);
            EXPECT_EQ(got.cdfgAfter, expected[i].cdfgAfter);
            EXPECT_EQ(got.infAfter, expected[i].infAfter);
        }
    }
    // The cases differ from each other.
    EXPECT_EQ(expected[0].outcome.status, 1);
    EXPECT_EQ(expected[4].outcome.status, 0);
    EXPECT_NE(expected[5].outcome.out, expected[6].outcome.out);
}

// A node with the highest id leaves no id for the copies of a module with a
// prefix: the program ends at once with status -1, the in-process run ends
// only its run.
TEST(Hardening, RunningOutOfNodeIdsEndsTheRun) {
    tb::ScratchDir dir;
    const std::string cdfg = dir.path("ids.cdfg"), inf = dir.path("ids.inf");
    const std::string bytes =
        compiled("int g(void) { return 0; }\nint f(void) { return g(); }\n"
                 "int main(int argc, char *argv[]) { f(); //tavik module prefix=p\n return 0; }\n",
                 [](CdfgGraph& g) { setKind(g, createNodeWithId(g, UINT32_MAX), DFG_INPUT_CONST); });
    tb::writeBytes(cdfg, bytes);
    tb::Outcome program = tb::runTool({cdfg, inf});
    EXPECT_EQ(program.status, 255);
    EXPECT_EQ(program.out, "prelb : Error Short of memory. (create node)\n");
    tb::writeBytes(cdfg, bytes);
    tb::Outcome inProcess = runInProcess({cdfg, inf});
    EXPECT_EQ(inProcess.status, 255);
    EXPECT_EQ(inProcess.out, "");  // the line goes to standard output itself
    // The next run starts afresh.
    tb::writeBytes(cdfg, compiled(kProgram));
    tb::Outcome expected = tb::runTool({cdfg, inf});
    tb::writeBytes(cdfg, compiled(kProgram));
    tb::Outcome next = runInProcess({cdfg, inf});
    EXPECT_EQ(next.status, expected.status);
    EXPECT_EQ(next.out, expected.out);
}

// Memory running out inside the in-process run prints message 451 and ends
// the run with status 1; the process goes on. The child limits its address
// space to what it has now and 16 MiB more, and reads a file whose records
// reserve more room than the whole process holds, so that no memory an
// earlier test left free in the process can serve the reservation.
TEST(Hardening, MemoryFailureEndsOnlyTheInProcessRun) {
    if (tb::kAddressSanitizer || tb::kThreadSanitizer)
        GTEST_SKIP() << "the sanitizer reserves more address space than the limit leaves, or than a file can be long";
    tb::ScratchDir dir;
    const std::string cdfg = dir.path("big.cdfg");
    tb::Outcome child = tb::runInChild([&] {
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        // A sparse file: its size alone decides what the reader reserves.
        if (std::FILE* file = std::fopen(cdfg.c_str(), "w")) {
            if (ftruncate(fileno(file), static_cast<off_t>(std::max<rlim_t>(now, 24 << 20))) != 0) _exit(3);
            std::fclose(file);
        }
        rlimit r{now + (16 << 20), now + (16 << 20)};
        setrlimit(RLIMIT_AS, &r);
        std::string out;
        setMessageCapture(&out);
        std::vector<std::string> args = {"tavikChk", cdfg, dir.path("big.inf")};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        int status = runChecker(3, argv.data());
        setMessageCapture(nullptr);
        std::string report = std::to_string(status) + "|" + out;
        if (write(1, report.data(), report.size()) < 0) _exit(2);
        _exit(42);  // the run came back
    });
    EXPECT_EQ(child.status, 42);
    EXPECT_EQ(child.out, "1|" + msg(451) + tb::totals(1, 0));
}

// Owned nodes shared by several owners (validation accepts them: no cycle,
// little nesting): sixty levels of e = e + e over a call hold 2^60 paths.
// Copying the function for a module with a prefix, and every walk, ends.
TEST(Hardening, SharedSubtreesAreNotWalkedOrCopiedPathByPath) {
    const std::string bytes = compiled(R"(int h(void) { return 0; }
int f(void) { return h() + 1; }
int main(int argc, char *argv[])
{
    f();                //tavik module prefix=p
    f();                //tavik module
    return 0;
}
)",
                                       [](CdfgGraph& g) {
                                           NodeId sum = first(g, DFG_OPERATION);
                                           NodeId e = getAttrInt(g, sum, DfgOpe_LEFT);
                                           for (int i = 0; i < 60; ++i) {
                                               NodeId o = newNode(g, DFG_OPERATION, 0);
                                               setAttrInt(g, o, DfgOpe_TYPE, CALC_Add);
                                               setAttrNode(g, o, DfgOpe_LEFT, e);
                                               setAttrNode(g, o, DfgOpe_RIGHT, e);
                                               e = o;
                                           }
                                           setAttrNode(g, sum, DfgOpe_LEFT, e);
                                       });
    std::unique_ptr<CdfgGraph> g = readCdfgBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    std::string reason;
    ASSERT_EQ(validateGraph(*g, reason), 0) << reason;
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("shared.cdfg"), bytes);
    auto start = std::chrono::steady_clock::now();
    tb::Outcome o = runInProcess({dir.path("shared.cdfg"), dir.path("shared.inf")});
    EXPECT_LT(secondsSince(start), kSlowSeconds);
    EXPECT_TRUE(o.status == 0 || o.status == 255) << o.status;
}

// Forty levels of two functions that each call both functions of the next
// level, which call each other: 2^40 call paths lead to the recursion. The
// check reports it on the paths its visits reach and ends.
TEST(Hardening, CallGraphsWithVastlyManyPathsEnd) {
    std::string source;
    for (int i = 39; i >= 0; --i) {
        std::string next = i < 39 ? std::to_string(i + 1) : "";
        std::string a = i < 39 ? "a" + next : "b39", b = i < 39 ? "b" + next : "a39";
        if (i == 39) source += "void a39(void); void b39(void);\n";
        for (const char* self : {"a", "b"})
            source += "void " + std::string(self) + std::to_string(i) + "(void) { " + a + "(); " + b + "(); }\n";
    }
    source += "int main(int argc, char *argv[]) { a0(); //tavik module\n return 0; }\n";
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("paths.cdfg"), compiled(source));
    auto start = std::chrono::steady_clock::now();
    tb::Outcome o = runInProcess({dir.path("paths.cdfg"), dir.path("paths.inf")});
    EXPECT_LT(secondsSince(start), kSlowSeconds);
    EXPECT_EQ(o.status, 255);
    EXPECT_NE(o.out.find("is a recursive call"), std::string::npos);
}

// The fuzz targets' inputs: those that once made a target fail
// (fuzz/regressions/TARGET/*) and the seeds (fuzz/corpus/*), replayed
// through the targets' own entries. Returns how many there were.
int replay(const fs::path& root, bool seeds) {
    int inputs = 0;
    for (const std::string target : {"checker", "checker_ctf", "constraint", "directive"}) {
        // The two checker targets share their seeds.
        fs::path from = root / (seeds && target == "checker_ctf" ? "checker" : target);
        if (!fs::is_directory(from)) continue;
        for (const auto& entry : fs::directory_iterator(from)) {
            SCOPED_TRACE(target + ": " + entry.path().string());
            const std::string bytes = tb::readBytes(entry.path().string());
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            auto start = std::chrono::steady_clock::now();
            if (target == "checker" || target == "checker_ctf") {
                int status = fuzz::runCheckerInput(data, bytes.size(), target == "checker_ctf");
                EXPECT_TRUE(status == 0 || status == -1 || status == 1) << status;
            } else if (target == "constraint") {
                EXPECT_TRUE(fuzz::runConstraintInput(data, bytes.size()));
            } else {
                fuzz::runDirectiveInput(data, bytes.size());
            }
            EXPECT_LT(secondsSince(start), kSlowSeconds);
            ++inputs;
        }
    }
    return inputs;
}

TEST(FuzzInputs, EveryInputThatOnceFailedEndsQuickly) {
    EXPECT_GT(replay(fs::path(TAVIK_SOURCE_DIR) / "fuzz" / "regressions", false), 0);
}

TEST(FuzzInputs, SeedsRunThroughEveryTarget) {
    EXPECT_GT(replay(fs::path(TAVIK_SOURCE_DIR) / "fuzz" / "corpus", true), 0);
}

}  // namespace
