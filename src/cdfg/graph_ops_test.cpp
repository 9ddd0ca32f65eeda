#include "cdfg/graph_ops.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <string>

#include "support/c_program.h"

namespace {

// Every construct the front end writes, with a structure defined in a block.
const char* const kProgram = R"(struct pt { int x; struct { float y; } in; } gp;
int g(int v) { return v; }
int f(int n, int a[4])          //tavik fixedP S 16:8
{
    int i = 1, b[2] = { 1, 2 };
    if (n > 1 && i) i = a[i] + b[0]; else gp.in.y = (float)n;
    switch (n) { case 1: gp.x = g(n); break; default: { struct in { long double z; } s; s.z = 0; } }
    for (i = 0; i < n; i++) { again: n = -n; if (n) goto again; }   //tavik unroll
    do n--; while (n > 0);
    { int t = g(g(2)); n = t ? n : t, t; }
    //tavik translate_off
    n = sizeof(int) + 'c';
    //tavik translate_on
    return n;
}
)";

// The copy of a function is its twin: the same kinds, attributes, values and
// positions, node by node through its chains and owned subtrees; links and
// jumps inside it lead inside the copy, references lead where the
// original's do (a declaration of a structure clone names the copied
// structure).
void expectTwin(const CdfgGraph& g, NodeId original, NodeId copy, bool structures) {
    std::map<NodeId, NodeId> twin;
    std::vector<std::tuple<NodeId, NodeId, bool>> todo{{original, copy, false}};
    while (!todo.empty()) {
        auto [a, b, side] = todo.back();
        todo.pop_back();
        if (!a || twin.count(a)) continue;
        twin[a] = b;
        ASSERT_NE(a, b);
        ASSERT_EQ(getKind(g, b), getKind(g, a));
        ASSERT_EQ(getAttrCount(g, b), getAttrCount(g, a)) << a;
        EXPECT_STREQ(getFileName(g, b), getFileName(g, a));
        EXPECT_EQ(getLine(g, b), getLine(g, a));
        if (a != original && !side) todo.push_back({getNextId(g, a), getNextId(g, b), false});
        for (std::uint32_t i = 1; i <= getAttrCount(g, a); ++i) {
            const AttrValue x = getAttrAt(g, a, i);
            const AttrValue y = getAttrAt(g, b, i);
            ASSERT_EQ(y.id, x.id);
            ASSERT_EQ(y.valueKind, x.valueKind);
            if (x.valueKind == ATTR_STRING)
                EXPECT_EQ(getAttrText(g, b, y.id), getAttrText(g, a, x.id));
            else if (x.valueKind != ATTR_NODE)
                EXPECT_EQ(y.bits, x.bits);
            else if (!isSharedReference(getKind(g, a), x.id))
                todo.push_back({static_cast<NodeId>(x.bits), static_cast<NodeId>(y.bits), false});
        }
        // The target side of an assignment hangs before its edge.
        if (side || getKind(g, a) == DFG_EDGE_BLOCKING) todo.push_back({getPrevId(g, a), getPrevId(g, b), true});
    }
    for (auto [a, b] : twin) {
        auto inside = [&twin](NodeId n) { return twin.count(n) ? twin[n] : n; };
        // A copy under a statement's manage operation keeps no owner link.
        NodeId p = getPrevId(g, a);
        bool managed = getKind(g, p) == DFG_MANAGE_OPERATION && getAttrInt(g, p, DfgOpeman_OPE) == a;
        if (a != original) {
            EXPECT_EQ(getPrevId(g, b), managed ? 0 : inside(p)) << a;
        }
        EXPECT_EQ(getJumpId(g, b), getKind(g, a) == DFG_FUNC_CALL ? getJumpId(g, a) : inside(getJumpId(g, a))) << a;
        for (std::uint32_t i = 1; i <= getAttrCount(g, a); ++i) {
            const AttrValue x = getAttrAt(g, a, i);
            if (x.valueKind != ATTR_NODE || !isSharedReference(getKind(g, a), x.id)) continue;
            NodeId to = static_cast<NodeId>(x.bits);
            bool follows = structures && x.id == CfgDecl_STRUCTORGNODE && getKind(g, a) == CFG_DECLARE;
            EXPECT_EQ(getAttrAt(g, b, i).bits, follows ? inside(to) : to) << a << " attribute " << x.id;
        }
    }
}

// The program's graph and its function f, with what C does not write added:
// a target side of two nodes, values of every kind, references the front end
// does not write.
std::pair<std::unique_ptr<CdfgGraph>, NodeId> programGraph() {
    std::unique_ptr<CdfgGraph> g = tb::compileC(kProgram);
    if (!g) return {nullptr, 0};
    NodeId f = 0;
    for (const CdfgNode& n : g->nodes)
        if (n.kind == CFG_FUNCTION && std::string(getAttrString(*g, n.id, CfgFunc_NAME)) == "f") f = n.id;
    NodeId target = 0;
    for (const CdfgNode& n : g->nodes)
        if (n.kind == DFG_EDGE_BLOCKING && !target) target = n.prev;
    NodeId extra = createNode(*g, DFG_EDGE_PRESEDENCE);
    setNextId(*g, extra, target);
    setPrevId(*g, target, extra);
    setAttrChar(*g, f, 40, -1);
    setAttrLongLong(*g, f, 41, -5);
    setAttrDouble(*g, f, 42, 2.5);
    NodeId i = getAttrInt(*g, f, CfgFunc_DECLARE);
    for (std::uint32_t a : {CfgDecl_FIRSTUSE, CfgDecl_LASTUSE, CfgDecl_BITMSB, CfgDecl_QUALITI})
        setAttrNode(*g, i, a, f);
    return {std::move(g), f};
}

