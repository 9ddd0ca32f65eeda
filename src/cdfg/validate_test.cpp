#include "cdfg/validate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Owned nesting counts, chains and references that point back do not.
TEST(Validate, NestingIsBoundedChainsAndReferencesAreNot) {
    for (std::uint32_t levels : {kMaxNestingDepth - 1, kMaxNestingDepth + 5}) {
        std::unique_ptr<CdfgGraph> g = newGraph();
        NodeId e = createNode(*g, DFG_INPUT_CONST);
        for (std::uint32_t i = 0; i < levels; ++i) {
            NodeId o = createNode(*g, DFG_OPERATION);
            setAttrNode(*g, o, DfgOpe_LEFT, e);
            e = o;
        }
        std::string reason;
        EXPECT_EQ(validateGraph(*g, reason), levels > kMaxNestingDepth ? -1 : 0) << levels;
    }
    std::unique_ptr<CdfgGraph> g = newGraph();
    NodeId d = createNode(*g, CFG_DECLARE), use = createNode(*g, DFG_INPUT_VAR);
    setAttrNode(*g, use, DfgPort_DECL, d);
    setAttrNode(*g, d, CfgDecl_FIRSTUSE, use);
    for (int i = 0, prev = use; i < 50000; ++i) {
        NodeId s = createNode(*g, CFG_STATE_DATAPATH);
        setNextId(*g, prev, s);
        setPrevId(*g, s, prev);
        prev = s;
    }
    std::string reason;
    EXPECT_EQ(validateGraph(*g, reason), 0) << reason;
}

}  // namespace
