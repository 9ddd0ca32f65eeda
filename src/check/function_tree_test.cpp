#include "check/function_tree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <string>

#include "cdfg/writer.h"
#include "check/clone_stager.h"
#include "support/c_program.h"

namespace {

// The tree, the graph and the calls of each walked body, as text.
std::string outcome(const CdfgGraph& g) {
    std::string text;
    writeCdfgBytes(g, text);
    for (const ModuleRecord* m = moduleList; m; m = m->next) {
        text += "\nmodule " + m->name + " " + std::to_string(m->function);
        for (const TreeNode* t = m->tree; t; t = t->next)
            text += "\n  " + t->name + " " + std::to_string(t->node) + " " + std::to_string(t->called);
    }
    for (NodeId f = 1; f <= g.lastId; ++f)
        if (const std::vector<NodeId>* calls = callsOfWalkedBody(f)) {
            text += "\nbody " + std::to_string(f) + ":";
            for (NodeId call : *calls) text += " " + std::to_string(call);
        }
    return text;
}

// Going over the bodies from the scan's record, with the copies made ahead
// (until the plan and the collection part ways), makes what walking them
// makes: copies under prefixes, a copy another module made first,
// initializers a copy shares with its original (their calls handled in
// each), recursion, a module's function reached from another module (whose
// collection then walks), operands of a value kind the vocabulary lacks
// (which a copy leaves out, so that a walk of the copy meets fewer calls
// than the record). With the copying slowed down, the collection waits and
// makes copies apart, which come out the same, and takes each in before
// the copying thread has come to it.
TEST(FunctionTree, BodiesFromTheScansRecordMakeTheTreeWalksMake) {
    const struct {
        const char* what;
        const char* modules;
        std::size_t atLeast;  // bodies gone over from the record
        std::size_t staged;   // copies made ahead, at least (a copy made for a
                              // clone that is not made moves those after it
                              // unless the collection passes it by first)
        bool oddOperands = false;
    } rows[] = {
        {"prefixes, plain", "top1(a); //tavik module prefix=p\n top3(a); //tavik module\n", 5, 4},
        {"module reached from a module", "top2(a); //tavik module prefix=q\n top1(a); //tavik module prefix=p\n", 4,
         6},
        {"one prefix, two modules", "top1(a); //tavik module prefix=p\n top3(a); //tavik module prefix=p\n", 4, 2},
        {"operands a copy leaves out", "top1(a); //tavik module prefix=p\n", 1, 0, true},
        {"a chain of calls", "top4(a); //tavik module prefix=p\n", 1, 8},
    };
    // Every row as it comes, then with the copying slowed down.
    for (std::size_t run = 0; run < 2 * std::size(rows); ++run) {
        const auto& row = rows[run % std::size(rows)];
        // Long enough that the collection overtakes the copying however the
        // cores are shared out meanwhile.
        const std::chrono::microseconds pause{run < std::size(rows) ? 0 : 5000};
        SCOPED_TRACE(std::string(row.what) + (pause.count() ? ", copying slowed" : ""));
        cloneStagingPause = pause;
        const std::string program = std::string(R"(
struct pt { int x; int k; };
int leaf(int v) { return v + 1; }
int mid(int v) { struct pt s = { leaf(v), 2 }; return leaf(s.x) + s.k; }
int rec2(int n);
int rec(int n) { if (n > 0) return rec2(n - 1); return mid(n); }
int rec2(int n) { return rec(n) + leaf(n); }
void top1(int a) { int r; r = mid(a) + rec(a); }
void top2(int a) { int r; r = mid(a); top1(a); }
void top3(int a) { int r; r = leaf(a); }
int c8(int v) { return v; }
int c7(int v) { return c8(v) + 7; }
int c6(int v) { return c7(v) + 6; }
int c5(int v) { return c6(v) + 5; }
int c4(int v) { return c5(v) + 4; }
int c3(int v) { return c4(v) + 3; }
int c2(int v) { return c3(v) + 2; }
int c1(int v) { return c2(v) + 1; }
void top4(int a) { int r; r = c1(a); }
int main(int argc, char *argv[]) { int a = 1; )") + row.modules + " return 0; }\n";
        auto recorded = tb::compileC(program);
        auto walked = tb::compileC(program);
        ASSERT_TRUE(recorded && walked);
        if (row.oddOperands)
            for (CdfgGraph* g : {recorded.get(), walked.get()})
                for (NodeId n = 1; n <= g->lastId; ++n)
                    if (NodeId left = getAttrInt(*g, n, DfgOpe_LEFT);
                        getKind(*g, n) == DFG_OPERATION && getKind(*g, left) == DFG_FUNC_CALL)
                        setAttrRaw(*g, n, DfgOpe_LEFT, 9, left);
        // Room for the copies made ahead.
        recorded->nodes.reserve(4 * recorded->nodes.size());
        recorded->places.reserve(4 * recorded->places.size());
        recorded->attrs.reserve(4 * recorded->attrs.size());
        ModuleScan scan;
        ASSERT_EQ(scanModules(*recorded, scan), 0);
        const TreeCollection made = collectFunctionTree(*recorded, &scan);
        cloneStagingPause = std::chrono::microseconds{0};
        EXPECT_GE(made.replayed, row.atLeast);
        EXPECT_GE(made.staged, row.staged);
        if (pause.count() && row.staged >= 4) {
            EXPECT_GE(made.apart, 1u);
        }
        const std::string fromRecord = outcome(*recorded);
        ModuleScan unused;
        ASSERT_EQ(scanModules(*walked, unused), 0);
        EXPECT_EQ(collectFunctionTree(*walked).replayed, 0u);
        EXPECT_EQ(outcome(*walked), fromRecord);
        releaseModuleList();
    }
}

}  // namespace
