#include "constraint/constraint_file.h"

#include <gtest/gtest.h>

#include "support/temp_path.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "constraint/directive_lines.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

class ConstraintFile : public ::testing::Test {
protected:
    void SetUp() override {
        initMessages(1, programCatalogue());
        setMessageCapture(&output);
        path = tb::tempPath("constraint_file_test.ctf");
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        std::remove(path.c_str());
    }
    void write(const std::string& content) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    bool listsEmpty() const {
        for (const ConstraintDirective* head : constraintDirectives) {
            if (head != nullptr) return false;
        }
        return true;
    }

    std::string output;
    std::string path;
};

// a.c: float x; void f(void) {} int main() { f(); }
struct Program {
    GraphBuilder b;
    NodeId x, call;
    Program() {
        b.file("a.c");
        x = b.global("x", Type::Float());
        NodeId f = b.function("f", Type::Void());
        NodeId main = b.function("main");
        call = b.call(f);
        b.body(main, {b.stmt(call)});
    }
};

TEST_F(ConstraintFile, MergesReportsAndReleases) {
    Program p;
    write("$def_start_option\n-max 8\n$end_start_option\n"
          "$def_directive\n"
          "fixedP a.c $ x S 16:8\n"
          "module a.c f prefix=m1\n"
          "evFunc a.c nowhere\n"
          "$end_directive\n");
    EXPECT_EQ(processConstraintFile(p.b.graph(), path.c_str()), 0);
    EXPECT_EQ(output, "W603:Warning:" + path + ":7:. There is no target.\n");
    EXPECT_TRUE(listsEmpty());

    EXPECT_EQ(getAttrString(p.b.graph(), getAttrInt(p.b.graph(), p.x, CfgDecl_DIRECTIVE),
                            DfgDirective_STR),
              std::string("fixedP S 16:8"));
    EXPECT_EQ(getAttrString(p.b.graph(), getAttrInt(p.b.graph(), p.call, DfgFuncCall_DIRECTIVE),
                            DfgDirective_STR),
              std::string("module prefix=m1"));
}

TEST_F(ConstraintFile, FailedReadMergesNothing) {
    Program p;
    write("$def_directive\nfixedP a.c $ x S 16:8\nunroll a.c f loops\nmodule a.c f\n");
    EXPECT_EQ(processConstraintFile(p.b.graph(), path.c_str()), -1);
    EXPECT_EQ(output, "Error:" + path + ":3:Syntx error :unroll directive <loop|func>\n"
                      "E452:Error:::Reading of a file went wrong. '" + path + "'\n");
    EXPECT_EQ(getAttrInt(p.b.graph(), p.x, CfgDecl_DIRECTIVE), 0u);
    EXPECT_EQ(getAttrInt(p.b.graph(), p.call, DfgFuncCall_DIRECTIVE), 0u);
    EXPECT_TRUE(listsEmpty());
    EXPECT_EQ(errorCount(), 1);

    output.clear();
    EXPECT_EQ(processConstraintFile(p.b.graph(), "/nonexistent/x.ctf"), -1);
    EXPECT_EQ(output, "Error:constarint:Cat't open '/nonexistent/x.ctf'\n"
                      "E452:Error:::Reading of a file went wrong. '/nonexistent/x.ctf'\n");
    EXPECT_EQ(errorCount(), 2);
}

}  // namespace
