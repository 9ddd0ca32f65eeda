#include "cdfg/graph.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

CdfgNode* liveNode(CdfgGraph& g, NodeId id) { return lookupNode(g, id); }

void registerId(CdfgGraph& g, NodeId id, std::uint32_t position) {
    std::uint32_t page = id >> kIdPageBits;
    if (page >= g.idPages.size()) g.idPages.resize(page + 1);
    if (!g.idPages[page]) g.idPages[page] = std::make_unique<std::uint32_t[]>(kIdPageSize);
    g.idPages[page][id & (kIdPageSize - 1)] = position;
}

const CdfgNode* liveNode(const CdfgGraph& g, NodeId id) { return lookupNode(g, id); }

// The node's record will be encoded anew instead of copied from the source.
void touch(CdfgGraph& g, const CdfgNode& node) {
    const std::size_t at = static_cast<std::size_t>(&node - g.nodes.data());
    if (const std::size_t block = at / kSpanBlock; block < g.spanBlocks.size())
        g.spanBlocks[block].kept &= ~(std::uint64_t{1} << at % kSpanBlock);
}

CdfgPlace& placeOf(CdfgGraph& g, const CdfgNode& node) { return g.places[&node - g.nodes.data()]; }
const CdfgPlace& placeOf(const CdfgGraph& g, const CdfgNode& node) {
    return g.places[&node - g.nodes.data()];
}

using cdfg_detail::findAttr;

const CdfgAttr* findAttr(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    const CdfgNode* node = liveNode(g, id);
    return node ? findAttr(g, *node, attr) : nullptr;
}

// Appends a new attribute to the node's run, moving the run to the end of the
// shared storage when another node's run follows it.
CdfgAttr* appendAttr(CdfgGraph& g, CdfgNode& node) {
    if (node.attrBegin + node.attrCnt != g.attrs.size()) {
        std::uint32_t begin = static_cast<std::uint32_t>(g.attrs.size());
        for (std::uint32_t i = 0; i < node.attrCnt; ++i) g.attrs.push_back(g.attrs[node.attrBegin + i]);
        node.attrBegin = begin;
    }
    g.attrs.push_back(CdfgAttr{});
    ++node.attrCnt;
    return &g.attrs.back();
}

int setAttrValue(CdfgGraph& g, NodeId id, std::uint32_t attr, std::uint32_t valueKind,
                 std::uint64_t bits) {
    CdfgNode* node = liveNode(g, id);
    if (!node) return -1;
    touch(g, *node);
    const CdfgAttr stored = storeAttr(g, {attr, valueKind, bits});
    CdfgAttr* existing = const_cast<CdfgAttr*>(findAttr(g, *node, attr));
    if (!existing) existing = appendAttr(g, *node);
    *existing = stored;
    return 0;
}

std::uint64_t storeText(CdfgGraph& g, const char* text, std::size_t length) {
    if (!text) return 0;
    return g.texts.add(std::string_view(text, length));
}

int setStringValue(CdfgGraph& g, NodeId id, std::uint32_t attr, const char* text,
                   std::size_t length) {
    CdfgNode* node = liveNode(g, id);
    if (!node) return -1;
    const CdfgAttr* existing = findAttr(g, *node, attr);
    if (existing && attrValue(g, *existing).valueKind != ATTR_STRING) return -1;
    return setAttrValue(g, id, attr, ATTR_STRING, storeText(g, text, length));
}

// Cross references that a node only points at (not owned): deleting a tree
// must not follow them.
bool isPortKind(std::uint32_t kind) {
    return (kind >= DFG_INPUT_PORT && kind <= DFG_INPUT_VAR) ||
           (kind >= DFG_OUTPUT_PORT && kind <= DFG_OUTPUT_VAR);
}

}  // namespace

AttrValue attrValue(const CdfgGraph& g, const CdfgAttr& a) {
    if (a.code == kAttrOdd) return g.oddAttrs[a.value];
    if (a.code & kAttrWide) return {a.id, a.code & ~kAttrWide, g.wideBits[a.value]};
    std::uint64_t bits = a.value;
    if (a.code == ATTR_CHAR || a.code == ATTR_LONGLONG)
        bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(a.value)));
    return {a.id, a.code, bits};
}

CdfgAttr storeAttr(CdfgGraph& g, const AttrValue& a) {
    CdfgAttr stored;
    if (cdfg_detail::narrowAttr(a, stored)) return stored;
    if (cdfg_detail::wideAttr(a, g.wideBits.size(), stored)) {
        g.wideBits.push_back(a.bits);
        return stored;
    }
    if (g.oddAttrs.size() >= UINT32_MAX) throw std::bad_alloc();  // past what memory holds anyway
    stored.id = std::min(a.id, kOddAttrId);
    stored.code = kAttrOdd;
    stored.value = static_cast<std::uint32_t>(g.oddAttrs.size());
    g.oddAttrs.push_back(a);
    return stored;
}

