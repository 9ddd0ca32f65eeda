// The function tree: main, the module functions marked by `//tavik module`
// directives on calls, and the functions reachable from each module (cloned
// under the module's prefix when it has one). The object for analysis.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cdfg/graph.h"

struct TreeNode {
    NodeId node = 0;     // the function the module's calls now reach (a clone with a prefix)
    NodeId called = 0;   // the function the program's call names
    std::string name;    // function name (the prefixed name for a clone)
    bool hasName = false;
    std::string file;    // source file name of the called function
    bool hasFile = false;
    TreeNode* next = nullptr;
};

struct ModuleRecord {
    NodeId function = 0;
    std::string name;
    bool hasName = false;
    std::string file;
    bool hasFile = false;
    std::string prefix;
    bool hasPrefix = false;
    TreeNode* tree = nullptr;  // newest first
    ModuleRecord* next = nullptr;
};

// Newest first; filled by buildFunctionTree, released by releaseModuleList.
extern ModuleRecord* moduleList;
extern NodeId mainFunction;
extern NodeId evalFunction;

// 0 on success; -1 after message 501 or 502. A list left from an earlier
// call is released first.
int buildFunctionTree(CdfgGraph& g);
// Its two steps. The scan finds main and the module directives on calls and
// makes the module list anew (0, or -1 after message 501 or 502), keeping
// its record in `scan`. The collection then adds the functions each module
// reaches.
struct ModuleScan;
int scanModules(CdfgGraph& g, ModuleScan& scan);
// With the scan's record of the function bodies (when the graph has not
// changed since), the collection goes over the calls of a body that the
// scan met instead of walking it again, and the copies of functions are
// made ahead on a second core where the graph's arrays have room for them.
// Either way the tree and the graph come out the same.
struct TreeCollection {
    std::size_t replayed = 0;  // bodies gone over from the record
    std::size_t staged = 0;    // copies made ahead
    std::size_t apart = 0;     // of those, made apart while the collection waited
};
TreeCollection collectFunctionTree(CdfgGraph& g, const ModuleScan* scan = nullptr);

// The scan in parts, so that threads can share its walk: start lists the
// functions; walkModuleScan, in any number of threads at once, takes the
// next few functions until none are left and notes the calls with
// directives; finish, once every walk has ended, does the rest of
// scanModules with those calls in the order one walk would have met them.
// The walk only reads the graph.
struct ModuleScan {
    std::vector<NodeId> functions;  // in file and element order
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::vector<std::pair<std::size_t, NodeId>> calls;  // (function position, call)
    // What a walk of each function's body (walkFunctionBody, from nesting 0)
    // met: every call with the nesting and the visits made up to it, in walk
    // order; usable when nothing cut the walk short.
    struct MetCall {
        NodeId call;
        std::uint32_t depth;
        std::uint32_t visits;
    };
    struct Body {
        std::uint32_t first = 0, count = 0;  // in met, once finished
        std::uint32_t visits = 0;
        std::uint32_t deepest = 0;
        bool usable = false;
    };
    std::vector<Body> bodies;  // at function positions
    std::vector<std::pair<std::size_t, MetCall>> met;  // (function position, call)
};
void startModuleScan(const CdfgGraph& g, ModuleScan& scan);
void walkModuleScan(CdfgGraph& g, ModuleScan& scan);
int finishModuleScan(CdfgGraph& g, ModuleScan& scan);
// 1 when a module or a tree node has exactly that function node, name and file.
// A null name or file never matches.
int isInFunctionTree(NodeId function, const char* name, const char* file);
// First tree node (modules in list order, each list from its head) whose
// called function is the node; nullptr when none.
const TreeNode* findTreeNodeByCalled(const CdfgGraph& g, NodeId function);
// The calls met, in walk order, by a walk of the function's body
// (walkFunctionBody) that buildFunctionTree made and that nothing cut
// short; nullptr for a function it did not walk so. Valid while the graph's
// chains stay as the tree left them (the checks that follow only mark
// nodes), until releaseModuleList.
const std::vector<NodeId>* callsOfWalkedBody(NodeId function);
// Where a copy the tree made of a function came from: the function copied,
// the originals whose links a walk of an assignment's target side reads
// (see CopyReport) and the calls copied (original, copy), sorted. Only for a
// copy the collection reported whole (nothing left out for its identifier or
// kind, nothing cut short, its target sides hung as the original's) with
// each call copied once; nullptr for any other function. Valid until
// releaseModuleList.
struct CloneOrigin {
    NodeId source = 0;
    std::vector<NodeId> sideNodes;
    std::vector<std::pair<NodeId, NodeId>> calls;
};
const CloneOrigin* cloneOriginOf(NodeId clone);
// Whether the tree changed the node's links (a function it cloned, the node
// that followed one) after copies were made.
bool relinkedByTree(NodeId node);
// Frees every module record and tree node; moduleList, mainFunction and
// evalFunction are reset.
void releaseModuleList();
// For a process about to end: leaves every record and table to the
// process's exit, reachable still, instead of freeing them piece by piece
// (a large program's take milliseconds); moduleList is then empty.
void keepModuleListUntilExit();

// Records are added only through these two (buildFunctionTree uses them), so
// that the lookups above stay in step: each pushes at the front of its list
// and takes ownership of a record made with new. A list built by hand by
// assigning moduleList is picked up too, as long as moduleList itself changes.
void addModuleRecord(ModuleRecord* record);
void addTreeNode(ModuleRecord& module, TreeNode* node);
