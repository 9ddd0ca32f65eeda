// docs/messages.md explains every numbered message to users. Each entry is a
// level-two heading "## E506 ..." (the letter of the printed prefix and the
// number) followed by a fenced block whose one line is the message exactly as
// printed, placeholders included. These tests keep the page and the
// catalogue from drifting apart.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run.h"
#include "report/messages.h"

namespace {

struct DocEntry {
    int line = 0;          // of the heading, counted from 1
    char letter = 0;       // E, W or M
    bool hasBlock = false;
    std::string text;      // the block's lines joined by '\n'
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool isFence(const std::string& line) { return line.rfind("```", 0) == 0; }

// "## E506 ..." -> letter and number; false for any other line.
bool entryHeading(const std::string& line, char& letter, int& code) {
    if (line.size() < 7 || line.compare(0, 3, "## ") != 0) return false;
    letter = line[3];
    if (letter != 'E' && letter != 'W' && letter != 'M') return false;
    for (int i = 4; i < 7; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return false;
    if (line.size() > 7 && std::isalnum(static_cast<unsigned char>(line[7]))) return false;
    code = std::stoi(line.substr(4, 3));
    return true;
}

// Every entry by number, in page order. The text of an entry is its first
// fenced block before the next heading of level one or two.
std::map<int, std::vector<DocEntry>> parseEntries(const std::string& doc) {
    std::map<int, std::vector<DocEntry>> entries;
    const std::vector<std::string> lines = splitLines(doc);
    DocEntry* open = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        char letter = 0;
        int code = 0;
        if (entryHeading(line, letter, code)) {
            entries[code].push_back(DocEntry{static_cast<int>(i + 1), letter, false, {}});
            open = &entries[code].back();
            continue;
        }
        if (line.rfind("# ", 0) == 0 || line.rfind("## ", 0) == 0) {
            open = nullptr;
            continue;
        }
        if (!isFence(line)) continue;
        // Skip over the block, keeping it when it is the open entry's first.
        std::vector<std::string> block;
        std::size_t j = i + 1;
        while (j < lines.size() && lines[j] != "```") block.push_back(lines[j++]);
        if (open && !open->hasBlock) {
            open->hasBlock = true;
            for (std::size_t k = 0; k < block.size(); ++k)
                open->text += (k ? "\n" : "") + block[k];
        }
        i = j;
    }
    return entries;
}

// Every fenced block of the page, as its lines joined by '\n'.
std::vector<std::string> fencedBlocks(const std::string& doc) {
    std::vector<std::string> blocks;
    const std::vector<std::string> lines = splitLines(doc);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!isFence(lines[i])) continue;
        std::string block;
        std::size_t j = i + 1;
        for (bool first = true; j < lines.size() && lines[j] != "```"; ++j, first = false)
            block += (first ? "" : "\n") + lines[j];
        blocks.push_back(block);
        i = j;
    }
    return blocks;
}

std::string capture(void (*print)()) {
    std::string out;
    setMessageCapture(&out);
    print();
    setMessageCapture(nullptr);
    return out;
}

