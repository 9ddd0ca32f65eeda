#include "cdfg/reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "cdfg/writer.h"
#include "support/temp_path.h"

namespace {

// Assembles record bytes by hand: words, texts and raw bytes.
struct Bytes {
    std::string data;
    Bytes& u32(std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) data.push_back(static_cast<char>(v >> s));
        return *this;
    }
    Bytes& u16(std::uint32_t v) {
        data.push_back(static_cast<char>(v >> 8));
        data.push_back(static_cast<char>(v));
        return *this;
    }
    Bytes& text(const std::string& t) {
        u16(static_cast<std::uint32_t>(t.size()));
        data += t;
        return *this;
    }
    Bytes& head(NodeId id, std::uint32_t kind, std::uint32_t count) {
        return u32(id).u32(kind).u32(0).u32(0).u32(0).u32(count);
    }
    Bytes& tail(const std::string& file = "a.c", std::uint32_t line = 3, std::uint32_t col = 4) {
        return text(file).u32(line).u32(col);
    }
};

std::unique_ptr<CdfgGraph> read(const std::string& bytes) {
    return readCdfgBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string write(const CdfgGraph& g) {
    std::string out;
    writeCdfgBytes(g, out);
    return out;
}

TEST(Reader, EmptyInputGivesAnEmptyGraph) {
    auto g = read("");
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->nodes.empty());
}

TEST(Reader, MissingFileGivesNoGraph) {
    EXPECT_EQ(readCdfg("/nonexistent/dir/x.cdfg"), nullptr);
    EXPECT_EQ(readCdfg(nullptr), nullptr);
}

TEST(Reader, ACutRecordKeepsWhatWasRead) {
    Bytes b;
    b.head(1, CFG_DECLARE, 1).u32(CfgDecl_KIND).u32(ATTR_INT).u32(DECL_VAR).tail();
    b.u32(2).u32(CFG_RETURN).u32(1).u32(0).u32(9);  // five words, then the end
    auto g = read(b.data);
    ASSERT_EQ(g->nodes.size(), 2u);
    EXPECT_EQ(getKind(*g, 2), CFG_RETURN);
    EXPECT_EQ(getPrevId(*g, 2), 1u);
    EXPECT_EQ(getJumpId(*g, 2), 9u);
    EXPECT_EQ(getAttrCount(*g, 2), 0u);
    EXPECT_EQ(getFileName(*g, 2), nullptr);
    EXPECT_EQ(getLine(*g, 2), 0u);
    // Four words of a record are dropped.
    EXPECT_EQ(read(b.data.substr(0, b.data.size() - 4))->nodes.size(), 1u);
    // A value cut short adds no attribute.
    for (std::uint32_t kind : {ATTR_CHAR, ATTR_INT, ATTR_LONGLONG, ATTR_STRING}) {
        Bytes c;
        c.head(1, CFG_DECLARE, 2).u32(CfgDecl_KIND).u32(ATTR_INT).u32(DECL_VAR).u32(CfgDecl_NAME).u32(kind);
        if (kind == ATTR_STRING) c.u16(8).data += "abc";
        if (kind == ATTR_LONGLONG) c.u32(1);
        EXPECT_EQ(getAttrCount(*read(c.data), 1), 1u) << kind;
    }
}

TEST(Reader, UnknownValueKindsCarryNoValueBytes) {
    Bytes b;
    b.head(1, 5, 3).u32(1).u32(7).u32(2).u32(0).u32(3).u32(ATTR_INT).u32(99).tail();
    auto g = read(b.data);
    EXPECT_EQ(getAttrCount(*g, 1), 1u);
    EXPECT_EQ(getAttrInt(*g, 1, 3), 99u);
    EXPECT_STREQ(getFileName(*g, 1), "a.c");
    EXPECT_EQ(getColumn(*g, 1), 4u);
}

