// docs/messages.md explains every numbered message to users: an entry is a
// heading "## E506 ..." with a fenced block holding the message exactly as
// printed, placeholders included, and C programs that the checker must
// answer with the message ("```c example OPTIONS") or without it ("```c fix
// OPTIONS"). The page also shows the usage and the version line.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "report/messages.h"
#include "support/binary_run.h"

namespace {

struct Block {
    int line;            // of the opening fence
    std::string entry;   // "E506" of the entry it stands in, or empty
    std::string info;    // what follows the fence
    std::string text;    // its lines joined by '\n'
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The headings of the entries, and every fenced block.
struct Page {
    std::vector<std::string> entries;
    std::vector<Block> blocks;
};

const Page& page() {
    static const Page parsed = [] {
        Page p;
        const std::vector<std::string> all = lines(tb::readBytes(std::string(TAVIK_SOURCE_DIR) + "/docs/messages.md"));
        std::string entry;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const std::string& l = all[i];
            if (l.rfind("# ", 0) == 0 || l.rfind("## ", 0) == 0) {
                const bool numbered = l.size() >= 7 && l.rfind("## ", 0) == 0 && std::string("EWM").find(l[3]) != std::string::npos &&
                                      l.find_first_not_of("0123456789", 4) == 7;
                entry = numbered ? l.substr(3, 4) : "";
                if (numbered) p.entries.push_back(entry);
                continue;
            }
            if (l.rfind("```", 0) != 0) continue;
            Block b{static_cast<int>(i + 1), entry, l.substr(3), ""};
            for (++i; i < all.size() && all[i] != "```"; ++i) b.text += (b.text.empty() ? "" : "\n") + all[i];
            p.blocks.push_back(b);
        }
        return p;
    }();
    return parsed;
}

TEST(MessagesPage, HasEveryMessageAsPrintedOnce) {
    std::set<std::string> catalogued;
    for (const MessageRow* row = programCatalogue(); row->code != -1; ++row) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, row->kind == MSG_WARNING ? "W%03d" : "E%03d", row->code);
        catalogued.insert(prefix);
        std::string printed = std::string(prefix) + (row->kind == MSG_WARNING ? ":Warning:" : ":Error:") + row->text;
        printed.pop_back();
        const Block* first = nullptr;
        for (const Block& b : page().blocks)
            if (b.entry == prefix && !first) first = &b;
        ASSERT_NE(first, nullptr) << "no entry with a block for " << prefix;
        EXPECT_EQ(first->text, printed) << "docs/messages.md line " << first->line;
    }
    const std::set<std::string> entries(page().entries.begin(), page().entries.end());
    EXPECT_EQ(entries.size(), page().entries.size()) << "an entry stands twice";
    EXPECT_EQ(entries, catalogued);
}

TEST(MessagesPage, ShowsTheUsageAndTheVersionLine) {
    for (const char* option : {"-help", "-version"}) {
        std::string shown = tb::runBinary(TAVIK_BINARY, {option}).out;
        while (!shown.empty() && shown.back() == '\n') shown.pop_back();
        bool found = false;
        for (const Block& b : page().blocks) found = found || b.text == shown;
        EXPECT_TRUE(found) << "no fenced block holds the output of " << option << ":\n" << shown;
    }
}

struct Program {
    std::string name;  // "E506_Example", "E507_Fix2"
    Block block;
};

void PrintTo(const Program& p, std::ostream* os) { *os << p.name; }

std::vector<Program> programs() {
    std::vector<Program> out;
    std::set<std::string> seen;
    for (const Block& b : page().blocks) {
        std::istringstream info(b.info);
        std::string language, kind;
        info >> language >> kind;
        if (language != "c" || kind.empty()) continue;
        std::string name = b.entry + (kind == "example" ? "_Example" : "_Fix");
        for (int n = 2; !seen.insert(name).second; ++n) name = b.entry + (kind == "example" ? "_Example" : "_Fix") + std::to_string(n);
        out.push_back({name, b});
    }
    return out;
}

class MessagesDocProgram : public ::testing::TestWithParam<Program> {};

TEST_P(MessagesDocProgram, PrintsTheMessageForTheExampleOnly) {
    const Block& b = GetParam().block;
    SCOPED_TRACE("docs/messages.md line " + std::to_string(b.line));
    std::istringstream info(b.info);
    std::vector<std::string> words;
    for (std::string w; info >> w;) words.push_back(w);
    ASSERT_TRUE(words[1] == "example" || words[1] == "fix") << b.info;
    ASSERT_FALSE(b.entry.empty()) << "a C program outside a message's entry";
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("prog.c"), b.text + "\n");
    ASSERT_EQ(tb::runBinary(C2CDFG_BINARY, {"-o", "prog.cdfg", "prog.c"}, dir.dir()).status, 0);
    std::vector<std::string> args(words.begin() + 2, words.end());
    args.insert(args.end(), {"prog.cdfg", "prog.inf"});
    const tb::Run run = tb::runBinary(TAVIK_BINARY, args, dir.dir());
    EXPECT_TRUE(run.status == 0 || run.status == 255) << run.status;
    bool printed = false;
    for (const std::string& l : lines(run.out)) printed = printed || l.rfind(b.entry + ":", 0) == 0;
    EXPECT_EQ(printed, words[1] == "example") << run.out;
}

INSTANTIATE_TEST_SUITE_P(MessagesDoc, MessagesDocProgram, ::testing::ValuesIn(programs()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
