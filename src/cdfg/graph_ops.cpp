#include "cdfg/graph_ops.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "cdfg/chain.h"

namespace {

struct StructClonePair {
    NodeId oldNode;
    NodeId newNode;
};

bool structCloneMode = false;
void (*nodeCreationFailureHandler)() = nullptr;
std::vector<StructClonePair> structClonePairs;

// Control nodes copied during one copySubtree call, for the jump remapping.
struct CopyMap {
    // (old id, new id) in the order copied.
    std::vector<std::pair<NodeId, NodeId>> pairs;
    // Nodes the copy may still make (see copySubtree).
    std::size_t nodesLeft = 0;
    // Attribute values gathered by the copies under way, innermost last.
    std::vector<CdfgAttr> values;
    CopyReport* report = nullptr;
};

bool isControlKind(std::uint32_t kind) {
    switch (kind) {
        case CFG_STATE_BEGIN:
        case CFG_STATE_END:
        case CFG_STATE_IF:
        case CFG_STATE_ENDIF:
        case CFG_STATE_CASE:
        case CFG_STATE_ENDCASE:
        case CFG_LOOP_BEGIN:
        case CFG_LOOP_END:
        case CFG_STATE_LABEL:
        case CFG_GOTO: return true;
        default: return false;
    }
}

bool isPortKind(std::uint32_t kind) {
    return (kind >= DFG_INPUT_PORT && kind <= DFG_INPUT_VAR) ||
           (kind >= DFG_OUTPUT_PORT && kind <= DFG_OUTPUT_VAR);
}

bool isAssignEdge(std::uint32_t kind) {
    return kind == DFG_EDGE_BLOCKING || kind == DFG_EDGE_NONBLOCKING;
}

// Upper bound of steps along one chain: a chain never holds more nodes than
// the graph, so a walk that takes more steps has met a loop.
std::size_t stepLimit(const CdfgGraph& g) { return g.nodes.size() + 1; }

NodeId copyChain(CdfgGraph& g, NodeId first, CopyMap& map);

// Links a copy made by this copy behind the one before it. Both are new
// nodes, past the records read from a file, so no record is dropped.
void linkCopies(CdfgGraph& g, NodeId before, NodeId after) {
    if (CdfgNode* b = lookupNode(g, before)) b->next = after;
    if (CdfgNode* a = lookupNode(g, after)) a->prev = before;
}

// Asks the memory for the record of a node about to be copied and for an
// attribute run (UINT32_MAX: none).
void prefetchNode(const CdfgGraph& g, NodeId id, std::uint32_t attrBegin) {
#if defined(__GNUC__)
    if (g.denseIds && id != 0 && id <= g.nodes.size()) __builtin_prefetch(g.nodes.data() + (id - 1));
    if (attrBegin < g.attrs.size()) __builtin_prefetch(g.attrs.data() + attrBegin);
#else
    static_cast<void>(g), static_cast<void>(id), static_cast<void>(attrBegin);
#endif
}

// The same for what a copy of the original reads next: the node that follows
// in its chain, and the records and attributes that follow its own in
// memory, where the front end usually made the nodes it owns.
void prefetchAhead(const CdfgGraph& g, const CdfgNode& original, NodeId following) {
    prefetchNode(g, following, original.attrBegin);
#if defined(__GNUC__)
    const std::size_t nodeAt = static_cast<std::size_t>(&original - g.nodes.data());
    const std::size_t attrAt = std::size_t{original.attrBegin} + original.attrCnt;
    constexpr std::size_t kLines = 4, kNodesPerLine = 64 / sizeof(CdfgNode), kAttrsPerLine = 64 / sizeof(CdfgAttr);
    for (std::size_t line = 1; line <= kLines; ++line) {
        if (nodeAt + line * kNodesPerLine < g.nodes.size()) __builtin_prefetch(&original + line * kNodesPerLine);
        if (attrAt + (line - 1) * kAttrsPerLine < g.attrs.size())
            __builtin_prefetch(g.attrs.data() + attrAt + (line - 1) * kAttrsPerLine);
    }
#endif
}

// A new node of the kind at the original's position: newNode, in a few
// stores while the ids are the list positions (the node follows every
// record read, so none is dropped).
NodeId newCopy(CdfgGraph& g, std::uint32_t kind, NodeId original) {
    const std::size_t count = g.nodes.size();
    if (!g.denseIds || g.lastId != count || count >= UINT32_MAX - 1u) return newNode(g, kind, original);
    const CdfgNode* from = lookupNode(g, original);
    const CdfgPlace place = from ? g.places[static_cast<std::size_t>(from - g.nodes.data())] : CdfgPlace{};
    CdfgNode node;
    node.id = static_cast<NodeId>(count + 1);
    node.kind = kind;
    node.attrBegin = static_cast<std::uint32_t>(g.attrs.size());
    g.nodes.push_back(node);
    g.places.push_back(place);
    g.lastId = node.id;
    return node.id;
}

// Copies the attributes of `from` to `to`, a node just made by this copy (it
// has none), copying owned chains on the way. A run without owned chains is
// stored as it is read; otherwise the values are gathered first and stored as
// one run at the end, since copying a chain adds nodes and attributes in
// between.
void copyAttributes(CdfgGraph& g, NodeId from, NodeId to, CopyMap& map) {
    const CdfgNode* source = lookupNode(g, from);
    if (!source || !lookupNode(g, to)) return;
    const std::uint32_t fromKind = source->kind;
    const std::uint32_t begin = source->attrBegin;
    const std::uint32_t count = source->attrCnt;
    const KindAttrTable<isSharedReference>& shared = KindAttrTable<isSharedReference>::get();
    // What kept and owned ask of an attribute: its true value where that
    // matters (a text's or a node's is the stored one when it is narrow).
    auto view = [&g](const CdfgAttr& a) {
        return a.code < kAttrWide ? AttrValue{a.id, a.code, a.value} : attrValue(g, a);
    };
    // An attribute without a node or a text reads the same when left out;
    // one left out for its identifier or kind changes the copy's shape.
    auto kept = [&map](const AttrValue& a) {
        if (a.id == 0 || a.valueKind < ATTR_CHAR || a.valueKind > ATTR_NODE) {
            if (map.report) map.report->reshaped = true;
            return false;
        }
        return !(a.valueKind == ATTR_STRING && a.bits == 0) && !(a.valueKind == ATTR_NODE && a.bits == 0);
    };
    auto owned = [&](const AttrValue& a) { return a.valueKind == ATTR_NODE && !shared(fromKind, a.id); };
    bool owns = false;
    for (std::uint32_t n = 0; n < count; ++n) {
        const AttrValue a = view(g.attrs[begin + n]);
        if (kept(a) && owned(a)) {
            owns = true;
            prefetchNode(g, static_cast<NodeId>(a.bits), UINT32_MAX);
        }
    }
    if (!owns) {
        // Texts are never changed in place (a setter stores a new one), so
        // the copy shares the original's.
        const std::uint32_t at = static_cast<std::uint32_t>(g.attrs.size());
        for (std::uint32_t n = 0; n < count; ++n) {
            const CdfgAttr a = g.attrs[begin + n];  // a copy: the storage may grow
            if (kept(view(a))) g.attrs.push_back(a);
        }
        CdfgNode* target = lookupNode(g, to);
        target->attrBegin = at;
        target->attrCnt = static_cast<std::uint32_t>(g.attrs.size() - at);
        return;
    }
    // This copy's values go on top of those of the copies it is nested in.
    std::vector<CdfgAttr>& values = map.values;
    const std::size_t first = values.size();
    for (std::uint32_t n = 0; n < count; ++n) {
        const CdfgAttr stored = g.attrs[begin + n];  // a copy: the storage may grow below
        const AttrValue a = view(stored);
        if (!kept(a)) continue;
        if (!owned(a)) {
            values.push_back(stored);
            continue;
        }
        const NodeId target = static_cast<NodeId>(a.bits);
        NodeId copy = copyChain(g, target, map);
        values.push_back(storeAttr(g, {a.id, ATTR_NODE, copy}));
        if (!isAssignEdge(getKind(g, target)) && fromKind != DFG_MANAGE_OPERATION)
            if (CdfgNode* made = lookupNode(g, copy)) made->prev = to;  // a node of this copy: no record to drop
    }
    CdfgNode* target = lookupNode(g, to);
    target->attrBegin = static_cast<std::uint32_t>(g.attrs.size());
    g.attrs.insert(g.attrs.end(), values.begin() + first, values.end());
    target->attrCnt = static_cast<std::uint32_t>(values.size() - first);
    values.resize(first);
}

NodeId copyChain(CdfgGraph& g, NodeId first, CopyMap& map) {
    NodeId head = 0;
    NodeId previousCopy = 0;
    NodeId previous = 0;
    std::size_t steps = 0;
    NodeId following = 0;
    for (NodeId n = first; n != 0 && steps < stepLimit(g) && map.nodesLeft > 0; n = following, ++steps) {
        // The original's links, read before copying adds nodes (and may move
        // the node list); copying never changes them.
        const CdfgNode* original = lookupNode(g, n);
        const std::uint32_t kind = original ? original->kind : 0;
        const NodeId side = original ? original->prev : 0;
        const NodeId jump = original ? original->jump : 0;
        following = original ? original->next : 0;
        // The originals lie far apart in memory: what the next steps read
        // is asked for now, while this node is copied.
        if (original) prefetchAhead(g, *original, following);
        --map.nodesLeft;
        NodeId c = newCopy(g, kind, n);
        copyAttributes(g, n, c, map);

        // The target side of an assignment hangs before the edge along PrevId.
        bool sideChain = false;
        if (isAssignEdge(kind) && side != 0 && side != previous) {
            NodeId firstSide = 0;
            NodeId lastSide = 0;
            std::size_t sideSteps = 0;
            for (NodeId s = side; s != 0 && sideSteps < stepLimit(g) && map.nodesLeft > 0;
                 s = getPrevId(g, s), ++sideSteps) {
                --map.nodesLeft;
                NodeId sc = newCopy(g, getKind(g, s), s);
                copyAttributes(g, s, sc, map);
                if (!firstSide) {
                    firstSide = sc;
                } else {
                    setPrevId(g, lastSide, sc);
                    setNextId(g, sc, lastSide);
                }
                lastSide = sc;
            }
            if (firstSide) {
                appendToChain(g, firstSide, c);
                sideChain = true;
            }
        }

        if (!head) {
            head = c;
        } else if (sideChain) {
            setNextId(g, previousCopy, c);
        } else {
            // The copy before is the last of the chain copied so far.
            linkCopies(g, previousCopy, c);
        }

        if (isControlKind(kind)) {
            map.pairs.emplace_back(n, c);
        } else if (kind == DFG_FUNC_CALL) {
            if (CdfgNode* call = lookupNode(g, c)) call->jump = jump;
            if (map.report) map.report->calls.emplace_back(n, c);
        } else if (structCloneMode && (kind == CFG_STRUCT || kind == CFG_DECLARE)) {
            structClonePairs.push_back({n, c});
            setMark(g, n, structClonePairs.size());
            if (kind == CFG_DECLARE) {
                NodeId original = getAttrInt(g, c, CfgDecl_STRUCTORGNODE);
                std::uint32_t pair = getMark(g, original);
                if (original && pair > 0 && pair <= structClonePairs.size() &&
                    structClonePairs[pair - 1].oldNode == original &&
                    structClonePairs[pair - 1].newNode != 0)
                    setAttrNode(g, c, CfgDecl_STRUCTORGNODE, structClonePairs[pair - 1].newNode);
            }
        }
        previousCopy = c;
        previous = n;
    }
    return head;
}

}  // namespace