const CdfgAttr* cdfg_detail::findOddAttr(const CdfgGraph& g, const CdfgNode& node, std::uint32_t attr) {
    const CdfgAttr* first = g.attrs.data() + node.attrBegin;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i)
        if (first[i].code == kAttrOdd && g.oddAttrs[first[i].value].id == attr) return first + i;
    return nullptr;
}

std::uint32_t cdfg_detail::wideInt(const CdfgGraph& g, const CdfgAttr& a) {
    const AttrValue v = attrValue(g, a);
    return v.valueKind == ATTR_STRING ? 0 : static_cast<std::uint32_t>(v.bits);
}

bool isCrossReference(std::uint32_t kind, std::uint32_t attr) {
    if (isPortKind(kind))
        return attr == DfgPort_DECL || attr == DfgPort_BEFOR || attr == DfgPort_PREV ||
               attr == DfgPort_NEXT || attr == DfgPort_STRPARENT;
    switch (kind) {
        case CFG_FUNCTION: return attr == CfgFunc_TYPEDEFLINK;
        case CFG_INSTANCE: return attr == CfgInstance_CELL;
        case CFG_TYPEDEF: return attr == CfgTDef_STRUCTNODE;
        case CFG_DECLARE:
            return attr == CfgDecl_FIRSTUSE || attr == CfgDecl_LASTUSE ||
                   attr == CfgDecl_STRUCTORGNODE || attr == CfgDecl_TYPEDEFLINK;
        case CFG_MEMBER: return attr == CfgMember_SIGNAL;
        case DFG_FUNC_CALL:
            return attr == DfgFuncCall_FUNC_RETDECL || attr == DfgFuncCall_FUNC_TYPEDEFLINK;
        case DFG_SPEC: return attr == DfgSpec_TYPEDEFLINK;
        case DFG_POSTFIX: return attr == DfgPostfix_STRPARENT;
        case DFG_PORT_INFO:
        case DFG_PORT_LIST: return attr == 2;
        default: return false;
    }
}

TextStore::~TextStore() {
    for (const Block& b : blocks_) HugePageAllocator<char>().deallocate(b.data, b.size);
}

// Room for the bytes in the current block, or in a new one. Blocks grow from
// 16 KiB to 2 MiB, so that a small graph stays small; a text larger than a
// quarter of the next block gets a block of its own.
char* TextStore::room(std::size_t bytes) {
    if (bytes <= left_) {
        char* at = free_;
        free_ += bytes;
        left_ -= bytes;
        return at;
    }
    const std::size_t block = std::min(std::size_t{16} << (10 + std::min<std::size_t>(blocks_.size(), 7)),
                                       std::size_t{2} << 20);
    const std::size_t size = bytes > block / 4 ? bytes : block;
    char* data = HugePageAllocator<char>().allocate(size);
    blocks_.push_back({data, size});
    if (size == block) {
        free_ = data + bytes;
        left_ = size - bytes;
    }
    return data;
}

bool TextStore::takeFrom(TextStore& other) {
    if (tailBase_ != kNoTail || other.tailBase_ == kNoTail || !other.refs_.empty() ||
        other.tailBase_ < refs_.size())
        return false;
    blocks_.reserve(blocks_.size() + other.blocks_.size());
    blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
    tail_.swap(other.tail_);
    tailBase_ = other.tailBase_;
    other.tail_.clear();
    other.blocks_.clear();
    other.tailBase_ = kNoTail;
    other.free_ = nullptr;
    other.left_ = 0;
    return true;
}

std::uint64_t TextStore::add(std::string_view text) {
    char* at = room(text.size() + 1);
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    if (tailBase_ == kNoTail) {
        refs_.push_back({at, text.size()});
        return refs_.size();
    }
    tail_.push_back({at, text.size()});
    return tailBase_ + tail_.size();
}

std::unique_ptr<CdfgGraph> newGraph() { return std::make_unique<CdfgGraph>(); }

