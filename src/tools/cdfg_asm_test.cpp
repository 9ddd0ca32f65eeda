#include "tools/cdfg_asm.h"

#include <gtest/gtest.h>

#include <regex>

#include "cdfg/writer.h"
#include "support/c_program.h"
#include "tools/cdfg_dump.h"
#include "support/cdfg_files.h"

namespace {

using tooltest::assemble;

std::string dumpOf(const std::string& bytes) { return dumpRecords(parseRecords(bytes)); }

// A dump of what the front end wrote, without its PrevId links, assembles
// to the same bytes: the links asm fills in are the front end's (except for
// an initialiser's value, whose PrevId the front end sets to its member).
TEST(CdfgAsm, LeftOutPrevIdsAreTheFrontEndsLinks) {
    std::unique_ptr<CdfgGraph> g = tb::compileC(R"(struct pt { int x; } s;
int f(int a, int b) { return a + b; }
int main(int argc, char *argv[])
{
    int y, arr[2];
    if (y) y = f(y, 2); else s.x = arr[y];
    *(arr + 1) = 2;
    for (y = 0; y < 2; y++) y = y * (2 + f(1, 2));   //tavik unroll
    return 0;
}
)");
    ASSERT_NE(g, nullptr);
    std::string bytes;
    writeCdfgBytes(*g, bytes);
    std::string text = dumpOf(bytes);
    text = std::regex_replace(text, std::regex(" prev [0-9]+"), "");
    EXPECT_EQ(dumpOf(assemble(text)), dumpOf(bytes));
}

TEST(CdfgAsm, IdsLabelsAndLinks) {
    const std::string bytes = assemble(R"(
node 10 CFG_ROOT                 # explicit id
node CFG_FILEINFO next @later    # 11, numbered after the one before
node @later 20 CFG_FILEINFO jump @11 prev 0
node 17                          # unknown kind 17 is CFG_FILEINFO; 21
node 5 4000 next 21              # unknown kind code, explicit id below
node @own CFG_ROOT               # 6
  CfgRoot_ELEMENT @owned
node @owned CFG_FILEINFO         # 7: PrevId from its owner
)");
    const RecordFile f = parseRecords(bytes);
    ASSERT_EQ(f.records.size(), 7u);
    const std::uint32_t ids[] = {10, 11, 20, 21, 5, 6, 7};
    const std::uint32_t kinds[] = {CFG_ROOT, CFG_FILEINFO, CFG_FILEINFO, 17, 4000, CFG_ROOT, CFG_FILEINFO};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(f.records[i].id, ids[i]);
        EXPECT_EQ(f.records[i].kind, kinds[i]);
    }
    EXPECT_EQ(f.records[1].next, 20u);
    EXPECT_EQ(f.records[2].jump, 11u);
    EXPECT_EQ(f.records[2].prev, 0u);  // given, so not taken from the NextId of 11
    EXPECT_EQ(f.records[3].prev, 5u);  // named by NextId
    EXPECT_EQ(f.records[6].prev, 6u);  // owned
}

