#include "cdfg/reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "util/files.h"

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
    ByteSource(const unsigned char* data, std::size_t size) : data_(data), end_(size) {}

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
    std::size_t pos_ = 0;
    std::size_t end_;
};

// A regular file mapped for reading. Pages already parsed are given back as
// the reading goes on, so the mapping adds a window, not the whole file, to
// the process's memory.
class FileMapping {
public:
    FileMapping(int fd, std::size_t size) : size_(size) {
        if (size == 0) return;
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) return;
        base_ = static_cast<unsigned char*>(p);
    }
    ~FileMapping() {
        if (base_ && released_ < size_) ::munmap(base_ + released_, size_ - released_);
    }
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    const unsigned char* data() const { return base_; }
    bool mapped() const { return base_ != nullptr || size_ == 0; }

    // Gives back the whole pages below offset once a window's worth has
    // been read past.
    void releaseBelow(std::uint64_t offset) {
        if (!base_ || offset < released_ + kWindow) return;
        const std::size_t upTo = static_cast<std::size_t>(offset) / kWindow * kWindow;
        ::munmap(base_ + released_, upTo - released_);
        released_ = upTo;
    }

private:
    static constexpr std::size_t kWindow = std::size_t{32} << 20;  // a multiple of any page size
    unsigned char* base_ = nullptr;
    std::size_t size_;
    std::size_t released_ = 0;
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
std::uint64_t spanOf(std::uint64_t begin, std::uint64_t end, bool exact) {
    std::uint64_t length = end - begin;
    if (!exact || length > kMaxSpanLength || begin > kMaxSpanOffset) return 0;
    return (begin << kSpanLengthBits) | length;
}

template <typename AfterRecord>
void readRecords(ByteSource& in, CdfgGraph& g, AfterRecord afterRecord) {
    std::uint32_t lastFileName = 0;
    for (;;) {
        const std::uint64_t recordBegin = in.offset();
        afterRecord(recordBegin);
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
            return;
        }
        const bool made = createNodeWithId(g, id) != 0;
        CdfgNode ignored;  // takes the fields of a record whose node cannot be made
        CdfgNode* node = made ? &g.nodes.back() : &ignored;
        if (made) g.sourceSpans.push_back(0);
        node->kind = kind;
        node->prev = prev;
        node->next = next;
        node->jump = jump;
        if (!header && !in.readU32(count)) return;
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
                    if (made) bits = g.texts.add(text);
                    break;
                }
                default:  // no value bytes, no attribute
                    exact = false;
                    continue;
            }
            if (!made) continue;
            if (attr < 64 && !(seen >> attr & 1)) {
                seen |= std::uint64_t{1} << attr;
                g.attrs.push_back({attr, valueKind, bits});
                ++node->attrCnt;
            } else if (!addReadAttr(g, *node, attr, valueKind, bits)) {
                exact = false;
            }
        }
        std::string_view fileName;
        if (!in.readText(fileName)) return;
        std::uint32_t nameIndex = 0;
        if (made && !fileName.empty()) {
            // Consecutive records nearly always name the same file.
            if (lastFileName == 0 || g.fileNames[lastFileName - 1] != fileName)
                lastFileName = fileNameIndex(g, fileName);
            nameIndex = lastFileName;
        }
        std::uint32_t line, column;
        if (const unsigned char* p = in.take(8)) {
            line = ByteSource::word(p);
            column = ByteSource::word(p + 4);
        } else if (!in.readU32(line) || !in.readU32(column)) {
            return;
        }
        if (!made) continue;
        CdfgPlace& place = g.places.back();
        place.fileName = nameIndex;
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
    g.texts.reserve(bytes / 10 + 1);
}

}  // namespace

std::unique_ptr<CdfgGraph> readCdfg(const char* path) {
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
            reserveFor(*g, fileSize);
            ByteSource in(mapping.data(), fileSize);
            readRecords(in, *g, [&](std::uint64_t offset) { mapping.releaseBelow(offset); });
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
    readRecords(in, *g, [](std::uint64_t) {});
    // A file that can be read again lends its records to the write-back.
    if (regular)
        g->source = std::make_unique<FileBytes>(std::move(file));
    else
        g->sourceSpans.clear();
    return g;
}

std::unique_ptr<CdfgGraph> readCdfgBytes(const unsigned char* data, std::size_t size) {
    std::unique_ptr<CdfgGraph> g = newGraph();
    reserveFor(*g, size);
    ByteSource in(data, size);
    readRecords(in, *g, [](std::uint64_t) {});
    g->source = std::make_unique<MemoryBytes>(data, size);
    return g;
}