NodeId createNodeWithId(CdfgGraph& g, NodeId id) {
    if (id == 0) return 0;
    if (g.denseIds && id != g.nodes.size() + 1) {
        // The first id out of sequence: from now on ids go through the pages.
        g.denseIds = false;
        for (std::size_t i = 0; i < g.nodes.size(); ++i)
            if (g.nodes[i].id != 0) registerId(g, g.nodes[i].id, static_cast<std::uint32_t>(i + 1));
    }
    CdfgNode node;
    node.id = id;
    node.attrBegin = static_cast<std::uint32_t>(g.attrs.size());
    g.nodes.push_back(node);
    g.places.push_back(CdfgPlace{});
    if (!g.denseIds) registerId(g, id, static_cast<std::uint32_t>(g.nodes.size()));
    g.lastId = id;
    return id;
}

NodeId createNode(CdfgGraph& g, std::uint32_t kind) {
    if (g.lastId == UINT32_MAX) return 0;
    NodeId id = createNodeWithId(g, g.lastId + 1);
    if (id) g.nodes.back().kind = kind;
    return id;
}

const CdfgNode* cdfg_detail::lookupPaged(const CdfgGraph& g, NodeId id) {
    std::uint32_t page = id >> kIdPageBits;
    if (page >= g.idPages.size() || !g.idPages[page]) return nullptr;
    std::uint32_t slot = g.idPages[page][id & (kIdPageSize - 1)];
    if (slot == 0) return nullptr;
    const CdfgNode& node = g.nodes[slot - 1];
    return node.id == id ? &node : nullptr;
}

void markEdited(CdfgGraph& g, const CdfgNode& node) { touch(g, node); }

NodeId findRoot(const CdfgGraph& g) {
    for (const CdfgNode& node : g.nodes)
        if (node.id != 0 && node.kind == CFG_ROOT) return node.id;
    return 0;
}

// written: the field is part of the node's record in a file.
#define TAVIK_NODE_SETTER(setter, field, type, written)                      \
    int setter(CdfgGraph& g, NodeId id, type value) {                        \
        CdfgNode* node = liveNode(g, id);                                    \
        if (!node) return -1;                                                \
        if (written) touch(g, *node);                                        \
        node->field = value;                                                 \
        return 0;                                                            \
    }

TAVIK_NODE_SETTER(setKind, kind, std::uint32_t, true)
TAVIK_NODE_SETTER(setPrevId, prev, NodeId, true)
TAVIK_NODE_SETTER(setNextId, next, NodeId, true)
TAVIK_NODE_SETTER(setJumpId, jump, NodeId, true)
TAVIK_NODE_SETTER(setMark, mark, std::uint32_t, false)
#undef TAVIK_NODE_SETTER

#define TAVIK_PLACE_FIELD(getter, setter, field)                             \
    std::uint32_t getter(const CdfgGraph& g, NodeId id) {                    \
        const CdfgNode* node = liveNode(g, id);                              \
        return node ? placeOf(g, *node).field : 0;                           \
    }                                                                        \
    int setter(CdfgGraph& g, NodeId id, std::uint32_t value) {               \
        CdfgNode* node = liveNode(g, id);                                    \
        if (!node) return -1;                                                \
        touch(g, *node);                                                     \
        placeOf(g, *node).field = value;                                     \
        return 0;                                                            \
    }

TAVIK_PLACE_FIELD(getLine, setLine, line)
TAVIK_PLACE_FIELD(getColumn, setColumn, column)
#undef TAVIK_PLACE_FIELD

const char* getFileName(const CdfgGraph& g, NodeId id) {
    const CdfgNode* node = liveNode(g, id);
    if (!node) return nullptr;
    std::uint32_t fileName = placeOf(g, *node).fileName;
    return fileName ? g.fileNames[fileName - 1].c_str() : nullptr;
}

std::uint32_t fileNameIndex(CdfgGraph& g, std::string_view text) {
    auto found = g.fileNameIndex.find(text);
    if (found != g.fileNameIndex.end()) return found->second;
    g.fileNames.emplace_back(text);
    std::uint32_t index = static_cast<std::uint32_t>(g.fileNames.size());
    g.fileNameIndex.emplace(std::string_view(g.fileNames.back()), index);
    return index;
}

int setFileName(CdfgGraph& g, NodeId id, std::string_view text) {
    CdfgNode* node = liveNode(g, id);
    if (!node) return -1;
    touch(g, *node);
    placeOf(g, *node).fileName = fileNameIndex(g, text);
    return 0;
}

int setFileName(CdfgGraph& g, NodeId id, const char* text) {
    if (text) return setFileName(g, id, std::string_view(text));
    CdfgNode* node = liveNode(g, id);
    if (!node) return -1;
    touch(g, *node);
    placeOf(g, *node).fileName = 0;
    return 0;
}

