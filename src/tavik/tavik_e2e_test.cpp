// tavik check through the built program: the three formats, the exit
// statuses, what it leaves behind, and the same findings as the two chain
// tools run one after the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/binary_run.h"
#include "support/c_program.h"

namespace {

using nlohmann::json;

const std::string kProgram =
    "#include <stdlib.h>\n"
    "void work(float *buf)\n"
    "{\n"
    "    float *p;\n"
    "    p = malloc(16);\n"
    "    if (buf[0] > 0.5)\n"
    "        buf[0] = 0;\n"
    "}\n" +
    tb::kModuleMain;

const std::string kWarningOnly =
    "void work(float *buf)\n"
    "{\n"
    "    if (buf[0] > 0.5)\n"
    "        buf[0] = 0;\n"
    "}\n" +
    tb::kModuleMain;

const std::string k601 =
    "Floating point arithmetic is contained in the conditions of if. An unusual end may be carried "
    "out when a result does not suit.";

// tavik check in dir with TMPDIR set to dir/tmp, which must stay empty.
tb::Run check(const tb::ScratchDir& dir, std::vector<std::string> args) {
    std::filesystem::create_directories(dir.path("tmp"));
    args.insert(args.begin(), {"TMPDIR=" + dir.path("tmp"), TAVIK_CLI_BINARY, "check"});
    tb::Run run = tb::runBinary("/usr/bin/env", args, dir.dir());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("tmp"))) << "temporary files left behind";
    return run;
}

TEST(TavikCheck, GccAndTextFormats) {
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("p.c"), kProgram);
    tb::Run gcc = check(dir, {"--format", "gcc", "p.c"});
    EXPECT_EQ(gcc.out, "p.c:5:9: error: Dynamic memory allocation has not supported. [E508]\n"
                       "p.c:6:9: warning: " + k601 + " [W601]\n"
                       "\n1 error(s), 1 warning(s).\n");
    EXPECT_EQ(gcc.status, 1);
    tb::Run text = check(dir, {"--format", "text", "p.c"});
    EXPECT_EQ(text.out, "p.c:5:9: error: Dynamic memory allocation has not supported. [E508]\n"
                        "    p = malloc(16);\n"
                        "        ^\n"
                        "p.c:6:9: warning: " + k601 + " [W601]\n"
                        "    if (buf[0] > 0.5)\n"
                        "        ^\n"
                        "\n1 error(s), 1 warning(s).\n");
    EXPECT_EQ(tb::readBytes(dir.path("p.c")), kProgram);
    // Not to a terminal the default is the compiler's form; on one it is the
    // text form, in colour unless NO_COLOR is set.
    EXPECT_EQ(check(dir, {"p.c"}).out, gcc.out);
    const std::string caret = "        \033[1;32m^\033[0m\n";
    const std::string coloured =
        "\033[1mp.c:5:9:\033[0m \033[1;31merror:\033[0m \033[1mDynamic memory allocation has not supported. [E508]"
        "\033[0m\n    p = malloc(16);\n" + caret + "\033[1mp.c:6:9:\033[0m \033[1;35mwarning:\033[0m \033[1m" + k601 +
        " [W601]\033[0m\n    if (buf[0] > 0.5)\n" + caret + "\n1 error(s), 1 warning(s).\n";
    for (std::string env : {"", "NO_COLOR=1 "}) {
        std::string command = env + TAVIK_CLI_BINARY + " check p.c";
        std::string out = tb::runBinary("/usr/bin/script", {"-qec", command, "/dev/null"}, dir.dir()).out;
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
        EXPECT_EQ(out, env.empty() ? coloured : text.out);
    }
    EXPECT_EQ(tb::runBinary(TAVIK_CLI_BINARY, {"--version"}).out, "tavik 0.01.08\n");
    tb::Run help = tb::runBinary(TAVIK_CLI_BINARY, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tavik check", 0), 0u);
}

// A message that quotes a name points at the node of that name, wherever it
// stands on the line.
TEST(TavikCheck, ColumnOfTheNamedDeclaration) {
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("p.c"), "void work(float *buf)\n{\n    long double x, y;\n    x = y = 1;\n"
                                    "    buf[0] = x + y;\n}\n" + tb::kModuleMain);
    const std::string e525 = ": error: The long double type has not been supported. ";
    EXPECT_EQ(check(dir, {"--format", "gcc", "p.c"}).out,
              "p.c:3:20" + e525 + "'y' [E525]\np.c:3:17" + e525 + "'x' [E525]\n\n2 error(s), 0 warning(s).\n");
}

