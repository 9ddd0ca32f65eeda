#include "cdfg/reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "util/files.h"

namespace {

// Bytes of the file, delivered from a large buffer that is refilled from the
// stream (or from memory in one piece).
class ByteSource {
public:
    // The buffer holds up to 1 MiB, less for a smaller file.
    ByteSource(std::FILE* file, std::size_t fileSize)
        : file_(file), buffer_(std::clamp<std::size_t>(fileSize, 4096, std::size_t{1} << 20)) {}
    ByteSource(const unsigned char* data, std::size_t size) : data_(data), end_(size) {}

    // Copies n bytes to out; false when fewer than n are left.
    bool read(void* out, std::size_t n) {
        unsigned char* to = static_cast<unsigned char*>(out);
        while (n > 0) {
            if (pos_ == end_ && !refill()) return false;
            std::size_t chunk = std::min(n, end_ - pos_);
            std::memcpy(to, data_ + pos_, chunk);
            pos_ += chunk;
            to += chunk;
            n -= chunk;
        }
        return true;
    }

    bool readU32(std::uint32_t& value) {
        unsigned char b[4];
        if (end_ - pos_ >= 4) {
            const unsigned char* p = data_ + pos_;
            value = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                    (std::uint32_t{p[2]} << 8) | p[3];
            pos_ += 4;
            return true;
        }
        if (!read(b, 4)) return false;
        value = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                (std::uint32_t{b[2]} << 8) | b[3];
        return true;
    }

    bool readU64(std::uint64_t& value) {
        std::uint32_t high, low;
        if (!readU32(high) || !readU32(low)) return false;
        value = (std::uint64_t{high} << 32) | low;
        return true;
    }

    bool readText(std::string& text) {
        unsigned char b[2];
        if (!read(b, 2)) return false;
        std::size_t length = (std::size_t{b[0]} << 8) | b[1];
        text.resize(length);
        return read(text.data(), length);
    }

private:
    bool refill() {
        if (!file_) return false;
        std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (got == 0) return false;
        data_ = buffer_.data();
        pos_ = 0;
        end_ = got;
        return true;
    }

    std::FILE* file_ = nullptr;
    std::vector<unsigned char> buffer_;
    const unsigned char* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

// Adds an attribute to the node just read. Its attributes are the last run
// of the storage, so this appends; an identifier listed twice in a record
// keeps the last value, as the setters do.
void addReadAttr(CdfgGraph& g, CdfgNode& node, std::uint32_t attr, std::uint32_t valueKind,
                 std::uint64_t bits) {
    CdfgAttr* first = g.attrs.data() + node.attrBegin;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        if (first[i].id != attr) continue;
        // A text never replaces a value of another kind.
        if (valueKind == ATTR_STRING && first[i].valueKind != ATTR_STRING) return;
        first[i].valueKind = valueKind;
        first[i].bits = bits;
        return;
    }
    g.attrs.push_back({attr, valueKind, bits});
    ++node.attrCnt;
}

void readRecords(ByteSource& in, CdfgGraph& g) {
    std::string text;
    CdfgNode ignored;  // takes the fields of a record whose node cannot be made
    std::uint32_t lastFileName = 0;
    for (;;) {
        std::uint32_t id, kind, prev, next, jump, count;
        if (!in.readU32(id)) return;
        if (!in.readU32(kind) || !in.readU32(prev) || !in.readU32(next) || !in.readU32(jump))
            return;
        bool made = createNodeWithId(g, id) != 0;
        ignored = CdfgNode{};
        CdfgNode* node = made ? &g.nodes.back() : &ignored;
        node->kind = kind;
        node->prev = prev;
        node->next = next;
        node->jump = jump;
        if (!in.readU32(count)) return;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(count); ++i) {
            std::uint32_t attr, valueKind;
            if (!in.readU32(attr) || !in.readU32(valueKind)) break;
            switch (valueKind) {
                case ATTR_CHAR: {
                    std::int8_t value;
                    if (in.read(&value, 1) && made)
                        addReadAttr(g, *node, attr, valueKind,
                                    static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
                    break;
                }
                case ATTR_INT:
                case ATTR_NODE: {
                    std::uint32_t value;
                    if (in.readU32(value) && made) addReadAttr(g, *node, attr, valueKind, value);
                    break;
                }
                case ATTR_LONGLONG:
                case ATTR_FLOAT: {
                    std::uint64_t value;
                    if (in.readU64(value) && made) addReadAttr(g, *node, attr, valueKind, value);
                    break;
                }
                case ATTR_STRING:
                    if (in.readText(text) && made) {
                        g.texts.push_back(text);
                        addReadAttr(g, *node, attr, valueKind, g.texts.size());
                    }
                    break;
                default:  // no value bytes, no attribute
                    break;
            }
        }
        std::uint32_t line, column;
        if (!in.readText(text)) return;
        if (!in.readU32(line) || !in.readU32(column)) return;
        if (!made) continue;
        CdfgPlace& place = g.places.back();
        if (!text.empty()) {
            // Consecutive records nearly always name the same file.
            if (lastFileName != 0 && g.fileNames[lastFileName - 1] == text)
                place.fileName = lastFileName;
            else
                place.fileName = lastFileName = fileNameIndex(g, text);
        }
        place.line = line;
        place.column = column;
    }
}

// Room for every record the bytes can hold, so the node and attribute
// storage never moves while reading; untouched reserved pages cost nothing.
void reserveFor(CdfgGraph& g, std::size_t bytes) {
    g.nodes.reserve(bytes / 34 + 1);
    g.places.reserve(bytes / 34 + 1);
    g.attrs.reserve(bytes / 9 + 1);
}

}  // namespace

std::unique_ptr<CdfgGraph> readCdfg(const char* path) {
    if (!path) return nullptr;
    // Closed however the read ends (a memory failure of the in-process run unwinds).
    // A directory opens but is no file: it is refused like a missing one.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openForReading(path, "rb"), &std::fclose);
    if (!file) return nullptr;
    std::unique_ptr<CdfgGraph> g = newGraph();
    // Only a regular file's size is what reading will get; a pipe is read as
    // it comes, without reserving.
    std::size_t fileSize = 0;
    if (regularFileSize(file.get(), fileSize) && fileSize > 0) reserveFor(*g, fileSize);
    ByteSource in(file.get(), fileSize);
    readRecords(in, *g);
    return g;
}

std::unique_ptr<CdfgGraph> readCdfgBytes(const unsigned char* data, std::size_t size) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    reserveFor(*g, size);
    ByteSource in(data, size);
    readRecords(in, *g);
    return g;
}
