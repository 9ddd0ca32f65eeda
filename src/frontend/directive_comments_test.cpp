#include "frontend/directive_comments.h"

#include <gtest/gtest.h>

namespace {

struct Found {
    unsigned line;
    unsigned column;
    std::string text;
    bool operator==(const Found&) const = default;
};

std::vector<Found> scan(const std::string& source) {
    std::vector<Found> out;
    for (const DirectiveComment& d : scanDirectiveComments(source)) {
        EXPECT_EQ(source.compare(d.offset, 7, "//tavik"), 0);
        out.push_back({d.line, d.column, d.text});
    }
    return out;
}

TEST(DirectiveComments, OnlyLineCommentsThatStartWithTheMarker) {
    struct Case {
        const char* source;
        std::vector<Found> found;
    } cases[] = {
        {"x = f(); //tavik module\n", {{1, 10, "module"}}},
        {"//tavik  fixedP S 16:8  \r\n", {{1, 1, "fixedP S 16:8"}}},
        {"//tavik\n", {{1, 1, ""}}},
        {"f(); //tavik module prefix=m1 //tavik evFunc\n", {{1, 6, "module prefix=m1"}, {1, 31, "evFunc"}}},
        {"// see //tavik module\n//tavikmodule\n// tavik module\n", {}},
        {"s = \"//tavik module\"; c = '\\''; //tavik float\n", {{1, 33, "float"}}},
        {"/* //tavik module\n */ g(); //tavik unroll\n", {{2, 10, "unroll"}}},
        {"s = \"a\\\nb\";\n//tavik int 8\n", {{3, 1, "int 8"}}},
        {"c = '\n//tavik int 8\n", {{2, 1, "int 8"}}},
        {"/* never closed //tavik module", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(scan(c.source), c.found) << c.source;
}

TEST(DirectiveComments, TheKeywordDecidesTheTarget) {
    EXPECT_EQ(directiveKeyword("module,prefix=m1"), "module");
    EXPECT_EQ(directiveKeyword("fixedP S 16:8"), "fixedP");
    EXPECT_EQ(directiveTarget("module"), DirectiveTarget::Call);
    EXPECT_EQ(directiveTarget("evFunc"), DirectiveTarget::Call);
    EXPECT_EQ(directiveTarget("unmodule"), DirectiveTarget::Call);
    EXPECT_EQ(directiveTarget("roll"), DirectiveTarget::LoopOrCall);
    EXPECT_EQ(directiveTarget("unroll"), DirectiveTarget::LoopOrCall);
    EXPECT_EQ(directiveTarget("translate_off"), DirectiveTarget::BlockMarker);
    EXPECT_EQ(directiveTarget("Module"), DirectiveTarget::Declaration);
    EXPECT_EQ(directiveTarget("fixedP"), DirectiveTarget::Declaration);
}

}  // namespace