TEST(GraphOps, CopyOfAFunctionIsItsTwin) {
    for (bool structures : {false, true}) {
        SCOPED_TRACE(structures ? "structure clone" : "plain copy");
        auto [g, f] = programGraph();
        ASSERT_NE(g, nullptr);
        setStructCloneMode(structures);
        NodeId copy = copySubtree(*g, f);
        setStructCloneMode(false);
        expectTwin(*g, f, copy, structures);
        EXPECT_EQ(getAttrInt(*g, getAttrInt(*g, copy, CfgFunc_DECLARE), CfgDecl_LASTUSE), f);
        releaseStructClones(*g);
        for (const CdfgNode& n : g->nodes) EXPECT_EQ(n.mark, 0u) << n.id;
        // A copy made with a bound stops there.
        const std::size_t before = g->nodes.size();
        copySubtree(*g, f, 5);
        EXPECT_EQ(g->nodes.size(), before + 5);
    }
}

// A copy staged past the ends of the graph's arrays and taken in is, record
// for record, the one the graph makes itself when a function is cloned.
TEST(GraphOps, StagedCopyIsTheGraphsOwn) {
    for (auto [bound, apart] : {std::pair{std::size_t{0}, false}, {std::size_t{5}, false}, {std::size_t{0}, true},
                                {std::size_t{5}, true}}) {
        SCOPED_TRACE(apart ? "apart" : "in place");
        auto [made, f] = programGraph();
        auto [staged, same] = programGraph();
        ASSERT_NE(made, nullptr);
        const std::size_t maxNodes = bound ? bound : made->nodes.size() + 1;
        CopyReport byGraph, byStage;
        const NodeId following = getNextId(*made, f);
        setNextId(*made, f, 0);
        setStructCloneMode(true);
        const NodeId copy = copySubtree(*made, f, maxNodes, &byGraph);
        setStructCloneMode(false);
        releaseStructClones(*made);
        setNextId(*made, f, following);
        staged->nodes.reserve(2 * staged->nodes.size());
        staged->places.reserve(2 * staged->places.size());
        staged->attrs.reserve(2 * staged->attrs.size());
        StagedCopy s;
        const StagingArea area = stagingArea(*staged);
        if (apart) {
            StagedApart away;
            ASSERT_TRUE(stageApart(area, same, maxNodes, away));
            ASSERT_TRUE(placeApart(area, away, staged->nodes.size(), staged->attrs.size()));
            s = away.copy;
        } else {
            ASSERT_TRUE(stageCopy(area, same, maxNodes, staged->nodes.size(), staged->attrs.size(), s));
        }
        EXPECT_EQ(commitCopy(*staged, s, &byStage), copy);
        EXPECT_EQ(byStage.calls, byGraph.calls);
        EXPECT_EQ(byStage.sideNodes, byGraph.sideNodes);
        EXPECT_EQ(byStage.sidesDiffer, byGraph.sidesDiffer);
        EXPECT_EQ(byStage.reshaped, byGraph.reshaped);
        EXPECT_EQ(byStage.reshaped, bound != 0);
        ASSERT_EQ(staged->nodes.size(), made->nodes.size());
        EXPECT_EQ(staged->lastId, made->lastId);
        for (std::size_t i = 0; i < made->nodes.size(); ++i) {
            const CdfgNode& x = made->nodes[i];
            const CdfgNode& y = staged->nodes[i];
            ASSERT_EQ(std::tie(y.id, y.kind, y.prev, y.next, y.jump, y.attrBegin, y.attrCnt, y.mark),
                      std::tie(x.id, x.kind, x.prev, x.next, x.jump, x.attrBegin, x.attrCnt, x.mark)) << x.id;
            EXPECT_EQ(staged->places[i].line, made->places[i].line);
            for (std::uint32_t k = 1; k <= x.attrCnt; ++k) {
                const AttrValue a = getAttrAt(*made, x.id, k), b = getAttrAt(*staged, y.id, k);
                EXPECT_EQ(std::tie(b.id, b.valueKind, b.bits), std::tie(a.id, a.valueKind, a.bits)) << x.id;
            }
        }
    }
    // What the staging cannot tell, or has no room for, is left to the graph.
    for (bool room : {false, true}) {
        auto [g, f] = programGraph();
        if (room) {
            g->nodes.reserve(2 * g->nodes.size());
            g->places.reserve(2 * g->places.size());
            g->attrs.reserve(2 * g->attrs.size());
            setAttrInt(*g, getAttrInt(*g, f, CfgFunc_DECLARE), kOddAttrId + 1, 1);
        } else {
            g->nodes.shrink_to_fit();
        }
        StagedCopy s;
        EXPECT_FALSE(stageCopy(stagingArea(*g), f, g->nodes.size() + 1, g->nodes.size(), g->attrs.size(), s));
        const std::size_t before = g->nodes.size();
        EXPECT_EQ(commitCopy(*g, s, nullptr), 0u);
        EXPECT_EQ(g->nodes.size(), before);
        StagedApart away;
        EXPECT_FALSE(stageApart(stagingArea(*g), f, g->nodes.size() + 1, away) &&
                     placeApart(stagingArea(*g), away, g->nodes.size(), g->attrs.size()));
    }
    // Apart, a node value past the graph's nodes could be taken for one of the
    // copy's own ids; in place it is copied as it stands.
    auto [g, f] = programGraph();
    g->nodes.reserve(2 * g->nodes.size());
    g->places.reserve(2 * g->places.size());
    g->attrs.reserve(4 * g->attrs.size());
    const NodeId past = static_cast<NodeId>(g->nodes.capacity() + 2);
    setAttrNode(*g, getAttrInt(*g, f, CfgFunc_DECLARE), CfgDecl_FIRSTUSE, past);
    StagedApart away;
    EXPECT_FALSE(stageApart(stagingArea(*g), f, g->nodes.size() + 1, away));
    StagedCopy s;
    EXPECT_TRUE(stageCopy(stagingArea(*g), f, g->nodes.size() + 1, g->nodes.size(), g->attrs.size(), s));
}

