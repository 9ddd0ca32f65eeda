#include "tools/cdfg_dump.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/binary_run.h"
#include "tools/cdfg_asm.h"
#include "support/cdfg_files.h"

namespace {

// asm(dump(x)) == x, byte for byte.
void expectRoundTrip(const std::string& bytes, const std::string& what) {
    const RecordFile parsed = parseRecords(bytes);
    ASSERT_EQ(encodeRecords(parsed), bytes) << what;
    const std::string text = dumpRecords(parsed);
    RecordFile back;
    std::vector<std::string> errors;
    ASSERT_TRUE(assembleText(text, "dump", back, errors))
        << what << '\n' << tooltest::joinLines(errors) << text;
    ASSERT_EQ(encodeRecords(back), bytes) << what << '\n' << text;
}

// Any CDFG file kept in the repository (outside build trees).
TEST(CdfgDump, RoundTripOfTheRepositoryFiles) {
    namespace fs = std::filesystem;
    const fs::path top(TAVIK_SOURCE_DIR);
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name.rfind("build", 0) == 0 || name[0] == '.')) {
            it.disable_recursion_pending();
            continue;
        }
        // Generated benchmark inputs are large and not part of the repository.
        if (it->is_directory() && it->path().filename() == "out" &&
            it->path().parent_path().filename() == "bench") {
            it.disable_recursion_pending();
            continue;
        }
        if (it->path().extension() == ".cdfg")
            expectRoundTrip(tb::readBytes(it->path().string()), it->path().string());
    }
}

TEST(CdfgDump, RoundTripOfRandomFiles) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 150; ++round) {
        expectRoundTrip(tooltest::randomGraphBytes(rng), "graph " + std::to_string(round));
        expectRoundTrip(tooltest::randomOddBytes(rng), "odd " + std::to_string(round));
        std::string noise(rng() % 200, '\0');
        for (char& c : noise) c = static_cast<char>(rng());
        expectRoundTrip(noise, "noise " + std::to_string(round));
    }
}

TEST(CdfgDump, ShowsNamesWhereKnownAndNumbersElsewhere) {
    RecordFile file;
    FileRecord r;
    r.id = 5;
    r.kind = CFG_DECLARE;
    r.prev = 4;
    r.fileName = "a\"b.c";
    r.line = 12;
    r.column = 3;
    r.attrs = {{CfgDecl_NAME, ATTR_STRING, 0, "x\n\xff"},
               {CfgDecl_VALTYPE, ATTR_INT, DECL_VALTYPE_FLOAT, {}},
               {CfgDecl_SIGNED, ATTR_INT, 77, {}},
               {CfgDecl_DIMNODE, ATTR_NODE, 9, {}},
               {CfgDecl_POINTERCNT, ATTR_CHAR, 0xFF, {}},
               {CfgDecl_VALUE, ATTR_LONGLONG, 0xFFFFFFFFFFFFFFFEull, {}},
               {CfgDecl_DIMMSB, ATTR_FLOAT, 0x3FF8000000000000ull, {}},
               {999, 7, 0, {}}};
    r.count = static_cast<std::uint32_t>(r.attrs.size());
    file.records.push_back(r);
    FileRecord unknown;
    unknown.id = 6;
    unknown.kind = 4000;
    unknown.count = 0xFFFFFFFF;
    file.records.push_back(unknown);
    file.tail = std::string("\x00\x01\xab", 3);
    file.tailOffset = 100;
    EXPECT_EQ(dumpRecords(file),
              "node 5 CFG_DECLARE prev 4 next 0 jump 0 at \"a\\\"b.c\" 12 3\n"
              "  CfgDecl_NAME ATTR_STRING \"x\\n\\xff\"\n"
              "  CfgDecl_VALTYPE ATTR_INT DECL_VALTYPE_FLOAT\n"
              "  CfgDecl_SIGNED ATTR_INT 77\n"
              "  CfgDecl_DIMNODE ATTR_NODE 9\n"
              "  CfgDecl_POINTERCNT ATTR_CHAR -1\n"
              "  CfgDecl_VALUE ATTR_LONGLONG -2\n"
              "  CfgDecl_DIMMSB ATTR_FLOAT 1.5\n"
              "  999 ATTR_7\n"
              "node 6 4000 prev 0 next 0 jump 0 count -1 at \"\" 0 0\n"
              "# the file ends inside the record that starts at byte 100\n"
              "bytes 00 01 ab\n");
}

}  // namespace
