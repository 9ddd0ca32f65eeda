#include "tools/text_syntax.h"

#include <gtest/gtest.h>

#include <cstring>

#include "cdfg/vocabulary.h"

namespace {

TEST(TextSyntax, QuotesEveryByteAsPlainAscii) {
    EXPECT_EQ(quoteText(""), "\"\"");
    EXPECT_EQ(quoteText("fixedP S 16:8"), "\"fixedP S 16:8\"");
    EXPECT_EQ(quoteText(std::string("a\"b\\c\n\t\r\0\x7f\x80\xff", 12)),
              "\"a\\\"b\\\\c\\n\\t\\r\\x00\\x7f\\x80\\xff\"");
}

TEST(TextSyntax, FloatsReadBackToTheSameBits) {
    const std::uint64_t patterns[] = {
        0,                      // 0.0
        0x8000000000000000ull,  // -0.0
        0x3FB999999999999Aull,  // 0.1
        0x0000000000000001ull,  // smallest subnormal
        0x7FEFFFFFFFFFFFFFull,  // largest finite
        0x4000000000000000ull,  // 2.0
        0x7FF0000000000000ull,  // inf
        0xFFF0000000000000ull,  // -inf
        0x7FF8000000000001ull,  // NaN with a payload
    };
    for (std::uint64_t bits : patterns) {
        const std::string text = formatFloatBits(bits);
        EXPECT_NE(text.find_first_of(".ex"), std::string::npos) << text;
        auto back = parseFloatBits(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, bits) << text;
    }
    EXPECT_EQ(formatFloatBits(0x4000000000000000ull), "2.0");
    EXPECT_FALSE(parseFloatBits("1.5x"));
    EXPECT_FALSE(parseFloatBits("0x12"));
    EXPECT_FALSE(parseFloatBits(""));
}

TEST(TextSyntax, IntegersMustFitTheirField) {
    struct Case {
        const char* text;
        unsigned width;
        bool negative;
        std::optional<std::uint64_t> bits;
    };
    const Case cases[] = {
        {"0", 32, false, 0},
        {"4294967295", 32, false, 0xFFFFFFFFu},
        {"4294967296", 32, false, std::nullopt},
        {"-1", 32, false, std::nullopt},
        {"-1", 32, true, 0xFFFFFFFFu},
        {"-2147483648", 32, true, 0x80000000u},
        {"-2147483649", 32, true, std::nullopt},
        {"0x1F", 32, false, 31},
        {"010", 32, false, 10},  // a leading zero is no octal or hex
        {"-0x80", 8, true, 0x80},
        {"255", 8, true, 255},
        {"256", 8, true, std::nullopt},
        {"18446744073709551615", 64, true, ~std::uint64_t{0}},
        {"-9223372036854775808", 64, true, 0x8000000000000000ull},
        {"12a", 32, true, std::nullopt},
        {"+5", 32, true, std::nullopt},
        {"-", 32, true, std::nullopt},
        {"0x", 32, true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseFieldInteger(c.text, c.width, c.negative), c.bits) << c.text;
}

TEST(TextSyntax, ValueNamesBelongToTheirAttributes) {
    EXPECT_STREQ(enumValueName(CFG_DECLARE, CfgDecl_VALTYPE, DECL_VALTYPE_LONGDOUBLE),
                 "DECL_VALTYPE_LONGDOUBLE");
    EXPECT_STREQ(enumValueName(DFG_OPERATION, DfgOpe_TYPE, CALC_LogOr), "CALC_LogOr");
    EXPECT_STREQ(enumValueName(INFO_DIRECTIVE, DfgDirective_TYPE, 55), "DIRE_Directive");
    EXPECT_EQ(enumValueName(CFG_DECLARE, CfgDecl_NAME, 8), nullptr);
    EXPECT_EQ(enumValueName(DFG_OPERATION, DfgOpe_TYPE, 40), nullptr);
    EXPECT_EQ(enumValueCode("CALC_DeclP"), CALC_DeclP);
    EXPECT_EQ(enumValueCode("LOOP_FOR"), LOOP_FOR);
    EXPECT_FALSE(enumValueCode("CALC_Nothing"));
    // Every name printed reads back as its own value.
    for (std::uint32_t kind : {CFG_DECLARE, CFG_FUNCTION, DFG_OPERATION, CFG_LOOP_BEGIN, INFO_DIRECTIVE})
        for (std::uint32_t attr = 0; attr < 32; ++attr)
            for (std::int32_t v = -1; v < 300; ++v)
                if (const char* name = enumValueName(kind, attr, v)) {
                    EXPECT_EQ(enumValueCode(name), v) << name;
                }
}

}  // namespace
