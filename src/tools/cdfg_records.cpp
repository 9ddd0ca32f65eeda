#include "tools/cdfg_records.h"

#include <cstdio>

#include "cdfg/vocabulary.h"

namespace {

class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    std::size_t position() const { return pos_; }

    bool u8(std::uint8_t& value) {
        if (bytes_.size() - pos_ < 1) return false;
        value = static_cast<std::uint8_t>(bytes_[pos_++]);
        return true;
    }
    bool u32(std::uint32_t& value) {
        if (bytes_.size() - pos_ < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes_[pos_++]);
        return true;
    }
    bool u64(std::uint64_t& value) {
        std::uint32_t high, low;
        if (!u32(high) || !u32(low)) return false;
        value = (std::uint64_t{high} << 32) | low;
        return true;
    }
    bool text(std::string& out) {
        if (bytes_.size() - pos_ < 2) return false;
        std::size_t length = (std::size_t{static_cast<std::uint8_t>(bytes_[pos_])} << 8) |
                             static_cast<std::uint8_t>(bytes_[pos_ + 1]);
        if (bytes_.size() - pos_ - 2 < length) return false;
        out.assign(bytes_.substr(pos_ + 2, length));
        pos_ += 2 + length;
        return true;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

bool parseRecord(Cursor& in, FileRecord& r) {
    if (!in.u32(r.id) || !in.u32(r.kind) || !in.u32(r.prev) || !in.u32(r.next) ||
        !in.u32(r.jump) || !in.u32(r.count))
        return false;
    const std::int32_t count = static_cast<std::int32_t>(r.count);
    for (std::int32_t i = 0; i < count; ++i) {
        RecordAttr a;
        if (!in.u32(a.id) || !in.u32(a.valueKind)) return false;
        bool ok = true;
        switch (a.valueKind) {
            case ATTR_CHAR: {
                std::uint8_t byte;
                ok = in.u8(byte);
                a.bits = byte;
                break;
            }
            case ATTR_INT:
            case ATTR_NODE: {
                std::uint32_t word;
                ok = in.u32(word);
                a.bits = word;
                break;
            }
            case ATTR_LONGLONG:
            case ATTR_FLOAT: ok = in.u64(a.bits); break;
            case ATTR_STRING: ok = in.text(a.text); break;
            default: break;
        }
        if (!ok) return false;
        r.attrs.push_back(std::move(a));
    }
    return in.text(r.fileName) && in.u32(r.line) && in.u32(r.column);
}

void putU32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void putText(std::string& out, const std::string& text) {
    std::size_t length = std::min(text.size(), kMaxTextLength);
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(length));
    out.append(text, 0, length);
}

}  // namespace

bool valueKindHasValue(std::uint32_t valueKind) {
    return valueKind >= ATTR_CHAR && valueKind <= ATTR_NODE;
}

RecordFile parseRecords(std::string_view bytes) {
    RecordFile file;
    Cursor in(bytes);
    while (in.position() < bytes.size()) {
        FileRecord r;
        r.offset = in.position();
        if (!parseRecord(in, r)) {
            file.tailOffset = r.offset;
            file.tail.assign(bytes.substr(r.offset));
            return file;
        }
        file.records.push_back(std::move(r));
    }
    file.tailOffset = bytes.size();
    return file;
}

std::string encodeRecords(const RecordFile& file) {
    std::string out = encodeRecords(file.records);
    out += file.tail;
    return out;
}

std::string encodeRecords(const std::vector<FileRecord>& records) {
    std::string out;
    for (const FileRecord& r : records) {
        for (std::uint32_t word : {r.id, r.kind, r.prev, r.next, r.jump, r.count}) putU32(out, word);
        for (const RecordAttr& a : r.attrs) {
            putU32(out, a.id);
            putU32(out, a.valueKind);
            switch (a.valueKind) {
                case ATTR_CHAR: out.push_back(static_cast<char>(a.bits)); break;
                case ATTR_INT:
                case ATTR_NODE: putU32(out, static_cast<std::uint32_t>(a.bits)); break;
                case ATTR_LONGLONG:
                case ATTR_FLOAT:
                    putU32(out, static_cast<std::uint32_t>(a.bits >> 32));
                    putU32(out, static_cast<std::uint32_t>(a.bits));
                    break;
                case ATTR_STRING: putText(out, a.text); break;
                default: break;
            }
        }
        putText(out, r.fileName);
        putU32(out, r.line);
        putU32(out, r.column);
    }
    return out;
}

bool readWholeFile(const std::string& path, std::string& out) {
    const bool useStdin = path == "-";
    std::FILE* f = useStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, got);
    const bool ok = !std::ferror(f);
    if (!useStdin) std::fclose(f);
    return ok;
}

bool writeWholeFile(const std::string& path, std::string_view data) {
    const bool useStdout = path == "-";
    std::FILE* f = useStdout ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (useStdout)
        ok = std::fflush(f) == 0 && ok;
    else
        ok = std::fclose(f) == 0 && ok;
    return ok;
}
