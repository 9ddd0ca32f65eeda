#include "cdfg/graph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Graph, AbsentNodesReadAsZeroAndRefuseWrites) {
    auto g = newGraph();
    NodeId a = createNode(*g, CFG_DECLARE);
    setAttrString(*g, a, CfgDecl_NAME, "x");
    setAttrInt(*g, a, CfgDecl_KIND, DECL_VAR);
    deleteNode(*g, a);
    for (NodeId id : {NodeId{0}, NodeId{77}, a}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(getKind(*g, id), 0u);
        EXPECT_EQ(getAttrInt(*g, id, CfgDecl_KIND), 0u);
        EXPECT_EQ(getAttrString(*g, id, CfgDecl_NAME), nullptr);
        EXPECT_EQ(getAttrDouble(*g, id, CfgDecl_KIND), 0.0);
        EXPECT_EQ(getAttrCount(*g, id), 0u);
        EXPECT_EQ(getFileName(*g, id), nullptr);
        EXPECT_EQ(setKind(*g, id, 1), -1);
        EXPECT_EQ(setNextId(*g, id, 1), -1);
        EXPECT_EQ(setAttrInt(*g, id, 1, 1), -1);
        EXPECT_EQ(setAttrString(*g, id, 1, "t"), -1);
        EXPECT_EQ(setFileName(*g, id, "a.c"), -1);
        EXPECT_EQ(lookupNode(*g, id), nullptr);
    }
}

TEST(Graph, SettersReplaceByIdentifierAndCountOnce) {
    auto g = newGraph();
    NodeId n = createNode(*g, CFG_DECLARE);
    EXPECT_EQ(setAttrInt(*g, n, CfgDecl_VALTYPE, 4), 0);
    EXPECT_EQ(setAttrInt(*g, n, CfgDecl_VALTYPE, 9), 0);
    EXPECT_EQ(getAttrCount(*g, n), 1u);
    EXPECT_EQ(getAttrInt(*g, n, CfgDecl_VALTYPE), 9u);
    // A string setter refuses an identifier that holds another kind of value.
    EXPECT_EQ(setAttrString(*g, n, CfgDecl_VALTYPE, "text"), -1);
    EXPECT_EQ(getAttrInt(*g, n, CfgDecl_VALTYPE), 9u);
    EXPECT_EQ(getAttrString(*g, n, CfgDecl_VALTYPE), nullptr);
    // Other setters change the value kind in place.
    EXPECT_EQ(setAttrLongLong(*g, n, CfgDecl_VALTYPE, -5), 0);
    EXPECT_EQ(getAttrKind(*g, n, CfgDecl_VALTYPE), ATTR_LONGLONG);
    EXPECT_EQ(getAttrLongLong(*g, n, CfgDecl_VALTYPE), -5);
    EXPECT_EQ(setAttrString(*g, n, CfgDecl_NAME, nullptr), 0);
    EXPECT_EQ(getAttrKind(*g, n, CfgDecl_NAME), ATTR_STRING);
    EXPECT_EQ(getAttrString(*g, n, CfgDecl_NAME), nullptr);
    EXPECT_EQ(setAttrString(*g, n, CfgDecl_NAME, "abc"), 0);
    EXPECT_STREQ(getAttrString(*g, n, CfgDecl_NAME), "abc");
    EXPECT_EQ(getAttrCount(*g, n), 2u);
}

// Every value reads back as stored, whether it sits beside its identifier,
// lies apart (64-bit values) or is kept apart whole (odd identifiers, kinds
// and values), and whatever the order of setting.
TEST(Graph, ValuesReadBackAsStored) {
    const AttrValue values[] = {
        {1, ATTR_CHAR, static_cast<std::uint64_t>(-3)},
        {2, ATTR_INT, 0xfffffffeu},
        {3, ATTR_NODE, 42},
        {4, ATTR_LONGLONG, static_cast<std::uint64_t>(-5)},
        {5, ATTR_LONGLONG, std::uint64_t{1} << 40},
        {6, ATTR_FLOAT, 0x4004000000000000u},  // 2.5
        {7, ATTR_CHAR, 0x80},                  // raw bits that are not a sign-extended byte
        {8, ATTR_INT, std::uint64_t{1} << 33},
        {9, 11, 17},                           // a kind the vocabulary lacks
        {kOddAttrId - 1, ATTR_INT, 5},
        {kOddAttrId, ATTR_INT, 6},
        {0xffffffffu, ATTR_NODE, 7},
    };
    auto g = newGraph();
    NodeId n = createNode(*g, 1);
    for (const AttrValue& v : values) ASSERT_EQ(setAttrRaw(*g, n, v.id, v.valueKind, v.bits), 0);
    ASSERT_EQ(getAttrCount(*g, n), std::size(values));
    for (std::uint32_t i = 0; i < std::size(values); ++i) {
        const AttrValue& v = values[i];
        SCOPED_TRACE(v.id);
        const AttrValue at = getAttrAt(*g, n, i + 1);
        EXPECT_EQ(at.id, v.id);
        EXPECT_EQ(at.valueKind, v.valueKind);
        EXPECT_EQ(at.bits, v.bits);
        EXPECT_EQ(getAttrKind(*g, n, v.id), v.valueKind);
        EXPECT_EQ(getAttrInt(*g, n, v.id), static_cast<std::uint32_t>(v.bits));
        EXPECT_EQ(getAttrLongLong(*g, n, v.id), static_cast<std::int64_t>(v.bits));
    }
    EXPECT_EQ(getAttrChar(*g, n, 1), -3);
    EXPECT_EQ(getAttrDouble(*g, n, 6), 2.5);
    EXPECT_EQ(getAttrAt(*g, n, std::size(values) + 1).id, 0u);
    EXPECT_EQ(getAttrKindAt(*g, n, 0), 0u);
    // A text beside an odd identifier.
    EXPECT_EQ(setAttrString(*g, n, 0xfffffff0u, "odd"), 0);
    EXPECT_STREQ(getAttrString(*g, n, 0xfffffff0u), "odd");
    EXPECT_EQ(getAttrInt(*g, n, 0xfffffff0u), 0u);
}

