#include "constraint/constraint_reader.h"

#include <gtest/gtest.h>

#include "support/temp_path.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "constraint/directive_lines.h"
#include "report/messages.h"

namespace {

using namespace std::string_literals;

class ConstraintReader : public ::testing::Test {
protected:
    void SetUp() override {
        initMessages(1, programCatalogue());
        releaseConstraintDirectives();
        setMessageCapture(&output);
        path = tb::tempPath("constraint_reader_test.ctf");
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        releaseConstraintDirectives();
        std::remove(path.c_str());
    }

    int read(const std::string& content) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        output.clear();
        return readConstraintFile(path.c_str());
    }
    std::string syntaxError(int line, const std::string& help = "") const {
        return "Error:" + path + ":" + std::to_string(line) + ":Syntx error :" + help + "\n";
    }
    int stored(int list) const {
        int n = 0;
        for (const ConstraintDirective* r = constraintDirectives[list]; r != nullptr; r = r->next) ++n;
        return n;
    }

    std::string output;
    std::string path;
};

struct ReadCase {
    const char* name;
    std::string content;
    int rejectedLine;  // 0: the file reads successfully
    const char* help = "";
};

TEST_F(ConstraintReader, AcceptsAndRejectsLines) {
    const ReadCase cases[] = {
        {"empty file", "", 0},
        {"blank and comment lines", "\n  \t\n# note\n  # note\n#module a.c f\n//x\n,,\n", 0},
        {"directive before any section", "\n\nmodule a.c f\n", 3},
        {"directive section twice", "$def_directive\n$def_directive\n", 2},
        {"end of the other section", "$def_start_option\n$end_directive\n", 2},
        {"keyword case matters", "$def_directive\nModule a.c f\n", 2},
        {"single slash is no comment", "$def_directive\n//x\n/x\n", 3},
        {"unknown start option", "$def_start_option\n-foo\n", 2},
        {"start options by name only",
         "$def_start_option\n-max\n-max 3 4\n-bsim_mode\n-O2 x\n-mev\n$end_start_option\n", 0},
        {"directive in the option section", "$def_start_option\nmodule a.c f\n", 2},
        {"option in the directive section", "$def_directive\n-max\n", 2},
        {"sections reopen", "$def_directive\n$end_directive\n$def_start_option\n$end_start_option\n"
                            "$def_directive\nevFunc a.c f\n", 0},
        {"section open at the end", "$def_directive\nevFunc a.c f", 0},
        {"handler usage is printed", "$def_directive\nfixedP a.c f v\n", 2, "fixedP directive <option>"},
        {"last line without newline", "$def_directive\nbogus", 1},
        {"continued line counts its last line", "$def_directive\nfixedP a.c \\\n  f  \\ \t\r\n\n", 4,
         "fixedP directive <varName>"},
        {"CR LF line ends", "$def_directive\r\nevFunc a.c f\r\nroll\r\n", 3, "roll directive <fileName>"},
        {"a NUL byte ends the text", "$def_directive\nevFunc a.c\0 f\n"s, 2, "evFunc directive <funcName>"},
        {"NUL keyword line is blank", "$def_directive\n\0bogus\nevFunc a.c f\n"s, 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        releaseConstraintDirectives();
        int result = read(c.content);
        if (c.rejectedLine == 0) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(output, "");
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(output, syntaxError(c.rejectedLine, c.help));
        }
        EXPECT_EQ(errorCount(), 0);
    }
}

TEST_F(ConstraintReader, MissingFile) {
    EXPECT_EQ(readConstraintFile("/nonexistent/dir/x.ctf"), -1);
    EXPECT_EQ(output, "Error:constarint:Cat't open '/nonexistent/dir/x.ctf'\n");
}

TEST_F(ConstraintReader, LogicalLinesAndTheirNumbers) {
    ASSERT_EQ(read("$def_directive\n"
                   "module,a.c f\n"                  // 2: a comma ends the keyword
                   "input a.c f v opt\\\n"           // 3: continued ...
                   "x\n"                             // 4: ... the option stops at the newline
                   "input a.c f w " + std::string(2000, 'S') + "\n"  // 5
                   "# input a.c f c\n"               // 6
                   "input a.c f t tail\\"),          // 6: backslash at the very end stays
              0);
    const ConstraintDirective* m = constraintDirectives[CONSTRAINT_MODULE];
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->fileName, "a.c");
    EXPECT_STREQ(m->funcName, "f");
    EXPECT_EQ(m->line, 2);

    ASSERT_EQ(stored(CONSTRAINT_INPUT), 3);
    const ConstraintDirective* t = constraintDirectives[CONSTRAINT_INPUT];
    EXPECT_STREQ(t->varName, "t");
    EXPECT_STREQ(t->optionText, "tail\\");
    EXPECT_EQ(t->line, 6);
    const ConstraintDirective* w = t->next;
    EXPECT_EQ(std::strlen(w->optionText), 2000u);
    EXPECT_EQ(w->line, 5);
    const ConstraintDirective* v = w->next;
    EXPECT_STREQ(v->optionText, "opt ");
    EXPECT_EQ(v->line, 4);
}

TEST_F(ConstraintReader, CarriageReturnsEndALineOnlyAtAChunkEnd) {
    // With CR line ends the whole file is one line, unless a CR happens to
    // be the last byte of a 509-byte chunk.
    EXPECT_EQ(read("$def_directive\revFunc a.c f\rbogus\r"), 0);
    EXPECT_EQ(stored(CONSTRAINT_EVFUNC), 0);

    std::string first = "$def_directive" + std::string(508 - 14, ' ') + "\r";
    ASSERT_EQ(first.size(), 509u);
    EXPECT_EQ(read(first + "evFunc a.c f\r"), 0);
    EXPECT_EQ(stored(CONSTRAINT_EVFUNC), 1);
    EXPECT_EQ(read(first + "bogus\r"), -1);
    EXPECT_EQ(output, syntaxError(0));
}

TEST_F(ConstraintReader, HostileFilesEndQuickly) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();

    // One huge line without a newline.
    EXPECT_EQ(read("$def_directive\ninput a.c f v " + std::string(4 << 20, 'x')), 0);
    EXPECT_EQ(std::strlen(constraintDirectives[CONSTRAINT_INPUT]->optionText), 4u << 20);

    // Many backslashes, each continued by a line of blanks: every
    // continuation must not rescan what the line already holds.
    std::string joined = "$def_directive\nevFunc a.c f " + std::string(100000, '\\') + "\n";
    for (int i = 0; i < 100000; ++i) joined += "  \\\n\n";
    EXPECT_EQ(read(joined), 0);
    EXPECT_EQ(lineCounter, 200002);

    // Random bytes, biased towards the characters the reader cares about.
    std::mt19937 rng(12345);
    const char alphabet[] = "\\ \t\r\n,;#/$_def_directive module a.c f evFunc\0\xff";
    for (int round = 0; round < 200; ++round) {
        std::string junk;
        std::size_t size = rng() % 3000;
        for (std::size_t i = 0; i < size; ++i) {
            junk += rng() % 4 == 0 ? static_cast<char>(rng() % 256)
                                   : alphabet[rng() % (sizeof alphabet - 1)];
        }
        int result = read((round % 2 ? "$def_directive\n" : "") + junk);
        EXPECT_TRUE(result == 0 || result == -1);
        releaseConstraintDirectives();
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
