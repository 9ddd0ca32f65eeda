// tavik: C files to findings in one command, through the front end and the
// checker in this process.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <string>
#include <vector>

#include "api/checker.h"
#include "cdfg/reader.h"
#include "cdfg/writer.h"
#include "frontend/frontend.h"
#include "report/messages.h"
#include "tavik/findings.h"
#include "tavik/report.h"
#include "util/files.h"
#include "util/large_stack.h"

namespace {

constexpr const char* kUsage =
    "usage: tavik check [-I DIR] [-D NAME[=VALUE]] [-U NAME] [-std=STANDARD] [--ctf FILE]\n"
    "                   [--inf FILE] [--cdfg FILE] [--format text|gcc|sarif] [-o FILE]\n"
    "                   [-algoc] [-ansic] [-nopv] [-mev] [-Ec] [-avar_max_size N] FILE.c...\n"
    "       tavik --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Checks C files against the subset of C the fixed-point conversion flow\n"
    "supports: c2cdfg and tavikChk in one run, findings in the compiler's form.\n"
    "\n"
    "  -I, -D, -U, -std   as for c2cdfg\n"
    "  --ctf FILE         a constraint file of directives\n"
    "  --inf FILE         write the INF file (only when no error was found)\n"
    "  --cdfg FILE        keep the CDFG file (else a temporary file, removed)\n"
    "  --format FORMAT    text (the default on a terminal), gcc or sarif\n"
    "  -o FILE            write the findings to FILE instead of the standard output\n"
    "  -algoc -ansic -nopv -mev -Ec -avar_max_size N   the checker's options\n"
    "\n"
    "Exit status: 0 no error found (warnings allowed); 1 an error found; 2 the\n"
    "check could not be done (C that does not compile, a missing file, a bad\n"
    "option).\n";

constexpr const char* kVersion = "0.01.08";

struct Options {
    FrontendOptions front;
    std::vector<std::string> checker;  // the checker's options
    std::string ctf;
    std::string inf;
    std::string cdfg;
    std::string format;
    std::string output;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "tavik: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// 0 when parsed; else the exit status to end with.
int parseArguments(int argc, char** argv, Options& o, bool& done) {
    done = false;
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s%s", kUsage, kHelp);
        done = true;
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tavik %s\n", kVersion);
        done = true;
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "check") != 0)
        return usageError(argc < 2 ? "no command given" : "unknown command '" + std::string(argv[1]) + "'");
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if ((a.rfind("-I", 0) == 0 || a.rfind("-D", 0) == 0 || a.rfind("-U", 0) == 0) && a.size() >= 2 &&
            a != "-avar_max_size") {
            std::string flag = a.substr(0, 2);
            v = a.substr(2);
            if (v.empty() && !value(v)) return usageError("missing value after " + flag);
            o.front.preprocessorArgs.push_back(flag + v);
        } else if (a.rfind("-std=", 0) == 0) {
            v = a.substr(5);
            if (v != "c99" && v != "c11" && v != "gnu99" && v != "gnu11")
                return usageError("unknown standard '" + v + "'");
            o.front.standard = v;
        } else if (a == "--ctf" || a == "--inf" || a == "--cdfg" || a == "--format" || a == "-o") {
            if (!value(v) || v.empty()) return usageError("missing value after " + a);
            (a == "--ctf" ? o.ctf : a == "--inf" ? o.inf : a == "--cdfg" ? o.cdfg : a == "-o" ? o.output : o.format) = v;
        } else if (a == "-algoc" || a == "-ansic" || a == "-nopv" || a == "-mev" || a == "-Ec") {
            o.checker.push_back(a);
        } else if (a == "-avar_max_size") {
            if (!value(v) || v.empty() || v.find_first_not_of("0123456789") != std::string::npos)
                return usageError("-avar_max_size needs a number");
            o.checker.push_back(a);
            o.checker.push_back(v);
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option '" + a + "'");
        } else {
            o.front.files.push_back(a);
        }
    }
    if (o.front.files.empty()) return usageError("no C file given");
    if (!o.format.empty() && o.format != "text" && o.format != "gcc" && o.format != "sarif")
        return usageError("unknown format '" + o.format + "'");
    if (o.format.empty()) o.format = o.output.empty() && isatty(STDOUT_FILENO) ? "text" : "gcc";
    // Nothing the run writes may be one of its inputs.
    std::vector<std::pair<std::string, std::string>> inputs;
    for (const std::string& f : o.front.files) inputs.push_back({f, "C file"});
    if (!o.ctf.empty()) inputs.push_back({o.ctf, "constraint file"});
    std::vector<std::pair<std::string, std::string>> outputs = {
        {o.inf, "INF file"}, {o.cdfg, "CDFG file"}, {o.output, "output"}};
    for (const auto& [out, what] : outputs) {
        if (out.empty()) continue;
        for (const auto& [in, kind] : inputs) {
            if (sameFile(out.c_str(), in.c_str())) {
                std::fprintf(stderr, "tavik: the %s '%s' is the %s '%s'; nothing written\n", what.c_str(),
                             out.c_str(), kind.c_str(), in.c_str());
                return 2;
            }
        }
    }
    if (!o.inf.empty() && !o.cdfg.empty() && sameFile(o.inf.c_str(), o.cdfg.c_str())) {
        std::fprintf(stderr, "tavik: the INF file '%s' is the CDFG file '%s'; nothing written\n", o.inf.c_str(),
                     o.cdfg.c_str());
        return 2;
    }
    return 0;
}

