// The in-memory CDFG graph: nodes addressed by 32-bit id, each with a kind,
// three links, an attribute list and a source position.
//
// Every accessor takes the graph and a node id. Id 0, an id never created and
// a deleted node all count as absent: getters then return 0 (0.0, nullptr)
// and setters return -1. Setters return 0 on success.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cdfg/huge_page_allocator.h"
#include "cdfg/vocabulary.h"

using NodeId = std::uint32_t;

// One attribute as a file holds it.
struct AttrValue {
    std::uint32_t id = 0;
    std::uint32_t valueKind = 0;  // ATTR_CHAR .. ATTR_NODE
    // ATTR_CHAR: the byte sign-extended; ATTR_INT/ATTR_NODE: 32 bits;
    // ATTR_LONGLONG: 64 bits; ATTR_FLOAT: binary64 bit pattern;
    // ATTR_STRING: the number of the text in CdfgGraph::texts, 0 for no text.
    std::uint64_t bits = 0;
};

// An attribute as the graph keeps it, in 8 bytes: a node's run then mostly
// fits in one cache line. Nearly every value fits in 32 bits; the others lie
// apart, never changed once stored, so that copies of a node may share them.
//   code 0..6 (the value kind): the value is `value` (sign-extended for
//     ATTR_CHAR and ATTR_LONGLONG, otherwise zero-extended);
//   kAttrWide | kind: the value is CdfgGraph::wideBits[value];
//   kAttrOdd: the whole attribute is CdfgGraph::oddAttrs[value] (an
//     identifier from kOddAttrId up, a value kind the vocabulary lacks, a
//     value that fits nowhere else); `id` holds kOddAttrId for such an
//     identifier, so that findAttr looks for those among the odd ones.
struct CdfgAttr {
    std::uint32_t id : 28 = 0;
    std::uint32_t code : 4 = 0;
    std::uint32_t value = 0;
};
static_assert(sizeof(CdfgAttr) == 8);
inline constexpr std::uint32_t kAttrWide = 8;
inline constexpr std::uint32_t kAttrOdd = 15;
inline constexpr std::uint32_t kOddAttrId = (1u << 28) - 1;

// The fields every walk reads, in 32 bytes: two nodes to a cache line. The
// source position, needed only for messages and for writing, lives apart in
// CdfgGraph::places.
struct CdfgNode {
    NodeId id = 0;                // 0 once the node is deleted
    std::uint32_t kind = 0;
    NodeId prev = 0;
    NodeId next = 0;
    NodeId jump = 0;
    std::uint32_t attrBegin = 0;  // first attribute in CdfgGraph::attrs
    std::uint32_t attrCnt = 0;
    std::uint32_t mark = 0;       // scratch word of the checks; never written to a file
};

struct CdfgPlace {
    std::uint32_t fileName = 0;   // index + 1 into CdfgGraph::fileNames, 0 for none
    std::uint32_t line = 0;
    std::uint32_t column = 0;
};

// Where the bytes a graph was read from can be had again, so that the
// records of nodes left unchanged are written back as they were read.
struct SourceBytes {
    virtual ~SourceBytes() = default;
    // Appends the bytes [offset, offset + size) to out; false when they
    // cannot all be had (out may then hold some of them).
    virtual bool append(std::uint64_t offset, std::size_t size, std::string& out) const = 0;
    // Writes them at the current position of the file descriptor.
    virtual bool writeTo(std::uint64_t offset, std::size_t size, int fd) const = 0;
    // The open file the bytes come from, -1 when they are not a file's.
    virtual int descriptor() const { return -1; }
};

// Where a node's record lies in SourceBytes: offset << 24 | length. 0 when
// the node has no record there or has changed since it was read.
inline constexpr unsigned kSpanLengthBits = 24;
inline constexpr std::uint64_t kMaxSpanLength = (std::uint64_t{1} << kSpanLengthBits) - 1;
inline constexpr std::uint64_t kMaxSpanOffset = (std::uint64_t{1} << (64 - kSpanLengthBits)) - 1;

