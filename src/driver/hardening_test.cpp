// Hostile and damaged input end every run with a clear outcome: damaged
// graphs are refused, failed writes keep the user's file, the in-process run
// behaves as the program does, and every input that once made a fuzz target
// fail still ends quickly.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "cdfg/graph_ops.h"
#include "cdfg/validate.h"
#include "driver/run.h"
#include "fuzz_support.h"
#include "report/messages.h"
#include "support/binary_run.h"
#include "support/graph_builder.h"
#include "support/sanitizer.h"
#include "util/large_stack.h"

namespace {


namespace fs = std::filesystem;
using tb::GraphBuilder;
using tb::Type;

// Longest a run of these tests may take; the inputs that failed once hung.
constexpr double kSlowSeconds = 10.0;

struct Outcome {
    int status = -1;  // as the shell sees it (0..255); -1 when killed
    std::string out;
    double seconds = 0;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The program in a child process; fileLimitKiB > 0 runs it under ulimit -f.
Outcome runTool(const std::vector<std::string>& args, int fileLimitKiB = 0) {
    auto start = std::chrono::steady_clock::now();
    tb::Outcome child = tb::runInChild([&] {
        std::vector<std::string> all = {"/bin/bash", "-c",
                                        fileLimitKiB > 0 ? "ulimit -f " + std::to_string(fileLimitKiB) +
                                                               "; exec \"$0\" \"$@\""
                                                         : "exec \"$0\" \"$@\"",
                                        TAVIK_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    });
    return {child.status, std::move(child.out), secondsSince(start)};
}

// The in-process run on a large stack; the status as the shell would see it.
Outcome runInProcess(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"tavikChk"};
    all.insert(all.end(), args.begin(), args.end());
    Outcome result;
    auto start = std::chrono::steady_clock::now();
    result.status = fuzz::runCheckerQuietly(all, &result.out) & 0xff;
    result.seconds = secondsSince(start);
    return result;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class Hardening : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavik-hardening-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string dir;
};

// int f(int a) { return a; }
// int main(int argc, char* argv[]) { int x; x = 1; f(x); //tavik module
//                                    return 0; }
// main was recorded under another file name, so a run rewrites the file.
// extraFunctions unused functions make the file larger.
GraphBuilder smallProgram(int extraFunctions = 0) {
    GraphBuilder b;
    b.file("prog.c");
    NodeId f = b.at(1).function("f");
    NodeId a = b.param(f, "a", Type::Int());
    b.body(f, {b.ret(b.var(a))});
    for (int i = 0; i < extraFunctions; ++i) {
        NodeId u = b.at(2).function("unused" + std::to_string(i));
        b.body(u, {b.ret(b.lit("0"))});
    }
    NodeId main = b.at(3).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId x = b.local(main, "x", Type::Int());
    b.body(main, {b.at(4).stmt(b.assign(b.out(x), b.lit("1"))),
                  b.at(5).stmt(b.call(f, {b.var(x)}, {"module"})), b.at(6).ret(b.lit("0"))});
    setFileName(b.graph(), main, "prog.i");
    return b;
}

// ---------------------------------------------------------------------------
// Damaged graphs

TEST_F(Hardening, DamagedGraphsAreRefusedAndLeftAsTheyWere) {
    struct Case {
        const char* what;
        std::function<void(GraphBuilder&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"a NextId chain that loops",
         [](GraphBuilder& b) {
             NodeId f = b.function("g");
             NodeId s1 = b.stmt(b.lit("1"));
             NodeId s2 = b.stmt(b.lit("2"));
             b.body(f, {s1, s2});
             setNextId(b.graph(), s2, s1);
         },
         "the NextId chain through node"},
        {"an ownership cycle",
         [](GraphBuilder& b) {
             NodeId f = b.function("g");
             NodeId inner = b.op(CALC_Minus, b.lit("1"));
             NodeId outer = b.op(CALC_Add, inner, b.lit("2"));
             b.body(f, {b.stmt(outer)});
             setAttrNode(b.graph(), inner, DfgOpe_LEFT, outer);
         },
         "is part of a cycle of owned nodes"},
        {"200,000 levels of nesting",
         [](GraphBuilder& b) {
             NodeId f = b.function("g");
             NodeId e = b.lit("1");
             for (int i = 0; i < 200000; ++i) e = b.op(CALC_Minus, e);
             b.body(f, {b.stmt(e)});
         },
         "levels deep"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GraphBuilder b = smallProgram();
        c.damage(b);
        const std::string cdfg = path("damaged.cdfg");
        const std::string inf = path("damaged.inf");
        const std::string bytes = b.bytes();
        spit(cdfg, bytes);
        Outcome o = runTool({cdfg, inf});
        EXPECT_EQ(o.status, 255);
        EXPECT_LT(o.seconds, kSlowSeconds);
        const std::string head = "Error:Cdfg damaged: ";
        ASSERT_EQ(o.out.substr(0, head.size()), head) << o.out;
        std::string reason = o.out.substr(head.size(), o.out.find('\n') - head.size());
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(o.out.substr(o.out.find('\n') + 1),
                  "E452:Error:::Reading of a file went wrong. '" + cdfg + "'\n\n1 error(s), 0 warning(s).\n");
        EXPECT_EQ(slurp(cdfg), bytes);
        EXPECT_EQ(entries(), std::vector<std::string>{"damaged.cdfg"});
        fs::remove(cdfg);
    }
}

// ---------------------------------------------------------------------------
// Write-back

TEST_F(Hardening, FailedWriteBackLeavesTheOriginalByteIdentical) {
    const std::string cdfg = path("prog.cdfg");
    const std::string inf = path("prog.inf");
    const std::string bytes = smallProgram(400).bytes();
    ASSERT_GT(bytes.size(), 64u * 1024);

    // A file-size limit below the file's size makes the write of the new
    // contents fail part way.
    spit(cdfg, bytes);
    Outcome limited = runTool({cdfg, inf}, 16);
    EXPECT_EQ(limited.status, 0) << limited.out;
    EXPECT_EQ(slurp(cdfg), bytes);
    EXPECT_EQ(entries(), (std::vector<std::string>{"prog.cdfg", "prog.inf"}));

    // Without the limit the same run rewrites the file (main's file name).
    Outcome free = runTool({cdfg, inf});
    EXPECT_EQ(free.status, 0) << free.out;
    EXPECT_NE(slurp(cdfg), bytes);
    EXPECT_EQ(entries(), (std::vector<std::string>{"prog.cdfg", "prog.inf"}));
}

// ---------------------------------------------------------------------------
// The in-process run

// a.c: a recursion, malloc and a double pointer; -algoc adds its own findings.
std::string programWithFindings() {
    GraphBuilder b;
    b.file("a.c");
    NodeId r = b.at(1).function("r", Type::Int().ptr());
    NodeId p = b.param(r, "p", Type::Int().ptr(2));
    b.body(r, {b.at(2).stmt(b.callByName("malloc", {b.lit("4")})), b.at(3).ret(b.call(r, {b.var(p)}))});
    NodeId main = b.at(5).function("main");
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    b.body(main, {b.at(6).stmt(b.call(r, {b.lit("0")}, {"module"})), b.at(7).ret(b.lit("0"))});
    return b.bytes();
}

TEST_F(Hardening, InProcessRunsAnswerAsTheProgramDoes) {
    const std::string cdfg = path("in.cdfg");
    const std::string inf = path("out.inf");
    const std::string ctf = path("c.ctf");
    spit(ctf, "$def_directive\nfixedP prog.c f a S 16:8\nmodule prog.c nothing\n");
    GraphBuilder damaged = smallProgram();
    setAttrNode(damaged.graph(), damaged.root(), CfgRoot_ELEMENT, damaged.root());
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string input;  // CDFG bytes written before the run
    };
    const std::string small = smallProgram().bytes();
    const std::string findings = programWithFindings();
    const std::vector<Case> cases = {
        {"usage error", {}, ""},
        {"version", {"-version", cdfg, inf}, small},
        {"help", {"-help"}, ""},
        {"unknown option", {"-x", cdfg, inf}, small},
        {"clean run", {cdfg, inf}, small},
        {"findings with -algoc", {"-algoc", cdfg, inf}, findings},
        {"findings", {cdfg, inf}, findings},
        {"constraint file", {"-ctf", ctf, cdfg, inf}, small},
        {"no checks", {"-nochk", cdfg, inf}, findings},
        {"damaged graph", {cdfg, inf}, damaged.bytes()},
        {"missing file", {path("missing.cdfg"), inf}, ""},
        {"option without value", {cdfg, inf, "-avar_max_size"}, small},
    };
    struct Result {
        Outcome outcome;
        std::string cdfgAfter, infAfter;
    };
    auto run = [&](const Case& c, bool inProcess) {
        fs::remove(cdfg);
        fs::remove(inf);
        if (!c.input.empty()) spit(cdfg, c.input);
        Result r;
        r.outcome = inProcess ? runInProcess(c.args) : runTool(c.args);
        r.cdfgAfter = slurp(cdfg);
        r.infAfter = slurp(inf);
        return r;
    };
    std::vector<Result> expected;
    for (const Case& c : cases) expected.push_back(run(c, false));
    // Twice over: nothing of one run stays for the next.
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < cases.size(); ++i) {
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
TEST_F(Hardening, RunningOutOfNodeIdsEndsTheRun) {
    // int g(void) { return 0; } int f(void) { return g(); }
    // int main() { f(); //tavik module prefix=p
    //              return 0; }
    GraphBuilder b;
    b.file("a.c");
    NodeId g = b.function("g");
    b.body(g, {b.ret(b.lit("0"))});
    NodeId f = b.function("f");
    b.body(f, {b.ret(b.call(g))});
    NodeId main = b.function("main");
    b.body(main, {b.stmt(b.call(f, {}, {"module prefix=p"})), b.ret(b.lit("0"))});
    setKind(b.graph(), createNodeWithId(b.graph(), UINT32_MAX), DFG_INPUT_CONST);
    const std::string cdfg = path("ids.cdfg");
    const std::string inf = path("ids.inf");
    spit(cdfg, b.bytes());
    Outcome program = runTool({cdfg, inf});
    EXPECT_EQ(program.status, 255);
    EXPECT_EQ(program.out, "prelb : Error Short of memory. (create node)\n");

    spit(cdfg, b.bytes());
    Outcome inProcess = runInProcess({cdfg, inf});
    EXPECT_EQ(inProcess.status, 255);
    EXPECT_EQ(inProcess.out, "");  // the line goes to standard output itself

    // The next run starts afresh.
    spit(cdfg, smallProgram().bytes());
    Outcome expected = runTool({cdfg, inf});
    spit(cdfg, smallProgram().bytes());
    Outcome next = runInProcess({cdfg, inf});
    EXPECT_EQ(next.status, expected.status);
    EXPECT_EQ(next.out, expected.out);
}

// Memory running out inside the in-process run prints message 451 and ends
// the run with status 1; the process goes on.
TEST_F(Hardening, MemoryFailureEndsOnlyTheInProcessRun) {
    if (tb::kAddressSanitizer) GTEST_SKIP() << "the sanitizer allocator reserves more address space than the limit leaves";
    // Reading 24 MiB of records reserves room for them all at once.
    const std::string cdfg = path("big.cdfg");
    spit(cdfg, std::string(24 << 20, '\0'));
    tb::Outcome child = tb::runInChild([&] {
        std::string out;
        // The address space the process has now, and 16 MiB more.
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (16 << 20);
        rlimit r{limit, limit};
        setrlimit(RLIMIT_AS, &r);
        setMessageCapture(&out);
        std::vector<std::string> args = {"tavikChk", cdfg, path("big.inf")};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int status = runChecker(3, argv.data());
        setMessageCapture(nullptr);
        std::string report = std::to_string(status) + "|" + out;
        if (write(1, report.data(), report.size()) < 0) _exit(2);
        _exit(42);  // the run came back
    });
    EXPECT_EQ(child.status, 42);
    EXPECT_EQ(child.out, "1|E451:Error:::Reservation of a memory went wrong.\n\n1 error(s), 0 warning(s).\n");
}

// ---------------------------------------------------------------------------
// Shapes that made walks run for ages

// Owned nodes shared by several owners (validation accepts them: no cycle,
// little nesting): sixty levels of e = e + e over a call hold 2^60 paths.
// Copying the function for a module with a prefix, and every walk, ends.
TEST_F(Hardening, SharedSubtreesAreNotWalkedOrCopiedPathByPath) {
    GraphBuilder b;
    b.file("a.c");
    NodeId h = b.function("h");
    b.body(h, {b.ret(b.lit("0"))});
    NodeId f = b.function("f");
    NodeId e = b.call(h);
    for (int i = 0; i < 60; ++i) e = b.op(CALC_Add, e, e);
    b.body(f, {b.stmt(e), b.ret(b.lit("0"))});
    NodeId main = b.function("main");
    b.body(main, {b.stmt(b.call(f, {}, {"module prefix=p"})), b.stmt(b.call(f, {}, {"module"})),
                  b.ret(b.lit("0"))});
    std::string reason;
    ASSERT_EQ(validateGraph(b.graph(), reason), 0) << reason;
    const std::string cdfg = path("shared.cdfg");
    spit(cdfg, b.bytes());
    Outcome o = runInProcess({cdfg, path("shared.inf")});
    EXPECT_LT(o.seconds, kSlowSeconds);
    EXPECT_TRUE(o.status == 0 || o.status == 255) << o.status;
}

// Forty levels of two functions that each call both functions of the next
// level, which call each other: 2^40 call paths lead to the recursion. The
// check reports it on the paths its visits reach and ends.
TEST_F(Hardening, CallGraphsWithVastlyManyPathsEnd) {
    GraphBuilder b;
    b.file("a.c");
    constexpr int kLevels = 40;
    std::vector<std::pair<NodeId, NodeId>> levels;
    for (int i = 0; i < kLevels; ++i)
        levels.push_back({b.function("a" + std::to_string(i)), b.function("b" + std::to_string(i))});
    for (int i = 0; i < kLevels; ++i) {
        auto [x, y] = levels[i];
        auto [nx, ny] = i + 1 < kLevels ? levels[i + 1] : std::pair<NodeId, NodeId>{y, x};
        b.body(x, {b.stmt(b.call(nx)), b.stmt(b.call(ny))});
        b.body(y, {b.stmt(b.call(nx)), b.stmt(b.call(ny))});
    }
    NodeId main = b.function("main");
    b.body(main, {b.stmt(b.call(levels[0].first, {}, {"module"})), b.ret(b.lit("0"))});
    const std::string cdfg = path("paths.cdfg");
    spit(cdfg, b.bytes());
    Outcome o = runInProcess({cdfg, path("paths.inf")});
    EXPECT_LT(o.seconds, kSlowSeconds);
    EXPECT_EQ(o.status, 255);
    EXPECT_NE(o.out.find("is a recursive call"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The fuzz targets' inputs: those that once made a target fail
// (fuzz/regressions/TARGET/*) and the seeds (fuzz/corpus/*), replayed
// through the targets' own entries.

// Runs every input of the directories; returns how many there were.
int replay(const fs::path& root, bool seeds) {
    int inputs = 0;
    for (const char* target : {"checker", "checker_ctf", "constraint", "directive"}) {
        // The two checker targets share their seeds.
        fs::path from = root / (seeds && std::string(target) == "checker_ctf" ? "checker" : target);
        if (!fs::is_directory(from)) continue;
        for (const auto& entry : fs::directory_iterator(from)) {
            SCOPED_TRACE(std::string(target) + ": " + entry.path().string());
            const std::string bytes = slurp(entry.path().string());
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            const std::string name = target;
            auto start = std::chrono::steady_clock::now();
            if (name == "checker" || name == "checker_ctf") {
                int status = fuzz::runCheckerInput(data, bytes.size(), name == "checker_ctf");
                EXPECT_TRUE(status == 0 || status == -1 || status == 1) << status;
            } else if (name == "constraint") {
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