TEST(Reader, TextsOfAnyLengthAndBytesSurvive) {
    std::string big(70000 % 65536, 'x');
    big[10] = '\0';  // an embedded NUL stays in the text
    std::string huge(1024, 'y');
    Bytes b;
    b.head(1, 5, 2).u32(1).u32(ATTR_STRING).text(big).u32(2).u32(ATTR_STRING).text(huge).tail("");
    auto g = read(b.data);
    ASSERT_NE(getAttrText(*g, 1, 1).data(), nullptr);
    EXPECT_EQ(getAttrText(*g, 1, 1), big);
    EXPECT_EQ(std::string(getAttrString(*g, 1, 2)), huge);
    EXPECT_EQ(getFileName(*g, 1), nullptr);  // an empty file name is none
    EXPECT_EQ(write(*g), b.data);
}

// A file is read in place a window at a time, each window given back once
// read past: a file of several windows reads back whole, the records that
// straddle a window's end included.
TEST(Reader, AFileOfManyWindowsReadsWhole) {
    Bytes b;
    const std::uint32_t records = 1300;  // about 85 MB
    for (std::uint32_t id = 1; id <= records; ++id) {
        std::string text(65535 - id % 7, static_cast<char>('a' + id % 26));
        b.head(id, 5, 1).u32(1).u32(ATTR_STRING).text(text).tail("a.c", id);
    }
    const std::string path = tb::tempPath("windows.cdfg");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(b.data.data(), 1, b.data.size(), f);
        std::fclose(f);
    }
    auto g = readCdfg(path.c_str());
    std::remove(path.c_str());
    ASSERT_TRUE(g);
    ASSERT_EQ(g->nodes.size(), records);
    EXPECT_EQ(getLine(*g, records), records);
    EXPECT_EQ(write(*g), b.data);
}

// A file read by two threads, the second from a record near the middle,
// gives the graph one reader makes of the same bytes, whatever lies on
// either side: the halves join up only when the first reader arrives exactly
// where the second began and nothing read differs from a single pass.
TEST(Reader, TwoReadersMakeTheGraphOneReaderMakes) {
    struct Case {
        const char* what;
        std::uint32_t at;      // record changed (0: none)
        std::uint32_t change;  // 1 id out of sequence, 2 repeated identifier, 3 count past the end,
                               // 4 the file cut in that record's position, 5 ids from that record
                               // on counting again from 50 lower (the first half then holds more
                               // records than the second half's first id leaves room for),
                               // 6 an identifier the graph keeps apart from the run,
                               // 7 id 0 (no node is made of the record)
    };
    const std::uint32_t records = 400;
    const Case cases[] = {{"intact", 0, 0},
                          {"id out of sequence, second half", 300, 1},
                          {"id out of sequence, first half", 100, 1},
                          {"repeated identifier, second half", 300, 2},
                          {"damage, first half", 100, 3},
                          {"damage, second half", 300, 3},
                          {"cut short", records, 4},
                          {"ids counting again, first half", 150, 5},
                          {"identifier kept apart, second half", 300, 6},
                          {"no node made of a record, first half", 180, 7}};
    const char* names[] = {"a.c", "b.c", "c.h"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b;
        for (std::uint32_t id = 1; id <= records; ++id) {
            const std::uint32_t count = c.at == id && c.change == 3 ? 0x7fffffffu : id % 3 == 0 ? 5 : 4;
            const NodeId written = c.change == 5 && id >= c.at ? id - 50 : id;
            b.head(c.at == id && c.change == 1 ? id + 1000 : c.at == id && c.change == 7 ? 0 : written, 5, count);
            b.u32(1).u32(ATTR_INT).u32(id).u32(3).u32(ATTR_NODE).u32(id - 1);
            const std::uint32_t charId = c.at == id ? (c.change == 2 ? 1 : c.change == 6 ? 0x10000000u : 4) : 4;
            b.u32(charId).u32(ATTR_CHAR).data.push_back(static_cast<char>(id));
            // 64-bit values, most of them too wide to sit beside the identifier.
            b.u32(5).u32(ATTR_LONGLONG).u32(id % 4 == 0 ? 0 : id).u32(id);
            if (id % 3 == 0) b.u32(2).u32(ATTR_STRING).text("t" + std::to_string(id));
            // The second half meets the file names in another order.
            b.tail(names[(id < records / 2 ? id : records - id) / 50 % 3], id, id % 7);
        }
        if (c.change == 4) b.data.resize(b.data.size() - 5);
        const std::string path = tb::tempPath("halves.cdfg");
        {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fwrite(b.data.data(), 1, b.data.size(), f);
            std::fclose(f);
        }
        auto two = readCdfgFile(path.c_str(), 0);
        std::remove(path.c_str());
        auto one = read(b.data);
        ASSERT_TRUE(two);
        EXPECT_EQ(two->nodes.size(), one->nodes.size());
        EXPECT_EQ(two->lastId, one->lastId);
        EXPECT_EQ(two->denseIds, one->denseIds);
        EXPECT_EQ(two->texts.size(), one->texts.size());
        EXPECT_EQ(two->fileNames, one->fileNames);
        EXPECT_TRUE(two->spanBlocks == one->spanBlocks);
        EXPECT_EQ(write(*two), write(*one));
    }
}

