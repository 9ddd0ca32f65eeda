#include "cdfg/reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "util/files.h"
#include "util/large_stack.h"

namespace {

// Records of unchanged nodes are copied from the file the graph was read
// from, which stays open for as long as the graph lives.
class FileBytes : public SourceBytes {
public:
    explicit FileBytes(std::unique_ptr<std::FILE, int (*)(std::FILE*)> file) : file_(std::move(file)) {}

    bool append(std::uint64_t offset, std::size_t size, std::string& out) const override {
        std::size_t at = out.size();
        out.resize(at + size);
        return readAt(offset, out.data() + at, size);
    }

    bool writeTo(std::uint64_t offset, std::size_t size, int fd) const override {
#if defined(__linux__)
        // In the kernel, from the file's cached pages to the new file's, as cp does.
        loff_t from = static_cast<loff_t>(offset);
        while (size > 0) {
            ssize_t copied = ::copy_file_range(::fileno(file_.get()), &from, fd, nullptr, size, 0);
            if (copied <= 0) break;
            size -= static_cast<std::size_t>(copied);
        }
        offset = static_cast<std::uint64_t>(from);
#endif
        // Elsewhere, or where the kernel cannot copy between these files.
        std::vector<char> buffer(std::min<std::size_t>(size, std::size_t{1} << 20));
        while (size > 0) {
            std::size_t chunk = std::min(size, buffer.size());
            if (!readAt(offset, buffer.data(), chunk) || writeAll(fd, buffer.data(), chunk) != chunk) return false;
            offset += chunk;
            size -= chunk;
        }
        return true;
    }

    int descriptor() const override { return ::fileno(file_.get()); }

private:
    bool readAt(std::uint64_t offset, char* to, std::size_t size) const {
        while (size > 0) {
            ssize_t got = ::pread(::fileno(file_.get()), to, size, static_cast<off_t>(offset));
            if (got <= 0) return false;
            to += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

// A copy of bytes handed over in memory.
class MemoryBytes : public SourceBytes {
public:
    MemoryBytes(const unsigned char* data, std::size_t size) : bytes_(data, data + size) {}

    bool append(std::uint64_t offset, std::size_t size, std::string& out) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
        out.append(reinterpret_cast<const char*>(bytes_.data() + offset), size);
        return true;
    }

    bool writeTo(std::uint64_t offset, std::size_t size, int fd) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
        return writeAll(fd, bytes_.data() + offset, size) == size;
    }

private:
    std::vector<unsigned char> bytes_;
};

// The bytes of the file in one piece: a mapping of a regular file, or a
// buffer that holds what a pipe delivered. Once a read runs past the end,
// every later read fails too.
class ByteSource {
public:
    ByteSource(const unsigned char* data, std::size_t size, std::size_t start = 0)
        : data_(data), pos_(std::min(start, size)), end_(size) {}

    // Bytes consumed so far.
    std::uint64_t offset() const { return pos_; }

    static std::uint32_t word(const unsigned char* p) {
        return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    }

    // The next n bytes, consumed, when that many are left; nullptr (nothing
    // consumed) otherwise. Fields read together this way are checked once.
    const unsigned char* take(std::size_t n) {
        if (end_ - pos_ < n) return nullptr;
        const unsigned char* p = data_ + pos_;
        pos_ += n;
        return p;
    }

    bool readU32(std::uint32_t& value) {
        if (end_ - pos_ < 4) return fail();
        value = word(data_ + pos_);
        pos_ += 4;
        return true;
    }

    bool readU64(std::uint64_t& value) {
        std::uint32_t high, low;
        if (!readU32(high) || !readU32(low)) return false;
        value = (std::uint64_t{high} << 32) | low;
        return true;
    }

    bool readByte(std::int8_t& value) {
        if (pos_ == end_) return false;
        value = static_cast<std::int8_t>(data_[pos_++]);
        return true;
    }

    // Goes back to an offset already consumed.
    void rewind(std::uint64_t offset) { pos_ = static_cast<std::size_t>(offset); }

