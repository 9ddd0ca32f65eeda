#include "report/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
    }
    void TearDown() override {
        setMessageCapture(nullptr);
        initMessages(1, programCatalogue());
    }
    std::string out;
};

TEST(MessageCatalogue, HasTheProgramRowsInOrderWithSameAlternativeText) {
    const MessageRow* rows = programCatalogue();
    std::vector<int> codes;
    std::set<int> warnings;
    for (const MessageRow* row = rows; row->code != -1; ++row) {
        codes.push_back(row->code);
        EXPECT_STREQ(row->text, row->altText) << row->code;
        ASSERT_NE(row->text, nullptr);
        std::size_t length = std::strlen(row->text);
        ASSERT_GT(length, 0u);
        EXPECT_EQ(row->text[length - 1], '\n') << row->code;
        if (row->kind == MSG_WARNING) warnings.insert(row->code);
        else EXPECT_EQ(row->kind, MSG_ERROR) << row->code;
    }
    ASSERT_EQ(codes.size(), 55u);
    for (std::size_t i = 1; i < codes.size(); ++i) EXPECT_LT(codes[i - 1], codes[i]);
    EXPECT_EQ(codes.front(), 451);
    EXPECT_EQ(codes.back(), 603);
    EXPECT_EQ(warnings, (std::set<int>{538, 601, 602, 603}));
}

TEST_F(MessagesTest, UnknownCodeCountsAsErrorAndIgnoresArguments) {
    printMessage(700, "ignored");
    printMessage(5);
    EXPECT_EQ(out, "Error No.700\nError No.005\n");
    EXPECT_EQ(errorCount(), 2);
    EXPECT_EQ(warningCount(), 0);
}

TEST_F(MessagesTest, NoCatalogueMeansEveryCodeIsUnknownButFreeFormStillPrints) {
    initMessages(1, nullptr);
    printMessage(451);
    printMessage(MSG_FREE_FORM, "%s=%d\n", "x", 4);
    // Longer than the buffer on the stack: printed whole.
    const std::string name(3000, 'n');
    printMessage(MSG_FREE_FORM, "%s=%d\n", name.c_str(), 4);
    EXPECT_EQ(out, "Error No.451\nx=4\n" + name + "=4\n");
    EXPECT_EQ(errorCount(), 1);
}

TEST_F(MessagesTest, NoteAndOddKindsCountNothing) {
    const MessageRow rows[] = {
        {10, MSG_NOTE, "note %d\n", "note %d\n"},
        {11, 7, "plain\n", "plain\n"},
        {12, MSG_WARNING, "w\n", "w\n"},
        {-1, 0, nullptr, nullptr},
    };
    initMessages(1, rows);
    printMessage(10, 3);
    printMessage(11);
    EXPECT_EQ(out, "M010:note 3\nplain\n");
    EXPECT_EQ(errorCount(), 0);
    EXPECT_EQ(warningCount(), 0);
    // A later catalogue without reset keeps the counters.
    printMessage(12);
    initMessages(0, programCatalogue());
    printMessage(451);
    EXPECT_EQ(warningCount(), 1);
    EXPECT_EQ(errorCount(), 1);
    initMessages(1, programCatalogue());
    EXPECT_EQ(warningCount(), 0);
    EXPECT_EQ(errorCount(), 0);
}

TEST_F(MessagesTest, AlternativeTextIsConvertedAndResetTurnsItOff) {
    const MessageRow rows[] = {
        {20, MSG_ERROR, "plain %d\n", "\xA4\xA2%d\n"},
        {-1, 0, nullptr, nullptr},
    };
    initMessages(1, rows);
    setAltTextMode(1);
    printMessage(20, 5);
    EXPECT_EQ(out, "E020:Error:\x82\xA0" "5\n");
    out.clear();
    initMessages(1, rows);
    printMessage(20, 5);
    EXPECT_EQ(out, "E020:Error:plain 5\n");
}

TEST(EucToSjis, ConvertsByThePublishedRule) {
    struct Case {
        const char* in;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"abc 123\n", "abc 123\n"},
        {"\xA1\xA1", "\x81\x40"},          // ideographic space: the first cell
        {"\xA4\xA2", "\x82\xA0"},          // hiragana a: even row
        {"\xA5\xA2", "\x83\x41"},          // katakana a: odd row
        {"\xA5\xE0", "\x83\x80"},          // odd row, second byte skips 0x7F
        {"\xB0\xA1", "\x88\x9F"},          // first kanji
        {"\xE0\xA1", "\xE0\x9F"},          // lead byte above 0x9F moves up
        {"\xFC\xFE", "\xEE\xFC"},          // last cell
        {"\x8E\xB1x", "\xB1x"},            // half-width: shift byte dropped
        {"a\xB4\xC1z", "a\x8A\xBFz"},
        {"\xA4", "\xA4"},                  // lone lead byte at the end
        {"\x8E", ""},                      // lone shift byte at the end
        {"\x8F\x41", "\x8F\x41"},          // other bytes pass unchanged
    };
    for (const Case& c : cases) {
        char buffer[64];
        std::memset(buffer, 'Z', sizeof buffer);
        std::size_t written = convertEucToSjis(buffer, c.in);
        EXPECT_EQ(written, std::strlen(c.expected)) << c.in;
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST_F(MessagesTest, VersionLinePadsAndCutsTheName) {
    printVersion("tavikChk", "0.01.08");
    EXPECT_EQ(out, "    tavikChk         : Ver.0.01.08\n");
    out.clear();
    printVersion("abcdefghijklmnopqrstu", "1");
    EXPECT_EQ(out, "    abcdefghijklmnop : Ver.1\n");
    EXPECT_EQ(errorCount(), 0);
}

}  // namespace
