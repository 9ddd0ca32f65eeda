#include "cdfg/writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "cdfg/reader.h"
#include "util/files.h"
#include "util/large_stack.h"

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
std::size_t textLength(std::string_view text) { return std::min<std::size_t>(text.size(), 0xffff); }

// No text is written as an empty one.
char* putText(char* p, std::string_view text) {
    std::size_t length = textLength(text);
    p[0] = static_cast<char>(length >> 8);
    p[1] = static_cast<char>(length);
    if (length) std::memcpy(p + 2, text.data(), length);
    return p + 2 + length;
}

std::string_view attrText(const CdfgGraph& g, const AttrValue& a) {
    return a.bits ? g.texts[a.bits] : std::string_view();
}

void putNode(std::string& out, const CdfgGraph& g, const CdfgNode& node) {
    const CdfgAttr* attrs = g.attrs.data() + node.attrBegin;
    const CdfgPlace& place = g.places[&node - g.nodes.data()];
    const std::string_view fileName =
        place.fileName ? std::string_view(g.fileNames[place.fileName - 1]) : std::string_view();
    std::size_t size = 24 + 2 + textLength(fileName) + 8;
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        const AttrValue a = attrValue(g, attrs[i]);
        switch (a.valueKind) {
            case ATTR_CHAR: size += 9; break;
            case ATTR_INT:
            case ATTR_NODE: size += 12; break;
            case ATTR_LONGLONG:
            case ATTR_FLOAT: size += 16; break;
            case ATTR_STRING: size += 10 + textLength(attrText(g, a)); break;
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
        const AttrValue a = attrValue(g, attrs[i]);
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

// Where the record of a list position lies in the source; end 0 for none.
struct RecordSpan {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

// The spans of the unchanged records of a block's positions, from where the
// records of its positions begin in the source.
void blockSpans(const CdfgGraph& g, const SpanBlock& block, RecordSpan (&spans)[kSpanBlock]) {
    std::fill(std::begin(spans), std::end(spans), RecordSpan{});
    if (block.kept == 0) return;
    // The records follow one another from the block's first position: read
    // over them again to find where each begins.
    std::string bytes;
    if (!g.source->append(block.begin, block.end - block.begin, bytes)) return;  // encoded instead
    const std::vector<std::uint64_t> starts =
        recordStarts(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    for (std::size_t k = 0; k + 1 < starts.size() && k < kSpanBlock; ++k)
        if (block.kept >> k & 1) spans[k] = {block.begin + starts[k], block.begin + starts[k + 1]};
}

// Visits the file's contents in order as pieces: runs of unchanged records,
// whose bytes are the source's as they stand, and each other record, to be
// encoded. copy(offset, size) takes a run and returns false when its bytes
// cannot be had; encode(node) takes a record to encode.
template <typename Copy, typename Encode>
void forEachPiece(const CdfgGraph& g, Copy copy, Encode encode) {
    const std::size_t blocks = g.source ? g.spanBlocks.size() : 0;
    std::uint64_t runBegin = 0, runEnd = 0;
    std::size_t runFirst = 0;  // list position of the run's first node
    auto endRun = [&](std::size_t next) {
        if (runEnd != runBegin && !copy(runBegin, runEnd - runBegin))
            for (std::size_t i = runFirst; i < next; ++i)
                if (g.nodes[i].id != 0) encode(g.nodes[i]);
        runBegin = runEnd = 0;
    };
    // Records [begin, end) of the nodes from list position `first` on.
    auto addToRun = [&](std::size_t first, std::uint64_t begin, std::uint64_t end) {
        if (begin != runEnd || runEnd == runBegin) {
            endRun(first);
            runBegin = begin;
            runFirst = first;
        }
        runEnd = end;
    };
    RecordSpan spans[kSpanBlock];
    for (std::size_t b = 0, first = 0; first < g.nodes.size(); ++b, first += kSpanBlock) {
        const std::size_t count = std::min(kSpanBlock, g.nodes.size() - first);
        const SpanBlock block = b < blocks ? g.spanBlocks[b] : SpanBlock{};
        const std::uint64_t all = count == kSpanBlock ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
        if ((block.kept & all) == all) {
            // Every record of the block as read, one after another.
            addToRun(first, block.begin, block.end);
            continue;
        }
        blockSpans(g, block, spans);
        for (std::size_t k = 0; k < count; ++k) {
            // A node with a span is live (deleting a node drops its span), so a
            // run of unchanged records needs only the spans.
            if (spans[k].end != 0) {
                addToRun(first + k, spans[k].begin, spans[k].end);
                continue;
            }
            const CdfgNode& node = g.nodes[first + k];
            if (node.id == 0) continue;
            endRun(first + k);
            encode(node);
        }
    }
    endRun(g.nodes.size());
}

}  // namespace

void writeCdfgBytes(const CdfgGraph& g, std::string& out) {
    forEachPiece(
        g,
        [&](std::uint64_t offset, std::size_t size) {
            std::size_t at = out.size();
            if (g.source->append(offset, size, out)) return true;
            out.resize(at);  // the records are encoded instead
            return false;
        },
        [&](const CdfgNode& node) { putNode(out, g, node); });
}

namespace {

// Writes every record to an open file through a large buffer.
// Unchanged records go from the source straight to the file; the others are
// encoded into a buffer that is written when it fills up or a run of
// unchanged records follows.
bool writeRecords(const CdfgGraph& g, std::FILE* file) {
    constexpr std::size_t kFlushAt = 1 << 20;
    std::string buffer;
    bool ok = true;
    auto flush = [&] {
        ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
        buffer.clear();
    };
    forEachPiece(
        g,
        [&](std::uint64_t offset, std::size_t size) {
            flush();
            ok = ok && std::fflush(file) == 0 && g.source->writeTo(offset, size, ::fileno(file));
            return true;  // a failed copy fails the write
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

// The new contents go to a temporary file beside the target, which replaces
// the target only once they are complete, so a failed or interrupted write
// leaves the user's file as it was.
class Replacement {
public:
    explicit Replacement(const char* path) {
        namespace fs = std::filesystem;
        if (!path) return;
        std::error_code error;
        target_ = path;
        if (fs::is_symlink(target_, error)) {
            fs::path resolved = fs::canonical(target_, error);
            if (!error) target_ = resolved;
        }
        temporary_ = temporaryNameBeside(target_);
        file_ = std::fopen(temporary_.c_str(), "wbx");
        if (file_) pending_ = std::make_unique<TemporaryFile>(temporary_);
    }
    ~Replacement() {
        if (file_) std::fclose(file_);
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    std::FILE* file() const { return file_; }

    // Closes the temporary file and, when everything was written, puts it in
    // the target's place with the target's permissions. 0 or -1.
    int finish(bool ok) {
        namespace fs = std::filesystem;
        if (!file_) return -1;
        ok = (std::fclose(file_) == 0) && ok;
        file_ = nullptr;
        if (ok) {
            std::error_code error;
            fs::file_status status = fs::status(target_, error);
            if (!error && fs::exists(status))
                fs::permissions(temporary_, status.permissions(), fs::perm_options::replace, error);
            error.clear();
            fs::rename(temporary_, target_, error);
            ok = !error;
        }
        if (ok) pending_->keep();
        pending_.reset();
        return ok ? 0 : -1;
    }

private:
    std::filesystem::path target_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<TemporaryFile> pending_;
};

}  // namespace

int writeCdfg(const CdfgGraph* g, const char* path) {
    if (!g || !path || !*path) return -1;
    Replacement replacement(path);
    if (!replacement.file()) return -1;
    return replacement.finish(writeRecords(*g, replacement.file()));
}

namespace {

struct Piece {
    bool encoded;
    std::uint64_t offset;  // in the source, or in the encoded records
    std::uint64_t size;
};

// True when the file at path is the source the graph was read from and the
// pieces are exactly its bytes as they stand.
bool holdsPlan(const CdfgGraph& g, const std::vector<Piece>& pieces, const char* path) {
    const int fd = g.source ? g.source->descriptor() : -1;
    struct stat from, to;
    if (fd < 0 || ::fstat(fd, &from) != 0 || ::stat(path, &to) != 0) return false;
    if (from.st_dev != to.st_dev || from.st_ino != to.st_ino || !S_ISREG(from.st_mode)) return false;
    const std::uint64_t size = static_cast<std::uint64_t>(from.st_size);
    if (pieces.empty()) return size == 0;
    return pieces.size() == 1 && !pieces[0].encoded && pieces[0].offset == 0 && pieces[0].size == size;
}

}  // namespace

struct CdfgBackgroundWrite::State {
    std::unique_ptr<Replacement> replacement;
    // The file's contents: runs of the source's bytes and encoded records.
    std::vector<Piece> pieces;
    std::string encoded;
    const SourceBytes* source = nullptr;
    bool ok = false;
    bool started = false;  // the temporary file is being or has been written
    int result = -1;
    // The worker, once it has written the file, waits to be told whether to
    // put it in place (replaceWhenWritten, wait) or not (the write-back is
    // dropped). Putting it in place is the worker's too, off the run's path.
    std::mutex order;
    std::condition_variable decided;
    bool mayReplace = false;
    bool dropped = false;
    bool replaced = false;  // replace() has run
    std::unique_ptr<SourceBytes> keptSource;
    std::thread::id owner = std::this_thread::get_id();

    ~State() {
        {
            std::lock_guard<std::mutex> lock(order);
            dropped = true;
        }
        decided.notify_all();
    }

    // Puts the file in place and lets go of the source. Closing the source
    // is what frees the replaced file's storage, which takes as long as
    // writing it.
    void replace() {
        result = replacement->finish(ok);
        replaced = true;
        keptSource.reset();
    }

    void run() {
        const int fd = ::fileno(replacement->file());
        bool good = true;
        for (const Piece& piece : pieces) {
            if (!good) break;
            good = piece.encoded ? writeAll(fd, encoded.data() + piece.offset, piece.size) == piece.size
                                 : source->writeTo(piece.offset, piece.size, fd);
        }
        ok = good;
        // Without a thread of its own this ran inside the constructor;
        // wait() puts the file in place.
        if (std::this_thread::get_id() == owner) return;
        std::unique_lock<std::mutex> lock(order);
        decided.wait(lock, [this] { return mayReplace || dropped; });
        if (dropped) return;
        lock.unlock();
        replace();
    }

    // Last, so that it is joined (after the destructor has let it go on)
    // before what it reads goes.
    std::unique_ptr<LargeStackThread> worker;
};

CdfgBackgroundWrite::CdfgBackgroundWrite(const CdfgGraph& g, const char* path) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    if (!path || !*path) return;
    // Records changed since reading are encoded now; past this much of them
    // the file is written at once instead of holding them all in memory.
    constexpr std::size_t kMaxEncoded = std::size_t{16} << 20;
    bool planned = g.source != nullptr;
    if (planned) {
        s.source = g.source.get();
        forEachPiece(
            g,
            [&](std::uint64_t offset, std::size_t size) {
                s.pieces.push_back({false, offset, size});
                return true;
            },
            [&](const CdfgNode& node) {
                if (!planned) return;
                std::size_t at = s.encoded.size();
                putNode(s.encoded, g, node);
                if (s.encoded.size() > kMaxEncoded) {
                    planned = false;
                    return;
                }
                if (!s.pieces.empty() && s.pieces.back().encoded)
                    s.pieces.back().size += s.encoded.size() - at;
                else
                    s.pieces.push_back({true, at, s.encoded.size() - at});
            });
    }
    if (planned && holdsPlan(g, s.pieces, path)) {
        // The file already holds these bytes: it is left as it is, which
        // spares writing it, and freeing the old one, on a large program.
        s.pieces.clear();
        s.result = 0;
        return;
    }
    s.replacement = std::make_unique<Replacement>(path);
    if (!s.replacement->file()) return;
    s.started = true;
    if (!planned) {
        // Written now; the file is replaced only by wait().
        s.pieces.clear();
        s.encoded.clear();
        s.encoded.shrink_to_fit();
        s.ok = writeRecords(g, s.replacement->file());
        return;
    }
    // Copying bytes needs little stack; without a thread to be had it writes now.
    s.worker = std::make_unique<LargeStackThread>([&s] { s.run(); }, std::size_t{1} << 20);
}

void CdfgBackgroundWrite::replaceWhenWritten(std::unique_ptr<SourceBytes> source) {
    if (!state_) return;
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.order);
        if (s.mayReplace) return;
        s.mayReplace = true;
        s.keptSource = std::move(source);
    }
    s.decided.notify_all();
}

int CdfgBackgroundWrite::wait() {
    if (!state_) return -1;
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.order);
        s.mayReplace = true;
    }
    s.decided.notify_all();
    if (s.worker) s.worker->join();
    s.worker.reset();
    if (!s.started) return s.result;
    s.started = false;
    if (!s.replaced) s.replace();
    return s.result;
}

// Not waited for (the run ended early): the worker is joined and the target
// stays as it was.
CdfgBackgroundWrite::~CdfgBackgroundWrite() = default;