    // A text field: 16-bit length, then the bytes. The view lies in the
    // source's bytes.
    bool readText(std::string_view& text) {
        if (end_ - pos_ < 2) return fail();
        std::size_t length = (std::size_t{data_[pos_]} << 8) | data_[pos_ + 1];
        pos_ += 2;
        if (end_ - pos_ < length) return fail();
        text = std::string_view(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length;
        return true;
    }

private:
    // What is left of a short field is consumed, as a stream would.
    bool fail() {
        pos_ = end_;
        return false;
    }

    const unsigned char* data_;
    std::size_t pos_;
    std::size_t end_;
};

// A regular file mapped for reading. Pages already parsed are given back as
// the reading goes on, so the mapping adds a window, not the whole file, to
// the process's memory. Two readers may work on it, each giving back windows
// of its own range only.
class FileMapping {
public:
    // A multiple of any page size; two readers hold one each.
    static constexpr std::size_t kWindow = std::size_t{16} << 20;

    // Pages are asked for this far ahead of the reader, in one call: faulting
    // them in one by one as the reader comes to them costs more. A multiple
    // of any page size.
    static constexpr std::size_t kAhead = std::size_t{4} << 20;

    // What one reader has given back, [from, released), and asked for ahead,
    // [.., populated), of its range [from, limit).
    struct Range {
        std::size_t released;
        std::size_t limit;
        std::size_t populated;
    };

    FileMapping(int fd, std::size_t size) : size_(size) {
        first_ = {0, size, 0};
        second_ = {size, size, size};
        if (size == 0) return;
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) return;
        base_ = static_cast<unsigned char*>(p);
    }
    ~FileMapping() {
        for (const Range& r : {first_, second_})
            if (base_ && r.released < r.limit) ::munmap(base_ + r.released, r.limit - r.released);
    }
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    const unsigned char* data() const { return base_; }
    std::size_t size() const { return size_; }
    bool mapped() const { return base_ != nullptr || size_ == 0; }

    // Splits the file into two ranges at the window boundary at or after
    // offset; the second reader gives back windows from there on.
    void splitAt(std::size_t offset) {
        const std::size_t at = std::min(size_, (offset + kWindow - 1) / kWindow * kWindow);
        first_.limit = at;
        second_ = {at, size_, at};
    }
    Range& first() { return first_; }
    Range& second() { return second_; }

    // The reader of the range is at offset: asks for the pages ahead of it,
    // and gives back the whole windows below it once a window's worth has
    // been read past.
    void readerAt(Range& r, std::uint64_t offset) {
        if (!base_) return;
        // Without it the reader waits for memory at the start of every page.
        cdfg_detail::prefetchPast(base_ + offset, cdfg_detail::kLookAhead);
        if (offset + kAhead / 2 >= r.populated && r.populated < r.limit) {
            r.populated = std::max(r.populated, static_cast<std::size_t>(offset) / kAhead * kAhead);
            const std::size_t n = std::min(kAhead, r.limit - r.populated);
#ifdef MADV_POPULATE_READ
            // Older kernels refuse it; the pages then fault in as read.
            ::madvise(base_ + r.populated, n, MADV_POPULATE_READ);
#endif
            r.populated += n;
        }
        if (offset < r.released + kWindow) return;
        const std::size_t upTo = std::min(static_cast<std::size_t>(offset) / kWindow * kWindow, r.limit);
        if (upTo <= r.released) return;
        ::munmap(base_ + r.released, upTo - r.released);
        r.released = upTo;
    }

private:
    unsigned char* base_ = nullptr;
    std::size_t size_;
    Range first_;
    Range second_;
};

// The span of a record that the writer may copy as it is, 0 when it must be
// encoded anew.
std::uint64_t spanOf(std::uint64_t begin, std::uint64_t end, bool exact) {
    std::uint64_t length = end - begin;
    if (!exact || length > kMaxSpanLength || begin > kMaxSpanOffset) return 0;
    return (begin << kSpanLengthBits) | length;
}

// Notes where the records of the nodes read lie, one list position after
// another, and stores it a block at a time (SpanBlock).
class SpanRecorder {
public:
    // The block being filled, until it is stored.
    struct Open {
        static constexpr std::size_t kNone = SIZE_MAX;
        std::size_t block = kNone;
        std::size_t last = 0;     // the last position noted
        unsigned first = 0;       // the first position noted, within the block
        bool scattered = false;   // a record that does not follow the one before
        std::uint64_t begin = 0;  // where the first position's record begins
        std::uint64_t end = 0;    // where the last one's ends
        std::uint64_t kept = 0;
    };

