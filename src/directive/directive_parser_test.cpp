#include "directive/directive_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Expected record; every field not listed stays at the value a record of no
// arguments has.
struct Expect {
    const char* text;
    int kind;  // -1: no record
    int sign = 0;
    int first = 0;
    int second = 0;
    int third = 0;
    int overflow = 0;
    int rounding = 0;
    double value = 0.0;
    double percent = 0.0;
    const char* name = "";
    int expand = 0;
};

void expectRecord(const Expect& e, const DirectiveRecord* r) {
    if (e.kind < 0) {
        EXPECT_EQ(r, nullptr);
        return;
    }
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, e.kind);
    EXPECT_EQ(r->sign, e.sign);
    EXPECT_EQ(r->firstNumber, e.first);
    EXPECT_EQ(r->secondNumber, e.second);
    EXPECT_EQ(r->thirdNumber, e.third);
    EXPECT_EQ(r->overflowMode, e.overflow);
    EXPECT_EQ(r->roundingMode, e.rounding);
    EXPECT_DOUBLE_EQ(r->firstValue, e.value);
    EXPECT_DOUBLE_EQ(r->percentValue, e.percent);
    EXPECT_EQ(r->name, e.name);
    EXPECT_EQ(r->expandMode, e.expand);
}

TEST(DirectiveParser, Keywords) {
    const Expect cases[] = {
        {"input", DIRECTIVE_INPUT},
        {"output", DIRECTIVE_OUTPUT},
        {"module", DIRECTIVE_MODULE},
        {"module prefix=abc", DIRECTIVE_MODULE},
        {"unmodule float", DIRECTIVE_UNMODULE},
        {"  unroll  ", DIRECTIVE_UNROLL},
        {"\t\nevFunc\r", DIRECTIVE_EVFUNC},
        {"translate_off", DIRECTIVE_TRANSLATE_OFF},
        {"translate_on", DIRECTIVE_TRANSLATE_ON},
        {"unrolled", -1},
        {"Unroll", -1},
        {"modules", -1},
        {"Module", -1},
        {"evfunc", -1},
        {"translate", -1},
        {"", -1},
        {"   ", -1},
        {"module:x", -1},  // the keyword runs up to a blank only
    };
    for (const Expect& e : cases) {
        SCOPED_TRACE(e.text);
        expectRecord(e, parseDirectiveText(e.text).get());
    }
    EXPECT_EQ(parseDirectiveText(nullptr), nullptr);
}

TEST(DirectiveParser, FixedPAndInt) {
    const Expect cases[] = {
        {"fixedP S 16:8", DIRECTIVE_FIXEDP, 1, 16, 8, 0, -1, -1},
        {"fixedP U 16 8 _:3 sat .trunc", DIRECTIVE_FIXEDP, 2, 16, 8, 3, 0, 1},
        {"fixedP U 16 8 _:3 ign .round", DIRECTIVE_FIXEDP, 2, 16, 8, 3, 1, 0},
        {"fixedP S16:8", DIRECTIVE_FIXEDP, 1, 0, 0, 0, -1, -1},
        {"fixedP S", DIRECTIVE_FIXEDP, 1, 0, 0, 0, -1, -1},
        {"fixedP", DIRECTIVE_FIXEDP, 0, 0, 0, 0, -1, -1},
        {"fixedP 16:8 x", DIRECTIVE_FIXEDP, 0, 16, 8, 0, -1, -1},
        {"fixedP 16:8 .x", DIRECTIVE_FIXEDP, 0, 16, 8, 0, -1, -1},
        {"fixedP 16:8 .", DIRECTIVE_FIXEDP, 0, 16, 8, 0, -1, -1},
        {"fixedP 16:8 .  trunc", DIRECTIVE_FIXEDP, 0, 16, 8, 0, -1, 1},
        {"fixedP x 16 :: 8 s..t", DIRECTIVE_FIXEDP, 0, 16, 8, 0, 0, 1},
        {"fixedP S 16 : 8_2 i.r", DIRECTIVE_FIXEDP, 1, 16, 8, 2, 1, 0},
        {"fixedP S -4.5:1-2", DIRECTIVE_FIXEDP, 1, -4, 1, 0, -1, -1},
        {"fixedP S - : .", DIRECTIVE_FIXEDP, 1, 0, 0, 0, -1, -1},
        {"int S 12 sat", DIRECTIVE_INT, 1, 12, 0, 0, 0, 0},
        {"int U 8 ign .round", DIRECTIVE_INT, 2, 8, 0, 0, 1, 0},
        {"int 8", DIRECTIVE_INT, 0, 8, 0, 0, -1, 0},
        {"int", DIRECTIVE_INT, 0, 0, 0, 0, -1, 0},
        {"scale 8.5", DIRECTIVE_SCALE, 0, 8},
        {"scale -3", DIRECTIVE_SCALE, 0, -3},
        {"scale abc", DIRECTIVE_SCALE, 0, 0},
        {"scale", DIRECTIVE_SCALE, 0, 0},
    };
    for (const Expect& e : cases) {
        SCOPED_TRACE(e.text);
        expectRecord(e, parseDirectiveText(e.text).get());
    }
}

