#include "check/main_arguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "check/function_tree.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::Type;

const char* const kMessage504 = "E504:Error:::The argument of a main function is 'main (int argc and char *argv[])'.\n";

TEST(MainArguments, AcceptsIntAndCharPointerPairOnly) {
    struct Case {
        const char* what;
        std::vector<Type> params;
        bool accepted;
    };
    const Case cases[] = {
        {"int, char **", {Type::Int(), Type::Char().ptr(2)}, true},
        {"int, char *[]", {Type::Int(), Type::Char().ptr().array({0})}, true},
        {"int, char [][]", {Type::Int(), Type::Char().array({2, 3})}, true},
        {"unsigned int, char **", {Type::Int().unsignedType(), Type::Char().ptr(2)}, true},
        {"no parameters", {}, false},
        {"one parameter", {Type::Int()}, false},
        {"three parameters", {Type::Int(), Type::Char().ptr(2), Type::Char().ptr(2)}, false},
        {"long first", {Type::Long(), Type::Char().ptr(2)}, false},
        {"int * first", {Type::Int().ptr(), Type::Char().ptr(2)}, false},
        {"int [] first", {Type::Int().array({2}), Type::Char().ptr(2)}, false},
        {"char * second", {Type::Int(), Type::Char().ptr()}, false},
        {"char *** second", {Type::Int(), Type::Char().ptr(3)}, false},
        {"int ** second", {Type::Int(), Type::Int().ptr(2)}, false},
        {"void list", {Type::Void()}, false},
    };
    for (const Case& c : cases) {
        tb::GraphBuilder b;
        b.file("a.c");
        // The return type plays no part.
        NodeId m = b.function("main", Type::Void());
        int n = 0;
        for (const Type& t : c.params) b.param(m, "p" + std::to_string(n++), t);
        mainFunction = m;
        initMessages(1, programCatalogue());
        std::string out;
        setMessageCapture(&out);
        int result = checkMainArguments(b.graph());
        setMessageCapture(nullptr);
        EXPECT_EQ(result, c.accepted ? 0 : -1) << c.what;
        EXPECT_EQ(out, c.accepted ? "" : kMessage504) << c.what;
    }
    releaseModuleList();
}

TEST(MainArguments, NothingToCheckWithoutMain) {
    tb::GraphBuilder b;
    releaseModuleList();
    std::string out;
    setMessageCapture(&out);
    EXPECT_EQ(checkMainArguments(b.graph()), 0);
    setMessageCapture(nullptr);
    EXPECT_EQ(out, "");
}

}  // namespace