    // Blocks go to blocks[block - base]. With a head, a first block that
    // starts past its first position is kept open for the reader of the
    // positions before it.
    explicit SpanRecorder(std::vector<SpanBlock>& blocks, std::size_t base = 0, bool head = false)
        : blocks_(blocks), base_(base), keepHead_(head) {}

    void note(std::size_t position, std::uint64_t begin, std::uint64_t end, bool exact) {
        const std::size_t block = position / kSpanBlock;
        const unsigned k = static_cast<unsigned>(position % kSpanBlock);
        if (block != open_.block) {
            store();
            open_ = Open{block, position, k, false, begin, end, 0};
        } else if (position != open_.last + 1 || begin != open_.end) {
            open_.scattered = true;
        }
        open_.end = end;
        open_.last = position;
        if (spanOf(begin, end, exact) != 0) open_.kept |= std::uint64_t{1} << k;
    }

    // Takes in the block another recorder kept open as its head: the same
    // block as this one's open block, its positions following this one's.
    void join(const Open& head) {
        if (head.block == Open::kNone) return;
        if (head.block != open_.block) {
            store();
            open_ = head;
            return;
        }
        if (head.first != open_.last % kSpanBlock + 1 || head.begin != open_.end || head.scattered)
            open_.scattered = true;
        open_.end = head.end;
        open_.last = head.last;
        open_.kept |= head.kept;
    }

    // Stores the open block. One whose records do not follow one another from
    // its first position (only in a damaged file) keeps none: its records are
    // encoded anew, which gives the same bytes.
    void store() {
        const Open& o = open_;
        if (o.block == Open::kNone) return;
        if (keepHead_ && o.first != 0 && o.block == base_) {
            head_ = o;
            ++base_;
        } else {
            const std::size_t at = o.block - base_;
            if (blocks_.size() <= at) blocks_.resize(at + 1);
            blocks_[at] = o.scattered || o.first != 0 ? SpanBlock{} : SpanBlock{o.begin, o.end, o.kept};
        }
        open_.block = Open::kNone;
    }

    const Open& head() const { return head_; }
    std::size_t base() const { return base_; }

private:
    std::vector<SpanBlock>& blocks_;
    std::size_t base_;
    bool keepHead_;
    Open open_;
    Open head_;
};

// Where readRecords puts the records: the graph itself, appended to its
// arrays (below a limit while a second reader fills what lies past it).
class GraphSink {
public:
    GraphSink(CdfgGraph& g, SpanRecorder& spans, std::size_t nodeLimit = SIZE_MAX, std::size_t attrLimit = SIZE_MAX)
        : g_(g), spans_(spans), nodeLimit_(nodeLimit), attrLimit_(attrLimit) {}

