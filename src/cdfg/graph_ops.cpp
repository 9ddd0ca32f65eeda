#include "cdfg/graph_ops.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
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

// Asks the memory for the record of a node about to be copied and for an
// attribute run (UINT32_MAX: none).
void prefetchNode(const CdfgNode* nodes, std::size_t nodeCount, const CdfgAttr* attrs, std::size_t attrCount,
                  NodeId id, std::uint32_t attrBegin) {
#if defined(__GNUC__)
    if (id != 0 && id <= nodeCount) __builtin_prefetch(nodes + (id - 1));
    if (attrBegin < attrCount) __builtin_prefetch(attrs + attrBegin);
#else
    static_cast<void>(nodes), static_cast<void>(nodeCount), static_cast<void>(attrs);
    static_cast<void>(attrCount), static_cast<void>(id), static_cast<void>(attrBegin);
#endif
}

// The same for what a copy of the original reads next: the node that follows
// in its chain, and the records and attributes that follow its own in
// memory, where the front end usually made the nodes it owns.
void prefetchAhead(const CdfgNode* nodes, std::size_t nodeCount, const CdfgAttr* attrs, std::size_t attrCount,
                   const CdfgNode& original, NodeId following) {
    prefetchNode(nodes, nodeCount, attrs, attrCount, following, original.attrBegin);
#if defined(__GNUC__)
    const std::size_t nodeAt = static_cast<std::size_t>(&original - nodes);
    const std::size_t attrAt = std::size_t{original.attrBegin} + original.attrCnt;
    constexpr std::size_t kLines = 4, kNodesPerLine = 64 / sizeof(CdfgNode), kAttrsPerLine = 64 / sizeof(CdfgAttr);
    for (std::size_t line = 1; line <= kLines; ++line) {
        if (nodeAt + line * kNodesPerLine < nodeCount) __builtin_prefetch(&original + line * kNodesPerLine);
        if (attrAt + (line - 1) * kAttrsPerLine < attrCount)
            __builtin_prefetch(attrs + attrAt + (line - 1) * kAttrsPerLine);
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

// A copy reads its originals and makes its nodes through one of two sides:
// InGraph, the graph itself, or Staged (below). Both run the same walk, so a
// staged copy is the one the graph would have made.
class InGraph {
public:
    InGraph(CdfgGraph& g, CopyReport* report) : g_(g), report_(report) {}

    // A link to no node may lead to one of the nodes made later, so that a
    // walk of the original would then go on where the copy ends.
    const CdfgNode* original(NodeId id) {
        const CdfgNode* n = lookupNode(g_, id);
        if (!n && id != 0) noteReshaped();
        return n;
    }
    // By position: the storage may grow while a copy is made.
    CdfgAttr originalAttr(std::uint32_t at) const { return g_.attrs[at]; }
    NodeId originalJump(NodeId id) const { return getJumpId(g_, id); }
    // What kept and owned ask of an attribute: its true value where that
    // matters (a text's or a node's is the stored one when it is narrow).
    AttrValue view(const CdfgAttr& a) const {
        return a.code < kAttrWide ? AttrValue{a.id, a.code, a.value} : attrValue(g_, a);
    }
    std::size_t stepLimit() const { return ::stepLimit(g_); }
    void limitMet() {}
    void prefetch(NodeId id, std::uint32_t attrBegin) const {
        if (g_.denseIds) prefetchNode(g_.nodes.data(), g_.nodes.size(), g_.attrs.data(), g_.attrs.size(), id, attrBegin);
    }
    void prefetchAfter(const CdfgNode& original, NodeId following) const {
        if (g_.denseIds)
            prefetchAhead(g_.nodes.data(), g_.nodes.size(), g_.attrs.data(), g_.attrs.size(), original, following);
    }

    NodeId make(std::uint32_t kind, NodeId original) { return newCopy(g_, kind, original); }
    bool made(NodeId c) { return lookupNode(g_, c) != nullptr; }
    std::uint32_t attrEnd() const { return static_cast<std::uint32_t>(g_.attrs.size()); }
    void pushAttr(const CdfgAttr& a) { g_.attrs.push_back(a); }
    void pushAttrs(const CdfgAttr* first, const CdfgAttr* last) { g_.attrs.insert(g_.attrs.end(), first, last); }
    void setRun(NodeId c, std::uint32_t begin, std::uint32_t count) {
        CdfgNode* node = lookupNode(g_, c);
        node->attrBegin = begin;
        node->attrCnt = count;
    }
    CdfgAttr ownedValue(std::uint32_t id, NodeId copy) { return storeAttr(g_, {id, ATTR_NODE, copy}); }
    // Links from a made node to another (or to none).
    void setPrev(NodeId c, NodeId to) {
        if (CdfgNode* n = lookupNode(g_, c)) n->prev = to;
    }
    void setNext(NodeId c, NodeId to) {
        if (CdfgNode* n = lookupNode(g_, c)) n->next = to;
    }
    void setJump(NodeId c, NodeId to) {
        if (CdfgNode* n = lookupNode(g_, c)) n->jump = to;
    }
    void append(NodeId chain, NodeId added) { appendToChain(g_, chain, added); }

    bool structures() const { return structCloneMode; }
    void noteStructure(NodeId original, NodeId c) {
        structClonePairs.push_back({original, c});
        setMark(g_, original, static_cast<std::uint32_t>(structClonePairs.size()));
    }
    // The copy of the structure a made declaration names, 0 for none.
    NodeId structureCopy(NodeId c) {
        NodeId original = getAttrInt(g_, c, CfgDecl_STRUCTORGNODE);
        std::uint32_t pair = getMark(g_, original);
        if (original && pair > 0 && pair <= structClonePairs.size() && structClonePairs[pair - 1].oldNode == original)
            return structClonePairs[pair - 1].newNode;
        return 0;
    }
    void setStructure(NodeId c, NodeId structure) { setAttrNode(g_, c, CfgDecl_STRUCTORGNODE, structure); }

    void noteCall(NodeId original, NodeId c) {
        if (report_) report_->calls.emplace_back(original, c);
    }
    void noteReshaped() {
        if (report_) report_->reshaped = true;
    }
    void noteSideNode(NodeId original) {
        if (report_) report_->sideNodes.push_back(original);
    }
    void noteSidesDiffer() {
        if (report_) report_->sidesDiffer = true;
    }

private:
    CdfgGraph& g_;
    CopyReport* report_;
};

// Staged reads the graph's arrays through a StagingArea and makes the copy in
// their storage past the end, with the ids the nodes will have once the
// arrays grow over them. Nothing of the graph changes meanwhile: the arrays
// keep their sizes until commitCopy. Apart, it makes the copy in buffers of
// its own instead, with ids and attribute positions past all of the area's.
class Staged {
public:
    Staged(const StagingArea& a, NodeId function, StagedCopy& out, StagedApart* apart = nullptr)
        : a_(a), out_(out), apart_(apart), function_(function), firstId_(static_cast<NodeId>(out.nodeAt + 1)) {}

    // Anything the area does not answer as the graph would (a node past what
    // was read, a value stored apart, no room) breaks the staging off: the
    // graph makes the copy.
    const CdfgNode* original(NodeId id) {
        if (id == 0) return nullptr;
        if (id - 1u >= a_.count) {
            broken = true;
            return nullptr;
        }
        // A node another thread may change is read only as the function
        // copied, before the walk goes below it: the copy's first step reads
        // it three times (its links, its position, its attributes) and never
        // its NextId. Met again inside its own copy, it is read no more.
        if (avoided(a_, id) && (id != function_ || ++functionReads_ > 3)) {
            broken = true;
            return nullptr;
        }
        const CdfgNode& n = a_.nodes[id - 1u];
        // A call's jump is copied as it stands: apart, it must not be taken
        // for one of the copy's own ids.
        if (apart_ && n.jump > a_.count) broken = true;
        return n.id == id ? &n : nullptr;
    }
    CdfgAttr originalAttr(std::uint32_t at) {
        if (at < a_.attrCount) return a_.attrs[at];
        broken = true;
        return {};
    }
    NodeId originalJump(NodeId id) {
        const CdfgNode* n = original(id);
        return n ? n->jump : 0;
    }
    // An original's attribute (the walk views no other). Its node value is
    // copied as it stands: apart, it must not be taken for one of the copy's
    // own ids.
    AttrValue view(const CdfgAttr& a) {
        if (apart_ && a.code == ATTR_NODE && a.value > a_.count) broken = true;
        if (a.code < kAttrWide) return {a.id, a.code, a.value};
        // Only a text's or a node's value is asked for, and neither is kept
        // apart by a front end.
        const std::uint32_t kind = a.code & ~kAttrWide;
        if (a.code == kAttrOdd || kind == ATTR_STRING || kind == ATTR_NODE) broken = true;
        return {a.id, kind, 1};
    }
    // Within what was read a chain without a loop ends sooner.
    std::size_t stepLimit() const { return std::size_t{a_.count} + 1; }
    void limitMet() { broken = true; }
    void prefetch(NodeId id, std::uint32_t attrBegin) const {
        prefetchNode(a_.nodes, a_.count, a_.attrs, a_.attrCount, id, attrBegin);
    }
    void prefetchAfter(const CdfgNode& original, NodeId following) const {
        prefetchAhead(a_.nodes, a_.count, a_.attrs, a_.attrCount, original, following);
    }

    NodeId make(std::uint32_t kind, NodeId original) {
        const CdfgNode* from = this->original(original);
        const std::size_t at = out_.nodeAt + out_.nodeCount;
        if ((!apart_ && at >= a_.nodeRoom) || at >= UINT32_MAX - 1u) {
            broken = true;
            return 0;
        }
        const CdfgPlace place = from ? a_.places[static_cast<std::size_t>(from - a_.nodes)] : CdfgPlace{};
        CdfgNode* node;
        if (apart_) {
            node = &apart_->nodes.emplace_back();
            apart_->places.push_back(place);
        } else {
            node = ::new (static_cast<void*>(a_.nodes + at)) CdfgNode{};
            ::new (static_cast<void*>(a_.places + at)) CdfgPlace(place);
        }
        node->id = static_cast<NodeId>(at + 1);
        node->kind = kind;
        node->attrBegin = attrEnd();
        ++out_.nodeCount;
        return node->id;
    }
    bool made(NodeId c) const { return c >= firstId_ && c - firstId_ < out_.nodeCount; }
    std::uint32_t attrEnd() const { return static_cast<std::uint32_t>(out_.attrAt + out_.attrCount); }
    void pushAttr(const CdfgAttr& a) {
        if (out_.attrAt + out_.attrCount >= (apart_ ? UINT32_MAX : std::min<std::size_t>(a_.attrRoom, UINT32_MAX))) {
            broken = true;
            return;
        }
        if (apart_)
            apart_->attrs.push_back(a);
        else
            ::new (static_cast<void*>(a_.attrs + out_.attrAt + out_.attrCount)) CdfgAttr(a);
        ++out_.attrCount;
    }
    void pushAttrs(const CdfgAttr* first, const CdfgAttr* last) {
        for (; first != last; ++first) pushAttr(*first);
    }
    void setRun(NodeId c, std::uint32_t begin, std::uint32_t count) {
        if (!made(c)) return;
        node(c).attrBegin = begin;
        node(c).attrCnt = count;
    }
    CdfgAttr ownedValue(std::uint32_t id, NodeId copy) {
        if (id >= kOddAttrId) broken = true;
        CdfgAttr a;
        a.id = id;
        a.code = ATTR_NODE;
        a.value = copy;
        return a;
    }
    void setPrev(NodeId c, NodeId to) {
        if (made(c)) node(c).prev = to;
    }
    void setNext(NodeId c, NodeId to) {
        if (made(c)) node(c).next = to;
    }
    void setJump(NodeId c, NodeId to) {
        if (made(c)) node(c).jump = to;
    }
    // appendToChain over made nodes, which link only to each other.
    void append(NodeId chain, NodeId added) {
        if (!made(chain) || !made(added)) return;
        NodeId last = chain;
        for (std::size_t steps = 0;; ++steps) {
            const NodeId next = node(last).next;
            if (next == 0) break;
            if (!made(next)) {
                broken = true;
                return;
            }
            if (next == last || steps >= out_.nodeCount) return;
            last = next;
        }
        setPrev(added, last);
        setNext(last, added);
    }

    // A graph's copy records structures only while cloning a function,
    // which is the one copy staged.
    bool structures() const { return true; }
    void noteStructure(NodeId original, NodeId c) { structures_.insert_or_assign(original, c); }
    NodeId structureCopy(NodeId c) {
        const CdfgAttr* a = structureOf(c);
        if (!a) return 0;
        if (a->code != ATTR_NODE) {
            broken = true;
            return 0;
        }
        // The latest copy of that structure.
        auto found = structures_.find(a->value);
        return found != structures_.end() ? found->second : 0;
    }
    void setStructure(NodeId c, NodeId structure) {
        if (CdfgAttr* a = structureOf(c))
            *a = ownedValue(a->id, structure);
        else
            broken = true;
    }

    void noteCall(NodeId original, NodeId c) { out_.calls.emplace_back(original, c); }
    void noteReshaped() { out_.reshaped = true; }
    void noteSideNode(NodeId original) { out_.sideNodes.push_back(original); }
    void noteSidesDiffer() { out_.sidesDiffer = true; }

    bool broken = false;

private:
    CdfgNode& node(NodeId c) { return apart_ ? apart_->nodes[c - firstId_] : a_.nodes[c - 1]; }
    CdfgAttr& attr(std::size_t at) { return apart_ ? apart_->attrs[at - out_.attrAt] : a_.attrs[at]; }
    // The structure attribute of a made declaration, nullptr for none.
    CdfgAttr* structureOf(NodeId c) {
        if (!made(c)) return nullptr;
        const CdfgNode& n = node(c);
        for (std::uint32_t i = 0; i < n.attrCnt; ++i)
            if (attr(n.attrBegin + i).id == CfgDecl_STRUCTORGNODE) return &attr(n.attrBegin + i);
        return nullptr;
    }

    const StagingArea& a_;
    StagedCopy& out_;
    StagedApart* apart_;
    const NodeId function_;
    int functionReads_ = 0;
    const NodeId firstId_;
    std::unordered_map<NodeId, NodeId> structures_;
};

// The walk of a copy, on either side.
template <typename Side>
class Copier {
public:
    Copier(Side& side, std::size_t nodesLeft) : t_(side), nodesLeft_(nodesLeft) {}

    // Copies the chain from first (only first itself when alone is set).
    NodeId copyChain(NodeId first, bool alone = false);
    // Jumps between copied control nodes lead to the first copy of their
    // target: the pairs by old id, the first copied first among equals.
    void redirectJumps();
    bool exhausted() const { return nodesLeft_ == 0; }

private:
    void copyAttributes(NodeId from, NodeId to);

    Side& t_;
    // Control nodes copied, (old id, new handle) in the order copied.
    std::vector<std::pair<NodeId, NodeId>> pairs_;
    // Nodes the copy may still make (see copySubtree).
    std::size_t nodesLeft_;
    // Attribute values gathered by the copies under way, innermost last.
    std::vector<CdfgAttr> values_;
};

// Copies the attributes of `from` to `to`, a node just made by this copy (it
// has none), copying owned chains on the way. A run without owned chains is
// stored as it is read; otherwise the values are gathered first and stored as
// one run at the end, since copying a chain adds nodes and attributes in
// between.
template <typename Side>
void Copier<Side>::copyAttributes(NodeId from, NodeId to) {
    const CdfgNode* source = t_.original(from);
    if (!source || !t_.made(to)) return;
    const std::uint32_t fromKind = source->kind;
    const std::uint32_t begin = source->attrBegin;
    const std::uint32_t count = source->attrCnt;
    const KindAttrTable<isSharedReference>& shared = KindAttrTable<isSharedReference>::get();
    // An attribute without a node or a text reads the same when left out;
    // one left out for its identifier or kind changes the copy's shape.
    auto kept = [this](const AttrValue& a) {
        if (a.id == 0 || a.valueKind < ATTR_CHAR || a.valueKind > ATTR_NODE) {
            t_.noteReshaped();
            return false;
        }
        return !(a.valueKind == ATTR_STRING && a.bits == 0) && !(a.valueKind == ATTR_NODE && a.bits == 0);
    };
    auto owned = [&](const AttrValue& a) { return a.valueKind == ATTR_NODE && !shared(fromKind, a.id); };
    bool owns = false;
    for (std::uint32_t n = 0; n < count; ++n) {
        const AttrValue a = t_.view(t_.originalAttr(begin + n));
        if (kept(a) && owned(a)) {
            owns = true;
            t_.prefetch(static_cast<NodeId>(a.bits), UINT32_MAX);
        }
    }
    if (!owns) {
        // Texts are never changed in place (a setter stores a new one), so
        // the copy shares the original's.
        const std::uint32_t at = t_.attrEnd();
        for (std::uint32_t n = 0; n < count; ++n) {
            const CdfgAttr a = t_.originalAttr(begin + n);
            if (kept(t_.view(a))) t_.pushAttr(a);
        }
        t_.setRun(to, at, t_.attrEnd() - at);
        return;
    }
    // This copy's values go on top of those of the copies it is nested in.
    const std::size_t first = values_.size();
    for (std::uint32_t n = 0; n < count; ++n) {
        const CdfgAttr stored = t_.originalAttr(begin + n);
        const AttrValue a = t_.view(stored);
        if (!kept(a)) continue;
        if (!owned(a)) {
            values_.push_back(stored);
            continue;
        }
        const NodeId target = static_cast<NodeId>(a.bits);
        NodeId copy = copyChain(target);
        values_.push_back(t_.ownedValue(a.id, copy));
        const CdfgNode* held = t_.original(target);
        if (!isAssignEdge(held ? held->kind : 0) && fromKind != DFG_MANAGE_OPERATION && t_.made(copy))
            t_.setPrev(copy, to);
    }
    const std::uint32_t at = t_.attrEnd();
    t_.pushAttrs(values_.data() + first, values_.data() + values_.size());
    t_.setRun(to, at, static_cast<std::uint32_t>(values_.size() - first));
    values_.resize(first);
}

template <typename Side>
NodeId Copier<Side>::copyChain(NodeId first, bool alone) {
    NodeId head = 0;
    NodeId previousCopy = 0;
    NodeId previous = 0;
    std::size_t steps = 0;
    NodeId following = 0;
    for (NodeId n = first; n != 0 && nodesLeft_ > 0; n = following, ++steps) {
        if (steps >= t_.stepLimit()) {
            t_.limitMet();
            break;
        }
        // The original's links, read before copying adds nodes (and may move
        // the node list); copying never changes them.
        const CdfgNode* original = t_.original(n);
        const std::uint32_t kind = original ? original->kind : 0;
        const NodeId side = original && isAssignEdge(kind) ? original->prev : 0;
        const NodeId jump = original ? original->jump : 0;
        following = original && !alone ? original->next : 0;
        // The originals lie far apart in memory: what the next steps read
        // is asked for now, while this node is copied.
        if (original) t_.prefetchAfter(*original, following);
        --nodesLeft_;
        NodeId c = t_.make(kind, n);
        const bool sideHung = side != 0 && side != previous;
        if (isAssignEdge(kind)) {
            t_.noteSideNode(n);
            // Only a target side hung before the edge (below), or none before
            // an edge that heads its chain, is met in the copy as in the
            // original.
            if (!sideHung && (side != 0 || previous != 0)) t_.noteSidesDiffer();
        }
        copyAttributes(n, c);

        // The target side of an assignment hangs before the edge along PrevId.
        bool sideChain = false;
        if (sideHung) {
            NodeId firstSide = 0;
            NodeId lastSide = 0;
            NodeId after = n;
            std::size_t sideSteps = 0;
            for (NodeId s = side; s != 0 && nodesLeft_ > 0; ++sideSteps) {
                if (sideSteps >= t_.stepLimit()) {
                    t_.limitMet();
                    break;
                }
                const CdfgNode* sideOriginal = t_.original(s);
                // The copy leads on from each node to the one made before
                // it, and at last to the edge: so must the original.
                t_.noteSideNode(s);
                if (!sideOriginal || sideOriginal->next != after) t_.noteSidesDiffer();
                after = s;
                --nodesLeft_;
                NodeId sc = t_.make(sideOriginal ? sideOriginal->kind : 0, s);
                copyAttributes(s, sc);
                if (!firstSide) {
                    firstSide = sc;
                } else {
                    t_.setPrev(lastSide, sc);
                    t_.setNext(sc, lastSide);
                }
                lastSide = sc;
                sideOriginal = t_.original(s);
                s = sideOriginal ? sideOriginal->prev : 0;
            }
            if (firstSide) {
                t_.append(firstSide, c);
                sideChain = true;
            }
        }

        if (!head) {
            head = c;
        } else if (sideChain) {
            t_.setNext(previousCopy, c);
        } else {
            // The copy before is the last of the chain copied so far.
            t_.setNext(previousCopy, c);
            t_.setPrev(c, previousCopy);
        }

        if (isControlKind(kind)) {
            pairs_.emplace_back(n, c);
        } else if (kind == DFG_FUNC_CALL) {
            t_.setJump(c, jump);
            t_.noteCall(n, c);
        } else if (t_.structures() && (kind == CFG_STRUCT || kind == CFG_DECLARE)) {
            t_.noteStructure(n, c);
            if (kind == CFG_DECLARE)
                if (NodeId structure = t_.structureCopy(c)) t_.setStructure(c, structure);
        }
        previousCopy = c;
        previous = n;
    }
    return head;
}

template <typename Side>
void Copier<Side>::redirectJumps() {
    std::vector<std::pair<NodeId, NodeId>> byOld = pairs_;
    std::stable_sort(byOld.begin(), byOld.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [oldNode, newNodeId] : pairs_) {
        NodeId jump = t_.originalJump(oldNode);
        if (jump == 0) continue;
        auto found = std::lower_bound(byOld.begin(), byOld.end(), jump,
                                      [](const auto& pair, NodeId id) { return pair.first < id; });
        if (found != byOld.end() && found->first == jump && found->second != 0) t_.setJump(newNodeId, found->second);
    }
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

bool sortCopiedCalls(std::vector<std::pair<NodeId, NodeId>>& calls) {
    if (!std::is_sorted(calls.begin(), calls.end())) std::sort(calls.begin(), calls.end());
    return std::adjacent_find(calls.begin(), calls.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }) == calls.end();
}

NodeId copiedCall(const std::vector<std::pair<NodeId, NodeId>>& calls, NodeId call) {
    auto at = std::lower_bound(calls.begin(), calls.end(), std::pair<NodeId, NodeId>{call, 0});
    return at != calls.end() && at->first == call ? at->second : call;
}

NodeId copySubtree(CdfgGraph& g, NodeId first, std::size_t maxNodes, CopyReport* report) {
    if (first == 0) return 0;
    InGraph side(g, report);
    Copier<InGraph> copier(side, maxNodes ? maxNodes : g.nodes.size() + 1);
    NodeId result = copier.copyChain(first);
    // Every node the bound allowed was made: the copy may have been cut short.
    if (copier.exhausted()) side.noteReshaped();
    copier.redirectJumps();
    return result;
}

StagingArea stagingArea(CdfgGraph& g) {
    StagingArea a;
    if (!g.denseIds || g.lastId != g.nodes.size() || g.nodes.size() >= UINT32_MAX - 1u) return a;
    a.nodes = g.nodes.data();
    a.count = static_cast<std::uint32_t>(g.nodes.size());
    a.nodeRoom = std::min(g.nodes.capacity(), g.places.capacity());
    a.places = g.places.data();
    a.attrs = g.attrs.data();
    a.attrCount = g.attrs.size();
    a.attrRoom = g.attrs.capacity();
    return a;
}

namespace {

// The copy of a function, in the storage or apart.
bool stageWith(const StagingArea& a, NodeId function, std::size_t maxNodes, StagedCopy& out, StagedApart* apart) {
    // An assignment's PrevId is read with it: one another thread may change
    // is left to the graph even as the function copied.
    if (avoided(a, function) && isAssignEdge(a.nodes[function - 1u].kind)) return false;
    Staged side(a, function, out, apart);
    out.sideNodes.reserve(64);
    Copier<Staged> copier(side, maxNodes);
    copier.copyChain(function, true);
    if (copier.exhausted()) side.noteReshaped();
    copier.redirectJumps();
    out.usable = !side.broken && out.nodeCount > 0;
    return out.usable;
}

}  // namespace

bool stageCopy(const StagingArea& a, NodeId function, std::size_t maxNodes, std::size_t nodeAt, std::size_t attrAt,
               StagedCopy& out) {
    out = StagedCopy{};
    out.nodeAt = nodeAt;
    out.attrAt = attrAt;
    if (function == 0 || a.count == 0 || maxNodes == 0 || nodeAt < a.count || attrAt < a.attrCount) return false;
    return stageWith(a, function, maxNodes, out, nullptr);
}

bool stageApart(const StagingArea& a, NodeId function, std::size_t maxNodes, StagedApart& out) {
    out.nodes.clear();
    out.places.clear();
    out.attrs.clear();
    StagedCopy& copy = out.copy;
    copy = StagedCopy{};
    // Past every id and attribute position the storage can hold.
    copy.nodeAt = a.nodeRoom;
    copy.attrAt = a.attrRoom;
    if (function == 0 || a.count == 0 || maxNodes == 0) return false;
    return stageWith(a, function, maxNodes, copy, &out);
}

bool placeApart(const StagingArea& a, StagedApart& apart, std::size_t nodeAt, std::size_t attrAt) {
    StagedCopy& copy = apart.copy;
    if (!copy.usable || nodeAt < a.count || attrAt < a.attrCount || nodeAt > a.nodeRoom ||
        copy.nodeCount > a.nodeRoom - nodeAt || attrAt > a.attrRoom || copy.attrCount > a.attrRoom - attrAt ||
        attrAt + copy.attrCount > UINT32_MAX)
        return false;
    // The copy's own ids, first + 0 .. count - 1, become nodeAt + 1 ...
    const std::uint64_t first = copy.nodeAt + 1, count = copy.nodeCount;
    auto moved = [&](NodeId id) -> NodeId {
        return id >= first && id - first < count ? static_cast<NodeId>(id - first + nodeAt + 1) : id;
    };
    for (std::size_t k = 0; k < count; ++k) {
        CdfgNode n = apart.nodes[k];
        n.id = static_cast<NodeId>(nodeAt + 1 + k);
        n.prev = moved(n.prev);
        n.next = moved(n.next);
        n.jump = moved(n.jump);
        n.attrBegin = static_cast<std::uint32_t>(n.attrBegin - copy.attrAt + attrAt);
        ::new (static_cast<void*>(a.nodes + nodeAt + k)) CdfgNode(n);
        ::new (static_cast<void*>(a.places + nodeAt + k)) CdfgPlace(apart.places[k]);
    }
    for (std::size_t k = 0; k < copy.attrCount; ++k) {
        CdfgAttr v = apart.attrs[k];
        if (v.code == ATTR_NODE) v.value = moved(v.value);
        ::new (static_cast<void*>(a.attrs + attrAt + k)) CdfgAttr(v);
    }
    for (auto& call : copy.calls) call.second = moved(call.second);
    copy.nodeAt = nodeAt;
    copy.attrAt = attrAt;
    return true;
}

NodeId commitCopy(CdfgGraph& g, StagedCopy& s, CopyReport* report) {
    if (!s.usable || !g.denseIds || g.lastId != g.nodes.size() || s.nodeAt != g.nodes.size() ||
        s.nodeAt != g.places.size() || s.attrAt != g.attrs.size() ||
        s.nodeCount > std::min(g.nodes.capacity(), g.places.capacity()) - s.nodeAt ||
        s.attrCount > g.attrs.capacity() - s.attrAt)
        return 0;
    // The arrays grow over what the staging made (their elements made
    // without a value keep their bytes).
    g.nodes.resize(s.nodeAt + s.nodeCount);
    g.places.resize(s.nodeAt + s.nodeCount);
    g.attrs.resize(s.attrAt + s.attrCount);
    g.lastId = static_cast<NodeId>(g.nodes.size());
    if (report) {
        if (report->calls.empty())
            report->calls = std::move(s.calls);
        else
            report->calls.insert(report->calls.end(), s.calls.begin(), s.calls.end());
        if (s.reshaped) report->reshaped = true;
        if (s.sidesDiffer) report->sidesDiffer = true;
        report->sideNodes = std::move(s.sideNodes);
    }
    return static_cast<NodeId>(s.nodeAt + 1);
}

void setNodeCreationFailureHandler(void (*handler)()) { nodeCreationFailureHandler = handler; }

void setStructCloneMode(bool on) { structCloneMode = on; }

void releaseStructClones(CdfgGraph& g) {
    for (const StructClonePair& pair : structClonePairs) setMark(g, pair.oldNode, 0);
    structClonePairs.clear();
    structClonePairs.shrink_to_fit();
}