std::string withoutTrailingNewlines(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The message as the printer writes it: its own prefix, then the text
// without the final line end.
std::string printedForm(const MessageRow& row) {
    const MessageRow alone[] = {{row.code, row.kind, "", ""}, {-1, 0, nullptr, nullptr}};
    std::string prefix;
    initMessages(1, alone);
    setMessageCapture(&prefix);
    printMessage(row.code);
    setMessageCapture(nullptr);
    initMessages(1, programCatalogue());
    return prefix + withoutTrailingNewlines(row.text);
}

// What is wrong with the page against a catalogue, one line per fault.
std::vector<std::string> compareWithCatalogue(const std::string& doc, const MessageRow* catalogue) {
    std::vector<std::string> faults;
    const std::map<int, std::vector<DocEntry>> entries = parseEntries(doc);
    std::map<int, bool> known;
    for (const MessageRow* row = catalogue; row->code != -1; ++row) {
        known[row->code] = true;
        const std::string expected = printedForm(*row);
        const std::string tag = "message " + std::to_string(row->code);
        auto found = entries.find(row->code);
        if (found == entries.end()) {
            faults.push_back(tag + ": no entry; expected a heading \"## " + expected.substr(0, 4) +
                             "\" and the block\n" + expected);
            continue;
        }
        for (const DocEntry& entry : found->second) {
            const std::string at = tag + " (line " + std::to_string(entry.line) + ")";
            if (entry.letter != expected[0])
                faults.push_back(at + ": the heading says " + entry.letter + ", printed as " + expected[0]);
            if (!entry.hasBlock)
                faults.push_back(at + ": no fenced block with the text");
            else if (entry.text != expected)
                faults.push_back(at + ": text differs\n  page:    [" + entry.text + "]\n  printed: [" +
                                 expected + "]");
        }
        if (found->second.size() > 1) faults.push_back(tag + ": more than one entry");
    }
    for (const auto& [code, list] : entries)
        if (!known.count(code))
            faults.push_back("message " + std::to_string(code) + " (line " + std::to_string(list[0].line) +
                             "): not in the catalogue");
    return faults;
}

std::string readMessagesPage() {
    std::ifstream in(std::string(TAVIK_SOURCE_DIR) + "/docs/messages.md", std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

TEST(MessagesPage, HasEveryCatalogueMessageAsPrinted) {
    const std::string doc = readMessagesPage();
    ASSERT_FALSE(doc.empty()) << "docs/messages.md is missing or empty";
    const std::vector<std::string> faults = compareWithCatalogue(doc, programCatalogue());
    EXPECT_TRUE(faults.empty()) << joined(faults);
}

TEST(MessagesPage, ShowsTheUsageAndVersionLinesAsPrinted) {
    const std::vector<std::string> blocks = fencedBlocks(readMessagesPage());
    auto shown = [&](const std::string& text) {
        for (const std::string& b : blocks)
            if (b == text) return true;
        return false;
    };
    const std::string usage = withoutTrailingNewlines(capture(printUsage));
    EXPECT_TRUE(shown(usage)) << "no fenced block holds the usage text:\n" << usage;
    const std::string version =
        withoutTrailingNewlines(capture([] { printVersion(kProgramName, kProgramVersion); }));
    EXPECT_TRUE(shown(version)) << "no fenced block holds the version line:\n" << version;
}

// The comparison itself, on small pages: each kind of drift is caught.
TEST(MessagesPage, ComparisonCatchesEachKindOfDrift) {
    const MessageRow catalogue[] = {
        {506, MSG_ERROR, "%s:%d:Function '%s' is a recursive call.\n", ""},
        {538, MSG_WARNING, "%s:%d:Too large. '%s' > %.0f\n", ""},
        {-1, 0, nullptr, nullptr},
    };
    const std::string e506 = "## E506: recursion\n\n```\nE506:Error:%s:%d:Function '%s' is a recursive call.\n```\n";
    const std::string w538 = "## W538\n```\nW538:Warning:%s:%d:Too large. '%s' > %.0f\n```\n";
    struct Case {
        const char* name;
        std::string page;
        std::vector<std::string> faultStarts;
    };
    const std::vector<Case> cases = {
        {"both entries as printed", "# Messages\n" + e506 + "text\n" + w538, {}},
        {"a later example block is not the text",
         e506 + "```c\nint f(int n) { return f(n); }\n```\n" + w538, {}},
        {"entry missing", e506, {"message 538: no entry"}},
        {"text differs (a blank lost at the end)",
         e506 + "## W538\n```\nW538:Warning:%s:%d:Too large. '%s' >\n```\n", {"message 538 (line 6): text differs"}},
        {"wrong kind letter", e506 + "## E538\n```\nW538:Warning:%s:%d:Too large. '%s' > %.0f\n```\n",
         {"message 538 (line 6): the heading says E"}},
        {"heading without a block", e506 + "## W538\nsee above\n", {"message 538 (line 6): no fenced block"}},
        {"block after the next section does not count",
         e506 + "## W538\n## Other lines\n```\nW538:Warning:%s:%d:Too large. '%s' > %.0f\n```\n",
         {"message 538 (line 6): no fenced block"}},
        {"entry twice", e506 + w538 + w538, {"message 538: more than one entry"}},
        {"stale entry", e506 + w538 + "## E999\n```\nE999:Error:gone\n```\n", {"message 999 (line 10): not in"}},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> faults = compareWithCatalogue(c.page, catalogue);
        ASSERT_EQ(faults.size(), c.faultStarts.size()) << c.name << '\n' << joined(faults);
        for (std::size_t i = 0; i < faults.size(); ++i)
            EXPECT_EQ(faults[i].rfind(c.faultStarts[i], 0), 0u) << c.name << '\n' << faults[i];
    }
}

}  // namespace
