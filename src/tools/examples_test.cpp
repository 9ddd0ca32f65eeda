// The bundled examples through the whole chain, as the README runs them:
// c2cdfg, then tavikChk. The outputs are the ones the README shows.
#include <gtest/gtest.h>

#include <string>

#include "support/binary_run.h"

namespace {

struct Example {
    const char* name;
    std::string out;
    int status;
    std::string inf;
};

TEST(Examples, ThroughTheChainAsTheReadmeShows) {
    const std::string kHeader = "%%\n+-+-+module(s)+-+-+\n";
    const Example examples[] = {
        {"hello", "", 0,
         kHeader + " >> `scale()'\n ...and 0 submodule(s).\n\n%%\n"
                   "scale,examples/hello.c,\"\"%x,\"fixedP S 16:8\"%y,\"\";"},
        {"fir", "", 0,
         kHeader + " >> `fir()'\n ...and 0 submodule(s).\n\n%%\n"
                   "fir,examples/fir.c,\"\"%x,\"fixedP S 16:8\"%h,\"fixedP S 16:15\"%y,"
                   "\"fixedP S 16:8\"%acc,\"fixedP S 24:12\"%i,\"\"%k,\"\";"},
        {"unsupported",
         "E506:Error:examples/unsupported.c:6:Function 'fact' is a recursive call. It is outside support.\n"
         "E508:Error:examples/unsupported.c:17:Dynamic memory allocation has not supported.\n"
         "E524:Error:examples/unsupported.c:15:union has not supported.\n"
         "E525:Error:examples/unsupported.c:4:The long double type has not been supported. 'scale'\n"
         "\n4 error(s), 0 warning(s).\n",
         255, ""},
    };
    const std::string readme = tb::readBytes(std::string(TAVIK_SOURCE_DIR) + "/README.md");
    tb::ScratchDir dir;
    for (const Example& e : examples) {
        SCOPED_TRACE(e.name);
        const std::string cdfg = dir.path(std::string(e.name) + ".cdfg");
        const std::string inf = dir.path(std::string(e.name) + ".inf");
        tb::Run front = tb::runBinary(C2CDFG_BINARY, {"-o", cdfg, std::string("examples/") + e.name + ".c"},
                                      TAVIK_SOURCE_DIR);
        ASSERT_EQ(front.status, 0) << front.err;
        EXPECT_EQ(front.err, "");
        tb::Run run = tb::runBinary(TAVIK_BINARY, {cdfg, inf});
        EXPECT_EQ(run.out, e.out);
        EXPECT_EQ(run.status, e.status);
        bool missing = false;
        std::string written = tb::readBytes(inf, &missing);
        EXPECT_EQ(missing, e.inf.empty());
        EXPECT_EQ(written, e.inf);
        const std::string& shown = e.inf.empty() ? e.out : e.inf;
        EXPECT_NE(readme.find(shown), std::string::npos) << "the README does not show this output";
    }
}

}  // namespace
