#include "cdfg/validate.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// Owned nesting counts, chains and references that point back do not.
TEST(Validate, NestingIsBoundedChainsAndReferencesAreNot) {
    // Nested from the first node in the list down, and from the last up.
    for (bool topDown : {false, true}) {
        for (std::uint32_t levels : {kMaxNestingDepth - 1, kMaxNestingDepth + 5}) {
            std::unique_ptr<CdfgGraph> g = newGraph();
            const NodeId leaf = topDown ? levels + 1 : 1;
            for (NodeId id = 1; id <= levels + 1; ++id) createNode(*g, id == leaf ? DFG_INPUT_CONST : DFG_OPERATION);
            for (NodeId id = 1; id <= levels; ++id)
                setAttrNode(*g, topDown ? id : id + 1, DfgOpe_LEFT, topDown ? id + 1 : id);
            std::string reason;
            EXPECT_EQ(validateGraph(*g, reason), levels > kMaxNestingDepth ? -1 : 0) << levels;
            // Named by the first node found with more levels below it than allowed.
            if (levels > kMaxNestingDepth) {
                const NodeId named = topDown ? levels - kMaxNestingDepth : kMaxNestingDepth + 2;
                EXPECT_EQ(reason, "node " + std::to_string(named) + " nests more than " +
                                      std::to_string(kMaxNestingDepth) + " levels deep");
            }
        }
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

// Ids far from their place in the list (as a file may hold them) are found
// through the id pages: a loop among them is refused as in list order.
TEST(Validate, LoopsAmongIdsOutOfOrderAreFound) {
    const struct {
        const char* name;
        bool sound;
        void (*link)(CdfgGraph& g);
    } cases[] = {
        {"chain", true, [](CdfgGraph& g) { setNextId(g, 700, 500); }},
        {"owned cycle", false,
         [](CdfgGraph& g) {
             setAttrNode(g, 700, DfgOpe_LEFT, 500);
             setAttrNode(g, 500, DfgOpe_LEFT, 900);
             setAttrNode(g, 900, DfgOpe_LEFT, 700);
         }},
        {"NextId loop", false,
         [](CdfgGraph& g) {
             setNextId(g, 900, 500);
             setNextId(g, 500, 900);
         }},
        {"PrevId loop", false,
         [](CdfgGraph& g) {
             setPrevId(g, 700, 900);
             setPrevId(g, 900, 700);
         }},
    };
    for (const auto& c : cases) {
        std::unique_ptr<CdfgGraph> g = newGraph();
        for (NodeId id : {900u, 700u, 500u}) setKind(*g, createNodeWithId(*g, id), DFG_OPERATION);
        ASSERT_FALSE(g->denseIds);
        c.link(*g);
        std::string reason;
        EXPECT_EQ(validateGraph(*g, reason), c.sound ? 0 : -1) << c.name;
    }
}

// Another thread that searches the PrevId chains for validation (when it
// comes before validation does) leaves the verdict and the damage named as
// validation alone finds them.
TEST(Validate, AHelperSearchingThePrevIdChainsChangesNoVerdict) {
    const struct {
        const char* name;
        void (*damage)(CdfgGraph& g, NodeId last);
    } cases[] = {
        {"sound", [](CdfgGraph&, NodeId) {}},
        {"PrevId loop", [](CdfgGraph& g, NodeId last) { setPrevId(g, 1, last); }},
        {"owned cycle", [](CdfgGraph& g, NodeId last) { setAttrNode(g, last, DfgOpe_LEFT, last - 1); }},
        {"both", [](CdfgGraph& g, NodeId last) {
             setPrevId(g, 1, last);
             setAttrNode(g, last, DfgOpe_LEFT, last - 1);
         }},
    };
    for (const auto& c : cases) {
        std::unique_ptr<CdfgGraph> g = newGraph();
        NodeId prev = createNode(*g, DFG_OPERATION);
        for (int i = 0; i < 200000; ++i) {
            NodeId n = createNode(*g, DFG_OPERATION);
            setNextId(*g, prev, n);
            setPrevId(*g, n, prev);
            prev = n;
        }
        c.damage(*g, prev);
        std::string alone, helped;
        const int status = validateGraph(*g, alone);
        for (int run = 0; run < 3; ++run) {
            ValidationShare share;
            int helpedStatus = 1;
            std::thread validation([&] { helpedStatus = validateGraph(*g, helped, &share); });
            helpValidation(share);
            validation.join();
            EXPECT_EQ(helpedStatus, status) << c.name;
            EXPECT_EQ(helped, alone) << c.name;
        }
    }
}

}  // namespace
