#include "cdfg/reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

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
            if (!readAt(offset, buffer.data(), chunk)) return false;
            for (std::size_t done = 0; done < chunk;) {
                ssize_t wrote = ::write(fd, buffer.data() + done, chunk - done);
                if (wrote <= 0) return false;
                done += static_cast<std::size_t>(wrote);
            }
            offset += chunk;
            size -= chunk;
        }
        return true;
    }

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
        for (std::size_t done = 0; done < size;) {
            ssize_t wrote = ::write(fd, bytes_.data() + offset + done, size - done);
            if (wrote <= 0) return false;
            done += static_cast<std::size_t>(wrote);
        }
        return true;
    }

private:
    std::vector<unsigned char> bytes_;
};

// Bytes of the file, delivered from a large buffer that is refilled from the
// stream (or from memory in one piece). Once a read runs past the end, every
// later read fails too.
class ByteSource {
public:
    // The buffer holds up to 1 MiB, less for a smaller file.
    ByteSource(std::FILE* file, std::size_t fileSize)
        : file_(file), buffer_(std::clamp<std::size_t>(fileSize, 4096, std::size_t{1} << 20)) {}
    ByteSource(const unsigned char* data, std::size_t size) : data_(data), end_(size) {}

    // Bytes consumed so far.
    std::uint64_t offset() const { return consumed_ + pos_; }

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
        const unsigned char* p = data_ + pos_;
        if (end_ - pos_ < 4) {
            if (!read(b, 4)) return false;
            p = b;
        } else {
            pos_ += 4;
        }
        value = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                (std::uint32_t{p[2]} << 8) | p[3];
        return true;
    }

    bool readU64(std::uint64_t& value) {
        std::uint32_t high, low;
        if (!readU32(high) || !readU32(low)) return false;
        value = (std::uint64_t{high} << 32) | low;
        return true;
    }

    bool readByte(std::int8_t& value) { return read(&value, 1); }

    // A text field: 16-bit length, then the bytes. The view is valid until
    // the next read.
    bool readText(std::string_view& text) {
        unsigned char b[2];
        if (!read(b, 2)) return false;
        std::size_t length = (std::size_t{b[0]} << 8) | b[1];
        if (end_ - pos_ >= length) {
            text = std::string_view(reinterpret_cast<const char*>(data_ + pos_), length);
            pos_ += length;
            return true;
        }
        // The text runs past the buffer.
        text_.resize(length);
        if (!read(text_.data(), length)) return false;
        text = text_;
        return true;
    }

private:
    bool refill() {
        if (!file_) return false;
        std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (got == 0) return false;
        consumed_ += pos_;
        data_ = buffer_.data();
        pos_ = 0;
        end_ = got;
        return true;
    }

    std::FILE* file_ = nullptr;
    std::vector<unsigned char> buffer_;
    std::string text_;
    const unsigned char* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;
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

void readRecords(ByteSource& in, CdfgGraph& g) {
    std::uint32_t lastFileName = 0;
    for (;;) {
        const std::uint64_t recordBegin = in.offset();
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
        // The name is looked up before the next read, which may refill the
        // buffer it lies in.
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
        if (!in.readU32(line) || !in.readU32(column)) return;
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
    // Only a regular file's size is what reading will get; a pipe is read as
    // it comes, without reserving.
    std::size_t fileSize = 0;
    bool regular = regularFileSize(file.get(), fileSize);
    if (regular && fileSize > 0) reserveFor(*g, fileSize);
    ByteSource in(file.get(), fileSize);
    readRecords(in, *g);
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
    readRecords(in, *g);
    g->source = std::make_unique<MemoryBytes>(data, size);
    return g;
}
