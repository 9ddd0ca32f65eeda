#include "cdfg/writer.h"

#include <gtest/gtest.h>

#include "support/temp_path.h"

#include <filesystem>

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

}  // namespace