TEST(GraphOps, CopyDropsEmptyValues) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    NodeId d = createNode(*g, CFG_DECLARE);
    setAttrNode(*g, d, CfgDecl_INIT, 0);
    setAttrString(*g, d, CfgDecl_TYPESTR, nullptr);
    setAttrString(*g, d, CfgDecl_NAME, "v");
    NodeId c = copySubtree(*g, d);
    EXPECT_EQ(getAttrCount(*g, c), 1u);
    EXPECT_STREQ(getAttrString(*g, c, CfgDecl_NAME), "v");
}

TEST(GraphOps, ChainsDirectivesAndNewNodes) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    auto node = [&g](std::uint32_t kind, NodeId prev = 0) {
        NodeId n = createNode(*g, kind);
        if (prev) {
            setNextId(*g, prev, n);
            setPrevId(*g, n, prev);
        }
        return n;
    };
    // x = (int)y under a statement: the head of the cast's operand is the target.
    NodeId manage = node(DFG_MANAGE_OPERATION), target = node(DFG_OUTPUT_VAR);
    NodeId edge = node(DFG_EDGE_BLOCKING, target), cast = node(DFG_SPEC, edge), y = node(DFG_INPUT_VAR, cast);
    setAttrNode(*g, manage, DfgOpeman_OPE, edge);
    EXPECT_EQ(statementHead(*g, y), target);
    EXPECT_EQ(statementHead(*g, manage), manage);
    EXPECT_EQ(lastInChain(*g, target), y);
    EXPECT_EQ(lastInChain(*g, 0), 0u);
    // Directives: the first of the type asked for.
    NodeId ext = node(INFO_DIRECTIVE), tool = node(INFO_DIRECTIVE, ext);
    setAttrInt(*g, ext, DfgDirective_TYPE, static_cast<std::uint32_t>(DIRE_Extension));
    setAttrInt(*g, tool, DfgDirective_TYPE, DIRE_Directive);
    setAttrString(*g, tool, DfgDirective_STR, "module");
    const char* text = "unchanged";
    EXPECT_EQ(findDirective(*g, ext, DIRE_Directive, &text), tool);
    EXPECT_STREQ(text, "module");
    EXPECT_EQ(findDirective(*g, ext, 99, &text), 0u);
    EXPECT_EQ(text, nullptr);
    // Appending; a chain that loops takes nothing and ends every walk.
    NodeId added = node(CFG_RETURN);
    EXPECT_EQ(appendToChain(*g, ext, added), 0);
    EXPECT_EQ(getPrevId(*g, added), tool);
    EXPECT_EQ(appendToChain(*g, 0, added), -1);
    setNextId(*g, added, ext);
    setPrevId(*g, ext, added);
    EXPECT_EQ(appendToChain(*g, ext, node(CFG_RETURN)), -1);
    lastInChain(*g, ext);
    statementHead(*g, ext);
    findDirective(*g, ext, 98, nullptr);
    // A new node takes its template's position, or none.
    setFileName(*g, y, "src/a.c");
    setLine(*g, y, 17);
    setColumn(*g, y, 3);
    NodeId made = newNode(*g, CFG_RETURN, y);
    EXPECT_EQ(made, g->lastId);
    EXPECT_STREQ(getFileName(*g, made), "src/a.c");
    EXPECT_EQ(getLine(*g, made) * 100 + getColumn(*g, made), 1703u);
    EXPECT_EQ(getFileName(*g, newNode(*g, CFG_RETURN, 0)), nullptr);
}

}  // namespace
