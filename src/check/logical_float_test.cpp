#include "check/logical_float.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

std::string e541(int line) {
    return "E541:Error:a.c:" + std::to_string(line) +
           ":The operation &&, || of a floating decimal point has not supported.\n";
}

struct Vars {
    NodeId f, g, i, j, p;
};

struct Case {
    const char* what;
    // Builds the operation under test; operators are made on the lines given.
    std::function<NodeId(GraphBuilder&, const Vars&)> build;
    std::string expected;
};

class LogicalFloat : public ::testing::Test {
protected:
    void SetUp() override {
        runSettings = RunSettings{};
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        runSettings = RunSettings{};
    }

    std::string check(const Case& c) {
        GraphBuilder b;
        b.file("a.c");
        NodeId fn = b.at(1).function("fn");
        Vars v{b.local(fn, "f", Type::Float()), b.local(fn, "g", Type::Double()),
               b.local(fn, "i", Type::Int()), b.local(fn, "j", Type::Char()),
               b.local(fn, "p", Type::Float().ptr())};
        NodeId operation = c.build(b, v);
        out.clear();
        int result = checkLogicalFloat(b.graph(), operation);
        EXPECT_EQ(result != 0, !out.empty()) << c.what;
        return out;
    }

    std::string out;
};

TEST_F(LogicalFloat, FloatingOperandsOfAndAndOr) {
    const std::vector<Case> cases = {
        {"f && i", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.var(v.f), b.var(v.i)); },
         e541(5)},
        {"i || g", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogOr, b.var(v.i), b.var(v.g)); },
         e541(5)},
        {"i && 1.5", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.var(v.i), b.lit("1.5")); },
         e541(5)},
        {"i && (f)", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.var(v.i), b.paren(b.var(v.f))); },
         e541(5)},
        {"*p && i", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.deref(b.var(v.p)), b.var(v.i)); },
         e541(5)},
        {"i && j", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.var(v.i), b.var(v.j)); }, ""},
        // a pointer on either side ends the rule
        {"p && f", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.var(v.p), b.var(v.f)); }, ""},
        {"f || p", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogOr, b.var(v.f), b.var(v.p)); }, ""},
        {"(int)f && i", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_LogAnd, b.cast(Type::Int(), b.var(v.f)), b.var(v.i)); },
         ""},
        {"f < g", [](GraphBuilder& b, const Vars& v) { return b.at(5).op(CALC_Les, b.var(v.f), b.var(v.g)); }, ""},
        // operand operations are searched, also under other operators
        {"(f && i) + 1", [](GraphBuilder& b, const Vars& v) {
             NodeId inner = b.at(6).op(CALC_LogAnd, b.var(v.f), b.var(v.i));
             return b.at(5).op(CALC_Add, inner, b.lit("1"));
         },
         e541(6)},
        {"i - (j || g)", [](GraphBuilder& b, const Vars& v) {
             NodeId inner = b.at(6).op(CALC_LogOr, b.var(v.j), b.var(v.g));
             return b.at(5).op(CALC_Sub, b.var(v.i), inner);
         },
         e541(6)},
        // an `&&` result is an int: the outer operator has a floating right side
        {"(f && g) || f", [](GraphBuilder& b, const Vars& v) {
             NodeId inner = b.at(6).op(CALC_LogAnd, b.var(v.f), b.var(v.g));
             return b.at(5).op(CALC_LogOr, inner, b.var(v.f));
         },
         e541(5)},
        // the search stops at the first report
        {"(f && i) * (g || i)", [](GraphBuilder& b, const Vars& v) {
             NodeId left = b.at(6).op(CALC_LogAnd, b.var(v.f), b.var(v.i));
             NodeId right = b.at(7).op(CALC_LogOr, b.var(v.g), b.var(v.i));
             return b.at(5).op(CALC_Mul, left, right);
         },
         e541(6)},
        {"(i && j) * (g || i)", [](GraphBuilder& b, const Vars& v) {
             NodeId left = b.at(6).op(CALC_LogAnd, b.var(v.i), b.var(v.j));
             NodeId right = b.at(7).op(CALC_LogOr, b.var(v.g), b.var(v.i));
             return b.at(5).op(CALC_Mul, left, right);
         },
         e541(7)},
    };
    for (int mode = 0; mode < 3; ++mode) {
        runSettings.ansicMode = mode == 1;
        runSettings.algocMode = mode == 2;
        for (const Case& c : cases)
            EXPECT_EQ(check(c), mode == 0 ? "" : c.expected) << c.what << " mode " << mode;
    }
}

TEST_F(LogicalFloat, OperandCycleEnds) {
    runSettings.ansicMode = 1;
    Case c{"cycle",
           [](GraphBuilder& b, const Vars& v) {
               NodeId o = b.at(5).op(CALC_Add, b.var(v.i), b.var(v.j));
               setAttrNode(b.graph(), o, DfgOpe_LEFT, o);
               setAttrNode(b.graph(), o, DfgOpe_RIGHT, o);
               return o;
           },
           ""};
    EXPECT_EQ(check(c), "");
}

}  // namespace