TEST(DirectiveParser, Roll) {
    struct Case {
        const char* text;
        const char* name;
        int expand;
    };
    const Case cases[] = {
        {"roll loop1:expand", "loop1", 0},
        {"roll loop1 :: expand tail", "loop1", 0},
        {"roll loop1", "loop1", 1},
        {"roll loop1:expanded", "loop1", 1},
        {"roll loop1:Expand", "loop1", 1},
        {"roll loop1:9", "loop1", 1},
        {"roll :expand", "", 0},
        {"roll 9x:expand", "", 1},  // no name, no ':' at the position
        {"roll", "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto r = parseDirectiveText(c.text);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->kind, DIRECTIVE_ROLL);
        EXPECT_EQ(r->name, c.name);
        EXPECT_EQ(r->expandMode, c.expand);
    }
}

TEST(DirectiveParser, PortDirectivesNest) {
    auto in = parseDirectiveText("input fixedP S 16:8");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->kind, DIRECTIVE_INPUT);
    expectRecord({"", DIRECTIVE_FIXEDP, 1, 16, 8, 0, -1, -1}, in->nested.get());

    for (const char* text : {"input 5", "input foo", "input", "input Fixedp 1:2"}) {
        SCOPED_TRACE(text);
        auto r = parseDirectiveText(text);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->kind, DIRECTIVE_INPUT);
        EXPECT_EQ(r->nested, nullptr);
    }

    auto out = parseDirectiveText("output int S 8 2.5 %% 10");
    ASSERT_NE(out, nullptr);
    expectRecord({"", DIRECTIVE_OUTPUT, 0, 0, 0, 0, 0, 0, 2.5, 10.0}, out.get());
    expectRecord({"", DIRECTIVE_INT, 1, 8, 0, 0, -1, 0}, out->nested.get());

    const Expect values[] = {
        {"output % 3", DIRECTIVE_OUTPUT, 0, 0, 0, 0, 0, 0, 0.0, 3.0},
        {"output .5", DIRECTIVE_OUTPUT, 0, 0, 0, 0, 0, 0, 0.5, 0.0},
        {"output 1.5 %", DIRECTIVE_OUTPUT, 0, 0, 0, 0, 0, 0, 1.5, 0.0},
        {"output - % -", DIRECTIVE_OUTPUT, 0, 0, 0, 0, 0, 0, 0.0, 0.0},
        // The unknown nested word is consumed; the numbers after it are read.
        {"output foo 4 %7", DIRECTIVE_OUTPUT, 0, 0, 0, 0, 0, 0, 4.0, 7.0},
    };
    for (const Expect& e : values) {
        SCOPED_TRACE(e.text);
        auto r = parseDirectiveText(e.text);
        expectRecord(e, r.get());
        EXPECT_EQ(r->nested, nullptr);
    }

    // A nested output reads its own numbers first; the outer one gets the rest.
    auto twice = parseDirectiveText("output output 1 % 2 3 % 4");
    ASSERT_NE(twice, nullptr);
    ASSERT_NE(twice->nested, nullptr);
    EXPECT_DOUBLE_EQ(twice->nested->firstValue, 1.0);
    EXPECT_DOUBLE_EQ(twice->nested->percentValue, 2.0);
    EXPECT_DOUBLE_EQ(twice->firstValue, 3.0);
    EXPECT_DOUBLE_EQ(twice->percentValue, 4.0);
}

TEST(DirectiveParser, HostileTextStaysInBounds) {
    // Words and runs longer than the scratch buffer.
    std::string longWord(5000, 'm');
    EXPECT_EQ(parseDirectiveText(longWord.c_str()), nullptr);

    std::string longNumber = "fixedP S " + std::string(3000, '7') + ":" + std::string(3000, '-') + " ign";
    auto r = parseDirectiveText(longNumber.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->secondNumber, 0);
    EXPECT_EQ(r->overflowMode, 1);

    std::string longName = "roll " + std::string(4000, 'n') + ":expand";
    r = parseDirectiveText(longName.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->name.size(), 1023u);
    EXPECT_EQ(r->expandMode, 0);

    // Bytes outside 7-bit ASCII are neither blanks, letters nor digits.
    r = parseDirectiveText("input \xe9module");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->nested, nullptr);
    EXPECT_EQ(parseDirectiveText("\xa0module"), nullptr);

    // Deep nesting neither exhausts the stack nor loses the outer record.
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "input ";
    r = parseDirectiveText(deep.c_str());
    ASSERT_NE(r, nullptr);
    int depth = 0;
    for (const DirectiveRecord* p = r.get(); p != nullptr; p = p->nested.get()) ++depth;
    EXPECT_GT(depth, 1);
    EXPECT_LT(depth, 1000);
}

}  // namespace
