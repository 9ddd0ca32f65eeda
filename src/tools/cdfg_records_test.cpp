#include "tools/cdfg_records.h"

#include <gtest/gtest.h>

#include "cdfg/reader.h"
#include "support/cdfg_files.h"

namespace {

using tooltest::assemble;

// Two records; every cut of the file keeps the complete records and turns
// the rest into the tail, and encoding gives back the cut bytes.
TEST(CdfgRecords, EveryCutKeepsCompleteRecordsAndTheRestAsTail) {
    const std::string bytes = assemble(
        "node CFG_ROOT at \"a.c\" 1 2\n"
        "  CfgRoot_ELEMENT @2\n"
        "  CfgRoot_LANG \"C\"\n"
        "  9 ATTR_CHAR 7\n"
        "node CFG_FILEINFO\n"
        "  CfgFileinfo_NAME \"a.c\"\n"
        "  CfgFileinfo_END ATTR_FLOAT 1.5\n");
    const std::size_t firstEnd = parseRecords(bytes).records.at(1).offset;
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        const std::string prefix = bytes.substr(0, cut);
        const RecordFile file = parseRecords(prefix);
        const std::size_t complete = (cut >= firstEnd ? 1 : 0) + (cut == bytes.size() ? 1 : 0);
        ASSERT_EQ(file.records.size(), complete) << "cut at " << cut;
        const std::size_t tailStart = complete == 0 ? 0 : complete == 1 ? firstEnd : bytes.size();
        EXPECT_EQ(file.tailOffset, tailStart);
        EXPECT_EQ(file.tail, prefix.substr(tailStart));
        EXPECT_EQ(encodeRecords(file), prefix);
    }
}

TEST(CdfgRecords, NegativeCountIsKeptWithNoEntries) {
    const std::string bytes = assemble("node 7 CFG_ROOT count -2 at \"x\" 3 4\n");
    const RecordFile file = parseRecords(bytes);
    ASSERT_EQ(file.records.size(), 1u);
    EXPECT_EQ(file.records[0].count, 0xFFFFFFFEu);
    EXPECT_TRUE(file.records[0].attrs.empty());
    EXPECT_EQ(file.records[0].fileName, "x");
    EXPECT_EQ(encodeRecords(file), bytes);
}

// The records split where the project's reader splits them, whatever the
// bytes: ids, kinds, links and positions agree node for node.
TEST(CdfgRecords, AgreesWithTheGraphReader) {
    std::mt19937 rng(7);
    for (int round = 0; round < 120; ++round) {
        const std::string bytes = round % 2 ? tooltest::randomGraphBytes(rng) : tooltest::randomOddBytes(rng);
        const RecordFile file = parseRecords(bytes);
        ASSERT_EQ(encodeRecords(file), bytes);
        auto g = readCdfgBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        // The reader makes no node of id 0, and keeps a record cut short
        // once its five leading words are there.
        std::vector<const FileRecord*> made;
        for (const FileRecord& r : file.records)
            if (r.id != 0) made.push_back(&r);
        const bool partial = file.tail.size() >= 20 && file.tail.substr(0, 4) != std::string(4, '\0');
        ASSERT_EQ(g->nodes.size(), made.size() + (partial ? 1 : 0)) << "round " << round;
        for (std::size_t i = 0; i < made.size(); ++i) {
            const FileRecord& r = *made[i];
            const CdfgNode& n = g->nodes[i];
            EXPECT_EQ(n.id, r.id);
            EXPECT_EQ(n.kind, r.kind);
            EXPECT_EQ(n.prev, r.prev);
            EXPECT_EQ(n.next, r.next);
            EXPECT_EQ(n.jump, r.jump);
            EXPECT_EQ(g->places[i].line, r.line);
            EXPECT_EQ(g->places[i].column, r.column);
        }
    }
}

}  // namespace
