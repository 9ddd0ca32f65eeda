#include "cdfg/reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#if defined(__unix__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The whole input in memory: a private read-only mapping of the file when it
// can be mapped, else a copy made by reading it.
struct MappedBytes : SourceBytes {
    ~MappedBytes() override {
#if defined(__unix__)
        if (data) ::munmap(const_cast<unsigned char*>(data), size);
#endif
    }
};

struct CopiedBytes : SourceBytes {
    std::vector<unsigned char> bytes;
};

// Bytes of the records, taken from memory. Once a read runs past the end,
// every later read fails too, as with a stream that has met its end.
class Cursor {
public:
    Cursor(const unsigned char* data, std::size_t size) : p_(data), begin_(data), end_(data + size) {}

    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin_); }

    bool readU32(std::uint32_t& value) {
        if (end_ - p_ < 4) return fail();
        value = (std::uint32_t{p_[0]} << 24) | (std::uint32_t{p_[1]} << 16) |
                (std::uint32_t{p_[2]} << 8) | p_[3];
        p_ += 4;
        return true;
    }

    bool readU64(std::uint64_t& value) {
        std::uint32_t high, low;
        if (!readU32(high) || !readU32(low)) return false;
        value = (std::uint64_t{high} << 32) | low;
        return true;
    }

    bool readByte(std::int8_t& value) {
        if (p_ == end_) return false;
        value = static_cast<std::int8_t>(*p_++);
        return true;
    }

    // A text field: 16-bit length, then the bytes.
    bool readText(std::string_view& text) {
        if (end_ - p_ < 2) return fail();
        std::size_t length = (std::size_t{p_[0]} << 8) | p_[1];
        if (static_cast<std::size_t>(end_ - p_ - 2) < length) return fail();
        text = std::string_view(reinterpret_cast<const char*>(p_ + 2), length);
        p_ += 2 + length;
        return true;
    }

private:
    // A short read consumes what was left.
    bool fail() {
        p_ = end_;
        return false;
    }

    const unsigned char* p_;
    const unsigned char* begin_;
    const unsigned char* end_;
};

// Adds an attribute to the node just read. Its attributes are the last run
// of the storage, so this appends; an identifier listed twice in a record
// keeps the last value, as the setters do. False when the record does not
// read back as it was written (a repeated identifier).
bool addReadAttr(CdfgGraph& g, CdfgNode& node, std::uint32_t attr, std::uint32_t valueKind,
                 std::uint64_t bits) {
    CdfgAttr* first = g.attrs.data() + node.attrBegin;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        if (first[i].id != attr) continue;
        // A text never replaces a value of another kind.
        if (valueKind == ATTR_STRING && first[i].valueKind != ATTR_STRING) return false;
        first[i].valueKind = valueKind;
        first[i].bits = bits;
        return false;
    }
    g.attrs.push_back({attr, valueKind, bits});
    ++node.attrCnt;
    return true;
}

// The span of a record that the writer may copy as it is, 0 when it must be
// encoded anew.
std::uint64_t spanOf(std::size_t begin, std::size_t end, bool exact) {
    std::size_t length = end - begin;
    if (!exact || length > kMaxSpanLength || begin > kMaxSpanOffset) return 0;
    return (std::uint64_t{begin} << kSpanLengthBits) | length;
}