    // Room for one more node with at most that many attributes.
    bool room(std::uint32_t attrs) const {
        return g_.nodes.size() < nodeLimit_ && attrLimit_ - g_.attrs.size() >= attrs;
    }
    // The node for the record with this id, nullptr when none can be made.
    CdfgNode* node(NodeId id) {
        if (createNodeWithId(g_, id) == 0) return nullptr;
        return &g_.nodes.back();
    }
    CdfgAttr* attrs() { return g_.attrs.data(); }
    void addAttr(CdfgNode& node, const AttrValue& a) {
        CdfgAttr stored;
        if (!cdfg_detail::narrowAttr(a, stored)) stored = storeAttr(g_, a);
        g_.attrs.push_back(stored);
        ++node.attrCnt;
    }
    AttrValue valueOf(const CdfgAttr& a) const { return attrValue(g_, a); }
    CdfgAttr store(const AttrValue& a) { return storeAttr(g_, a); }
    void repeatedAttr() {}
    std::uint64_t text(std::string_view t) { return g_.texts.add(t); }
    std::uint32_t fileName(std::string_view name) {
        // Consecutive records nearly always name the same file.
        if (last_ == 0 || g_.fileNames[last_ - 1] != name) last_ = fileNameIndex(g_, name);
        return last_;
    }
    void finish(const CdfgPlace& place, std::uint64_t begin, std::uint64_t end, bool exact) {
        g_.places.back() = place;
        spans_.note(g_.nodes.size() - 1, begin, end, exact);
    }

private:
    CdfgGraph& g_;
    SpanRecorder& spans_;
    std::size_t nodeLimit_;
    std::size_t attrLimit_;
    std::uint32_t last_ = 0;
};

// The second half of a file, read on another thread straight into the
// graph's storage past what the first half can fill: its nodes from the list
// index its first id gives (the ids of a front end's file are the list
// positions), its attributes from a bound on those of the first half. Its
// texts and file names are its own until merged. Anything that the first
// reader would have read differently (ids out of sequence, a repeated
// identifier) breaks it off, and the first reader reads the rest itself.
class alignas(64) PartSink {
public:
    // The arrays' storage is taken now: the first reader's appending changes
    // their sizes, and a second core reading those would slow both down.
    PartSink(CdfgGraph& g, NodeId firstId, std::size_t attrBase, std::size_t textRoom)
        : nodes_(g.nodes.data()),
          places_(g.places.data()),
          attrs_(g.attrs.data()),
          nodeRoom_(std::min(g.nodes.capacity(), g.places.capacity())),
          attrRoom_(g.attrs.capacity()),
          firstIndex_(firstId - 1u),
          nextId_(firstId),
          attrEnd_(attrBase),
          spans_(blocks_, firstIndex_ / kSpanBlock, true) {
        // Numbered past any text of the first half (one per attribute at
        // most), so that they keep their numbers when merged.
        texts_.numberAfter(attrBase);
        texts_.reserve(textRoom);
    }

    bool room(std::uint32_t attrs) const {
        return !broken_ && firstIndex_ + count_ < nodeRoom_ && attrEnd_ <= attrRoom_ && attrRoom_ - attrEnd_ >= attrs;
    }
    CdfgNode* node(NodeId id) {
        if (id != nextId_ || nextId_ == 0) {
            broken_ = true;
            return nullptr;
        }
        ++nextId_;
        const std::size_t index = firstIndex_ + count_++;
        CdfgNode* node = ::new (static_cast<void*>(nodes_ + index)) CdfgNode{};
        node->id = id;
        node->attrBegin = static_cast<std::uint32_t>(attrEnd_);
        // A record cut short keeps no position and is encoded anew.
        ::new (static_cast<void*>(places_ + index)) CdfgPlace{};
        current_ = index;
        return node;
    }
    CdfgAttr* attrs() { return attrs_; }
    void addAttr(CdfgNode& node, const AttrValue& a) {
        CdfgAttr stored = store(a);
        if (broken_) return;
        ::new (static_cast<void*>(attrs_ + attrEnd_)) CdfgAttr(stored);
        ++attrEnd_;
        ++node.attrCnt;
    }
    // Values that do not fit beside their attribute go into the part's own
    // list, numbered after the graph's when merged; an attribute kept whole
    // apart (never one of a front end's) breaks the part off.
    AttrValue valueOf(const CdfgAttr& a) const {
        if (a.code == (kAttrWide | ATTR_LONGLONG) || a.code == (kAttrWide | ATTR_FLOAT))
            return {a.id, a.code & ~kAttrWide, wide_[a.value]};
        return {a.id, a.code, a.value};  // only its identifier and kind are asked for
    }
    CdfgAttr store(const AttrValue& a) {
        CdfgAttr stored;
        if (cdfg_detail::narrowAttr(a, stored)) return stored;
        if (!cdfg_detail::wideAttr(a, wide_.size(), stored)) {
            broken_ = true;
            return stored;
        }
        wide_.push_back(a.bits);
        wideAttrs_.push_back(attrEnd_);
        return stored;
    }
    void repeatedAttr() { broken_ = true; }
    std::uint64_t text(std::string_view t) { return texts_.add(t); }
    std::uint32_t fileName(std::string_view name) {
        if (last_ != 0 && names_[last_ - 1] == name) return last_;
        auto found = nameIndex_.find(name);
        if (found != nameIndex_.end()) return last_ = found->second;
        names_.emplace_back(name);
        last_ = static_cast<std::uint32_t>(names_.size());
        nameIndex_.emplace(std::string_view(names_.back()), last_);
        return last_;
    }
    void finish(const CdfgPlace& place, std::uint64_t begin, std::uint64_t end, bool exact) {
        places_[current_] = place;
        spans_.note(current_, begin, end, exact);
    }
    // The part's last block is complete once its reading has ended.
    void ended() { spans_.store(); }