TEST(CdfgAsm, ValuesPositionsAndRawBytes) {
    const std::string text = (
        "file \"f.c\"\n"
        "line 40 2\n"
        "node CFG_DECLARE\n"
        "  CfgDecl_NAME \"q\\\"#\\x00\\xff\"   # '#' inside a text is no comment\n"
        "  CfgDecl_VALTYPE DECL_VALTYPE_DOUBLE\n"
        "  CfgDecl_KIND -1\n"
        "  CfgDecl_VALUE 0002500.0000000000\n"  // as long as hex bits, yet decimal
        "  CfgDecl_DIMNODE @1\n"
        "  CfgDecl_BITMSB ATTR_CHAR -128\n"
        "  CfgDecl_BITLSB ATTR_LONGLONG 0x123456789\n"
        "  CfgDecl_DIMMSB ATTR_FLOAT 0x7FF8009f000A00a1\n"
        "  CfgDecl_DIMLSB ATTR_INT CALC_Add\n"
        "  77 ATTR_0\r\n"
        "node CFG_ROOT count 5 at \"g.c\" 9\n"
        "node CFG_ROOT at 3 4\n"
        "bytes 0001 ff\n"
        "bytes 7e\n");
    const std::string bytes = assemble(text);
    RecordFile f;
    std::vector<std::string> errors;
    ASSERT_TRUE(assembleText(text, "t", f, errors)) << tooltest::joinLines(errors);
    ASSERT_EQ(f.records.size(), 3u);
    const FileRecord& d = f.records[0];
    EXPECT_EQ(d.fileName, "f.c");
    EXPECT_EQ(d.line, 40u);
    EXPECT_EQ(d.column, 2u);
    ASSERT_EQ(d.attrs.size(), 10u);
    EXPECT_EQ(d.count, 10u);
    const std::pair<std::uint32_t, std::uint64_t> values[] = {
        {ATTR_STRING, 0}, {ATTR_INT, DECL_VALTYPE_DOUBLE}, {ATTR_INT, 0xFFFFFFFFu},
        {ATTR_FLOAT, 0x40A3880000000000ull}, {ATTR_NODE, 1}, {ATTR_CHAR, 0x80},
        {ATTR_LONGLONG, 0x123456789ull}, {ATTR_FLOAT, 0x7ff8009f000a00a1ull},
        {ATTR_INT, CALC_Add}, {0, 0}};
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(d.attrs[i].valueKind, values[i].first) << i;
        EXPECT_EQ(d.attrs[i].bits, values[i].second) << i;
    }
    EXPECT_EQ(d.attrs[0].text, std::string("q\"#\0\xff", 5));
    EXPECT_EQ(d.attrs[9].id, 77u);
    EXPECT_EQ(f.records[1].count, 5u);  // as given, whatever follows
    EXPECT_EQ(f.records[1].fileName, "g.c");
    EXPECT_EQ(f.records[1].line, 9u);
    EXPECT_EQ(f.records[1].column, 0u);
    EXPECT_EQ(f.records[2].fileName, "f.c");
    EXPECT_EQ(f.records[2].line, 3u);
    EXPECT_EQ(f.records[2].column, 4u);
    EXPECT_EQ(f.tail, std::string("\x00\x01\xff\x7e", 4));
    EXPECT_EQ(bytes.substr(bytes.size() - 4), f.tail);
}

TEST(CdfgAsm, ErrorsNameTheLineAndWhatWasExpected) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::string longText(70000, 'a');
    const Case cases[] = {
        {"node CFG_FUNCTON", "t:1: expected a node kind (a name such as CFG_FUNCTION, or a number), found 'CFG_FUNCTON'"},
        {"node", "t:1: expected a node kind after 'node'"},
        {"node 1 2 3", "t:1: expected '[@label] [id] kind' after 'node', found 3 words"},
        {"node x CFG_ROOT", "t:1: expected a node id"},
        {"node @9a CFG_ROOT", "t:1: expected a label name"},
        {"node @a-b CFG_ROOT", "t:1: expected a label name"},
        {"\n  CfgRoot_ELEMENT @a", "t:2: expected 'node' to start a record before 'CfgRoot_ELEMENT'"},
        {"node CFG_ROOT\n  CfgFunc_NAME \"x\"",
         "t:2: expected an attribute of CFG_ROOT (a name such as CfgRoot_ELEMENT, or a number), found 'CfgFunc_NAME'"},
        {"node 999\n  CfgFunc_NAME \"x\"", "t:2: expected an attribute number: node kind 999 has no attribute names"},
        {"node CFG_ROOT\n  CfgRoot_ELEMENT @nowhere", "t:2: expected a defined label, found @nowhere"},
        {"node @a CFG_ROOT\nnode @a CFG_ROOT", "t:2: label @a is already defined on line 1"},
        {"node CFG_ROOT\n  CfgRoot_LANG \"abc", "t:2: expected '\"' to close the text"},
        {"node CFG_ROOT\n  CfgRoot_LANG \"a\\q\"", "t:2: expected one of"},
        {"node CFG_ROOT\n  CfgRoot_LANG \"\\x4\"", "t:2: expected two hex digits after '\\x'"},
        {"node CFG_ROOT prev", "t:1: expected a node (a number, @label or 0 for none) after 'prev', found the end of the line"},
        {"node CFG_ROOT next \"x\"", "t:1: expected a node (a number, @label or 0 for none) after 'next', found a quoted text"},
        {"node CFG_ROOT prev 1 prev 2", "t:1: 'prev' is given twice"},
        {"node CFG_ROOT at", "t:1: expected a line number after 'at'"},
        {"node CFG_ROOT at 1 x", "t:1: expected a column number or the next clause"},
        {"node CFG_ROOT\n  count x", "t:2: expected an attribute count"},
        {"node CFG_ROOT\n  CfgRoot_LANG ATTR_INT 1.5", "t:2: expected an integer that fits 32 bits"},
        {"node CFG_ROOT\n  CfgRoot_LANG ATTR_CHAR 300", "t:2: expected an integer that fits 8 bits"},
        {"node CFG_ROOT\n  CfgRoot_LANG 5000000000", "write ATTR_LONGLONG before a 64-bit value"},
        {"node CFG_ROOT\n  CfgRoot_LANG ATTR_STRING 5", "t:2: expected a quoted text after ATTR_STRING"},
        {"node CFG_ROOT\n  CfgRoot_LANG ATTR_FLOAT x", "t:2: expected a floating value"},
        {"node CFG_ROOT\n  CfgRoot_LANG ATTR_FOO 1", "t:2: expected a value kind"},
        {"node CFG_ROOT\n  CfgRoot_LANG 1 2", "t:2: expected the end of the line after the value, found '2'"},
        {"node CFG_ROOT\n  CfgRoot_LANG ATTR_7 1", "t:2: expected the end of the line (ATTR_7 carries no value)"},
        {"node CFG_ROOT\n  CfgRoot_LANG", "t:2: expected a value (a number, a quoted text, @label or a value name"},
        {"node CFG_ROOT\n  CfgRoot_LANG hello", "found 'hello'"},
        {"node CFG_ROOT\n  \"x\"", "t:2: expected a statement"},
        {"node 4294967295 CFG_ROOT\nnode CFG_ROOT", "t:2: expected an explicit id"},
        {"file x.c", "t:1: expected a quoted file name after 'file'"},
        {"line", "t:1: expected a line number after 'line'"},
        {"bytes 0g", "t:1: expected bytes as pairs of hex digits, found '0g'"},
        {"bytes 00\nnode CFG_ROOT", "t:2: expected 'bytes': no record can follow them"},
        {"bytes 00\n  CfgRoot_LANG 1", "t:2: expected 'bytes': nothing but bytes can follow them"},
        {"node CFG_ROOT\n  CfgRoot_LANG \"" + longText + "\"", "t:2: the text is 70000 bytes long; at most 65535 fit"},
    };
    std::vector<std::string> errors;  // each run starts it afresh
    for (const Case& c : cases) {
        RecordFile out;
        EXPECT_FALSE(assembleText(c.text, "t", out, errors)) << c.text;
        ASSERT_FALSE(errors.empty()) << c.text;
        EXPECT_NE(errors[0].find(c.error), std::string::npos)
            << "text: " << c.text.substr(0, 80) << "\nerror: " << errors[0];
    }
}