TEST(Graph, GrowingOneNodeKeepsEveryOtherNodesAttributes) {
    auto g = newGraph();
    NodeId a = createNode(*g, 1);
    NodeId b = createNode(*g, 1);
    setAttrInt(*g, a, 1, 10);
    setAttrInt(*g, b, 1, 20);
    setAttrInt(*g, a, 2, 11);  // a's run is not last: it moves
    setAttrInt(*g, b, 2, 21);
    setAttrInt(*g, a, 3, 12);
    EXPECT_EQ(getAttrInt(*g, a, 1), 10u);
    EXPECT_EQ(getAttrInt(*g, a, 2), 11u);
    EXPECT_EQ(getAttrInt(*g, a, 3), 12u);
    EXPECT_EQ(getAttrInt(*g, b, 1), 20u);
    EXPECT_EQ(getAttrInt(*g, b, 2), 21u);
    EXPECT_EQ(getAttrCount(*g, a), 3u);
}

TEST(Graph, IdsFarApartAreFoundAndCostOnlyTheirPages) {
    auto g = newGraph();
    for (NodeId id : {1u, 9000000u, 9000001u, 0xffffffffu}) {
        ASSERT_EQ(createNodeWithId(*g, id), id);
        setKind(*g, id, id % 1000);
    }
    for (NodeId id : {1u, 9000000u, 9000001u, 0xffffffffu}) EXPECT_EQ(getKind(*g, id), id % 1000);
    EXPECT_EQ(getKind(*g, 9000002u), 0u);
    std::size_t pages = 0;
    for (const auto& page : g->idPages) pages += page != nullptr;
    EXPECT_EQ(pages, 3u);  // 9000000 and 9000001 share a page
    // Ids are handed out after the last one registered.
    EXPECT_EQ(createNode(*g, 5), 0u);  // no id after 0xffffffff
    auto h = newGraph();
    createNodeWithId(*h, 40);
    EXPECT_EQ(createNode(*h, 5), 41u);
    EXPECT_EQ(createNodeWithId(*h, 0), 0u);
}

TEST(Graph, ARepeatedIdTakesTheIdOver) {
    auto g = newGraph();
    createNodeWithId(*g, 5);
    setKind(*g, 5, 1);
    createNodeWithId(*g, 5);
    setKind(*g, 5, 2);
    EXPECT_EQ(g->nodes.size(), 2u);
    EXPECT_EQ(g->nodes[0].kind, 1u);
    EXPECT_EQ(getKind(*g, 5), 2u);
}

TEST(Graph, FileNamesAreSharedTexts) {
    auto g = newGraph();
    NodeId a = createNode(*g, 1);
    NodeId b = createNode(*g, 1);
    setFileName(*g, a, "a.c");
    setFileName(*g, b, std::string("a.c").c_str());
    EXPECT_STREQ(getFileName(*g, b), "a.c");
    EXPECT_EQ(getFileName(*g, a), getFileName(*g, b));
    setFileName(*g, a, static_cast<const char*>(nullptr));
    EXPECT_EQ(getFileName(*g, a), nullptr);
}

// Texts keep their place and their bytes, followed by a NUL, however many
// are stored after them: small ones filling blocks, empty ones, ones larger
// than a block.
TEST(Graph, StoredTextsStayWhereTheyAre) {
    TextStore store;
    std::vector<std::string> texts;
    std::vector<const char*> places;
    for (std::size_t i = 0; i < 40000; ++i) {
        std::size_t size = i % 1000 == 7 ? (i * 977) % (3u << 20) : i % 23;
        std::string text(size, static_cast<char>('a' + i % 26));
        if (size > 2) text[1] = '\0';
        texts.push_back(text);
        ASSERT_EQ(store.add(text), i + 1);
        places.push_back(store[i + 1].data());
    }
    ASSERT_EQ(store.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(store[i + 1], texts[i]) << i;
        ASSERT_EQ(store[i + 1].data(), places[i]) << i;
        ASSERT_EQ(store[i + 1].data()[texts[i].size()], '\0') << i;
    }
}