    bool broken() const { return broken_; }
    std::size_t firstIndex() const { return firstIndex_; }

    // Takes the part into the graph, whose own records end right before it
    // (the graph's spans as far as `spans` has noted them): the arrays grow
    // over what the part wrote, its texts join the graph's with the numbers
    // they have, its values are numbered after the graph's, its file names
    // become the graph's.
    // False, with the graph unchanged, when its values would be numbered
    // past what an attribute holds, or the first half stored more texts than
    // it has attributes (a repeated identifier stores one more).
    bool mergeInto(CdfgGraph& g, SpanRecorder& spans) {
        const std::uint64_t wideBase = g.wideBits.size();
        if (wideBase + wide_.size() > UINT32_MAX || !g.texts.takeFrom(texts_)) return false;
        const std::size_t end = firstIndex_ + count_;
        g.nodes.resize(end);
        g.places.resize(end);
        g.attrs.resize(attrEnd_);
        spans.join(spans_.head());
        spans.store();
        g.spanBlocks.resize(spans_.base());
        g.spanBlocks.insert(g.spanBlocks.end(), blocks_.begin(), blocks_.end());
        g.wideBits.insert(g.wideBits.end(), wide_.begin(), wide_.end());
        for (std::size_t at : wideAttrs_) g.attrs[at].value += static_cast<std::uint32_t>(wideBase);
        std::vector<std::uint32_t> names;
        names.reserve(names_.size());
        bool same = true;
        for (const std::string& name : names_) {
            names.push_back(fileNameIndex(g, name));
            same = same && names.back() == names.size();
        }
        if (!same)
            for (std::size_t i = firstIndex_; i < end; ++i)
                if (std::uint32_t& name = g.places[i].fileName; name != 0) name = names[name - 1];
        if (count_ > 0) g.lastId = static_cast<NodeId>(nextId_ - 1u);
        return true;
    }

private:
    CdfgNode* nodes_;
    CdfgPlace* places_;
    CdfgAttr* attrs_;
    std::size_t nodeRoom_;
    std::size_t attrRoom_;
    std::size_t firstIndex_;
    NodeId nextId_;
    std::size_t count_ = 0;
    std::size_t current_ = 0;
    std::size_t attrEnd_;
    std::vector<SpanBlock> blocks_;
    SpanRecorder spans_;
    bool broken_ = false;
    TextStore texts_;
    std::vector<std::uint64_t> wide_;
    std::vector<std::size_t> wideAttrs_;
    std::deque<std::string> names_;
    std::unordered_map<std::string_view, std::uint32_t> nameIndex_;
    std::uint32_t last_ = 0;
};

// Adds an attribute to the node just read. Its attributes are the last run
// of the storage, so this appends; an identifier listed twice in a record
// keeps the last value, as the setters do. False when the record does not
// read back as it was written (a repeated identifier).
template <typename Sink>
bool addReadAttr(Sink& sink, CdfgNode& node, const AttrValue& a) {
    CdfgAttr* first = sink.attrs() + node.attrBegin;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        const AttrValue held = sink.valueOf(first[i]);
        if (held.id != a.id) continue;
        sink.repeatedAttr();
        // A text never replaces a value of another kind.
        if (a.valueKind == ATTR_STRING && held.valueKind != ATTR_STRING) return false;
        first[i] = sink.store(a);
        return false;
    }
    sink.addAttr(node, a);
    return true;
}

// Reads records into the sink until the bytes end (true) or, at the start of
// a record, the sink has no room for it or next(offset) says stop (false; the
// source is then at that record).
template <typename Sink, typename Next>
bool readRecords(ByteSource& in, Sink& sink, Next next) {
    for (;;) {
        const std::uint64_t recordBegin = in.offset();
        if (!next(recordBegin)) return false;
        std::uint32_t id, kind, prev, next, jump, count = 0;
        const unsigned char* header = in.take(24);
        if (header) {
            id = ByteSource::word(header);
            kind = ByteSource::word(header + 4);
            prev = ByteSource::word(header + 8);
            next = ByteSource::word(header + 12);
            jump = ByteSource::word(header + 16);
            count = ByteSource::word(header + 20);
        } else if (!in.readU32(id) || !in.readU32(kind) || !in.readU32(prev) || !in.readU32(next) ||
                   !in.readU32(jump)) {
            return true;
        }
        // A record adds at most one attribute for each it counts.
        if (!sink.room(header && static_cast<std::int32_t>(count) > 0 ? count : 0)) {
            in.rewind(recordBegin);
            return false;
        }
        CdfgNode ignored;  // takes the fields of a record whose node cannot be made
        CdfgNode* made = sink.node(id);
        CdfgNode* node = made ? made : &ignored;
        node->kind = kind;
        node->prev = prev;
        node->next = next;
        node->jump = jump;
        if (!header && !in.readU32(count)) return true;
        // Written back byte for byte only when every attribute is kept as read.
        bool exact = static_cast<std::int32_t>(count) >= 0;
        // Identifiers below 64 already met in this record: the common case
        // of no repeated identifier needs no search.
        std::uint64_t seen = 0;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(count); ++i) {
            std::uint32_t attr, valueKind;
            if (const unsigned char* p = in.take(8)) {
                attr = ByteSource::word(p);
                valueKind = ByteSource::word(p + 4);
            } else if (!in.readU32(attr) || !in.readU32(valueKind)) {
                break;
            }
            std::uint64_t bits = 0;
            switch (valueKind) {
                case ATTR_CHAR: {
                    std::int8_t value;
                    if (!in.readByte(value)) continue;
                    bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
                    break;
                }
                case ATTR_INT:
                case ATTR_NODE: {
                    std::uint32_t value;
                    if (!in.readU32(value)) continue;
                    bits = value;
                    break;
                }
                case ATTR_LONGLONG:
                case ATTR_FLOAT:
                    if (!in.readU64(bits)) continue;
                    break;
                case ATTR_STRING: {
                    std::string_view text;
                    if (!in.readText(text)) continue;
                    if (made) bits = sink.text(text);
                    break;
                }
                default:  // no value bytes, no attribute
                    exact = false;
                    continue;
            }
            if (!made) continue;
            if (attr < 64 && !(seen >> attr & 1)) {
                seen |= std::uint64_t{1} << attr;
                sink.addAttr(*node, {attr, valueKind, bits});
            } else if (!addReadAttr(sink, *node, {attr, valueKind, bits})) {
                exact = false;
            }
        }
        std::string_view fileName;
        if (!in.readText(fileName)) return true;
        CdfgPlace place;
        if (made && !fileName.empty()) place.fileName = sink.fileName(fileName);
        if (const unsigned char* p = in.take(8)) {
            place.line = ByteSource::word(p);
            place.column = ByteSource::word(p + 4);
        } else if (!in.readU32(place.line) || !in.readU32(place.column)) {
            return true;
        }
        if (made) sink.finish(place, recordBegin, in.offset(), exact && node->attrCnt == count);
    }
}

