// The example programs mean what their comments say: the checker accepts
// the fixed-point candidates and reports each unsupported construct.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "tools/tool_test_support.h"

namespace {

namespace fs = std::filesystem;

struct CheckerRun {
    int status;
    std::string out;
    std::string inf;
};

CheckerRun checkExample(const std::string& name, const std::string& bytes) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("examples_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string cdfg = (dir / (name + ".cdfg")).string();
    const std::string inf = (dir / (name + ".inf")).string();
    const std::string out = (dir / "out.txt").string();
    EXPECT_TRUE(writeWholeFile(cdfg, bytes));
    const int status = std::system((std::string(TAVIK_BINARY) + " " + cdfg + " " + inf + " > " + out).c_str());
    CheckerRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, {}};
    readWholeFile(out, run.out);
    readWholeFile(inf, run.inf);
    fs::remove_all(dir);
    return run;
}

TEST(Examples, TheCheckerReadsThemAsTheirCommentsSay) {
    std::map<std::string, std::string> examples;
    for (const auto& [name, bytes] : tooltest::exampleFiles()) examples[name] = bytes;
    ASSERT_TRUE(examples.count("hello.txt") && examples.count("fir.txt") && examples.count("unsupported.txt"));

    for (const char* name : {"hello.txt", "fir.txt"}) {
        const CheckerRun run = checkExample(name, examples[name]);
        EXPECT_EQ(run.status, 0) << name << '\n' << run.out;
        EXPECT_NE(run.inf.find("fixedP S 16:8"), std::string::npos) << name << '\n' << run.inf;
    }

    const CheckerRun run = checkExample("unsupported", examples["unsupported.txt"]);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.inf, "");
    for (const char* message : {"E506:Error:unsupported.c:4:", "E508:Error:unsupported.c:15:",
                                "E524:Error:unsupported.c:13:", "E525:Error:unsupported.c:2:"})
        EXPECT_NE(run.out.find(message), std::string::npos) << message << '\n' << run.out;
    EXPECT_NE(run.out.find("4 error(s), 0 warning(s)."), std::string::npos) << run.out;
}

}  // namespace