bool isSharedReference(std::uint32_t kind, std::uint32_t attr) {
    if (isPortKind(kind))
        return attr == DfgPort_DECL || attr == DfgPort_BEFOR || attr == DfgPort_PREV ||
               attr == DfgPort_NEXT || attr == DfgPort_STRPARENT;
    switch (kind) {
        case CFG_FUNCTION: return attr == CfgFunc_RETDECL || attr == CfgFunc_TYPEDEFLINK;
        case CFG_INSTANCE: return attr == CfgInstance_CELL;
        case CFG_DEFPARAM: return attr == CfgDefparam_PARADECL;
        case CFG_TYPEDEF: return attr == CfgTDef_STRUCTNODE;
        case CFG_DECLARE:
            return attr == CfgDecl_FIRSTUSE || attr == CfgDecl_LASTUSE ||
                   attr == CfgDecl_BITMSB || attr == CfgDecl_QUALITI ||
                   attr == CfgDecl_STRUCTORGNODE || attr == CfgDecl_TYPEDEFLINK;
        case CFG_MEMBER: return attr == CfgMember_SIGNAL;
        case DFG_FUNC_CALL:
            return attr == DfgFuncCall_FUNC_RETDECL || attr == DfgFuncCall_FUNC_TYPEDEFLINK;
        case DFG_SPEC: return attr == DfgSpec_TYPEDEFLINK;
        case DFG_POSTFIX: return attr == DfgPostfix_STRPARENT;
        case DFG_PORT_INFO: return attr == DfgPortInfo_ALIAS;
        case DFG_PORT_LIST: return attr == DfgPortList_DECL;
        default: return false;
    }
}

