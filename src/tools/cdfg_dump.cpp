#include "tools/cdfg_dump.h"

#include <cstring>
#include <unordered_map>

#include "cdfg/vocabulary.h"
#include "tools/text_syntax.h"

namespace {

// Names are used only where the assembler maps them back to the same code.
const std::string& kindText(std::uint32_t kind) {
    static std::unordered_map<std::uint32_t, std::string> cache;
    auto [it, inserted] = cache.try_emplace(kind);
    if (inserted) {
        const char* name = vocabKindName(kind);
        it->second = name && vocabKindCode(name) == kind ? name : std::to_string(kind);
    }
    return it->second;
}

const std::string& attrText(std::uint32_t kind, std::uint32_t attr) {
    static std::unordered_map<std::uint64_t, std::string> cache;
    auto [it, inserted] = cache.try_emplace((std::uint64_t{kind} << 32) | attr);
    if (inserted) {
        const char* name = vocabAttrName(kind, attr);
        it->second = name && vocabAttrCode(kind, name) == static_cast<std::int64_t>(attr)
                         ? name
                         : std::to_string(attr);
    }
    return it->second;
}

std::string valueKindText(std::uint32_t valueKind) {
    const char* name = valueKindName(valueKind);
    return name ? name : "ATTR_" + std::to_string(valueKind);
}

void appendValue(std::string& out, std::uint32_t kind, const RecordAttr& a) {
    switch (a.valueKind) {
        case ATTR_CHAR:
            out += std::to_string(static_cast<std::int8_t>(static_cast<std::uint8_t>(a.bits)));
            break;
        case ATTR_INT: {
            const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(a.bits));
            const char* name = enumValueName(kind, a.id, value);
            out += name ? std::string(name) : std::to_string(value);
            break;
        }
        case ATTR_LONGLONG: out += std::to_string(static_cast<std::int64_t>(a.bits)); break;
        case ATTR_FLOAT: out += formatFloatBits(a.bits); break;
        case ATTR_STRING: out += quoteText(a.text); break;
        case ATTR_NODE: out += std::to_string(static_cast<std::uint32_t>(a.bits)); break;
        default: break;
    }
}

}  // namespace

std::string dumpRecords(const RecordFile& file) {
    std::string out;
    for (const FileRecord& r : file.records) {
        out += "node " + std::to_string(r.id) + ' ' + kindText(r.kind);
        out += " prev " + std::to_string(r.prev);
        out += " next " + std::to_string(r.next);
        out += " jump " + std::to_string(r.jump);
        if (static_cast<std::int64_t>(static_cast<std::int32_t>(r.count)) !=
            static_cast<std::int64_t>(r.attrs.size()))
            out += " count " + std::to_string(static_cast<std::int32_t>(r.count));
        out += " at " + quoteText(r.fileName) + ' ' + std::to_string(r.line) + ' ' +
               std::to_string(r.column) + '\n';
        for (const RecordAttr& a : r.attrs) {
            out += "  " + attrText(r.kind, a.id) + ' ' + valueKindText(a.valueKind);
            if (valueKindHasValue(a.valueKind)) {
                out += ' ';
                appendValue(out, r.kind, a);
            }
            out += '\n';
        }
    }
    if (!file.tail.empty()) {
        out += "# the file ends inside the record that starts at byte " +
               std::to_string(file.tailOffset) + '\n';
        static const char kHex[] = "0123456789abcdef";
        for (std::size_t i = 0; i < file.tail.size(); i += 32) {
            out += "bytes";
            for (std::size_t j = i; j < file.tail.size() && j < i + 32; ++j) {
                const auto c = static_cast<unsigned char>(file.tail[j]);
                out += ' ';
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            }
            out += '\n';
        }
    }
    return out;
}