// Every property the SARIF 2.1.0 schema requires of what the log holds.
void expectValidSarif(const json& log) {
    ASSERT_TRUE(log.is_object());
    EXPECT_EQ(log.value("version", ""), "2.1.0");
    ASSERT_TRUE(log.contains("runs") && log["runs"].is_array() && !log["runs"].empty());
    for (const json& run : log["runs"]) {
        ASSERT_TRUE(run.contains("tool") && run["tool"].contains("driver"));
        const json& driver = run["tool"]["driver"];
        EXPECT_TRUE(driver.contains("name") && driver["name"].is_string());
        std::set<std::string> ids;
        for (const json& rule : driver.value("rules", json::array())) {
            ASSERT_TRUE(rule.contains("id") && rule["id"].is_string());
            EXPECT_TRUE(ids.insert(rule["id"].get<std::string>()).second);
            if (rule.contains("shortDescription")) {
                EXPECT_TRUE(rule["shortDescription"]["text"].is_string());
            }
        }
        for (const json& invocation : run.value("invocations", json::array()))
            EXPECT_TRUE(invocation.contains("executionSuccessful") && invocation["executionSuccessful"].is_boolean());
        for (const json& result : run.value("results", json::array())) {
            ASSERT_TRUE(result.contains("message") && result["message"].contains("text"));
            EXPECT_EQ(ids.count(result.value("ruleId", "")), 1u);
            EXPECT_EQ(driver["rules"][result.value("ruleIndex", 0)]["id"], result["ruleId"]);
            EXPECT_TRUE(std::set<std::string>({"none", "note", "warning", "error"}).count(result.value("level", "")));
            for (const json& location : result.value("locations", json::array())) {
                const json& physical = location["physicalLocation"];
                ASSERT_TRUE(physical.contains("artifactLocation"));
                EXPECT_GE(physical["region"].value("startLine", 0), 1);
                EXPECT_GE(physical["region"].value("startColumn", 0), 1);
            }
        }
    }
}

