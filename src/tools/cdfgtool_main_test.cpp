// The cdfgtool command line: commands, files and exit statuses.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/binary_run.h"
#include "support/cdfg_files.h"

namespace {

namespace fs = std::filesystem;

class CdfgtoolCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("cdfgtool_main_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void write(const std::string& name, const std::string& data) {
        ASSERT_TRUE(writeWholeFile(path(name), data));
    }
    std::string read(const std::string& name) {
        std::string data;
        EXPECT_TRUE(readWholeFile(path(name), data)) << name;
        return data;
    }

    // Runs cdfgtool with the arguments; its output and errors land in out_
    // and err_. Returns the exit status.
    int run(const std::string& args) {
        const std::string command = std::string(CDFGTOOL_BINARY) + " " + args + " > " + path("stdout") +
                                    " 2> " + path("stderr");
        const int status = std::system(command.c_str());
        out_ = read("stdout");
        err_ = read("stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
    std::string out_, err_;
};

TEST_F(CdfgtoolCommand, UsageErrorsExitWith2) {
    const char* cases[] = {"",
                           "frobnicate x",
                           "dump",
                           "asm in.txt",
                           "dump a b",
                           "check x.cdfg -o y",
                           "dump x.cdfg --function f",
                           "dot x.cdfg --function",
                           "dump x.cdfg --bogus"};
    for (const char* args : cases) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_NE(err_.find("usage: cdfgtool dump FILE.cdfg"), std::string::npos) << args;
    }
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out_.find("cdfgtool check FILE.cdfg"), std::string::npos);
}

TEST_F(CdfgtoolCommand, DumpThenAsmGivesTheSameFile) {
    const std::string example = tb::readBytes(std::string(TAVIK_EXAMPLES_DIR) + "/fir.cdfg");
    write("in.cdfg", example);
    ASSERT_EQ(run("dump " + path("in.cdfg") + " -o " + path("in.txt")), 0) << err_;
    ASSERT_EQ(run("asm " + path("in.txt") + " -o " + path("out.cdfg")), 0) << err_;
    EXPECT_EQ(read("out.cdfg"), example);
    // The standard streams work as files too.
    ASSERT_EQ(run("dump - < " + path("in.cdfg")), 0);
    EXPECT_EQ(out_, read("in.txt"));
}

TEST_F(CdfgtoolCommand, AsmErrorsNameFileAndLine) {
    write("bad.txt", "node CFG_ROOT\n  CfgRoot_ELEMENT @a\n  CfgRoot_LANG ATTR_STRING 5\n");
    EXPECT_EQ(run("asm " + path("bad.txt") + " -o " + path("bad.cdfg")), 1);
    EXPECT_EQ(err_, path("bad.txt") + ":2: expected a defined label, found @a\n" + path("bad.txt") +
                        ":3: expected a quoted text after ATTR_STRING, found '5'\n");
    EXPECT_FALSE(fs::exists(path("bad.cdfg")));
}

TEST_F(CdfgtoolCommand, CheckExitsWith0WhenCleanAnd1OnFaults) {
    write("clean.cdfg", tooltest::assemble("node CFG_ROOT\n  CfgRoot_ELEMENT @2\nnode CFG_FILEINFO\n"));
    EXPECT_EQ(run("check " + path("clean.cdfg")), 0);
    EXPECT_EQ(out_, "");
    write("faulty.cdfg", tooltest::assemble("node CFG_ROOT next 9\n"));
    EXPECT_EQ(run("check " + path("faulty.cdfg")), 1);
    EXPECT_EQ(out_, path("faulty.cdfg") + ": node 1 (CFG_ROOT, byte 0): NextId 9 names no node\n");
    EXPECT_EQ(run("check " + path("absent.cdfg")), 2);
    EXPECT_NE(err_.find("cannot read"), std::string::npos);
}

TEST_F(CdfgtoolCommand, DotOfAFunction) {
    write("p.cdfg", tooltest::assemble("node CFG_FUNCTION\n  CfgFunc_NAME \"f\"\n"));
    EXPECT_EQ(run("dot " + path("p.cdfg") + " --function f"), 0);
    EXPECT_EQ(out_.rfind("digraph cdfg {", 0), 0u);
    EXPECT_EQ(run("dot " + path("p.cdfg") + " --function g"), 1);
    EXPECT_EQ(err_, "cdfgtool: " + path("p.cdfg") + ": no function named 'g'\n");
}

}  // namespace