TEST(Reader, RecordWithoutAttributesGoesStraightToThePosition) {
    Bytes b;
    b.head(7, CFG_BREAK, 0).tail("b.c", 12, 1);
    auto g = read(b.data);
    EXPECT_STREQ(getFileName(*g, 7), "b.c");
    EXPECT_EQ(getLine(*g, 7), 12u);
    EXPECT_EQ(g->lastId, 7u);
}

// A repeated identifier keeps the last value of its kind (a text never
// replaces another kind), small identifiers and large ones alike, and the
// record is then written as the graph holds it, not as it was read.
TEST(Reader, RepeatedAttributeKeepsTheLastValue) {
    for (std::uint32_t id : {4u, 70u}) {
        for (bool text : {false, true}) {
            Bytes b;
            b.head(1, 5, 4).u32(9).u32(ATTR_INT).u32(5).u32(id).u32(ATTR_INT).u32(1);
            if (text)
                b.u32(id).u32(ATTR_STRING).text("x");
            else
                b.u32(id).u32(ATTR_INT).u32(2);
            b.u32(9).u32(ATTR_INT).u32(6).tail();
            auto g = read(b.data);
            SCOPED_TRACE(std::to_string(id) + (text ? " text" : " int"));
            EXPECT_EQ(getAttrCount(*g, 1), 2u);
            EXPECT_EQ(getAttrInt(*g, 1, id), text ? 1u : 2u);
            EXPECT_EQ(getAttrInt(*g, 1, 9), 6u);
            Bytes once;
            once.head(1, 5, 2).u32(9).u32(ATTR_INT).u32(6).u32(id).u32(ATTR_INT).u32(text ? 1 : 2).tail();
            EXPECT_EQ(write(*g), once.data);
        }
    }
}

// Damaged shapes must be read without touching memory outside the graph.
TEST(Reader, DamagedRecordsAreReadSafely) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t nodes;
    };
    std::vector<Case> cases;
    cases.push_back({"id 0", Bytes().head(0, 5, 1).u32(1).u32(ATTR_INT).u32(3).tail(), 0});
    cases.push_back({"repeated ids", Bytes().head(3, 5, 0).tail().head(3, 6, 0).tail(), 2});
    cases.push_back({"decreasing ids", Bytes().head(9, 5, 0).tail().head(2, 6, 0).tail(), 2});
    cases.push_back({"huge id", Bytes().head(0xfffffff0u, 5, 0).tail(), 1});
    cases.push_back({"negative count", Bytes().head(1, 5, 0x80000000u).tail().head(2, 5, 0).tail(), 2});
    cases.push_back({"count past the end", Bytes().head(1, 5, 0x7fffffffu).u32(1).u32(ATTR_INT), 1});
    cases.push_back({"text past the end", Bytes().head(1, 5, 1).u32(1).u32(ATTR_STRING).u16(500).text("ab"), 1});
    cases.push_back({"file name past the end", Bytes().head(1, 5, 0).u16(0xffff), 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto g = read(c.bytes.data);
        ASSERT_TRUE(g);
        EXPECT_EQ(g->nodes.size(), c.nodes);
        write(*g);
    }
}

TEST(Reader, RandomBytesNeverBreakTheReader) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 400, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 8 == 0 ? random() : random() % 8);
        auto g = read(bytes);
        ASSERT_TRUE(g);
        write(*g);
    }
}

}  // namespace
