// The checker program run with -ctf: the merged directives reach the
// rewritten CDFG file, and hostile constraint files end the run normally.
#include <gtest/gtest.h>

#include "support/temp_path.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cdfg/reader.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;
using Texts = std::vector<std::string>;

struct RunResult {
    bool exited = false;
    std::string out;
};

class ConstraintRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir();
        cdfg = tb::tempPath("run.cdfg");
        inf = tb::tempPath("run.inf");
        ctf = tb::tempPath("run.ctf");
        stdoutPath = tb::tempPath("run.out");
    }
    void TearDown() override {
        for (const std::string& p : {cdfg, inf, ctf, stdoutPath}) std::remove(p.c_str());
    }

    RunResult run() {
        std::string command = std::string(TAVIK_BINARY) + " -ctf '" + ctf + "' '" + cdfg + "' '" +
                              inf + "' > '" + stdoutPath + "' 2>&1";
        int status = std::system(command.c_str());
        RunResult r;
        r.exited = status != -1 && WIFEXITED(status);
        std::ifstream in(stdoutPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        r.out = text.str();
        return r;
    }
    void writeCtf(const std::string& content) {
        std::ofstream(ctf, std::ios::binary | std::ios::trunc) << content;
    }

    std::string dir, cdfg, inf, ctf, stdoutPath;
};

Texts chainTexts(const CdfgGraph& g, NodeId owner, std::uint32_t attr) {
    Texts texts;
    NodeId d = getAttrInt(g, owner, attr);
    for (int guard = 0; d != 0 && guard < 100; ++guard, d = getNextId(g, d)) {
        const char* text = getAttrString(g, d, DfgDirective_STR);
        texts.push_back(text ? text : "(none)");
    }
    return texts;
}

// a.c: float x; void f(void) {} int main(void) { f(); return 0; }
struct Program {
    GraphBuilder b;
    NodeId x, call;
    Program() {
        b.file("a.c");
        x = b.global("x", Type::Float());
        NodeId f = b.function("f", Type::Void());
        NodeId main = b.function("main");
        call = b.call(f);
        b.body(main, {b.stmt(call), b.ret(b.lit("0"))});
    }
};

TEST_F(ConstraintRun, MergedDirectivesAreWrittenBack) {
    Program p;
    p.b.writeTo(cdfg);
    writeCtf("$def_directive\n"
             "fixedP a.c $ x S 16:8\n"
             "module a.c f prefix=m1\n"
             "evFunc a.c nothing\n");

    RunResult first = run();
    ASSERT_TRUE(first.exited);
    EXPECT_NE(first.out.find("W603:Warning:" + ctf + ":4:. There is no target.\n"), std::string::npos)
        << first.out;
    auto g = readCdfg(cdfg.c_str());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(chainTexts(*g, p.x, CfgDecl_DIRECTIVE), Texts{"fixedP S 16:8"});
    EXPECT_EQ(chainTexts(*g, p.call, DfgFuncCall_DIRECTIVE), Texts{"module prefix=m1"});

    // The second run finds the call directive in place but adds the
    // declaration directive once more.
    ASSERT_TRUE(run().exited);
    g = readCdfg(cdfg.c_str());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(chainTexts(*g, p.x, CfgDecl_DIRECTIVE), (Texts{"fixedP S 16:8", "fixedP S 16:8"}));
    EXPECT_EQ(chainTexts(*g, p.call, DfgFuncCall_DIRECTIVE), Texts{"module prefix=m1"});
}

TEST_F(ConstraintRun, HostileConstraintFilesEndTheRunNormally) {
    using namespace std::string_literals;
    const std::string files[] = {
        "$def_directive\rfixedP a.c $ x S 16:8\r",
        "$def_directive\nfixedP a.c $ x\0 S 16:8\n"s,
        "$def_directive\nfixedP a.c $ x " + std::string(1 << 20, 'S'),
        "$def_directive\n" + std::string(5000, '\\') + "\n\n\n",
        "\xff\xfe\x00\x01$def_directive\n"s,
    };
    for (const std::string& content : files) {
        SCOPED_TRACE(content.substr(0, 40));
        Program p;
        p.b.writeTo(cdfg);
        writeCtf(content);
        RunResult r = run();
        EXPECT_TRUE(r.exited) << r.out;
        EXPECT_NE(readCdfg(cdfg.c_str()), nullptr);
    }
}

}  // namespace