TEST(CdfgAsm, ReportsEveryBadLine) {
    RecordFile out;
    std::vector<std::string> errors;
    EXPECT_FALSE(assembleText("node CFG_ROOT\n  Nope 1\n  CfgRoot_LANG 1\n  Nope 2\n", "t", out, errors));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("t:2:", 0), 0u);
    EXPECT_EQ(errors[1].rfind("t:4:", 0), 0u);
}

}  // namespace

namespace {

// Any jumble of words assembles or fails with errors, never worse; what
// assembles dumps to a text that assembles to the same bytes.
TEST(CdfgAsm, AnyTextAssemblesOrFailsCleanly) {
    const char* words[] = {"node", "@a", "@b", "@1", "CFG_ROOT", "CFG_FUNCTION", "7", "-1",
                           "4294967295", "1.5", "0x7ff8000000000000", "\"x\"", "\"\\x4", "\"a\\\"",
                           "prev", "next", "jump", "at", "count", "ATTR_7", "ATTR_NODE", "ATTR_CHAR",
                           "CfgRoot_ELEMENT", "CfgFunc_NAME", "DECL_VAR", "bytes", "00", "0g", "file",
                           "line", "#", "\n", "\n", "\n", "\r\n", "\n  "};
    std::mt19937 rng(11);
    int assembled = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = rng() % 2 ? "node @a CFG_ROOT\n" : "";
        const int count = static_cast<int>(rng() % 30);
        for (int i = 0; i < count; ++i) {
            text += words[rng() % std::size(words)];
            text += ' ';
        }
        RecordFile file;
        std::vector<std::string> errors;
        if (!assembleText(text, "t", file, errors)) {
            EXPECT_FALSE(errors.empty());
            continue;
        }
        ++assembled;
        const std::string bytes = encodeRecords(file);
        RecordFile back;
        ASSERT_TRUE(assembleText(dumpRecords(parseRecords(bytes)), "dump", back, errors)) << text;
        EXPECT_EQ(encodeRecords(back), bytes) << text;
    }
    EXPECT_GT(assembled, 20);
}

}  // namespace
