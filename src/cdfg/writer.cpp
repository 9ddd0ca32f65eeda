#include "cdfg/writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

namespace {

// Big-endian words and text fields written straight into a byte buffer.
char* putU32(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v >> 24);
    p[1] = static_cast<char>(v >> 16);
    p[2] = static_cast<char>(v >> 8);
    p[3] = static_cast<char>(v);
    return p + 4;
}

char* putU64(char* p, std::uint64_t v) {
    return putU32(putU32(p, static_cast<std::uint32_t>(v >> 32)), static_cast<std::uint32_t>(v));
}

// A text field holds at most 65,535 bytes; a longer text made in memory is
// cut so that the length and the bytes agree.
std::size_t textLength(const std::string* text) {
    return text ? std::min<std::size_t>(text->size(), 0xffff) : 0;
}

char* putText(char* p, const std::string* text) {
    std::size_t length = textLength(text);
    p[0] = static_cast<char>(length >> 8);
    p[1] = static_cast<char>(length);
    if (length) std::memcpy(p + 2, text->data(), length);
    return p + 2 + length;
}

const std::string* attrText(const CdfgGraph& g, const CdfgAttr& a) {
    return a.bits ? &g.texts[a.bits - 1] : nullptr;
}

void putNode(std::string& out, const CdfgGraph& g, const CdfgNode& node) {
    const CdfgAttr* attrs = g.attrs.data() + node.attrBegin;
    const CdfgPlace& place = g.places[&node - g.nodes.data()];
    const std::string* fileName = place.fileName ? &g.fileNames[place.fileName - 1] : nullptr;
    std::size_t size = 24 + 2 + textLength(fileName) + 8;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        switch (attrs[i].valueKind) {
            case ATTR_CHAR: size += 9; break;
            case ATTR_INT:
            case ATTR_NODE: size += 12; break;
            case ATTR_LONGLONG:
            case ATTR_FLOAT: size += 16; break;
            case ATTR_STRING: size += 10 + textLength(attrText(g, attrs[i])); break;
            default: size += 8; break;
        }
    }
    std::size_t at = out.size();
    out.resize(at + size);
    char* p = out.data() + at;
    p = putU32(p, node.id);
    p = putU32(p, node.kind);
    p = putU32(p, node.prev);
    p = putU32(p, node.next);
    p = putU32(p, node.jump);
    p = putU32(p, node.attrCnt);
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        const CdfgAttr& a = attrs[i];
        p = putU32(p, a.id);
        p = putU32(p, a.valueKind);
        switch (a.valueKind) {
            case ATTR_CHAR: *p++ = static_cast<char>(a.bits); break;
            case ATTR_INT:
            case ATTR_NODE: p = putU32(p, static_cast<std::uint32_t>(a.bits)); break;
            case ATTR_LONGLONG:
            case ATTR_FLOAT: p = putU64(p, a.bits); break;
            case ATTR_STRING: p = putText(p, attrText(g, a)); break;
            default: break;
        }
    }
    p = putText(p, fileName);
    p = putU32(p, place.line);
    putU32(p, place.column);
}

// Visits the file's contents in order as pieces: runs of unchanged records,
// which are the source's bytes as they stand, and each other record, encoded.
// copy(data, size) takes a run; encode(node) takes a record to encode.
template <typename Copy, typename Encode>
void forEachPiece(const CdfgGraph& g, Copy copy, Encode encode) {
    const unsigned char* source = g.source ? g.source->data : nullptr;
    const std::size_t spans = source ? g.sourceSpans.size() : 0;
    std::uint64_t runBegin = 0, runEnd = 0;
    for (std::size_t i = 0; i < g.nodes.size(); ++i) {
        const CdfgNode& node = g.nodes[i];
        if (node.id == 0) continue;
        std::uint64_t span = i < spans ? g.sourceSpans[i] : 0;
        if (span != 0) {
            std::uint64_t begin = span >> kSpanLengthBits;
            std::uint64_t end = begin + (span & kMaxSpanLength);
            if (begin != runEnd) {
                if (runEnd != runBegin) copy(source + runBegin, runEnd - runBegin);
                runBegin = begin;
            }
            runEnd = end;
            continue;
        }
        if (runEnd != runBegin) copy(source + runBegin, runEnd - runBegin);
        runBegin = runEnd = 0;
        encode(node);
    }
    if (runEnd != runBegin) copy(source + runBegin, runEnd - runBegin);
}

}  // namespace

void writeCdfgBytes(const CdfgGraph& g, std::string& out) {
    forEachPiece(
        g, [&](const unsigned char* data, std::size_t size) { out.append(reinterpret_cast<const char*>(data), size); },
        [&](const CdfgNode& node) { putNode(out, g, node); });
}

namespace {

// Writes every record to an open file through a large buffer.
// Unchanged records go from the source bytes straight to the file; the
// others are encoded into a buffer that is written when it fills up or a run
// of unchanged records follows.
bool writeRecords(const CdfgGraph& g, std::FILE* file) {
    constexpr std::size_t kFlushAt = 1 << 20;
    std::string buffer;
    bool ok = true;
    auto put = [&](const void* data, std::size_t size) {
        ok = ok && std::fwrite(data, 1, size, file) == size;
    };
    auto flush = [&] {
        if (!buffer.empty()) put(buffer.data(), buffer.size());
        buffer.clear();
    };
    forEachPiece(
        g,
        [&](const unsigned char* data, std::size_t size) {
            flush();
            put(data, size);
        },
        [&](const CdfgNode& node) {
            if (buffer.capacity() == 0) buffer.reserve(kFlushAt + 4096);
            putNode(buffer, g, node);
            if (buffer.size() >= kFlushAt) flush();
        });
    flush();
    return std::fflush(file) == 0 && ok;
}

// The temporary file while it is written. A memory failure ends the run at
// once (the process exits, or the in-process run unwinds); either way the
// half-written file goes with it.
std::string pendingTemporary;

void removePendingTemporary() {
    if (!pendingTemporary.empty()) std::remove(pendingTemporary.c_str());
    pendingTemporary.clear();
}

class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& path) {
        static const bool registered = std::atexit(removePendingTemporary) == 0;
        (void)registered;
        pendingTemporary = path;
    }
    ~TemporaryFile() { removePendingTemporary(); }
    // The file has been renamed over the target: nothing to remove.
    void keep() { pendingTemporary.clear(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
};

std::string temporaryNameBeside(const std::filesystem::path& target) {
    std::random_device random;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tavik-%08x%08x", random(), random());
    return target.string() + suffix;
}

}  // namespace

int writeCdfg(const CdfgGraph* g, const char* path) {
    if (!g || !path || !*path) return -1;
    namespace fs = std::filesystem;
    std::error_code error;
    // The file is replaced only once the new contents are complete, so a
    // failed or interrupted write leaves the user's file as it was.
    fs::path target(path);
    if (fs::is_symlink(target, error)) {
        fs::path resolved = fs::canonical(target, error);
        if (!error) target = resolved;
    }
    std::string temporary = temporaryNameBeside(target);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(temporary.c_str(), "wbx"), &std::fclose);
    if (!file) return -1;
    TemporaryFile pending(temporary);
    bool ok = writeRecords(*g, file.get());
    ok = (std::fclose(file.release()) == 0) && ok;
    if (ok) {
        fs::file_status status = fs::status(target, error);
        if (!error && fs::exists(status))
            fs::permissions(temporary, status.permissions(), fs::perm_options::replace, error);
        error.clear();
        fs::rename(temporary, target, error);
        ok = !error;
    }
    if (ok) pending.keep();
    return ok ? 0 : -1;
}
