#include "cdfg/writer.h"

#include <gtest/gtest.h>

#include "support/c_program.h"
#include "support/temp_path.h"

#include <filesystem>
#include <random>

#include "cdfg/reader.h"

namespace {

std::unique_ptr<CdfgGraph> read(const std::string& bytes) {
    return readCdfgBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(Writer, DeletedNodesAreLeftOutInListOrder) {
    auto g = newGraph();
    for (int i = 0; i < 4; ++i) createNode(*g, CFG_BREAK);
    deleteNode(*g, 2);
    std::string out;
    writeCdfgBytes(*g, out);
    auto back = read(out);
    ASSERT_EQ(back->nodes.size(), 3u);
    EXPECT_EQ(back->nodes[0].id, 1u);
    EXPECT_EQ(back->nodes[1].id, 3u);
    EXPECT_EQ(back->nodes[2].id, 4u);
}

TEST(Writer, MissingTextsReadBackAsEmptyTextsAndNoFileName) {
    auto g = newGraph();
    NodeId n = createNode(*g, CFG_DECLARE);
    setAttrString(*g, n, CfgDecl_NAME, nullptr);
    setFileName(*g, n, "");
    std::string out;
    writeCdfgBytes(*g, out);
    auto back = read(out);
    EXPECT_STREQ(getAttrString(*back, n, CfgDecl_NAME), "");
    EXPECT_EQ(getFileName(*back, n), nullptr);
}

TEST(Writer, OverlongTextIsCutToWhatTheLengthFieldHolds) {
    auto g = newGraph();
    NodeId n = createNode(*g, CFG_DECLARE);
    setAttrString(*g, n, CfgDecl_NAME, std::string(70000, 'a').c_str());
    std::string out;
    writeCdfgBytes(*g, out);
    auto back = read(out);
    EXPECT_EQ(std::string(getAttrString(*back, n, CfgDecl_NAME)).size(), 65535u);
}

TEST(Writer, FailuresAreReportedAsMinusOne) {
    auto g = newGraph();
    EXPECT_EQ(writeCdfg(nullptr, "x"), -1);
    EXPECT_EQ(writeCdfg(g.get(), "/nonexistent/dir/x.cdfg"), -1);
    std::string path = tb::tempPath("empty.cdfg");
    EXPECT_EQ(writeCdfg(g.get(), path.c_str()), 0);
    auto back = readCdfg(path.c_str());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->nodes.empty());
    // The file a graph was read from cut short under it: its records can no
    // longer be copied, and the write fails instead of waiting for them.
    {
        auto one = newGraph();
        createNode(*one, CFG_BREAK);
        ASSERT_EQ(writeCdfg(one.get(), path.c_str()), 0);
    }
    auto shrunk = readCdfg(path.c_str());
    ASSERT_TRUE(shrunk);
    std::filesystem::resize_file(path, 0);
    const std::string copy = tb::tempPath("copy.cdfg");
    EXPECT_EQ(writeCdfg(shrunk.get(), copy.c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(copy));
    std::remove(path.c_str());
}

}  // namespace

namespace {

std::string slurp(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

TEST(Writer, ReplacesTheFileWholeAndKeepsItsPermissions) {
    namespace fs = std::filesystem;
    fs::path dir = fs::path(tb::tempPath("dir"));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string path = (dir / "prog.cdfg").string();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("old contents", f);
        std::fclose(f);
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    auto g = newGraph();
    createNode(*g, CFG_ROOT);
    ASSERT_EQ(writeCdfg(g.get(), path.c_str()), 0);
    std::string expected;
    writeCdfgBytes(*g, expected);
    EXPECT_EQ(slurp(path), expected);
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

// Unchanged records are copied from the bytes read instead of encoded. Over
// a program, its damaged variants and edits of each kind, from memory and from
// a file, the copy must give exactly the bytes that encoding every node gives.
TEST(Writer, CopiedRecordsAreTheBytesEncodingGives) {
    std::string program;
    {
        // Functions enough for several blocks of spans.
        std::string source;
        for (int i = 0; i < 16; ++i)
            source += "float f" + std::to_string(i) +
                      "(float *x) {\n"
                      "    double y[4]; //tavik fixedP S 16:8\n"
                      "    y[1] = *x;\n"
                      "    return *x;\n"
                      "}\n";
        auto compiled = tb::compileC(source.c_str());
        ASSERT_TRUE(compiled);
        writeCdfgBytes(*compiled, program);
    }
    auto encodeAll = [](CdfgGraph& g) {
        std::unique_ptr<SourceBytes> source = std::move(g.source);
        std::string out;
        writeCdfgBytes(g, out);
        g.source = std::move(source);
        return out;
    };
    using Edit = void (*)(CdfgGraph&);
    const std::vector<std::pair<const char*, Edit>> edits = {
        {"none", [](CdfgGraph&) {}},
        {"attribute", [](CdfgGraph& g) { setAttrInt(g, 3, 1, 77); }},
        {"wide attribute", [](CdfgGraph& g) { setAttrLongLong(g, 4, 9, -5000000000LL); }},
        {"text", [](CdfgGraph& g) { setAttrString(g, 5, 1, "renamed"); }},
        {"link", [](CdfgGraph& g) { setNextId(g, 6, 2); }},
        {"file name", [](CdfgGraph& g) { setFileName(g, 7, "b.c"); }},
        {"deleted", [](CdfgGraph& g) { deleteNode(g, 8); }},
        {"added", [](CdfgGraph& g) { setAttrInt(g, createNode(g, CFG_BREAK), 2, 1); }},
        {"later blocks", [](CdfgGraph& g) {
             setAttrInt(g, g.lastId / 2, 1, 5);
             setLine(g, g.lastId - 1, 9);
         }},
    };
    const std::vector<std::uint64_t> starts =
        recordStarts(reinterpret_cast<const unsigned char*>(program.data()), program.size());
    ASSERT_GT(starts.size(), 3 * kSpanBlock);
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        std::string bytes = program;
        // A record no node is made of (id 0) within a block.
        if (round % 5 == 1) bytes.replace(starts[kSpanBlock + round % 50], 4, 4, '\0');
        for (int i = 0; round > 0 && i < 1 + round % 4; ++i) {
            std::size_t at = random() % bytes.size();
            if (random() % 3 == 0)
                bytes.erase(at, random() % 9);
            else
                bytes[at] = static_cast<char>(random() % 3 ? random() % 8 : random());
        }
        for (const auto& [what, edit] : edits) {
            SCOPED_TRACE(std::string(what) + ", round " + std::to_string(round));
            auto g = read(bytes);
            edit(*g);
            std::string copied;
            writeCdfgBytes(*g, copied);
            EXPECT_EQ(copied, encodeAll(*g));
        }
    }
    // From a file, and back to one.
    std::string in = tb::tempPath("copied_in.cdfg"), out = tb::tempPath("copied_out.cdfg");
    for (const auto& [what, edit] : edits) {
        SCOPED_TRACE(what);
        {
            std::FILE* file = std::fopen(in.c_str(), "wb");
            std::fwrite(program.data(), 1, program.size(), file);
            std::fclose(file);
        }
        auto g = readCdfg(in.c_str());
        ASSERT_TRUE(g);
        edit(*g);
        ASSERT_EQ(writeCdfg(g.get(), out.c_str()), 0);
        EXPECT_EQ(slurp(out), encodeAll(*g));
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
}

}  // namespace