// The spans of a block of kSpanBlock list positions. A front end's records
// follow one another in the file, so a block needs only where its records
// begin and end and which of them are unchanged: a few bytes per block
// instead of a span per node, which every read would have to fill.
inline constexpr std::size_t kSpanBlock = 64;
struct SpanBlock {
    // Where the record of the block's first position begins and where that
    // of its last one read ends, the records of every position between
    // following one another.
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    // Bit k: the record of position kSpanBlock * block + k is written back
    // as read. Cleared when the node changes.
    std::uint64_t kept = 0;
    bool operator==(const SpanBlock&) const = default;
};

#if defined(__GNUC__)
#define TAVIK_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define TAVIK_ALWAYS_INLINE inline
#endif

namespace cdfg_detail {
// Asks the memory for the line that lies that many bytes past p, wherever
// it is: a prefetch never faults, so it may lie past the end of an array.
// Always inline: a call of it, having no effect the compiler can see, would
// be dropped.
TAVIK_ALWAYS_INLINE void prefetchPast(const void* p, std::size_t bytes) {
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(p) + bytes));
}
// How far ahead walks ask: the hardware's own prefetching stops at the end
// of every 4 KiB page, and walks that follow links show it no stream.
inline constexpr std::size_t kLookAhead = 1024;
}  // namespace cdfg_detail

// The texts of string attributes, numbered 1, 2, ... in the order stored.
// Each is stored once, followed by a NUL, in large blocks that never move, so
// views and pointers of a text stay valid as long as the store. A store may
// also hold a second run of texts numbered from a base of its own on (a file
// read in two halves: the second half's texts keep the numbers its reader
// gave them); texts stored after that run get the numbers that follow it.
class TextStore {
public:
    TextStore() = default;
    ~TextStore();
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;

    // Stores a copy of the text; its number.
    std::uint64_t add(std::string_view text);
    // The text with that number (one add gave).
    std::string_view operator[](std::uint64_t number) const {
        const Ref& r = number > tailBase_ ? tail_[number - tailBase_ - 1] : refs_[number - 1];
        // Texts are numbered and stored in the order read, which walks
        // mostly follow: the ones read next are asked for now.
        cdfg_detail::prefetchPast(&r, cdfg_detail::kLookAhead);
        cdfg_detail::prefetchPast(r.data, cdfg_detail::kLookAhead);
        return {r.data, r.size};
    }
    // How many texts are stored.
    std::size_t size() const { return refs_.size() + tail_.size(); }
    // Room for that many texts without moving the list of them.
    void reserve(std::size_t count) { (tailBase_ == kNoTail ? refs_ : tail_).reserve(count); }
    // Numbers the texts of an empty store from base + 1 on.
    void numberAfter(std::uint64_t base) { tailBase_ = base; }
    // Takes over the texts of the other store, numbered from a base past
    // every number of this one's (numberAfter), keeping their numbers;
    // the other is left empty. False, with both unchanged, otherwise.
    bool takeFrom(TextStore& other);

private:
    struct Ref {
        const char* data;
        std::size_t size;
    };
    struct Block {
        char* data;
        std::size_t size;
    };
    static constexpr std::uint64_t kNoTail = UINT64_MAX;
    char* room(std::size_t bytes);

    std::vector<Ref, HugePageAllocator<Ref>> refs_;
    std::vector<Ref, HugePageAllocator<Ref>> tail_;
    std::uint64_t tailBase_ = kNoTail;
    std::vector<Block> blocks_;
    char* free_ = nullptr;
    std::size_t left_ = 0;
};

struct CdfgGraph {
    // The node list in creation order; deleted nodes stay with id 0.
    std::vector<CdfgNode, GraphArrayAllocator<CdfgNode>> nodes;
    // The source position of each node, at the node's list position.
    std::vector<CdfgPlace, GraphArrayAllocator<CdfgPlace>> places;
    // Attribute storage shared by all nodes: each node's attributes are one
    // contiguous run, moved to the end when a node gains an attribute and its
    // run is not the last one.
    std::vector<CdfgAttr, GraphArrayAllocator<CdfgAttr>> attrs;
    // The values of attributes stored apart (see CdfgAttr).
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> wideBits;
    std::vector<AttrValue> oddAttrs;
    // Texts of string attributes. A text is never changed once stored, so
    // attributes may share one.
    TextStore texts;
    // Source file names, shared by every node that names the same file.
    std::deque<std::string> fileNames;
    std::unordered_map<std::string_view, std::uint32_t> fileNameIndex;
    // While every node's id is its position in the list (1, 2, 3, ...: files
    // of the front end and nodes made by createNode), the id is the index.
    bool denseIds = true;
    // Otherwise: id to node list index + 1, in lazily allocated pages, so that
    // lookup stays constant time and a graph pays only for the pages it uses.
    std::vector<std::unique_ptr<std::uint32_t[]>> idPages;
    NodeId lastId = 0;
    // Read graphs only: the file's bytes and, by blocks of list positions,
    // where the unchanged records lie in them (positions past the blocks:
    // none).
    std::unique_ptr<SourceBytes> source;
    std::vector<SpanBlock> spanBlocks;
};