TEST(TavikCheck, SarifLog) {
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("p.c"), kProgram);
    tb::Run run = check(dir, {"--format", "sarif", "-o", "p.sarif", "p.c"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    json log = json::parse(tb::readBytes(dir.path("p.sarif")));
    expectValidSarif(log);
    const json& sarifRun = log["runs"][0];
    EXPECT_EQ(sarifRun["tool"]["driver"]["name"], "tavik");
    std::vector<std::tuple<std::string, std::string, std::string, int, int>> got;
    for (const json& r : sarifRun["results"]) {
        const json& p = r["locations"][0]["physicalLocation"];
        got.emplace_back(r["ruleId"], r["level"], p["artifactLocation"]["uri"], p["region"]["startLine"],
                         p["region"]["startColumn"]);
    }
    using Row = std::tuple<std::string, std::string, std::string, int, int>;
    EXPECT_EQ(got, (std::vector<Row>{{"E508", "error", "p.c", 5, 9}, {"W601", "warning", "p.c", 6, 9}}));
    bool documented = false;
    for (const json& rule : sarifRun["tool"]["driver"]["rules"]) {
        if (rule["id"] != "E508") continue;
        documented = rule["helpUri"].get<std::string>().find("docs/messages.md#e508") != std::string::npos;
        EXPECT_EQ(rule["shortDescription"]["text"], "Dynamic memory allocation has not supported.");
    }
    EXPECT_TRUE(documented);

    // C that does not compile: the compiler's error as a result, the run unsuccessful.
    tb::writeBytes(dir.path("bad.c"), "int main( {\n");
    tb::Run bad = check(dir, {"--format", "sarif", "bad.c"});
    EXPECT_EQ(bad.status, 2);
    json badLog = json::parse(bad.out);
    expectValidSarif(badLog);
    EXPECT_EQ(badLog["runs"][0]["invocations"][0]["executionSuccessful"], false);
    EXPECT_EQ(badLog["runs"][0]["results"][0]["ruleId"], "compiler");
    EXPECT_EQ(badLog["runs"][0]["results"][0]["level"], "error");
}

TEST(TavikCheck, ExitStatusesAndFilesWritten) {
    struct Case {
        const char* name;
        std::string source;
        std::vector<std::string> args;
        int status;
        std::string err;  // a line the standard error holds
        std::string ctf = "";
    } cases[] = {
        {"warnings only", kWarningOnly, {"p.c"}, 0, ""},
        {"error", kProgram, {"p.c"}, 1, ""},
        {"does not compile", "int main( {\n", {"p.c"}, 2, ""},
        {"missing file", kProgram, {"nope.c"}, 2, "tavik: cannot read 'nope.c': No such file or directory"},
        {"bad option", kProgram, {"-x", "p.c"}, 2, "tavik: unknown option '-x'"},
        {"INF over the input", kProgram, {"--inf", "p.c", "p.c"}, 2,
         "tavik: the INF file 'p.c' is the C file 'p.c'; nothing written"},
        {"INF over the constraint file", kProgram, {"--ctf", "p.ctf", "--inf", "p.ctf", "p.c"}, 2,
         "tavik: the INF file 'p.ctf' is the constraint file 'p.ctf'; nothing written"},
        {"a constraint file with a bad line", kWarningOnly, {"--ctf", "p.ctf", "p.c"}, 2,
         "tavik: Error:p.ctf:1:Syntx error :", "bogus line\n"},
        {"a standard", kWarningOnly, {"-std=c99", "-avar_max_size", "100", "p.c"}, 0, ""},
        {"an unknown standard", kWarningOnly, {"-std=c89", "p.c"}, 2, "tavik: unknown standard 'c89'"},
        {"an empty value", kWarningOnly, {"--inf", "", "p.c"}, 2, "tavik: missing value after --inf"},
        {"a size that is no number", kWarningOnly, {"-avar_max_size", "1k", "p.c"}, 2,
         "tavik: -avar_max_size needs a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tb::ScratchDir dir;
        tb::writeBytes(dir.path("p.c"), c.source);
        tb::writeBytes(dir.path("p.ctf"), c.ctf);
        tb::Run run = check(dir, c.args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        if (!c.err.empty()) {
            EXPECT_NE(run.err.find(c.err + "\n"), std::string::npos) << run.err;
        }
        EXPECT_EQ(tb::readBytes(dir.path("p.c")), c.source);
        EXPECT_EQ(tb::readBytes(dir.path("p.ctf")), c.ctf);
    }

    // --inf and --cdfg keep what a check otherwise throws away.
    tb::ScratchDir dir;
    tb::writeBytes(dir.path("p.c"), kWarningOnly);
    tb::Run run = check(dir, {"--inf", "p.inf", "--cdfg", "p.cdfg", "p.c"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(tb::readBytes(dir.path("p.inf")).find("work,p.c,"), std::string::npos);
    EXPECT_FALSE(tb::readBytes(dir.path("p.cdfg")).empty());
}

// "E506:Error:f.c:6:text" and "f.c:6:5: error: text [E506]" as one form.
std::vector<std::string> checkerFindings(const std::string& out) {
    std::vector<std::string> found;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 5 && (line[0] == 'E' || line[0] == 'W') && line[4] == ':') {
            std::size_t kind = line.find(':', 5);
            std::string body = line.substr(kind + 1);
            while (!body.empty() && body.back() == ' ') body.pop_back();
            found.push_back(line.substr(0, 4) + " " + body);
        }
    }
    return found;
}

std::vector<std::string> tavikFindings(const std::string& out) {
    std::vector<std::string> found;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::size_t rule = line.rfind(" [");
        if (rule == std::string::npos || line.back() != ']') continue;
        // file:line:col: level: text [R]  ->  R file:line:text
        std::size_t col = line.find(':', line.find(':') + 1);
        std::size_t text = line.find(": ", col + 1);
        text = line.find(": ", text + 1);
        found.push_back(line.substr(rule + 2, 4) + " " + line.substr(0, col) + ":" +
                        line.substr(text + 2, rule - text - 2));
    }
    return found;
}

TEST(TavikCheck, ExamplesGiveWhatTheChainToolsGive) {
    for (const char* name : {"hello", "fir", "unsupported"}) {
        SCOPED_TRACE(name);
        tb::ScratchDir dir;
        const std::string source = std::string("examples/") + name + ".c";
        ASSERT_EQ(tb::runBinary(C2CDFG_BINARY, {"-o", dir.path("p.cdfg"), source}, TAVIK_SOURCE_DIR).status, 0);
        tb::Run chain = tb::runBinary(TAVIK_BINARY, {dir.path("p.cdfg"), dir.path("p.inf")});
        tb::Run front = tb::runBinary(TAVIK_CLI_BINARY, {"check", "--format", "gcc", source}, TAVIK_SOURCE_DIR);
        EXPECT_EQ(tavikFindings(front.out), checkerFindings(chain.out));
        EXPECT_EQ(front.status, chain.status == 0 ? 0 : 1);
    }
    // The README's quick start shows this run as it is.
    tb::Run text = tb::runBinary(TAVIK_CLI_BINARY, {"check", "--format", "text", "examples/unsupported.c"},
                                 TAVIK_SOURCE_DIR);
    std::string readme = tb::readBytes(std::string(TAVIK_SOURCE_DIR) + "/README.md");
    EXPECT_NE(readme.find(text.out), std::string::npos) << text.out;
}

}  // namespace
