// Helpers of the cdfgtool tests: assembling text in a test, and random CDFG
// files, as the graph API and as raw records write them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cdfg/graph.h"
#include "cdfg/vocabulary.h"
#include "cdfg/writer.h"
#include "tools/cdfg_asm.h"
#include "tools/cdfg_records.h"

namespace tooltest {

inline std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + '\n';
    return out;
}

// The bytes of a text that must assemble; a failure names the errors.
inline std::string assemble(const std::string& text) {
    RecordFile file;
    std::vector<std::string> errors;
    EXPECT_TRUE(assembleText(text, "test", file, errors)) << joinLines(errors);
    return encodeRecords(file);
}

inline const std::vector<std::uint32_t>& someKinds() {
    static const std::vector<std::uint32_t> kinds = {
        CFG_ROOT,          CFG_FILEINFO,       CFG_FUNCTION,      CFG_DECLARE,
        CFG_STATE_DATAPATH, CFG_STATE_IF,      CFG_LOOP_BEGIN,    DFG_MANAGE_OPERATION,
        DFG_OPERATION,     DFG_EDGE_BLOCKING,  DFG_INPUT_VAR,     DFG_OUTPUT_VAR,
        DFG_INPUT_CONST,   DFG_FUNC_CALL,      DFG_PORT_INFO,     INFO_DIRECTIVE,
        CFG_STRUCT,        DFG_SPEC};
    return kinds;
}

inline std::string randomText(std::mt19937& rng) {
    std::uniform_int_distribution<int> length(0, rng() % 8 == 0 ? 1500 : 12);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(static_cast<std::size_t>(length(rng)), '\0');
    for (char& c : text) c = static_cast<char>(byte(rng));
    return text;
}

// A random graph built through the graph API and written by the writer: the
// kind of file a front end or the checker produces, with any texts, floats
// (NaN payloads included) and links.
inline std::string randomGraphBytes(std::mt19937& rng) {
    auto g = newGraph();
    const int count = std::uniform_int_distribution<int>(1, 40)(rng);
    const auto& kinds = someKinds();
    for (int i = 0; i < count; ++i) {
        std::uint32_t kind = rng() % 10 == 0 ? static_cast<std::uint32_t>(rng())
                                             : kinds[rng() % kinds.size()];
        createNode(*g, kind);
    }
    auto anyId = [&]() { return static_cast<NodeId>(rng() % (count + 2)); };
    for (NodeId id = 1; id <= static_cast<NodeId>(count); ++id) {
        setPrevId(*g, id, anyId());
        setNextId(*g, id, anyId());
        setJumpId(*g, id, rng() % 3 == 0 ? anyId() : 0);
        const int attrs = static_cast<int>(rng() % 7);
        for (int a = 0; a < attrs; ++a) {
            const std::uint32_t attr = 1 + rng() % 24;
            switch (rng() % 6) {
                case 0: setAttrChar(*g, id, attr, static_cast<std::int8_t>(rng())); break;
                case 1: setAttrInt(*g, id, attr, static_cast<std::uint32_t>(rng())); break;
                case 2:
                    setAttrLongLong(*g, id, attr,
                                    static_cast<std::int64_t>((std::uint64_t{rng()} << 32) | rng()));
                    break;
                case 3: {
                    std::uint64_t bits = (std::uint64_t{rng()} << 32) | rng();
                    if (rng() % 4 == 0) bits |= 0x7ff0000000000000ull;  // inf and NaN
                    setAttrRaw(*g, id, attr, ATTR_FLOAT, bits);
                    break;
                }
                case 4: setAttrString(*g, id, attr, std::string_view(randomText(rng))); break;
                default: setAttrNode(*g, id, attr, anyId()); break;
            }
        }
        if (rng() % 2) setFileName(*g, id, std::string_view(randomText(rng)));
        setLine(*g, id, static_cast<std::uint32_t>(rng()));
        setColumn(*g, id, rng() % 200);
    }
    std::string out;
    writeCdfgBytes(*g, out);
    return out;
}

// Records the graph API cannot make: repeated identifiers, value kinds that
// carry no value, negative counts, duplicate and decreasing ids, and an
// optional record cut short at the end.
inline std::string randomOddBytes(std::mt19937& rng) {
    RecordFile file;
    const int count = std::uniform_int_distribution<int>(0, 12)(rng);
    for (int i = 0; i < count; ++i) {
        FileRecord r;
        r.id = rng() % 4 == 0 ? static_cast<std::uint32_t>(rng() % 6) : static_cast<std::uint32_t>(rng());
        r.kind = rng() % 2 ? someKinds()[rng() % someKinds().size()] : static_cast<std::uint32_t>(rng());
        r.prev = static_cast<std::uint32_t>(rng());
        r.next = rng() % 2 ? 0 : static_cast<std::uint32_t>(rng() % 8);
        r.jump = static_cast<std::uint32_t>(rng());
        const int attrs = static_cast<int>(rng() % 6);
        for (int a = 0; a < attrs; ++a) {
            RecordAttr e;
            e.id = rng() % 3 == 0 ? static_cast<std::uint32_t>(rng()) : 1 + rng() % 4;
            const std::uint32_t kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFFu};
            e.valueKind = kinds[rng() % 9];
            e.bits = (std::uint64_t{rng()} << 32) | rng();
            if (e.valueKind == ATTR_CHAR) e.bits &= 0xFF;
            if (e.valueKind == ATTR_INT || e.valueKind == ATTR_NODE) e.bits &= 0xFFFFFFFFu;
            if (e.valueKind == ATTR_STRING) e.text = randomText(rng);
            r.attrs.push_back(e);
        }
        r.count = rng() % 8 == 0 ? 0x80000000u | static_cast<std::uint32_t>(rng()) : r.attrs.size();
        if (static_cast<std::int32_t>(r.count) < 0) r.attrs.clear();
        r.fileName = rng() % 2 ? randomText(rng) : std::string();
        r.line = static_cast<std::uint32_t>(rng());
        r.column = static_cast<std::uint32_t>(rng());
        file.records.push_back(r);
    }
    std::string bytes = encodeRecords(file);
    if (rng() % 3 == 0) {
        RecordFile extra;
        extra.records.push_back(file.records.empty() ? FileRecord{} : file.records.front());
        std::string more = encodeRecords(extra);
        bytes += more.substr(0, rng() % more.size());
    }
    return bytes;
}

}  // namespace tooltest