inline constexpr std::uint32_t kIdPageBits = 16;
inline constexpr std::uint32_t kIdPageSize = 1u << kIdPageBits;

std::unique_ptr<CdfgGraph> newGraph();
// Creates a node with the given id (0 on failure: id 0). Sets lastId to id.
// A second node with an id already in use takes the id over for lookups.
NodeId createNodeWithId(CdfgGraph& g, NodeId id);
// Creates a node of the kind with id lastId + 1; 0 when the ids are exhausted.
NodeId createNode(CdfgGraph& g, std::uint32_t kind);
// lookupNode(g, id): the live node with that id, or nullptr. The pointer is
// valid until the next node is created. (Defined below with the other
// accessors that every walk calls for each node it visits.)
// Notes that code holding the record from lookupNode changed what the node
// writes (links, kind, attributes, position): its record is encoded anew.
void markEdited(CdfgGraph& g, const CdfgNode& node);
// Id of the first CFG_ROOT node of the node list, 0 if none.
NodeId findRoot(const CdfgGraph& g);
// getKind, getPrevId, getNextId, getJumpId, getAttrCount, getMark: below.

int setKind(CdfgGraph& g, NodeId id, std::uint32_t kind);
int setPrevId(CdfgGraph& g, NodeId id, NodeId prev);
int setNextId(CdfgGraph& g, NodeId id, NodeId next);
int setJumpId(CdfgGraph& g, NodeId id, NodeId jump);

const char* getFileName(const CdfgGraph& g, NodeId id);
// Stores the text as the node's file name; nullptr removes it.
int setFileName(CdfgGraph& g, NodeId id, const char* text);
int setFileName(CdfgGraph& g, NodeId id, std::string_view text);
// Index + 1 of the file name in CdfgGraph::fileNames, added when new.
std::uint32_t fileNameIndex(CdfgGraph& g, std::string_view text);
std::uint32_t getLine(const CdfgGraph& g, NodeId id);
int setLine(CdfgGraph& g, NodeId id, std::uint32_t line);
std::uint32_t getColumn(const CdfgGraph& g, NodeId id);
int setColumn(CdfgGraph& g, NodeId id, std::uint32_t column);
int setMark(CdfgGraph& g, NodeId id, std::uint32_t mark);

// Attribute getters read the first attribute with the identifier, whatever
// its value kind; an absent attribute reads as 0. (getAttrInt, getAttrSigned
// and getAttrChar are defined below.)
std::int64_t getAttrLongLong(const CdfgGraph& g, NodeId id, std::uint32_t attr);
double getAttrDouble(const CdfgGraph& g, NodeId id, std::uint32_t attr);
// The text of an ATTR_STRING attribute, nullptr otherwise.
const char* getAttrString(const CdfgGraph& g, NodeId id, std::uint32_t attr);
// The whole text (embedded NUL bytes included) of an ATTR_STRING attribute;
// a view without data (data() == nullptr) otherwise.
std::string_view getAttrText(const CdfgGraph& g, NodeId id, std::uint32_t attr);
std::uint32_t getAttrKind(const CdfgGraph& g, NodeId id, std::uint32_t attr);
// Value kind / identifier of the n-th attribute (1-based), 0 past the end.
std::uint32_t getAttrKindAt(const CdfgGraph& g, NodeId id, std::uint32_t n);
std::uint32_t getAttrIdAt(const CdfgGraph& g, NodeId id, std::uint32_t n);
// The n-th attribute (1-based); id and value kind 0 past the end.
AttrValue getAttrAt(const CdfgGraph& g, NodeId id, std::uint32_t n);
// The attribute a stored one holds, and the stored form of one (which may
// add to the values kept apart).
AttrValue attrValue(const CdfgGraph& g, const CdfgAttr& a);
CdfgAttr storeAttr(CdfgGraph& g, const AttrValue& a);