NodeId lastInChain(const CdfgGraph& g, NodeId node) {
    if (node == 0) return 0;
    std::size_t limit = stepLimit(g);
    for (std::size_t steps = 0; steps < limit; ++steps) {
        NodeId next = getNextId(g, node);
        if (next == 0) return node;
        node = next;
    }
    return node;
}

NodeId findDirective(const CdfgGraph& g, NodeId firstDirective, std::int32_t type,
                     const char** text) {
    if (text) *text = nullptr;
    for (NodeId d : chain(g, firstDirective)) {
        if (getAttrSigned(g, d, DfgDirective_TYPE) == type) {
            if (text) *text = getAttrString(g, d, DfgDirective_STR);
            return d;
        }
    }
    return 0;
}

NodeId statementHead(const CdfgGraph& g, NodeId node) {
    if (node == 0) return 0;
    std::size_t limit = stepLimit(g);
    for (std::size_t steps = 0; steps < limit; ++steps) {
        NodeId prev = getPrevId(g, node);
        if (prev == 0 || getKind(g, prev) == DFG_MANAGE_OPERATION) return node;
        node = prev;
    }
    return node;
}

int appendToChain(CdfgGraph& g, NodeId chain, NodeId added) {
    if (chain == 0 || added == 0) return -1;
    NodeId last = chain;
    std::size_t limit = stepLimit(g);
    for (std::size_t steps = 0;; ++steps) {
        NodeId next = getNextId(g, last);
        if (next == 0) break;
        if (next == last || steps >= limit) return -1;
        last = next;
    }
    setPrevId(g, added, last);
    setNextId(g, last, added);
    return 0;
}