void readRecords(Cursor& in, CdfgGraph& g) {
    std::uint32_t lastFileName = 0;
    for (;;) {
        const std::size_t recordBegin = in.offset();
        std::uint32_t id, kind, prev, next, jump, count;
        if (!in.readU32(id)) return;
        if (!in.readU32(kind) || !in.readU32(prev) || !in.readU32(next) || !in.readU32(jump))
            return;
        const bool made = createNodeWithId(g, id) != 0;
        CdfgNode ignored;  // takes the fields of a record whose node cannot be made
        CdfgNode* node = made ? &g.nodes.back() : &ignored;
        if (made) g.sourceSpans.push_back(0);
        node->kind = kind;
        node->prev = prev;
        node->next = next;
        node->jump = jump;
        if (!in.readU32(count)) return;
        // Written back byte for byte only when every attribute is kept as read.
        bool exact = static_cast<std::int32_t>(count) >= 0;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(count); ++i) {
            std::uint32_t attr, valueKind;
            if (!in.readU32(attr) || !in.readU32(valueKind)) break;
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
                    if (made) {
                        g.texts.emplace_back(text);
                        bits = g.texts.size();
                    }
                    break;
                }
                default:  // no value bytes, no attribute
                    exact = false;
                    continue;
            }
            if (made && !addReadAttr(g, *node, attr, valueKind, bits)) exact = false;
        }
        std::string_view fileName;
        std::uint32_t line, column;
        if (!in.readText(fileName)) return;
        if (!in.readU32(line) || !in.readU32(column)) return;
        if (!made) continue;
        CdfgPlace& place = g.places.back();
        if (!fileName.empty()) {
            // Consecutive records nearly always name the same file.
            if (lastFileName != 0 && g.fileNames[lastFileName - 1] == fileName)
                place.fileName = lastFileName;
            else
                place.fileName = lastFileName = fileNameIndex(g, fileName);
        }
        place.line = line;
        place.column = column;
        g.sourceSpans.back() = spanOf(recordBegin, in.offset(), exact && node->attrCnt == count);
    }
}

// Room for every record the bytes can hold, so the node and attribute
// storage never moves while reading; untouched reserved pages cost nothing.
void reserveFor(CdfgGraph& g, std::size_t bytes) {
    g.nodes.reserve(bytes / 34 + 1);
    g.places.reserve(bytes / 34 + 1);
    g.sourceSpans.reserve(bytes / 34 + 1);
    g.attrs.reserve(bytes / 9 + 1);
}

std::unique_ptr<CdfgGraph> readSource(std::unique_ptr<SourceBytes> source) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    reserveFor(*g, source->size);
    Cursor in(source->data, source->size);
    readRecords(in, *g);
    g->source = std::move(source);
    return g;
}

// The file's bytes by reading it to its end (a pipe or other file that
// cannot be mapped).
std::unique_ptr<SourceBytes> readWhole(std::FILE* file) {
    auto copy = std::make_unique<CopiedBytes>();
    std::size_t used = 0;
    copy->bytes.resize(std::size_t{1} << 16);
    for (;;) {
        if (used == copy->bytes.size()) copy->bytes.resize(used * 2);
        std::size_t got = std::fread(copy->bytes.data() + used, 1, copy->bytes.size() - used, file);
        if (got == 0) break;
        used += got;
    }
    copy->bytes.resize(used);
    copy->data = copy->bytes.data();
    copy->size = used;
    return copy;
}

#if defined(__unix__)
std::unique_ptr<SourceBytes> mapWhole(int fd) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return nullptr;
    std::size_t size = static_cast<std::size_t>(info.st_size);
    int flags = MAP_PRIVATE;
#if defined(MAP_POPULATE)
    flags |= MAP_POPULATE;  // the whole file is read anyway: map it in one go
#endif
    void* p = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
    if (p == MAP_FAILED) return nullptr;
    auto mapped = std::make_unique<MappedBytes>();
    mapped->data = static_cast<const unsigned char*>(p);
    mapped->size = size;
    return mapped;
}
#endif

}  // namespace

std::unique_ptr<CdfgGraph> readCdfg(const char* path) {
    if (!path) return nullptr;
    // Closed however the read ends (a memory failure of the in-process run unwinds).
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) return nullptr;
    std::unique_ptr<SourceBytes> source;
#if defined(__unix__)
    source = mapWhole(::fileno(file.get()));
#endif
    if (!source) source = readWhole(file.get());
    return readSource(std::move(source));
}

std::unique_ptr<CdfgGraph> readCdfgBytes(const unsigned char* data, std::size_t size) {
    auto copy = std::make_unique<CopiedBytes>();
    copy->bytes.assign(data, data + size);
    copy->data = copy->bytes.data();
    copy->size = size;
    return readSource(std::move(copy));
}