int setAttrChar(CdfgGraph& g, NodeId id, std::uint32_t attr, std::int8_t value);
int setAttrInt(CdfgGraph& g, NodeId id, std::uint32_t attr, std::uint32_t value);
int setAttrLongLong(CdfgGraph& g, NodeId id, std::uint32_t attr, std::int64_t value);
int setAttrDouble(CdfgGraph& g, NodeId id, std::uint32_t attr, double value);
int setAttrNode(CdfgGraph& g, NodeId id, std::uint32_t attr, NodeId value);
// Fails (-1) when the identifier already holds a value of another kind.
// nullptr stores "no text".
int setAttrString(CdfgGraph& g, NodeId id, std::uint32_t attr, const char* text);
int setAttrString(CdfgGraph& g, NodeId id, std::uint32_t attr, std::string_view text);
// Stores a value of any kind with raw bits (the reader and the text assembler).
int setAttrRaw(CdfgGraph& g, NodeId id, std::uint32_t attr, std::uint32_t valueKind,
               std::uint64_t bits);

// Frees the node; its id then finds nothing. The node keeps its place in the
// node list but is no longer written.
void deleteNode(CdfgGraph& g, NodeId id);
// Frees the node and, first, the nodes its ATTR_NODE attributes own (cross
// references such as a variable's declaration are not followed).
void deleteNodeTree(CdfgGraph& g, NodeId id);
void freeGraph(std::unique_ptr<CdfgGraph> g);
// True when the attribute of a node of this kind only points at another node
// instead of owning it.
bool isCrossReference(std::uint32_t kind, std::uint32_t attr);

static_assert(sizeof(CdfgNode) == 32, "two node records to a cache line");

// ---- Accessors of every node visit, inline so that a walk's step is a few
// loads instead of calls ----

namespace cdfg_detail {
// Lookup through the id pages (ids not in list order).
const CdfgNode* lookupPaged(const CdfgGraph& g, NodeId id);

TAVIK_ALWAYS_INLINE const CdfgNode* live(const CdfgGraph& g, NodeId id) {
    if (g.denseIds) {
        // Id 0 wraps around and fails the bound.
        if (static_cast<std::uint32_t>(id - 1u) >= g.nodes.size()) return nullptr;
        const CdfgNode& node = g.nodes[id - 1u];
        // Walks mostly go through the records in list order, but by their
        // links: the hardware sees no stream to fetch ahead.
        prefetchPast(&node, kLookAhead);
        prefetchPast(g.attrs.data() + node.attrBegin, kLookAhead);
        return node.id == id ? &node : nullptr;
    }
    return lookupPaged(g, id);
}

// findAttr for identifiers from kOddAttrId up.
const CdfgAttr* findOddAttr(const CdfgGraph& g, const CdfgNode& node, std::uint32_t attr);
// What getAttrInt reads from an attribute stored apart.
std::uint32_t wideInt(const CdfgGraph& g, const CdfgAttr& a);

TAVIK_ALWAYS_INLINE const CdfgAttr* findAttr(const CdfgGraph& g, const CdfgNode& node, std::uint32_t attr) {
    if (attr >= kOddAttrId) [[unlikely]]
        return findOddAttr(g, node, attr);
    const CdfgAttr* first = g.attrs.data() + node.attrBegin;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i)
        if (first[i].id == attr) return first + i;
    return nullptr;
}

// The stored form of an attribute whose value fits beside it; false for one
// that storeAttr keeps apart.
TAVIK_ALWAYS_INLINE bool narrowAttr(const AttrValue& a, CdfgAttr& stored) {
    if (a.id >= kOddAttrId) return false;
    const auto low = static_cast<std::uint32_t>(a.bits);
    std::uint64_t expected = low;
    switch (a.valueKind) {
        case ATTR_CHAR:
        case ATTR_LONGLONG:
            expected = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(low)));
            break;
        case 0:
        case ATTR_INT:
        case ATTR_STRING:
        case ATTR_NODE: break;
        default: return false;
    }
    if (a.bits != expected) return false;
    stored.id = a.id;
    stored.code = a.valueKind;
    stored.value = low;
    return true;
}