// Goes over records without making nodes of them.
class SkipSink {
public:
    bool room(std::uint32_t) const { return true; }
    CdfgNode* node(NodeId) { return nullptr; }
    CdfgAttr* attrs() { return nullptr; }
    void addAttr(CdfgNode&, const AttrValue&) {}
    AttrValue valueOf(const CdfgAttr&) const { return {}; }
    CdfgAttr store(const AttrValue&) { return {}; }
    void repeatedAttr() {}
    std::uint64_t text(std::string_view) { return 0; }
    std::uint32_t fileName(std::string_view) { return 0; }
    void finish(const CdfgPlace&, std::uint64_t, std::uint64_t, bool) {}
};

// Room for every record the bytes can hold, so the node and attribute
// storage never moves while reading; untouched reserved pages cost nothing.
// (A record takes at least 34 bytes, an attribute at least 9, a text 10.)
void reserveFor(CdfgGraph& g, std::size_t bytes) {
    g.nodes.reserve(bytes / 34 + 1);
    g.places.reserve(bytes / 34 + 1);
    g.spanBlocks.reserve(bytes / 34 / kSpanBlock + 1);
    g.attrs.reserve(bytes / 9 + 1);
    g.texts.reserve(bytes / 10 + 1);
}

// Whether a run of records starts at offset: a few in a row that parse
// cleanly with ids counting up by one. Its first id in firstId.
bool recordsStartAt(const unsigned char* data, std::size_t size, std::size_t offset, NodeId& firstId) {
    constexpr int kRecords = 8;
    ByteSource in(data, size, offset);
    for (int r = 0; r < kRecords; ++r) {
        const unsigned char* header = in.take(24);
        if (!header) return false;
        const NodeId id = ByteSource::word(header);
        if (r == 0) firstId = id;
        if (id == 0 || id != firstId + static_cast<NodeId>(r)) return false;
        const std::uint32_t count = ByteSource::word(header + 20);
        if (count > 1024) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            const unsigned char* attr = in.take(8);
            if (!attr) return false;
            std::string_view text;
            switch (ByteSource::word(attr + 4)) {
                case ATTR_CHAR: if (!in.take(1)) return false; break;
                case ATTR_INT:
                case ATTR_NODE: if (!in.take(4)) return false; break;
                case ATTR_LONGLONG:
                case ATTR_FLOAT: if (!in.take(8)) return false; break;
                case ATTR_STRING: if (!in.readText(text)) return false; break;
                default: return false;
            }
        }
        std::string_view fileName;
        if (!in.readText(fileName) || !in.take(8)) return false;
    }
    return true;
}

