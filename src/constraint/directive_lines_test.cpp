#include "constraint/directive_lines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "constraint/constraint_reader.h"

namespace {

// Runs the directive-section handler of keyword on a writable copy of rest
// (nullptr: the line ends after the keyword).
int handle(const char* keyword, const char* rest) {
    for (const KeywordRow* row = directiveTable(); row->name != nullptr; ++row) {
        if (std::strcmp(row->name, keyword) != 0) continue;
        if (rest == nullptr) return row->handler(nullptr, row->parameter);
        std::vector<char> text(rest, rest + std::strlen(rest) + 1);
        return row->handler(text.data(), row->parameter);
    }
    ADD_FAILURE() << "no handler for " << keyword;
    return -2;
}

int listOf(const char* keyword) {
    for (int list = 0; list < CONSTRAINT_LIST_COUNT; ++list) {
        if (std::strcmp(constraintKeyword(list), keyword) == 0) return list;
    }
    return -1;
}

std::string orNull(const char* text) { return text ? "'" + std::string(text) + "'" : "null"; }

class DirectiveLines : public ::testing::Test {
protected:
    void SetUp() override {
        releaseConstraintDirectives();
        helpText = "";
        lineCounter = 0;
    }
    void TearDown() override { releaseConstraintDirectives(); }
};

struct Stored {
    const char* keyword;
    const char* rest;
    const char* file;
    const char* func;
    const char* var;
    const char* option;
};

TEST_F(DirectiveLines, StoredFields) {
    const Stored cases[] = {
        {"module", "a.c f", "a.c", "f", nullptr, nullptr},
        {"module", "a.c f\n", "a.c", "f", nullptr, nullptr},
        {"module", "a.c f prefix=m1", "a.c", "f", nullptr, "prefix=m1"},
        {"module", "a.c f prefix = m1\n", "a.c", "f", nullptr, "prefix=m1"},
        {"module", "a.c f m1", "a.c", "f", nullptr, "prefix=m1"},
        {"module", "a.c f prefix=m1 evfunc=ev", "a.c", "f", nullptr, "prefix=m1 evfunc=ev"},
        {"module", "a.c f evfunc=ev prefix m1", "a.c", "f", nullptr, "prefix=m1 evfunc=ev"},
        {"module", "a.c f m1 evfunc ev prefix m2", "a.c", "f", nullptr, "prefix=m2 evfunc=ev"},
        {"module", "a.c f m1 x y", "a.c", "f", nullptr, "prefix=m1"},
        // A leading evfunc is the keyword, not the default prefix.
        {"module", "a.c f evfunc=ev", "a.c", "f", nullptr, "evfunc=ev"},
        // The option part ends at a tab or a semicolon, not at a blank; the
        // default prefix starts where the option part starts.
        {"module", "a.c f m1;prefix", "a.c", "f", nullptr, "prefix=m1"},
        {"module", "a.c f m1\tprefix", "a.c", "f", nullptr, "prefix=m1"},
        {"module", "a.c f  m1", "a.c", "f", nullptr, "prefix= m1"},
        {"module", "a.c;f", "a.c", "f", nullptr, nullptr},
        {"evFunc", "a.c f whatever", "a.c", "f", nullptr, nullptr},
        {"roll", " a.c\tf ", "a.c", "f", nullptr, nullptr},
        {"unmodule", "a.c f", "a.c", "f", nullptr, nullptr},
        {"unmodule", "a.c f float", "a.c", "f", nullptr, "float"},
        {"unmodule", "a.c f fixed more", "a.c", "f", nullptr, "fixed"},
        {"unroll", "a.c f loop", "a.c", "f", nullptr, "loop"},
        {"unroll", "a.c f func\n", "a.c", "f", nullptr, "func"},
        {"fixedP", "a.c f v S 16:8", "a.c", "f", "v", "S 16:8"},
        {"fixedP", "a.c f v S 16:8;rest", "a.c", "f", "v", "S 16:8"},
        {"fixedP", "a.c f v  S 16:8\n", "a.c", "f", "v", " S 16:8"},
        {"fixedP", "a.c $ g;S 16:8", "a.c", "$", "g", "S 16:8"},
        {"int", "a.c f v  S 8", "a.c", "f", "v", " S 8"},
        {"input", "a.c f v", "a.c", "f", "v", nullptr},
        {"input", "a.c f v\r\n", "a.c", "f", "v", nullptr},
        {"input", "a.c f v varname=s.a fixedP S 8:4", "a.c", "f", "v", "varname=s.a fixedP S 8:4"},
        {"output", "a.c f v rate 1.5 a", "a.c", "f", "v", "rate 1.5 a"},
        {"inout", "a.c f v ;", "a.c", "f", "v", nullptr},
        {"inout", "a.c f v  ;", "a.c", "f", "v", " "},
        {"scale", "a.c f v 16", "a.c", "f", "v", "16"},
        {"scale", "a.c f v 1.5 extra", "a.c", "f", "v", "1.5"},
        {"scale", "a.c f v -", "a.c", "f", "v", "-"},
        {"float", "a.c f v ignored", "a.c", "f", "v", nullptr},
        {"muladd_var", "a.c f v", "a.c", "f", "v", nullptr},
    };
    int line = 0;
    for (const Stored& c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + " " + c.rest);
        lineCounter = ++line;
        ASSERT_EQ(handle(c.keyword, c.rest), 0);
        const ConstraintDirective* r = constraintDirectives[listOf(c.keyword)];
        ASSERT_NE(r, nullptr);
        EXPECT_STREQ(r->fileName, c.file);
        EXPECT_STREQ(r->funcName, c.func);
        EXPECT_EQ(orNull(r->varName), orNull(c.var));
        EXPECT_EQ(orNull(r->optionText), orNull(c.option));
        EXPECT_EQ(r->applied, 0);
        EXPECT_EQ(r->line, line);
    }
}

