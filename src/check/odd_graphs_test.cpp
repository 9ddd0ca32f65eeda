// Graphs C cannot produce: node kinds the front end never writes, and damaged
// links that the run refuses before any check, fed to every pass directly.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "check/code_checks.h"
#include "check/declaration_checks.h"
#include "check/function_pointers.h"
#include "check/function_tree.h"
#include "check/global_updates.h"
#include "check/main_arguments.h"
#include "check/outside_calls.h"
#include "check/prototype_check.h"
#include "check/recursion.h"
#include "inf/inf_writer.h"
#include "support/c_program.h"
#include "support/temp_path.h"
#include "util/large_stack.h"
#include "util/run_settings.h"

namespace {

using tb::msg;

// Every node of one kind changed into another.
std::function<void(CdfgGraph&)> rekind(std::uint32_t from, std::uint32_t to) {
    return [from, to](CdfgGraph& g) {
        for (const CdfgNode& n : g.nodes)
            if (n.id && n.kind == from) setKind(g, n.id, to);
    };
}

const char* const kSwitchProgram = R"(int gw; int r2(void); void r1(void) { int k = r2(); } int r2(void) { r1(); return 0; }
int c1(int a) { }
int c2(int a) { switch (a) { case 1: return 1; default: return 0; } }
void outside(void)
{
    gw = 0;
    switch (gw) { case 1: { int d;   //tavik int 8
    } }
}
void work(int n, float f)
{
    switch (n) {
        n = 0;
    case 1:
        c1(u1());
        gw = c2(1); r1();
        if (f) ; if (n == 2) ;
        //tavik translate_off
        break;
    }
}
int main(int argc, char *argv[])
{
    outside();
    work(1, 2);         //tavik module
    return 0;
}
)";

// The variants of a switch, the nonblocking assignment and the port
// references are checked as their front-end twins, except where a pass
// looks for the front end's kind alone.
TEST(OddKinds, AreCheckedLikeTheirFrontEndTwins) {
    const std::string e517 = msg(517, "a.c", 18, "translate_on", "translate_off");
    const std::string e515 = msg(515, "a.c", 1, "gw");
    const std::vector<std::string> base = {msg(533, "a.c", 15, "u1"), msg(506, "a.c", 1, "r1"),
                                           msg(537, "a.c", 2, "c1"),
                                           msg(546, "a.c", 7, "int"), msg(528, "a.c", 13, 13),
                                           msg(601, "a.c", 17), e517, e515};
    auto without = [&base](const std::string& line) {
        std::vector<std::string> out;
        for (const std::string& m : base)
            if (m != line) out.push_back(m);
        return out;
    };
    struct Case {
        const char* what;
        std::function<void(CdfgGraph&)> edit;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"as written", nullptr, base},
        // The translate pairs are looked for in plain switches only.
        {"casex", rekind(CFG_STATE_CASE, CFG_STATE_CASEX), without(e517)},
        {"casez", rekind(CFG_STATE_CASE, CFG_STATE_CASEZ), without(e517)},
        {"nonblocking assignments", rekind(DFG_EDGE_BLOCKING, DFG_EDGE_NONBLOCKING), base},
        // A literal without its text is no floating value.
        {"literals without their text",
         [](CdfgGraph& g) {
             for (const CdfgNode& n : g.nodes)
                 if (n.kind == DFG_INPUT_CONST) setAttrString(g, n.id, DfgInputCnst_STRVALUE, nullptr);
         },
         base},
        // Only variable references are writes of a global.
        {"port references",
         [](CdfgGraph& g) {
             rekind(DFG_OUTPUT_VAR, DFG_OUTPUT_PORT)(g);
             rekind(DFG_INPUT_VAR, DFG_INPUT_PORT)(g);
         },
         without(e515)},
        // A scalar initializer may stand without its member node.
        {"bare initializers",
         [](CdfgGraph& g) {
             for (const CdfgNode& n : g.nodes) {
                 NodeId init = n.kind == CFG_DECLARE ? getAttrInt(g, n.id, CfgDecl_INIT) : 0;
                 if (getKind(g, init) == CFG_MEMBER && !getNextId(g, init))
                     setAttrNode(g, n.id, CfgDecl_INIT, getAttrInt(g, init, CfgMember_SIGNAL));
             }
         },
         base},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tb::ScratchDir dir;
        tb::CheckerRun run = tb::runChecker(dir, {{"a.c", kSwitchProgram}}, {}, c.edit);
        expectOutcome(run, c.messages, "");
    }
}

// A program with every shape the passes walk.
const char* const kShapes = R"(#include <stdlib.h>
struct pt { int x; struct { float y; } in; };
struct pt gp;
int g(int v) { return v; }
int h(int v, int w) { return g(v) + w; }
void work(float f, int n)       //tavik input varname a fixedP 16 8
{
    int i = 1, a[4][2] = { { 1, 2 }, { h(1, 2) } };
    struct pt s;                //tavik fixedP 16 8
    int (*q)[4];
    float *p;
    if (f > 1 && i) i = a[i][n]; else s.in.y = f;
    switch (n) { case 1: gp.x = h(n, 1); break; default: ; }
    for (i = 0; i < n; i++) p = malloc(i);
    { long double ld; ld = s.x; }
    //tavik translate_off
    h(2, (int)p);               //tavik unroll
    //tavik translate_on
}
int main(int argc, char *argv[])
{
    work(1, 2);                 //tavik module prefix=m
    gp.x = g(1);
    return 0;
}
)";