// Where a second reader may start: the first run of records within a short
// distance of the point that shares the bytes out. The first reader's
// arriving exactly there is what proves it a record boundary; this only
// finds a likely one. The first reader appends to the graph, checking for
// room as it goes, and the second writes into room taken for it ahead: the
// first reads about a tenth slower, and so takes a little less than half.
bool findSplit(const unsigned char* data, std::size_t size, std::size_t& offset, NodeId& firstId) {
    constexpr std::size_t kSearch = 256 << 10;
    constexpr std::size_t kFirstShare = 47;  // percent
    const std::size_t from = size / 100 * kFirstShare;
    for (std::size_t at = from; at < size && at < from + kSearch; ++at) {
        if (recordsStartAt(data, size, at, firstId)) {
            offset = at;
            return true;
        }
    }
    return false;
}

// Reads the records from where the source is to its end into the graph,
// giving back the mapping's windows behind.
void readOn(ByteSource& in, CdfgGraph& g, FileMapping& mapping, SpanRecorder& spans) {
    GraphSink sink(g, spans);
    readRecords(in, sink, [&](std::uint64_t offset) {
        mapping.readerAt(mapping.first(), offset);
        return true;
    });
}

// Reads mapped bytes, the second half on another thread when the bytes are
// large enough to gain from it. The graph is the one a single reader makes.
void readMapped(CdfgGraph& g, FileMapping& mapping, int fd, std::size_t splitFrom) {
    const std::size_t size = mapping.size();
    reserveFor(g, size);
    ByteSource in(mapping.data(), size);
    std::size_t split = 0;
    NodeId firstId = 0;
    SpanRecorder spans(g.spanBlocks);
    if (size < splitFrom || !findSplit(mapping.data(), size, split, firstId)) {
        readOn(in, g, mapping, spans);
        spans.store();
        return;
    }
    mapping.splitAt(split);
    // The first half's attributes, 9 bytes each at least, end before split / 9.
    const std::size_t attrBase = split / 9 + 1;
    auto partSink = std::make_unique<PartSink>(g, firstId, attrBase, (size - split) / 10 + 1);
    PartSink& part = *partSink;
    bool partEnded = false;
    LargeStackThread second([&] {
        ByteSource rest(mapping.data(), size, split);
        partEnded = readRecords(rest, part, [&](std::uint64_t offset) {
            mapping.readerAt(mapping.second(), offset);
            return true;
        });
        part.ended();
    }, std::size_t{1} << 20);  // reading does not recurse
    GraphSink firstHalf(g, spans, part.firstIndex(), attrBase);
    const bool ended = readRecords(in, firstHalf, [&](std::uint64_t offset) {
        if (offset >= split) return false;
        mapping.readerAt(mapping.first(), offset);
        return true;
    });
    second.join();
    if (!ended && in.offset() == split && partEnded && !part.broken() && g.denseIds &&
        g.nodes.size() == part.firstIndex() && part.mergeInto(g, spans))
        return;
    // The halves do not join up: the rest is read again, from a mapping of
    // its own, since the second reader has given back pages of this one.
    if (ended) {
        spans.store();
        return;
    }
    FileMapping again(fd, size);
    if (!again.mapped()) throw std::bad_alloc();
    ByteSource rest(again.data(), size, static_cast<std::size_t>(in.offset()));
    readOn(rest, g, again, spans);
    spans.store();
}

}  // namespace