std::int64_t getAttrLongLong(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    const CdfgAttr* a = findAttr(g, id, attr);
    if (!a) return 0;
    const AttrValue v = attrValue(g, *a);
    return v.valueKind == ATTR_STRING ? 0 : static_cast<std::int64_t>(v.bits);
}

double getAttrDouble(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    const CdfgAttr* a = findAttr(g, id, attr);
    if (!a) return 0.0;
    const AttrValue v = attrValue(g, *a);
    if (v.valueKind != ATTR_FLOAT) return 0.0;
    double value;
    std::memcpy(&value, &v.bits, sizeof value);
    return value;
}

std::string_view getAttrText(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    const CdfgAttr* a = findAttr(g, id, attr);
    if (!a) return {};
    if (a->code == ATTR_STRING) return a->value ? g.texts[a->value] : std::string_view();
    const AttrValue v = attrValue(g, *a);
    if (v.valueKind != ATTR_STRING || v.bits == 0) return {};
    return g.texts[v.bits];
}

const char* getAttrString(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    // Every stored text is followed by a NUL.
    return getAttrText(g, id, attr).data();
}

std::uint32_t getAttrKind(const CdfgGraph& g, NodeId id, std::uint32_t attr) {
    const CdfgAttr* a = findAttr(g, id, attr);
    return a ? attrValue(g, *a).valueKind : 0;
}

AttrValue getAttrAt(const CdfgGraph& g, NodeId id, std::uint32_t n) {
    const CdfgNode* node = liveNode(g, id);
    if (!node || n == 0 || n > node->attrCnt) return {};
    return attrValue(g, g.attrs[node->attrBegin + n - 1]);
}

std::uint32_t getAttrKindAt(const CdfgGraph& g, NodeId id, std::uint32_t n) { return getAttrAt(g, id, n).valueKind; }

std::uint32_t getAttrIdAt(const CdfgGraph& g, NodeId id, std::uint32_t n) { return getAttrAt(g, id, n).id; }

int setAttrChar(CdfgGraph& g, NodeId id, std::uint32_t attr, std::int8_t value) {
    return setAttrValue(g, id, attr, ATTR_CHAR,
                        static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}

int setAttrInt(CdfgGraph& g, NodeId id, std::uint32_t attr, std::uint32_t value) {
    return setAttrValue(g, id, attr, ATTR_INT, value);
}

int setAttrLongLong(CdfgGraph& g, NodeId id, std::uint32_t attr, std::int64_t value) {
    return setAttrValue(g, id, attr, ATTR_LONGLONG, static_cast<std::uint64_t>(value));
}

int setAttrDouble(CdfgGraph& g, NodeId id, std::uint32_t attr, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return setAttrValue(g, id, attr, ATTR_FLOAT, bits);
}

int setAttrNode(CdfgGraph& g, NodeId id, std::uint32_t attr, NodeId value) {
    return setAttrValue(g, id, attr, ATTR_NODE, value);
}

int setAttrString(CdfgGraph& g, NodeId id, std::uint32_t attr, const char* text) {
    return setStringValue(g, id, attr, text, text ? std::strlen(text) : 0);
}

int setAttrString(CdfgGraph& g, NodeId id, std::uint32_t attr, std::string_view text) {
    return setStringValue(g, id, attr, text.data() ? text.data() : "", text.size());
}

int setAttrRaw(CdfgGraph& g, NodeId id, std::uint32_t attr, std::uint32_t valueKind,
               std::uint64_t bits) {
    if (valueKind == ATTR_STRING) return -1;
    return setAttrValue(g, id, attr, valueKind, bits);
}

void deleteNode(CdfgGraph& g, NodeId id) {
    CdfgNode* node = liveNode(g, id);
    if (!node) return;
    touch(g, *node);
    node->id = 0;
    node->attrCnt = 0;
    placeOf(g, *node).fileName = 0;
}

void deleteNodeTree(CdfgGraph& g, NodeId id) {
    // An explicit stack: owned subtrees can nest deeper than the call stack allows.
    std::vector<NodeId> pending{id};
    while (!pending.empty()) {
        NodeId current = pending.back();
        pending.pop_back();
        const CdfgNode* node = liveNode(g, current);
        if (!node) continue;
        std::uint32_t kind = node->kind;
        for (std::uint32_t i = 0; i < node->attrCnt; ++i) {
            const AttrValue a = attrValue(g, g.attrs[node->attrBegin + i]);
            if (a.valueKind == ATTR_NODE && a.bits != current && !isCrossReference(kind, a.id))
                pending.push_back(static_cast<NodeId>(a.bits));
        }
        deleteNode(g, current);
    }
}

void freeGraph(std::unique_ptr<CdfgGraph> g) { g.reset(); }
