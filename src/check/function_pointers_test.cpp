#include "check/function_pointers.h"

#include <gtest/gtest.h>

#include <string>

#include "check/function_tree.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::Type;

TEST(FunctionPointers, ReportsPointerReturningFunctionsInsideModuleTreesOnly) {
    releaseModuleList();
    runSettings = RunSettings{};
    tb::GraphBuilder b;
    b.file("a.c");
    NodeId m = b.at(1).function("main");
    NodeId f = b.at(10).function("f", Type::Int().ptr());
    NodeId g = b.at(20).function("g", Type::Char().ptr(2));
    NodeId h = b.at(30).function("h");
    NodeId outside = b.at(40).function("outside", Type::Int().ptr());
    b.file("b.c");
    NodeId k = b.at(50).function("k", Type::Float().ptr());
    b.body(f, {b.stmt(b.call(g)), b.stmt(b.call(h))});
    b.body(g, {b.stmt(b.call(k))});
    b.body(m, {b.stmt(b.call(f, {}, {"module prefix=p"})), b.stmt(b.call(outside))});

    initMessages(1, programCatalogue());
    std::string out;
    setMessageCapture(&out);
    ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    EXPECT_EQ(checkFunctionPointers(b.graph()), -1);
    setMessageCapture(nullptr);
    // The module itself and the clones (under their own names) are reported;
    // the originals the clones were made from, and functions outside, are not.
    EXPECT_EQ(out,
              "E505:Error:a.c:10:Function 'f' is a pointer type. It is outside support.\n"
              "E505:Error:a.c:20:Function 'p_g' is a pointer type. It is outside support.\n"
              "E505:Error:b.c:50:Function 'p_k' is a pointer type. It is outside support.\n");
    releaseModuleList();
}

TEST(FunctionPointers, NothingReportedWithoutPointerReturns) {
    releaseModuleList();
    tb::GraphBuilder b;
    b.file("a.c");
    NodeId m = b.function("main");
    NodeId f = b.function("f", Type::Void());
    b.body(m, {b.stmt(b.call(f, {}, {"module"}))});
    std::string out;
    setMessageCapture(&out);
    ASSERT_EQ(buildFunctionTree(b.graph()), 0);
    EXPECT_EQ(checkFunctionPointers(b.graph()), 0);
    setMessageCapture(nullptr);
    EXPECT_EQ(out, "");
    releaseModuleList();
}

}  // namespace