std::unique_ptr<CdfgGraph> readCdfgFile(const char* path, std::size_t splitFrom) {
    if (!path) return nullptr;
    // Closed however the read ends (a memory failure of the in-process run
    // unwinds), or once the graph is freed when it keeps the file. A
    // directory opens but is no file: it is refused like a missing one.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openForReading(path, "rb"), &std::fclose);
    if (!file) return nullptr;
    std::unique_ptr<CdfgGraph> g = newGraph();
    // A regular file is parsed in place; a pipe is taken in whole first,
    // since only a regular file's size is what reading will get.
    std::size_t fileSize = 0;
    const bool regular = regularFileSize(file.get(), fileSize);
    if (regular) {
        FileMapping mapping(::fileno(file.get()), fileSize);
        if (mapping.mapped()) {
            readMapped(*g, mapping, ::fileno(file.get()), splitFrom);
            // The records of unchanged nodes are copied from the file itself.
            g->source = std::make_unique<FileBytes>(std::move(file));
            return g;
        }
    }
    std::vector<unsigned char> bytes;
    std::size_t got = 0;
    do {
        bytes.resize(got + (std::size_t{1} << 20));
        got += std::fread(bytes.data() + got, 1, bytes.size() - got, file.get());
    } while (got == bytes.size());
    if (regular) reserveFor(*g, got);
    ByteSource in(bytes.data(), got);
    SpanRecorder spans(g->spanBlocks);
    GraphSink sink(*g, spans);
    readRecords(in, sink, [](std::uint64_t) { return true; });
    spans.store();
    // A file that can be read again lends its records to the write-back.
    if (regular)
        g->source = std::make_unique<FileBytes>(std::move(file));
    else
        g->spanBlocks.clear();
    return g;
}

std::vector<std::uint64_t> recordStarts(const unsigned char* data, std::size_t size) {
    std::vector<std::uint64_t> starts;
    ByteSource in(data, size);
    SkipSink sink;
    readRecords(in, sink, [&](std::uint64_t offset) {
        starts.push_back(offset);
        return true;
    });
    return starts;
}

std::unique_ptr<CdfgGraph> readCdfg(const char* path) { return readCdfgFile(path, kSplitReadFrom); }

std::unique_ptr<CdfgGraph> readCdfgBytes(const unsigned char* data, std::size_t size) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    reserveFor(*g, size);
    ByteSource in(data, size);
    SpanRecorder spans(g->spanBlocks);
    GraphSink sink(*g, spans);
    readRecords(in, sink, [](std::uint64_t) { return true; });
    spans.store();
    g->source = std::make_unique<MemoryBytes>(data, size);
    return g;
}