// Texts numbered from a base of their own (a second reader's) keep their
// numbers when another store takes them over, and texts stored afterwards
// follow them; a store whose own texts reach that base keeps them apart.
TEST(Graph, TextsTakenOverKeepTheirNumbers) {
    TextStore store, part, clash;
    store.add("a");
    store.add("b");
    part.numberAfter(10);
    EXPECT_EQ(part.add("k"), 11u);
    clash.numberAfter(1);
    clash.add("x");
    EXPECT_FALSE(store.takeFrom(clash));
    EXPECT_EQ(clash[2], "x");
    ASSERT_TRUE(store.takeFrom(part));
    EXPECT_EQ(store.add("l"), 12u);
    EXPECT_EQ(store[2], "b");
    EXPECT_EQ(store[11], "k");
    EXPECT_EQ(store[12], "l");
    EXPECT_EQ(store.size(), 4u);
    EXPECT_EQ(part.size(), 0u);
}

TEST(Graph, DeleteTreeFollowsOwnedNodesOnly) {
    auto g = newGraph();
    NodeId decl = createNode(*g, CFG_DECLARE);
    NodeId dim = createNode(*g, DFG_DIMENSION);
    NodeId ref = createNode(*g, DFG_INPUT_VAR);
    NodeId index = createNode(*g, DFG_INPUT_CONST);
    setAttrNode(*g, decl, CfgDecl_DIMNODE, dim);
    setAttrNode(*g, ref, DfgPort_DECL, decl);  // a cross reference
    setAttrNode(*g, ref, DfgPort_DIMNODE, index);
    setAttrNode(*g, index, 1, ref);  // a cycle back through an owned attribute
    deleteNodeTree(*g, ref);
    EXPECT_EQ(getKind(*g, ref), 0u);
    EXPECT_EQ(getKind(*g, index), 0u);
    EXPECT_EQ(getKind(*g, decl), CFG_DECLARE);
    EXPECT_EQ(getKind(*g, dim), DFG_DIMENSION);
    deleteNodeTree(*g, decl);
    EXPECT_EQ(getKind(*g, dim), 0u);
    // An initializer's expression may be shared with the copies of its function.
    NodeId member = createNode(*g, CFG_MEMBER), value = createNode(*g, DFG_INPUT_CONST);
    setAttrNode(*g, member, CfgMember_SIGNAL, value);
    deleteNodeTree(*g, member);
    EXPECT_EQ(getKind(*g, value), DFG_INPUT_CONST);
}

// Each pass changes only its own bits of the mark word.
TEST(Graph, MarkBitsChangeOnlyTheBitsNamed) {
    struct Case {
        std::uint32_t before, bits, value, after;
    };
    const Case cases[] = {
        {0x80000005u, kMarkHigh, 0, 0x00000005u},           // clear the high bit
        {0x00000005u, kMarkHigh, kMarkHigh, 0x80000005u},   // set it
        {0x80000005u, kMarkLow, 0x12u, 0x80000012u},        // a new index beside the high bit
        {0x80000005u, kMarkLow, 0, 0x80000000u},            // the index cleared
        {0x00000005u, kMarkLow, 0xffffffffu, 0x7fffffffu},  // a value wider than the bits
    };
    auto g = newGraph();
    const NodeId n = createNode(*g, CFG_DECLARE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        setMark(*g, n, c.before);
        setMarkBits(*g, n, c.bits, c.value);
        EXPECT_EQ(getMark(*g, n), c.after);
        EXPECT_EQ(getMarkBits(*g, n, c.bits), c.after & c.bits);
    }
}

TEST(Graph, FindRootIsTheFirstRootOfTheList) {
    auto g = newGraph();
    EXPECT_EQ(findRoot(*g), 0u);
    createNode(*g, CFG_FILEINFO);
    NodeId r1 = createNode(*g, CFG_ROOT);
    createNode(*g, CFG_ROOT);
    EXPECT_EQ(findRoot(*g), r1);
}

TEST(Vocabulary, NamesAndCodesAgree) {
    EXPECT_STREQ(kindName(CFG_FUNCTION), "CFG_FUNCTION");
    EXPECT_EQ(kindCode("DFG_FUNC_CALL"), DFG_FUNC_CALL);
    EXPECT_EQ(kindName(999), nullptr);
    EXPECT_STREQ(attrName(CFG_PROTO_FUNC, CfgFunc_NAME), "CfgFunc_NAME");
    EXPECT_STREQ(attrName(DFG_OUTPUT_VAR, DfgPort_STRSON), "DfgPort_STRSON");
    EXPECT_EQ(attrCode(CFG_DECLARE, "CfgDecl_DIRECTIVE"), CfgDecl_DIRECTIVE);
    EXPECT_EQ(attrName(CFG_STATE_END, 4), nullptr);
    EXPECT_EQ(valueKindCode("ATTR_NODE"), ATTR_NODE);
}

}  // namespace
