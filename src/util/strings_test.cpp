#include "util/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// strtok itself, used the way the helper is described.
int splitWithStrtok(int maxFields, char** fields, char* text, const char* delimiters) {
    int count = 0;
    for (char* field = std::strtok(text, delimiters); field; field = std::strtok(nullptr, delimiters)) {
        fields[count++] = field;
        if (count == maxFields - 1) {
            fields[count] = std::strtok(nullptr, "");
            return maxFields;
        }
    }
    return count;
}

TEST(SplitFields, AgreesWithStrtokOnRandomTexts) {
    std::mt19937 random(20240611);
    const char alphabet[] = "ab ,=\n";
    for (int round = 0; round < 3000; ++round) {
        int maxFields = 2 + static_cast<int>(random() % 4);
        std::string text;
        for (int n = static_cast<int>(random() % 12); n > 0; --n) text += alphabet[random() % (sizeof alphabet - 1)];
        std::string mine = text, theirs = text;
        std::vector<char*> got(maxFields, nullptr), want(maxFields, nullptr);
        int gotCount = splitFields(maxFields, got.data(), mine.data(), " ,\n");
        int wantCount = splitWithStrtok(maxFields, want.data(), theirs.data(), " ,\n");
        ASSERT_EQ(gotCount, wantCount) << '"' << text << '"';
        for (int i = 0; i < wantCount; ++i) {
            ASSERT_EQ(got[i] ? got[i] - mine.data() : -1, want[i] ? want[i] - theirs.data() : -1)
                << '"' << text << "\" slot " << i;
        }
        ASSERT_EQ(mine, theirs) << '"' << text << '"';
    }
}

TEST(SplitFields, FieldsPointIntoTheTextAndNullTextGivesNothing) {
    char text[] = "a b";
    char* fields[2];
    ASSERT_EQ(splitFields(2, fields, text, " "), 2);
    EXPECT_EQ(fields[0], text);
    EXPECT_EQ(fields[1], text + 2);
    EXPECT_EQ(splitFields(2, fields, nullptr, " "), 0);
}

TEST(IsNumericText, DigitsMinusAndDotOnly) {
    const std::pair<const char*, int> cases[] = {
        {"16", 1}, {"1.5", 1}, {"-", 1}, {"", 1}, {"-1.-", 1},
        {"x16", 0}, {"16 ", 0}, {" 16", 0}, {"+1", 0}, {"1e3", 0}, {"\xB1", 0}, {nullptr, 0},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(isNumericText(text), expected) << (text ? text : "(null)");
}

TEST(ToLowerInPlace, OnlyUppercaseLettersChange) {
    char text[] = "FixedP_A1";
    toLowerInPlace(text);
    EXPECT_STREQ(text, "fixedp_a1");
    char other[] = "AZ az 09 @[ \xC4";
    toLowerInPlace(other);
    EXPECT_STREQ(other, "az az 09 @[ \xC4");
    toLowerInPlace(nullptr);
}

}  // namespace