void copySourcePosition(CdfgGraph& g, NodeId to, NodeId from) {
    const CdfgNode* source = lookupNode(g, from);
    const CdfgNode* target = lookupNode(g, to);
    if (!source || !target) return;
    markEdited(g, *target);
    g.places[target - g.nodes.data()] = g.places[source - g.nodes.data()];
}

NodeId newNode(CdfgGraph& g, std::uint32_t kind, NodeId templateNode) {
    NodeId id = createNode(g, kind);
    if (id == 0) {
        std::fflush(stdout);
        std::fputs("prelb : Error Short of memory. (create node)\n", stdout);
        std::fflush(stdout);
        if (nodeCreationFailureHandler) nodeCreationFailureHandler();
        std::exit(-1);
    }
    if (templateNode) copySourcePosition(g, id, templateNode);
    return id;
}

NodeId copySubtree(CdfgGraph& g, NodeId first, std::size_t maxNodes, CopyReport* report) {
    if (first == 0) return 0;
    CopyMap map;
    map.nodesLeft = maxNodes ? maxNodes : g.nodes.size() + 1;
    map.report = report;
    NodeId result = copyChain(g, first, map);
    // Every node the bound allowed was made: the copy may have been cut short.
    if (report && map.nodesLeft == 0) report->reshaped = true;
    // Jumps between copied control nodes lead to the first copy of their
    // target: the pairs by old id, the first copied first among equals.
    std::vector<std::pair<NodeId, NodeId>> byOld = map.pairs;
    std::stable_sort(byOld.begin(), byOld.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [oldNode, newNodeId] : map.pairs) {
        NodeId jump = getJumpId(g, oldNode);
        if (jump == 0) continue;
        auto found = std::lower_bound(byOld.begin(), byOld.end(), jump,
                                      [](const auto& pair, NodeId id) { return pair.first < id; });
        if (found != byOld.end() && found->first == jump && found->second != 0)
            setJumpId(g, newNodeId, found->second);
    }
    return result;
}

void setNodeCreationFailureHandler(void (*handler)()) { nodeCreationFailureHandler = handler; }

void setStructCloneMode(bool on) { structCloneMode = on; }

void releaseStructClones(CdfgGraph& g) {
    for (const StructClonePair& pair : structClonePairs) setMark(g, pair.oldNode, 0);
    structClonePairs.clear();
    structClonePairs.shrink_to_fit();
}