struct Rejected {
    const char* keyword;
    const char* rest;
    const char* usage;
};

TEST_F(DirectiveLines, RejectedLinesSetTheirUsage) {
    const Rejected cases[] = {
        {"module", nullptr, "module directive <fileName>"},
        {"module", " \t\n", "module directive <fileName>"},
        {"module", "a.c", "module directive <funcName>"},
        {"module", "a.c f prefix", "module directive prefix=<string>"},
        {"module", "a.c f prefix=", "module directive prefix=<string>"},
        {"module", "a.c f m1 evfunc", "module directive evfunc=<funcName>"},
        {"module", "a.c f evfunc", "module directive evfunc=<funcName>"},
        {"evFunc", nullptr, "evFunc directive <fileName>"},
        {"evFunc", "a.c;", "evFunc directive <funcName>"},
        {"roll", "", "roll directive <fileName>"},
        {"roll", "a.c", "roll directive <funcName>"},
        {"unmodule", nullptr, "ummodule directive <fileName>"},
        {"unmodule", "a.c", "unmodule directive <funcName>"},
        {"unmodule", "a.c f double", "unmodule directive <float | fixed>"},
        {"unmodule", "a.c f Float", "unmodule directive <float | fixed>"},
        {"unroll", nullptr, "unroll directive <fileName>"},
        {"unroll", "a.c", "unroll directive <funcName>"},
        {"unroll", "a.c f", "unroll directive <loop|func>"},
        {"unroll", "a.c f loops", "unroll directive <loop|func>"},
        {"fixedP", nullptr, "fixedP directive <fileName>"},
        {"fixedP", "a.c", "fixedP directive <funcName>"},
        {"fixedP", "a.c f", "fixedP directive <varName>"},
        {"fixedP", "a.c f v", "fixedP directive <option>"},
        {"fixedP", "a.c f v\n", "fixedP directive <option>"},
        {"fixedP", "a.c f v;;\r", "fixedP directive <option>"},
        {"int", nullptr, "int directive <fileName>"},
        {"int", "a.c", "int directive <funcName>"},
        {"int", "a.c f", "int directive <varName>"},
        {"int", "a.c f v", "int directive <option>"},
        {"input", nullptr, "input directive <fileName>"},
        {"input", "a.c", "input directive <funcName>"},
        {"input", "a.c f", "input directive <varName>"},
        {"output", nullptr, "output directive <fileName>"},
        {"output", "a.c", "output directive <funcName>"},
        {"output", "a.c f", "output directive <varName>"},
        {"inout", nullptr, "inout directive <fileName>"},
        {"inout", "a.c", "inout directive <funcName>"},
        {"inout", "a.c f", "inout directive <varName>"},
        {"scale", nullptr, "scale directive <fileName>"},
        {"scale", "a.c", "scale directive <funcName>"},
        {"scale", "a.c f", "scale directive <varName>"},
        {"scale", "a.c f v", "scale directive <bitSize>"},
        {"scale", "a.c f v x16", "scale directive <bitSize>"},
        {"scale", "a.c f v 16bit", "scale directive <bitSize>"},
        {"float", nullptr, "float directive <fileName>"},
        {"float", "a.c", "float directive <funcName>"},
        {"float", "a.c f", "float directive <varName>"},
        {"muladd_var", nullptr, "muladd_var directive <fileName>"},
        {"muladd_var", "a.c", "muladd_var directive <funcName>"},
        {"muladd_var", "a.c f", "muladd_var directive <varName>"},
    };
    for (const Rejected& c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + " " + (c.rest ? c.rest : "(null)"));
        helpText = "";
        EXPECT_EQ(handle(c.keyword, c.rest), -1);
        EXPECT_STREQ(helpText, c.usage);
    }
    for (ConstraintDirective* head : constraintDirectives) EXPECT_EQ(head, nullptr);
}

TEST_F(DirectiveLines, ListsHoldNewestFirstUntilReleased) {
    lineCounter = 3;
    ASSERT_EQ(handle("fixedP", "a.c f v S 16:8"), 0);
    lineCounter = 4;
    ASSERT_EQ(handle("fixedP", "a.c f v U 8:4"), 0);
    const ConstraintDirective* head = constraintDirectives[CONSTRAINT_FIXEDP];
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->optionText, "U 8:4");
    EXPECT_EQ(head->line, 4);
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(head->next->line, 3);
    EXPECT_EQ(head->next->next, nullptr);

    const char* everyKeyword[][2] = {
        {"module", "a f"},       {"evFunc", "a f"},       {"roll", "a f"},
        {"unmodule", "a f"},     {"unroll", "a f loop"},  {"int", "a f v 8"},
        {"input", "a f v"},      {"output", "a f v"},     {"inout", "a f v"},
        {"scale", "a f v 8"},    {"float", "a f v"},      {"muladd_var", "a f v"},
    };
    for (auto& line : everyKeyword) ASSERT_EQ(handle(line[0], line[1]), 0) << line[0];
    for (ConstraintDirective* h : constraintDirectives) EXPECT_NE(h, nullptr);
    releaseConstraintDirectives();
    for (ConstraintDirective* h : constraintDirectives) EXPECT_EQ(h, nullptr);
}

}  // namespace
