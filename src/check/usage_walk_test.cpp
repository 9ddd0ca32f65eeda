#include "check/usage_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "check/function_tree.h"
#include "support/c_program.h"

namespace {

// What a pass learns from the walk: the declaration each variable written
// reaches (along its members), the function each call reaches, and whether
// the walk was in the function tree then.
using Told = std::tuple<char, NodeId, bool>;

struct Recorder {
    std::mutex lock;
    std::vector<Told> told;
};

void onWrite(CdfgGraph& g, NodeId ref, void* context) {
    NodeId last = ref;
    for (NodeId son = getAttrInt(g, ref, DfgPort_STRSON); son; son = getAttrInt(g, son, DfgPort_STRSON)) last = son;
    auto& r = *static_cast<Recorder*>(context);
    std::lock_guard<std::mutex> hold(r.lock);
    r.told.emplace_back('w', getAttrInt(g, last, DfgPort_DECL), inAnalysis);
}

void onCall(CdfgGraph& g, NodeId call, void* context) {
    auto& r = *static_cast<Recorder*>(context);
    std::lock_guard<std::mutex> hold(r.lock);
    r.told.emplace_back('c', getJumpId(g, call), inAnalysis);
}

std::vector<Told> sorted(Recorder& r) {
    std::sort(r.told.begin(), r.told.end());
    return r.told;
}

// Two threads sharing the walk, with copies told from their originals, tell
// the handlers what one walk does: writes of globals and members in copies
// under prefixes, calls a copy makes to other copies, initializers a copy
// shares with its original. A copy whose walk meets another target side than
// its original's (a damaged graph: the target of g1 = v in leaf hung after
// that of g2 = r in top1), or whose original leads to a node made after it
// (a link to no node, which a copy becomes), is walked. The nodes the tree
// relinked are known.
TEST(UsageWalk, CopiesToldFromTheirOriginalsTellWhatTheirWalkDoes) {
    const std::string program = R"(
struct pt { int x; int k; };
struct pt gs;
int g1, g2;
int leaf(int v) { g1 = v; return v + 1; }
int mid(int v) { struct pt s = { v, 2 }; gs.x = s.k; return leaf(s.x) + s.k; }
void top1(int a) { int r; r = mid(a); g2 = r; }
void top2(int a) { g1 = a; gs.k = leaf(a) + mid(a); }
int main(int argc, char *argv[]) {
    int a = 1;
    top2(a);  //tavik module prefix=q
    top1(a);  //tavik module prefix=p
    g2 = leaf(a);
    return 0;
}
)";
    enum Damage { none, targetElsewhere, linkToLater };
    NodeId lastMade = 0;  // by the tree, as made
    for (Damage damage : {none, targetElsewhere, linkToLater}) {
        SCOPED_TRACE(damage);
        auto g = tb::compileC(program);
        ASSERT_TRUE(g);
        // The first target of each global, in file order.
        auto target = [&g](const char* name) -> NodeId {
            for (NodeId n = 1; n <= g->lastId; ++n)
                if (getKind(*g, getNextId(*g, n)) == DFG_EDGE_BLOCKING &&
                    std::string(orEmpty(getAttrString(*g, n, DfgPort_NAME))) == name)
                    return n;
            return 0;
        };
        if (damage == targetElsewhere) {
            ASSERT_EQ(setPrevId(*g, target("g1"), target("g2")), 0);
        } else if (damage == linkToLater) {
            // The value assigned leads on to the last node the copies make.
            const NodeId value = getNextId(*g, getNextId(*g, target("g1")));
            ASSERT_EQ(setNextId(*g, value, lastMade), 0);
        }
        auto function = [&g](const char* name) -> NodeId {
            for (NodeId n = 1; n <= g->lastId; ++n)
                if (getKind(*g, n) == CFG_FUNCTION && std::string(orEmpty(getAttrString(*g, n, CfgFunc_NAME))) == name)
                    return n;
            return 0;
        };
        const NodeId leaf = function("leaf"), main = function("main");
        ModuleScan scan;
        ASSERT_EQ(scanModules(*g, scan), 0);
        collectFunctionTree(*g, &scan);
        if (damage == none) lastMade = g->lastId;
        EXPECT_TRUE(relinkedByTree(leaf));
        EXPECT_FALSE(relinkedByTree(main));

        Recorder one;
        UsageHandlers oneWalk{onWrite, onCall, &one};
        walkProgramUsage(*g, oneWalk);

        Recorder shared;
        UsageHandlers sharedWalk{onWrite, onCall, &shared};
        UsageShare share;
        startUsageShare(*g, share);
        std::thread other([&] { walkUsageShare(*g, sharedWalk, share); });
        walkUsageShare(*g, sharedWalk, share);
        other.join();
        EXPECT_TRUE(sharedUsageStands(*g, share));
        EXPECT_EQ(share.copies.size(), damage == none ? 4u : 2u);  // leaf's walked when damaged
        EXPECT_EQ(share.told, share.copies.size());
        EXPECT_EQ(sorted(shared), sorted(one));
        releaseModuleList();
    }
}

// The list kept for a graph stands for it, however its chains change, until
// it is dropped; another graph's is walked.
TEST(UsageWalk, KeptFileElementsStandForTheirGraphOnly) {
    auto g = tb::compileC("int a;\nint f(void) { return a; }\n");
    auto other = tb::compileC("int b;\n");
    ASSERT_TRUE(g && other);
    auto nodes = [](const std::vector<FileElement>& list) {
        std::vector<NodeId> ids;
        for (const FileElement& e : list) ids.push_back(e.node);
        return ids;
    };
    const std::vector<NodeId> before = nodes(fileElements(*g));
    ASSERT_EQ(before.size(), 2u);
    const std::vector<NodeId> otherOwn = nodes(fileElements(*other));
    {
        const KeptFileElements kept(*g);
        ASSERT_EQ(setNextId(*g, before[0], 0), 0);  // the chain ends at the first element
        EXPECT_EQ(nodes(fileElements(*g)), before);
        EXPECT_EQ(nodes(fileElements(*other)), otherOwn);
    }
    EXPECT_EQ(nodes(fileElements(*g)), std::vector<NodeId>{before[0]});
}

}  // namespace
