#include "check/function_tree.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "check/call_walk.h"
#include "check/clone_stager.h"
#include "report/messages.h"
#include "util/take_turns.h"
#include "util/run_settings.h"

ModuleRecord* moduleList = nullptr;
NodeId mainFunction = 0;
NodeId evalFunction = 0;

namespace {

// Lookups over moduleList for the later passes. They are rebuilt in one pass
// over all lists on the first query after a change, so a query costs a hash
// lookup however many functions the modules reach.
struct TreeIndex {
    const ModuleRecord* indexedHead = nullptr;
    bool stale = false;
    struct Member {
        const std::string* name;  // nullptr: the record has none
        const std::string* file;
    };
    // Function node of every module record and tree node.
    std::unordered_multimap<NodeId, Member> members;
    // Called function -> first tree node in list order.
    std::unordered_map<NodeId, const TreeNode*> firstByCalled;
};

TreeIndex treeIndex;

// The calls of each function body the collection walked through (see
// callsOfWalkedBody): the recursion check follows the same bodies and need
// not walk them again.
std::unordered_map<NodeId, std::vector<NodeId>> walkedBodyCalls;

// Where each copy the collection made came from (see cloneOriginOf), and
// the nodes whose links it changed (relinkedByTree), bit n for node n: asked
// for every side node of every copy.
std::unordered_map<NodeId, CloneOrigin> cloneOrigins;
std::vector<std::uint64_t> relinked;

void noteRelinked(NodeId n) {
    if (n / 64 >= relinked.size()) relinked.resize(n / 64 + 1);
    relinked[n / 64] |= std::uint64_t{1} << n % 64;
}

void rebuildIndex() {
    treeIndex.members.clear();
    treeIndex.firstByCalled.clear();
    for (const ModuleRecord* m = moduleList; m; m = m->next) {
        treeIndex.members.emplace(m->function, TreeIndex::Member{m->hasName ? &m->name : nullptr,
                                                                 m->hasFile ? &m->file : nullptr});
        for (const TreeNode* t = m->tree; t; t = t->next) {
            treeIndex.members.emplace(t->node, TreeIndex::Member{t->hasName ? &t->name : nullptr,
                                                                 t->hasFile ? &t->file : nullptr});
            treeIndex.firstByCalled.emplace(t->called, t);  // keeps the first one seen
        }
    }
    treeIndex.indexedHead = moduleList;
    treeIndex.stale = false;
}

void refreshIndex() {
    if (treeIndex.stale || treeIndex.indexedHead != moduleList) rebuildIndex();
}

// Key of a (function node, name, file) triple; a missing name or file differs
// from every text, the empty one included.
std::string treeKey(NodeId node, const char* name, const char* file) {
    std::string key(reinterpret_cast<const char*>(&node), sizeof node);
    key += name ? '1' : '0';
    if (name) key += name;
    key += '\0';
    key += file ? '1' : '0';
    if (file) key += file;
    return key;
}

const char* nameOf(const CdfgGraph& g, NodeId function) {
    return getAttrString(g, function, CfgFunc_NAME);
}

// strtok over a string of our own: each call skips leading separators, takes
// the token up to the next separator and steps over that one separator.
class Tokens {
public:
    explicit Tokens(const char* text) : text_(text) {}
    bool next(const char* separators, std::string& token) {
        while (pos_ < text_.size() && std::strchr(separators, text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return false;
        std::size_t start = pos_;
        while (pos_ < text_.size() && !std::strchr(separators, text_[pos_])) ++pos_;
        token.assign(text_, start, pos_ - start);
        if (pos_ < text_.size()) ++pos_;
        return true;
    }

private:
    std::string text_;
    std::size_t pos_ = 0;
};

// ---- directive scan ----

int pointerCountOf(const CdfgGraph& g, NodeId declaration) {
    return getAttrSigned(g, declaration, CfgDecl_POINTERCNT);
}

// Pointers deeper than the flow accepts: three levels, or a pointer array
// whose pointers and dimensions add up to three.
void checkPointerDepth(const CdfgGraph& g, NodeId declaration) {
    std::int64_t p = pointerCountOf(g, declaration);
    std::int64_t n = getAttrSigned(g, declaration, CfgDecl_DIMCNT);
    if (p >= 3 || (p >= 1 && p + n >= 3))
        printMessage(529, orEmpty(getFileName(g, declaration)), static_cast<int>(getLine(g, declaration)),
                     orEmpty(getAttrString(g, declaration, CfgDecl_NAME)));
}

// What a call marked as a module may look like: its value unused, and each
// argument a plain variable (pointers only when they are allowed).
void checkModuleCall(const CdfgGraph& g, NodeId call) {
    const char* file = orEmpty(getFileName(g, call));
    int line = static_cast<int>(getLine(g, call));
    const std::size_t limit = chainLimit(g);

    NodeId n = getPrevId(g, call);
    for (std::size_t steps = 0; n != 0 && getKind(g, n) == DFG_SPEC && steps < limit; ++steps)
        n = getNextId(g, n);
    std::uint32_t kind = getKind(g, n);
    if (n != 0 && (kind == DFG_EDGE_BLOCKING || kind == DFG_EDGE_NONBLOCKING)) printMessage(518, file, line);

    bool pointerCheck = runSettings.moduleArgPointerCheck != 0;
    for (NodeId a : chain(g, getAttrInt(g, call, DfgFuncCall_ARGLIST))) {
        NodeId e = lastInChain(g, getAttrInt(g, a, DfgPortInfo_SIGNAL));
        switch (getKind(g, e)) {
            case DFG_OPERATION: printMessage(519, file, line); break;
            case DFG_FUNC_CALL: printMessage(520, file, line); break;
            case DFG_INPUT_VAR:
            case DFG_OUTPUT_VAR: {
                std::size_t memberSteps = 0;
                for (NodeId d = e; d != 0 && memberSteps < limit;
                     d = getAttrInt(g, d, DfgPort_STRSON), ++memberSteps) {
                    NodeId v = getAttrInt(g, d, DfgPort_DECL);
                    int p = pointerCountOf(g, v);
                    int dims = getAttrSigned(g, v, CfgDecl_DIMCNT);
                    if (p > 0 && dims > 0) {
                        if (pointerCheck)
                            printMessage(530, file, line, orEmpty(getAttrString(g, v, CfgDecl_NAME)));
                        else
                            checkPointerDepth(g, v);
                        break;
                    }
                    if (p > 0) {
                        if (pointerCheck) {
                            printMessage(521, file, line);
                            break;
                        }
                        checkPointerDepth(g, v);
                    }
                }
                break;
            }
            default: break;
        }
    }
}

struct DirectiveScan {
    std::unordered_set<NodeId> moduleFunctions;
};

void scanCall(DirectiveScan& scan, const CdfgGraph& g, NodeId call) {
    NodeId target = getJumpId(g, call);
    if (!target) return;
    const char* text = nullptr;
    if (!findDirective(g, getAttrInt(g, call, DfgFuncCall_DIRECTIVE), DIRE_Directive, &text) || !text) return;
    Tokens tokens(text);
    std::string word;
    if (!tokens.next(" \t,", word)) return;
    if (word == "module") {
        // Only the first module directive on calls of a function counts.
        if (!scan.moduleFunctions.insert(target).second) return;
        auto* m = new ModuleRecord;
        m->function = target;
        if (const char* name = nameOf(g, target)) {
            m->name = name;
            m->hasName = true;
        }
        if (const char* file = getFileName(g, target)) {
            m->file = file;
            m->hasFile = true;
        }
        std::string prefix;
        if (tokens.next(" =:\t,", word) && word == "prefix" && tokens.next(" =:\t,", prefix)) {
            m->prefix = prefix;
            m->hasPrefix = true;
        }
        addModuleRecord(m);
        checkModuleCall(g, call);
    } else if (word == "evFunc") {
        evalFunction = target;
    }
}

// ---- tree collection ----

struct Collection {
    CdfgGraph* graph = nullptr;
    ModuleRecord* module = nullptr;
    // This module's tree nodes by (node, name, file) and by (called, name,
    // file). A function's name and file never change while the tree is made
    // (a copy is named as it is made), and the name of a copy follows from
    // the called function's and the module's prefix, so within one module
    // the function node stands for the whole key.
    std::unordered_set<NodeId> byNode;
    std::unordered_map<NodeId, TreeNode*> byCalled;
    // Every prefixed module's tree nodes by (called, name, file): the node
    // they reach. Tree nodes with the same key always reach the same node (a
    // clone is made only when no module has one), so the first one stands
    // for all.
    std::unordered_map<std::string, NodeId>* anyModule = nullptr;
    // Bound of the nodes one clone makes: the graph's size before any clone.
    std::size_t maxCloneNodes = 0;
    // Calls met in each function body being walked, innermost last. A call
    // may be met again in another body: a clone shares the initializers
    // (CfgMember_SIGNAL) of the function it was copied from, and such a call
    // is handled every time. Within one body a call is met twice only when
    // owned nodes are shared, as in a damaged graph; handling it again there
    // would clone a clone of a clone once per path to it.
    std::vector<std::unordered_set<NodeId>> metInBody;
    // Every call met in each of those bodies, in walk order.
    std::vector<std::vector<NodeId>> callsInBody;
    // The scan's record of the bodies, by function node; while `replay` is
    // set, a body it recorded is gone over from the record instead of walked
    // (see replayable).
    const ModuleScan* scan = nullptr;
    const std::unordered_map<NodeId, std::uint32_t>* bodyOf = nullptr;
    bool replay = false;
    std::size_t* replayed = nullptr;
    // Copies made ahead on another core, when any.
    CloneStager* stager = nullptr;
};

// Setting an attribute a node does not have yet moves the attribute storage,
// which the stager reads: it stops first.
void beforeSetting(const Collection& c, NodeId node, std::uint32_t attr) {
    if (!c.stager || !c.stager->running()) return;
    const CdfgNode* n = lookupNode(*c.graph, node);
    if (n && !cdfg_detail::findAttr(*c.graph, *n, attr)) c.stager->stop();
}

TreeNode* pushTreeNode(Collection& c, NodeId node, NodeId called, const char* name, const char* file) {
    auto* t = new TreeNode;
    t->node = node;
    t->called = called;
    if (name) {
        t->name = name;
        t->hasName = true;
    }
    if (file) {
        t->file = file;
        t->hasFile = true;
    }
    addTreeNode(*c.module, t);
    c.byNode.insert(node);
    c.byCalled.emplace(called, t);
    // Only copies are looked for across modules.
    if (c.module->hasPrefix) c.anyModule->emplace(treeKey(called, name, file), node);
    return t;
}

// Copies the function with everything it owns, names the copy and puts it
// right after the original in its chain. A copy makes at most as many nodes
// as the graph held before the first clone, so that clones of a damaged
// graph cannot double it again and again.
NodeId cloneFunction(Collection& c, NodeId function, const std::string& cloneName, CopyReport* report) {
    CdfgGraph& g = *c.graph;
    NodeId following = getNextId(g, function);
    NodeId clone = c.stager ? c.stager->commit(g, function, report) : 0;
    if (!clone) {
        // The stager has stopped: the graph may grow as the copy is made.
        setNextId(g, function, 0);
        setStructCloneMode(true);
        clone = copySubtree(g, function, c.maxCloneNodes, report);
        setStructCloneMode(false);
        releaseStructClones(g);
        setNextId(g, function, following);
    }
    beforeSetting(c, clone, CfgFunc_NAME);
    setAttrString(g, clone, CfgFunc_NAME, std::string_view(cloneName));
    setPrevId(g, clone, function);
    setNextId(g, function, clone);
    noteRelinked(function);
    if (following) {
        appendToChain(g, clone, following);
        noteRelinked(following);
    }
    return clone;
}

void collectCall(Collection& c, CallWalk& walk, NodeId call);
const TreeNode* addToTree(Collection& c, CallWalk& walk, NodeId target);

// Kept for a copy whose walk meets the copies of what the original's meets,
// each call copied once.
void noteOrigin(NodeId clone, NodeId source, CopyReport& copy) {
    if (copy.reshaped || copy.sidesDiffer || !sortCopiedCalls(copy.calls)) return;
    cloneOrigins.try_emplace(clone, CloneOrigin{source, std::move(copy.sideNodes), std::move(copy.calls)});
}

// The scan's record of the body of `source`, when a walk of `function` (the
// source itself, or a copy of it that the report describes) from where the
// walk stands would meet what the record holds: calls, nesting and visits.
const ModuleScan::Body* recordFor(const Collection& c, const CallWalk& walk, NodeId source,
                                  const CopyReport* copy) {
    if (!c.replay || walk.depth == 0 || (copy && copy->reshaped)) return nullptr;
    auto found = c.bodyOf->find(source);
    if (found == c.bodyOf->end()) return nullptr;
    const ModuleScan::Body& body = c.scan->bodies[found->second];
    if (walk.depth + body.deepest > kMaxCallWalkDepth) return nullptr;
    return &body;
}

// Goes over a recorded body as walkFunctionBody would walk it: each call
// handled at its nesting, the visits counted as they would be made.
// Calls the copy did not make (initializers it shares with the source) are
// the source's own.
bool replayBody(Collection& c, CallWalk& walk, const ModuleScan::Body& body, CopyReport* copy) {
    if (copy && !sortCopiedCalls(copy->calls)) return false;  // a call copied twice: walk it
    const std::size_t entryDepth = walk.depth;
    std::uint32_t made = 0;
    for (std::uint32_t i = body.first; i < body.first + body.count; ++i) {
        const ModuleScan::MetCall& met = c.scan->met[i].second;
        walk.visitsLeft -= met.visits - made;
        walk.visitsMade += met.visits - made;
        made = met.visits;
        const NodeId call = copy ? copiedCall(copy->calls, met.call) : met.call;
        walk.depth = entryDepth + met.depth;
        collectCall(c, walk, call);
    }
    walk.depth = entryDepth;
    walk.visitsLeft -= body.visits - made;
    walk.visitsMade += body.visits - made;
    ++*c.replayed;
    return true;
}

void walkBody(Collection& c, CallWalk& walk, NodeId function, NodeId source = 0, CopyReport* copy = nullptr) {
    c.metInBody.emplace_back();
    c.callsInBody.emplace_back();
    const std::size_t cutBefore = walk.cutShort;
    const std::size_t visitsBefore = walk.visitsMade;
    // A chain that loops ends at chainLimit steps, silently; it takes that
    // many visits, so a walk that made fewer met no such end.
    const std::size_t stepLimit = chainLimit(*c.graph);
    const ModuleScan::Body* body = recordFor(c, walk, source ? source : function, copy);
    if (!body || !replayBody(c, walk, *body, copy)) walkFunctionBody(walk, function);
    if (walk.cutShort == cutBefore && walk.visitsMade - visitsBefore < stepLimit)
        walkedBodyCalls.try_emplace(function, std::move(c.callsInBody.back()));
    c.callsInBody.pop_back();
    c.metInBody.pop_back();
}

void collectCall(Collection& c, CallWalk& walk, NodeId call) {
    CdfgGraph& g = *c.graph;
    c.callsInBody.back().push_back(call);
    NodeId target = getJumpId(g, call);
    if (!target) return;
    if (!c.module->hasPrefix) {
        if (!c.byNode.count(target)) addToTree(c, walk, target);
        return;
    }
    if (!c.metInBody.back().insert(call).second) return;
    auto own = c.byCalled.find(target);
    const TreeNode* use = own != c.byCalled.end() ? own->second : addToTree(c, walk, target);
    beforeSetting(c, call, DfgFuncCall_NAME);
    setAttrString(g, call, DfgFuncCall_NAME, std::string_view(use->name));
    setJumpId(g, call, use->node);
}

// A function this module's tree has no node for yet, and its tree node: the
// function itself, or with the module's prefix the copy of it that another
// module has or a copy made now; a body new to the tree is walked.
const TreeNode* addToTree(Collection& c, CallWalk& walk, NodeId target) {
    CdfgGraph& g = *c.graph;
    // Copies: the graph's text store may grow while they are in use.
    const char* rawName = nameOf(g, target);
    const char* rawFile = getFileName(g, target);
    std::string name = rawName ? rawName : "";
    std::string file = rawFile ? rawFile : "";
    const char* namePtr = rawName ? name.c_str() : nullptr;
    const char* filePtr = rawFile ? file.c_str() : nullptr;
    ModuleRecord& m = *c.module;

    if (!m.hasPrefix) {
        const TreeNode* use = pushTreeNode(c, target, target, namePtr, filePtr);
        walkBody(c, walk, target);
        return use;
    }

    std::string cloneName = m.prefix + "_" + name;
    std::string key = treeKey(target, cloneName.c_str(), filePtr);
    if (auto other = c.anyModule->find(key); other != c.anyModule->end())
        return pushTreeNode(c, other->second, target, cloneName.c_str(), filePtr);
    CopyReport copy;
    NodeId clone = cloneFunction(c, target, cloneName, c.replay ? &copy : nullptr);
    const TreeNode* use = pushTreeNode(c, clone, target, cloneName.c_str(), filePtr);
    walkBody(c, walk, clone, target, c.replay ? &copy : nullptr);
    if (c.replay) noteOrigin(clone, target, copy);
    return use;
}

template <typename Visit>
void forEachFunction(const CdfgGraph& g, NodeId files, Visit visit) {
    for (NodeId f : chain(g, files))
        for (NodeId e : chain(g, getAttrInt(g, f, CfgFileinfo_ELEMENT)))
            if (getKind(g, e) == CFG_FUNCTION && !visit(e)) return;
}

}  // namespace

void addModuleRecord(ModuleRecord* record) {
    if (!record) return;
    record->next = moduleList;
    moduleList = record;
    treeIndex.stale = true;
}

void addTreeNode(ModuleRecord& module, TreeNode* node) {
    if (!node) return;
    node->next = module.tree;
    module.tree = node;
    treeIndex.stale = true;
}

void startModuleScan(const CdfgGraph& g, ModuleScan& scan) {
    scan.functions.clear();
    scan.met.clear();
    if (NodeId files = getAttrInt(g, findRoot(g), CfgRoot_ELEMENT)) {
        forEachFunction(g, files, [&](NodeId f) {
            scan.functions.push_back(f);
            return true;
        });
    }
    scan.bodies.assign(scan.functions.size(), ModuleScan::Body{});
}

void walkModuleScan(CdfgGraph& g, ModuleScan& scan) {
    std::vector<std::pair<std::size_t, NodeId>> calls;
    std::vector<std::pair<std::size_t, ModuleScan::MetCall>> met;
    std::size_t function = 0;
    std::size_t visitsBefore = 0;
    // Only a call with directives in a function's statements can be a
    // module's; scanCall decides. The walk goes on into the declarations,
    // as the collection's walk of a body does, for the record.
    auto noteDirectives = [&](NodeId call) {
        if (getAttrInt(g, call, DfgFuncCall_DIRECTIVE) != 0) calls.emplace_back(function, call);
    };
    CallWalk walk;
    walk.graph = &g;
    walk.onCall = [&](CallWalk& w, NodeId call) {
        met.push_back({function, {call, static_cast<std::uint32_t>(w.depth),
                                  static_cast<std::uint32_t>(w.visitsMade - visitsBefore)}});
        if (!w.inDeclarations) noteDirectives(call);
    };
    // The statements alone, as the scan is defined, for a body whose walk
    // was cut short.
    CallWalk statements;
    statements.graph = &g;
    statements.onCall = [&](CallWalk&, NodeId call) { noteDirectives(call); };
    takeTurns(scan.next, scan.functions.size(), 16, [&](std::size_t i) {
        function = i;
        const std::size_t metBefore = met.size(), callsBefore = calls.size(), cutBefore = walk.cutShort;
        visitsBefore = walk.visitsMade;
        walk.depth = 0;
        walk.deepest = 0;
        walkFunctionBody(walk, scan.functions[i]);
        const std::size_t visits = walk.visitsMade - visitsBefore;
        ModuleScan::Body& body = scan.bodies[i];  // this thread's alone
        if (walk.cutShort == cutBefore && visits < UINT32_MAX) {
            body.visits = static_cast<std::uint32_t>(visits);
            body.deepest = static_cast<std::uint32_t>(walk.deepest);
            body.usable = true;
            return;
        }
        met.resize(metBefore);
        calls.resize(callsBefore);
        walkStatements(statements, getAttrInt(g, scan.functions[i], CfgFunc_STARTCFG));
    });
    std::lock_guard<std::mutex> lock(scan.lock);
    scan.calls.insert(scan.calls.end(), calls.begin(), calls.end());
    scan.met.insert(scan.met.end(), met.begin(), met.end());
}

int finishModuleScan(CdfgGraph& g, ModuleScan& scan) {
    releaseModuleList();
    for (NodeId f : scan.functions) {
        const char* name = nameOf(g, f);
        if (name && std::strcmp(name, "main") == 0) {
            mainFunction = f;
            break;
        }
    }
    if (!mainFunction) {
        printMessage(501);
        return -1;
    }
    // In the order one walk of the functions, one after the other, meets
    // them: each function was walked by one thread, in order.
    auto byFunction = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(scan.calls.begin(), scan.calls.end(), byFunction);
    std::stable_sort(scan.met.begin(), scan.met.end(), byFunction);
    for (std::size_t i = 0; i < scan.met.size(); ++i) {
        ModuleScan::Body& body = scan.bodies[scan.met[i].first];
        if (body.count++ == 0) body.first = static_cast<std::uint32_t>(i);
    }
    DirectiveScan directives;
    for (const auto& [function, call] : scan.calls) scanCall(directives, g, call);

    if (!moduleList) {
        printMessage(502);
        return -1;
    }
    if (!evalFunction && runSettings.mevMode) printMessage(503);
    return 0;
}

int scanModules(CdfgGraph& g, ModuleScan& scan) {
    startModuleScan(g, scan);
    walkModuleScan(g, scan);
    return finishModuleScan(g, scan);
}

namespace {

// Whether the bodies a module's collection walks may be gone over from the
// scan's record. They may when the record stands for every walk that could
// be made, so that none can be cut short: every function the module's
// function reaches (through the calls as they now are) is one the scan
// recorded, none of them is a module's function (whose calls a collection
// changes as it goes, and which a prefix would have copied over and over),
// and walking each once, and a copy of each once, stays within the visits
// of one walk.
bool replayable(const CdfgGraph& g, const ModuleScan& scan, const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
                const std::unordered_set<NodeId>& moduleFunctions, NodeId root) {
    std::unordered_set<NodeId> seen{root};
    std::vector<NodeId> pending{root};
    std::uint64_t visits = 0;
    while (!pending.empty()) {
        const NodeId f = pending.back();
        pending.pop_back();
        auto found = bodyOf.find(f);
        if (found == bodyOf.end()) return false;
        const ModuleScan::Body& body = scan.bodies[found->second];
        visits += body.visits;
        for (std::uint32_t i = body.first; i < body.first + body.count; ++i) {
            const NodeId target = getJumpId(g, scan.met[i].second.call);
            if (!target || !seen.insert(target).second) continue;
            if (moduleFunctions.count(target)) return false;
            pending.push_back(target);
        }
    }
    const std::uint64_t budget = kCallWalkVisitsPerNode * (g.nodes.size() + 1) + kCallWalkMinVisits;
    return 2 * visits + 2 < budget;
}

}  // namespace

TreeCollection collectFunctionTree(CdfgGraph& g, const ModuleScan* scan) {
    TreeCollection made;
    relinked.clear();
    std::unordered_map<std::string, NodeId> anyModule;
    const std::size_t maxCloneNodes = g.nodes.size() + 1;
    std::unordered_map<NodeId, std::uint32_t> bodyOf;
    std::unordered_set<NodeId> moduleFunctions;
    if (scan) {
        for (std::size_t i = 0; i < scan->functions.size(); ++i)
            if (scan->bodies[i].usable) bodyOf.emplace(scan->functions[i], static_cast<std::uint32_t>(i));
        for (const ModuleRecord* m = moduleList; m; m = m->next) moduleFunctions.insert(m->function);
    }
    // The copies are made on a second core, ahead of the collection, which
    // only puts them in.
    std::unique_ptr<CloneStager> stager;
    if (scan) stager = std::make_unique<CloneStager>(g, *scan, bodyOf, moduleFunctions, maxCloneNodes);
    for (ModuleRecord* m = moduleList; m; m = m->next) {
        Collection c;
        c.graph = &g;
        c.module = m;
        c.anyModule = &anyModule;
        c.maxCloneNodes = maxCloneNodes;
        c.scan = scan;
        c.bodyOf = &bodyOf;
        c.replay = scan && replayable(g, *scan, bodyOf, moduleFunctions, m->function);
        c.replayed = &made.replayed;
        c.stager = stager.get();
        CallWalk walk;
        walk.graph = &g;
        walk.onCall = [&c](CallWalk& w, NodeId call) { collectCall(c, w, call); };
        walkBody(c, walk, m->function);
    }
    if (stager) {
        stager->stop();
        made.staged = stager->committed();
        made.apart = stager->committedApart();
    }
    // Built now, so that the passes after it, two at a time, only read it.
    refreshIndex();
    return made;
}

int buildFunctionTree(CdfgGraph& g) {
    ModuleScan scan;
    if (scanModules(g, scan) != 0) return -1;
    collectFunctionTree(g, &scan);
    return 0;
}

int isInFunctionTree(NodeId function, const char* name, const char* file) {
    if (!name || !file) return 0;
    refreshIndex();
    auto [first, last] = treeIndex.members.equal_range(function);
    for (auto it = first; it != last; ++it) {
        const TreeIndex::Member& m = it->second;
        if (m.name && m.file && *m.name == name && *m.file == file) return 1;
    }
    return 0;
}

const TreeNode* findTreeNodeByCalled(const CdfgGraph& /*g*/, NodeId function) {
    refreshIndex();
    auto found = treeIndex.firstByCalled.find(function);
    return found == treeIndex.firstByCalled.end() ? nullptr : found->second;
}

bool relinkedByTree(NodeId node) {
    return node / 64 < relinked.size() && (relinked[node / 64] >> node % 64 & 1);
}

const CloneOrigin* cloneOriginOf(NodeId clone) {
    auto found = cloneOrigins.find(clone);
    return found == cloneOrigins.end() ? nullptr : &found->second;
}

const std::vector<NodeId>* callsOfWalkedBody(NodeId function) {
    auto found = walkedBodyCalls.find(function);
    return found == walkedBodyCalls.end() ? nullptr : &found->second;
}

namespace {
struct KeptTables {
    ModuleRecord* modules;
    TreeIndex index;
    decltype(walkedBodyCalls) bodyCalls;
    decltype(cloneOrigins) origins;
};
KeptTables* volatile keptUntilExit = nullptr;
}  // namespace

void keepModuleListUntilExit() {
    // The tables are globals, which the exit would take apart: they move to
    // memory nothing frees, with the records.
    if (keptUntilExit) return;
    keptUntilExit =
        new KeptTables{moduleList, std::move(treeIndex), std::move(walkedBodyCalls), std::move(cloneOrigins)};
    moduleList = nullptr;
}

void releaseModuleList() {
    ModuleRecord* m = moduleList;
    while (m) {
        TreeNode* t = m->tree;
        while (t) {
            TreeNode* next = t->next;
            delete t;
            t = next;
        }
        ModuleRecord* next = m->next;
        delete m;
        m = next;
    }
    moduleList = nullptr;
    mainFunction = 0;
    evalFunction = 0;
    treeIndex = TreeIndex{};
    decltype(walkedBodyCalls)().swap(walkedBodyCalls);
    decltype(cloneOrigins)().swap(cloneOrigins);
    decltype(relinked)().swap(relinked);
}