// The stored form of an attribute whose 64-bit value goes at `index` of a
// list of values kept apart; false for one such a list does not take.
TAVIK_ALWAYS_INLINE bool wideAttr(const AttrValue& a, std::size_t index, CdfgAttr& stored) {
    if (a.id >= kOddAttrId || (a.valueKind != ATTR_LONGLONG && a.valueKind != ATTR_FLOAT) || index >= UINT32_MAX)
        return false;
    stored.id = a.id;
    stored.code = kAttrWide | a.valueKind;
    stored.value = static_cast<std::uint32_t>(index);
    return true;
}

// getAttrInt's value of an attribute: its low 32 bits, 0 for a text.
TAVIK_ALWAYS_INLINE std::uint32_t intOf(const CdfgGraph& g, const CdfgAttr& a) {
    if (a.code < kAttrWide) [[likely]]
        return a.code == ATTR_STRING ? 0 : a.value;
    return wideInt(g, a);
}
}  // namespace cdfg_detail

TAVIK_ALWAYS_INLINE const CdfgNode* lookupNode(const CdfgGraph& g, NodeId id) { return cdfg_detail::live(g, id); }
TAVIK_ALWAYS_INLINE CdfgNode* lookupNode(CdfgGraph& g, NodeId id) {
    return const_cast<CdfgNode*>(cdfg_detail::live(g, id));
}

TAVIK_ALWAYS_INLINE std::uint32_t getKind(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? node->kind : 0;
}
TAVIK_ALWAYS_INLINE NodeId getPrevId(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? node->prev : 0;
}
TAVIK_ALWAYS_INLINE NodeId getNextId(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? node->next : 0;
}
TAVIK_ALWAYS_INLINE NodeId getJumpId(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? node->jump : 0;
}
TAVIK_ALWAYS_INLINE std::uint32_t getMark(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? node->mark : 0;
}

// Two passes that run at the same time share the mark word, each in bits of
// its own (kMarkLow, kMarkHigh), read and changed atomically so that neither
// loses the other's. The bits of a node without a live record read as 0.
inline constexpr std::uint32_t kMarkHigh = 0x80000000u;
inline constexpr std::uint32_t kMarkLow = 0x7fffffffu;
TAVIK_ALWAYS_INLINE std::uint32_t markBits(const CdfgNode& node, std::uint32_t bits) {
    return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(node.mark)).load(std::memory_order_relaxed) &
           bits;
}
TAVIK_ALWAYS_INLINE std::uint32_t getMarkBits(const CdfgGraph& g, NodeId id, std::uint32_t bits) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? markBits(*node, bits) : 0;
}
inline void setMarkBits(CdfgGraph& g, NodeId id, std::uint32_t bits, std::uint32_t value) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    if (!node) return;
    std::atomic_ref<std::uint32_t> mark(const_cast<std::uint32_t&>(node->mark));
    // One locked operation where one does: each is a barrier to the loads
    // after it, which a loop over many records then waits for.
    const std::uint32_t set = value & bits;
    if (set != bits) mark.fetch_and(~bits | set, std::memory_order_relaxed);
    if (set != 0) mark.fetch_or(set, std::memory_order_relaxed);
}

TAVIK_ALWAYS_INLINE std::uint32_t getAttrCount(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    return node ? node->attrCnt : 0;
}

TAVIK_ALWAYS_INLINE std::uint32_t getAttrInt(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    const CdfgNode* node = cdfg_detail::live(g, id);
    if (!node) return 0;
    const CdfgAttr* a = cdfg_detail::findAttr(g, *node, attr);
    return a ? cdfg_detail::intOf(g, *a) : 0;
}
TAVIK_ALWAYS_INLINE std::int32_t getAttrSigned(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    return static_cast<std::int32_t>(getAttrInt(g, id, attr));
}
TAVIK_ALWAYS_INLINE std::int32_t getAttrChar(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    return static_cast<std::int8_t>(getAttrInt(g, id, attr) & 0xff);
}