// A file name in the temporary directory that stays apart from other runs.
std::string temporaryPath(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/tavik-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return "";
    close(fd);
    std::string base(name.data());
    std::remove(base.c_str());
    return base + suffix;
}

std::string docsUri() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    fs::path doc = exe.parent_path().parent_path() / "share" / "doc" / "tavikChk" / "docs" / "messages.md";
    if (ec || !fs::exists(doc, ec)) doc = fs::path(TAVIK_SOURCE_DIR) / "docs" / "messages.md";
    return "file://" + uriOfPath(doc.string());
}

int runCheckerCaptured(const std::vector<std::string>& args, std::string& out) {
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    setMessageCapture(&out);
    int status = 2;
    bool ran = runOnLargeStack([&] { status = runChecker(static_cast<int>(copies.size()), argv.data()); });
    setMessageCapture(nullptr);
    return ran ? status : 2;
}

bool writeOutput(const Options& o, const std::string& text) {
    if (o.output.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    std::ofstream file(o.output, std::ios::binary | std::ios::trunc);
    file << text;
    return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool done = false;
    if (int status = parseArguments(argc, argv, o, done); status != 0 || done) return status;
    o.front.headerDir = defaultHeaderDir();

    std::vector<Finding> findings;
    std::string problem;
    FrontendResult front = translateProgram(o.front);
    for (const FrontendDiagnostic& d : front.diagnostics)
        findings.push_back({"compiler", d.severity, d.file, d.line, d.column, d.text});
    if (front.status == 2) problem = front.failure;

    std::string totals;
    int errors = 0;
    if (front.status == 0) {
        std::string cdfg = o.cdfg.empty() ? temporaryPath(".cdfg") : o.cdfg;
        std::string inf = o.inf.empty() ? temporaryPath(".inf") : o.inf;
        if (cdfg.empty() || inf.empty() || writeCdfg(front.graph.get(), cdfg.c_str()) != 0) {
            problem = "cannot write the CDFG file '" + cdfg + "'";
        } else {
            std::vector<std::string> args = {"tavikChk"};
            args.insert(args.end(), o.checker.begin(), o.checker.end());
            if (!o.ctf.empty()) {
                args.push_back("-ctf");
                args.push_back(o.ctf);
            }
            args.push_back(cdfg);
            args.push_back(inf);
            std::string out;
            int status = runCheckerCaptured(args, out);
            std::vector<std::string> problems;
            std::vector<Finding> checks = parseCheckerOutput(out, problems);
            // The columns come from the graph the checker read back.
            std::unique_ptr<CdfgGraph> graph = readCdfg(cdfg.c_str());
            std::unique_ptr<ColumnFinder> columns;
            if (graph) columns = std::make_unique<ColumnFinder>(*graph);
            for (Finding& f : checks) {
                if (columns && f.line) f.column = columns->column(f);
                // The checker's own failures (memory, files) are the tool's.
                if (f.rule == "E451" || f.rule == "E452" || f.rule == "E453") problem = f.message;
                if (f.level == "error") ++errors;
            }
            int warnings = 0;
            for (const Finding& f : checks) warnings += f.level == "warning";
            if (!checks.empty())
                totals = "\n" + std::to_string(errors) + " error(s), " + std::to_string(warnings) + " warning(s).\n";
            findings.insert(findings.end(), checks.begin(), checks.end());
            // The constraint reader's own line names the file and line; it says more than 452.
            if (!problems.empty()) problem = problems.front();
            if (status == 1 && problem.empty()) problem = "the checker could not run";
        }
        if (o.cdfg.empty()) std::remove(cdfg.c_str());
        if (o.inf.empty()) std::remove(inf.c_str());
    }

    bool failed = front.status != 0 || !problem.empty();
    std::string text;
    if (o.format == "sarif") {
        text = formatSarif(findings, problem, docsUri(), kVersion);
    } else {
        bool colour = o.format == "text" && o.output.empty() && isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR");
        text = o.format == "text" ? formatText(findings, totals, colour) : formatGcc(findings, totals);
    }
    if (!writeOutput(o, text)) {
        std::fprintf(stderr, "tavik: cannot write '%s'\n", o.output.c_str());
        return 2;
    }
    if (!problem.empty() && o.format != "sarif") std::fprintf(stderr, "tavik: %s\n", problem.c_str());
    if (failed) return 2;
    return errors > 0 ? 1 : 0;
}
