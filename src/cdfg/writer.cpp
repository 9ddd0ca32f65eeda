#include "cdfg/writer.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

namespace {

void putU32(std::string& out, std::uint32_t v) {
    char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                 static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, 4);
}

void putU64(std::string& out, std::uint64_t v) {
    putU32(out, static_cast<std::uint32_t>(v >> 32));
    putU32(out, static_cast<std::uint32_t>(v));
}

// A text field holds at most 65,535 bytes; a longer text made in memory is
// cut so that the length and the bytes agree.
void putText(std::string& out, const std::string* text) {
    std::size_t length = text ? std::min<std::size_t>(text->size(), 0xffff) : 0;
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(length));
    if (length) out.append(text->data(), length);
}

void putNode(std::string& out, const CdfgGraph& g, const CdfgNode& node) {
    putU32(out, node.id);
    putU32(out, node.kind);
    putU32(out, node.prev);
    putU32(out, node.next);
    putU32(out, node.jump);
    putU32(out, node.attrCnt);
    for (std::uint32_t i = 0; i < node.attrCnt; ++i) {
        const CdfgAttr& a = g.attrs[node.attrBegin + i];
        putU32(out, a.id);
        putU32(out, a.valueKind);
        switch (a.valueKind) {
            case ATTR_CHAR: out.push_back(static_cast<char>(a.bits)); break;
            case ATTR_INT:
            case ATTR_NODE: putU32(out, static_cast<std::uint32_t>(a.bits)); break;
            case ATTR_LONGLONG:
            case ATTR_FLOAT: putU64(out, a.bits); break;
            case ATTR_STRING: putText(out, a.bits ? &g.texts[a.bits - 1] : nullptr); break;
            default: break;
        }
    }
    putText(out, node.fileName ? &g.fileNames[node.fileName - 1] : nullptr);
    putU32(out, node.line);
    putU32(out, node.column);
}

}  // namespace

void writeCdfgBytes(const CdfgGraph& g, std::string& out) {
    for (const CdfgNode& node : g.nodes)
        if (node.id != 0) putNode(out, g, node);
}

namespace {

// Writes every record to an open file through a large buffer.
bool writeRecords(const CdfgGraph& g, std::FILE* file) {
    constexpr std::size_t kFlushAt = 1 << 20;
    std::string buffer;
    buffer.reserve(kFlushAt + 4096);
    bool ok = true;
    for (const CdfgNode& node : g.nodes) {
        if (node.id == 0) continue;
        putNode(buffer, g, node);
        if (buffer.size() >= kFlushAt) {
            ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
            buffer.clear();
        }
    }
    ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
    return std::fflush(file) == 0 && ok;
}

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
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (!file) return -1;
    bool ok = writeRecords(*g, file);
    ok = (std::fclose(file) == 0) && ok;
    if (ok) {
        fs::file_status status = fs::status(target, error);
        if (!error && fs::exists(status))
            fs::permissions(temporary, status.permissions(), fs::perm_options::replace, error);
        error.clear();
        fs::rename(temporary, target, error);
        ok = !error;
    }
    if (!ok) std::remove(temporary.c_str());
    return ok ? 0 : -1;
}
