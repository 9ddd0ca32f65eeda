// The C programs of docs/messages.md go through c2cdfg and tavikChk. A block
// opened with "```c example OPTIONS" must make the checker, run with OPTIONS,
// print the message of the entry it stands in; one opened with
// "```c fix OPTIONS" must not. Plain "```c" blocks are fragments and are left
// alone.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.h"

namespace {

struct Program {
    std::string name;    // "E506_Example", "E507_Fix2": the test's name
    std::string prefix;  // "E506:", how the message's lines begin
    bool isExample = false;
    std::vector<std::string> options;
    std::string source;
    int line = 0;  // of the opening fence
};

struct PagePrograms {
    std::vector<Program> programs;
    std::vector<std::string> faults;
};

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// "## E506..." -> "E506"; empty for any other line.
std::string entryOf(const std::string& line) {
    if (line.size() < 7 || line.compare(0, 3, "## ") != 0 || std::string("EWM").find(line[3]) == std::string::npos)
        return "";
    for (int i = 4; i < 7; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return "";
    return line.substr(3, 4);
}

PagePrograms parsePrograms(const std::string& doc) {
    PagePrograms page;
    std::vector<std::string> lines;
    std::istringstream in(doc);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::string entry;
    std::map<std::string, int> seen;  // blocks so far per "E506_Example"
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("# ", 0) == 0 || line.rfind("## ", 0) == 0) {
            entry = entryOf(line);
            continue;
        }
        if (line.rfind("```", 0) != 0) continue;
        std::size_t end = i + 1;
        std::string body;
        for (; end < lines.size() && lines[end] != "```"; ++end) body += lines[end] + "\n";
        const std::string at = "line " + std::to_string(i + 1) + ": ";
        const std::vector<std::string> info = words(line.substr(3));
        if (end == lines.size()) page.faults.push_back(at + "block not closed");
        if (info.size() >= 2 && info[0] == "c") {
            if (info[1] != "example" && info[1] != "fix")
                page.faults.push_back(at + "a C block is \"example\" or \"fix\", not \"" + info[1] + "\"");
            else if (entry.empty())
                page.faults.push_back(at + "a C program outside a message's entry");
            else {
                std::string name = entry + (info[1] == "example" ? "_Example" : "_Fix");
                const int n = ++seen[name];
                if (n > 1) name += std::to_string(n);
                page.programs.push_back({name, entry + ":", info[1] == "example",
                                         {info.begin() + 2, info.end()}, body, static_cast<int>(i + 1)});
            }
        }
        i = end;
    }
    return page;
}

const PagePrograms& page() {
    static const PagePrograms parsed = [] {
        std::ifstream in(std::string(TAVIK_SOURCE_DIR) + "/docs/messages.md", std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return parsePrograms(all.str());
    }();
    return parsed;
}

TEST(MessagesDocPrograms, EveryCBlockIsAnExampleOrAFixInAnEntry) {
    std::string faults;
    for (const std::string& f : page().faults) faults += f + "\n";
    EXPECT_TRUE(faults.empty()) << faults;
    EXPECT_FALSE(page().programs.empty()) << "docs/messages.md holds no C example";
}

void PrintTo(const Program& p, std::ostream* os) { *os << p.name; }

class MessagesDocProgram : public ::testing::TestWithParam<Program> {};

TEST_P(MessagesDocProgram, PrintsTheMessageForTheExampleOnly) {
    const Program& p = GetParam();
    const std::string where = "docs/messages.md line " + std::to_string(p.line) + "\n";
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("prog.c"), p.source);
    const tb::Run front = tb::runBinary(C2CDFG_BINARY, {"-o", "prog.cdfg", "prog.c"}, dir.dir());
    ASSERT_EQ(front.status, 0) << where << front.err;

    std::vector<std::string> args = p.options;
    args.insert(args.end(), {"prog.cdfg", "prog.inf"});
    const tb::Run run = tb::runBinary(TAVIK_BINARY, args, dir.dir());
    EXPECT_TRUE(run.status == 0 || run.status == 255) << where << "exit status " << run.status;
    bool printed = false;
    std::istringstream out(run.out);
    for (std::string l; std::getline(out, l);) printed = printed || l.rfind(p.prefix, 0) == 0;
    EXPECT_EQ(printed, p.isExample) << where << (p.isExample ? "missing: " : "printed for the fix: ") << p.prefix
                                    << "\n" << run.out;
}

INSTANTIATE_TEST_SUITE_P(MessagesDoc, MessagesDocProgram, ::testing::ValuesIn(page().programs),
                         [](const auto& info) { return info.param.name; });

}  // namespace