// Runs every pass on the graph, as a checking run does after the read.
// On the program's stack: damage can take the walks as deep as their bounds.
void runEveryPass(CdfgGraph& g, const std::string& inf) {
    EXPECT_TRUE(runOnLargeStack([&] {
        checkPrototypes(g);
        if (buildFunctionTree(g) == 0) {
            checkMainArguments(g);
            checkFunctionPointers(g);
            checkRecursion(g);
            runCodeChecks(g);
            checkOutsideCalls(g);
            checkGlobalUpdates(g);
        }
        writeInf(g, inf.c_str());
    }));
    releaseModuleList();
    resetDeclarationChecks();
}

bool marksClear(const CdfgGraph& g) {
    for (const CdfgNode& n : g.nodes)
        if (n.mark) return false;
    return true;
}

// Links that loop or point the wrong way end every walk: the passes come
// back and leave no mark set.
TEST(DamagedGraphs, EveryPassEnds) {
    struct Damage {
        const char* what;
        std::function<void(CdfgGraph&, NodeId)> apply;  // to every node
    };
    auto selfNext = [](std::initializer_list<std::uint32_t> kinds) {
        return [kinds = std::vector<std::uint32_t>(kinds)](CdfgGraph& g, NodeId n) {
            for (std::uint32_t k : kinds)
                if (getKind(g, n) == k) setNextId(g, n, n);
        };
    };
    const Damage damages[] = {
        {"nothing", [](CdfgGraph&, NodeId) {}},
        {"statement chains loop",
         selfNext({CFG_STATE_DATAPATH, CFG_STATE_IF, CFG_STATE_CASE, CFG_LOOP_BEGIN, CFG_DECLARE_DEF, CFG_STATE_BEGIN})},
        {"branch, item and loop part chains loop",
         selfNext({CFG_IF_THEN, CFG_IF_ELSE, CFG_CASE_ITEM, CFG_LOOP_INIT, CFG_LOOP_COND, CFG_LOOP_STAT})},
        {"expression chains loop",
         selfNext({DFG_MANAGE_OPERATION, DFG_OPERATION, DFG_INPUT_VAR, DFG_OUTPUT_VAR, DFG_FUNC_CALL, DFG_SPEC,
                   DFG_EDGE_BLOCKING, DFG_EDGE_PRESEDENCE, DFG_INPUT_CONST})},
        {"declaration, argument, dimension, member and directive chains loop",
         selfNext({CFG_DECLARE, DFG_PORT_INFO, DFG_DIMENSION, CFG_MEMBER, CFG_MEMBER_LIST, INFO_DIRECTIVE})},
        {"file and element chains loop", selfNext({CFG_FILEINFO, CFG_FUNCTION, CFG_STRUCT_DEF, CFG_PROTO_FUNC})},
        {"operations own themselves",
         [](CdfgGraph& g, NodeId n) {
             if (getKind(g, n) != DFG_OPERATION) return;
             for (std::uint32_t attr : {DfgOpe_LEFT, DfgOpe_RIGHT, DfgOpe_COND}) setAttrNode(g, n, attr, n);
         }},
        {"member accesses and structures contain themselves",
         [](CdfgGraph& g, NodeId n) {
             std::uint32_t kind = getKind(g, n);
             if (kind == DFG_INPUT_VAR || kind == DFG_OUTPUT_VAR) setAttrNode(g, n, DfgPort_STRSON, n);
             if (kind == CFG_DECLARE && getAttrSigned(g, n, CfgDecl_VALTYPE) == DECL_VALTYPE_STRUCT) {
                 NodeId s = getAttrInt(g, n, CfgDecl_STRUCTNODE);
                 if (NodeId m = getAttrInt(g, s, CfgStruct_MEMBER)) {
                     setAttrInt(g, m, CfgDecl_VALTYPE, DECL_VALTYPE_STRUCT);
                     setAttrNode(g, m, CfgDecl_STRUCTNODE, s);
                 }
             }
         }},
        {"calls jump to what is no function",
         [](CdfgGraph& g, NodeId n) { if (getKind(g, n) == DFG_FUNC_CALL) setJumpId(g, n, getJumpId(g, n) ? n : 999999); }},
    };
    const std::string inf = tb::tempPath("damaged.inf");
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        std::unique_ptr<CdfgGraph> g = tb::compileC(kShapes);
        ASSERT_NE(g, nullptr);
        for (std::size_t i = 0; i < g->nodes.size(); ++i)
            if (NodeId id = g->nodes[i].id) d.apply(*g, id);
        std::string out;
        runSettings = RunSettings{};
        runSettings.algocMode = runSettings.funcPointerCheck = runSettings.moduleArgPointerCheck = 1;
        runSettings.multiPointerCheck = runSettings.structPointerMemberCheck = 1;
        initMessages(1, programCatalogue());
        setMessageCapture(&out);
        runEveryPass(*g, inf);
        setMessageCapture(nullptr);
        runSettings = RunSettings{};
        initMessages(1, programCatalogue());
        EXPECT_TRUE(marksClear(*g));
        // Undamaged, each pass's own entry reports what the checker run does.
        if (std::string(d.what) == "nothing") {
            EXPECT_EQ(out, msg(601, "a.c", 12) + msg(508, "a.c", 14) + msg(507, "a.c", 17, "unroll") +
                               msg(525, "a.c", 15, "ld") + msg(543, "a.c", 6, "input") + msg(515, "a.c", 2, "gp..x"));
        }
    }
    std::remove(inf.c_str());
}

}  // namespace
