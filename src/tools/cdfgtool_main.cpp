// cdfgtool: read, write and look at CDFG files as text and pictures.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cdfg_asm.h"
#include "tools/cdfg_check.h"
#include "tools/cdfg_dot.h"
#include "tools/cdfg_dump.h"
#include "tools/cdfg_records.h"

namespace {

constexpr int kUsageStatus = 2;

const char kUsage[] =
    "usage: cdfgtool dump FILE.cdfg [-o FILE.txt]\n"
    "       cdfgtool asm FILE.txt -o FILE.cdfg\n"
    "       cdfgtool dot FILE.cdfg [--function NAME] [--refs] [-o FILE.dot]\n"
    "       cdfgtool check FILE.cdfg\n"
    "A FILE of - is the standard input or output.\n";

int usage(const char* problem) {
    if (problem) std::fprintf(stderr, "cdfgtool: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kUsageStatus;
}

struct Arguments {
    std::string input;
    std::string output;
    std::string function;
    bool hasInput = false, hasOutput = false, hasFunction = false, references = false;
};

// Parses [FILE] [-o OUT] [--function NAME] [--refs] in any order;
// forDot tells whether the options of dot belong to the command.
bool parseArguments(int argc, char** argv, bool forDot, Arguments& args, std::string& problem) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (forDot && a == "--refs") {
            args.references = true;
        } else if (a == "-o" || (forDot && a == "--function")) {
            if (i + 1 >= argc) {
                problem = "missing value after " + a;
                return false;
            }
            bool& has = a == "-o" ? args.hasOutput : args.hasFunction;
            if (has) {
                problem = a + " given twice";
                return false;
            }
            has = true;
            (a == "-o" ? args.output : args.function) = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            problem = "unknown option " + a;
            return false;
        } else if (args.hasInput) {
            problem = "more than one input file";
            return false;
        } else {
            args.input = a;
            args.hasInput = true;
        }
    }
    if (!args.hasInput) {
        problem = "missing input file";
        return false;
    }
    return true;
}

bool readInput(const std::string& path, std::string& bytes) {
    if (readWholeFile(path, bytes)) return true;
    std::fprintf(stderr, "cdfgtool: cannot read %s\n", path.c_str());
    return false;
}

int writeOutput(const Arguments& args, const std::string& data) {
    const std::string path = args.hasOutput ? args.output : "-";
    if (writeWholeFile(path, data)) return 0;
    std::fprintf(stderr, "cdfgtool: cannot write %s\n", path.c_str());
    return 1;
}

int runDump(const Arguments& args) {
    std::string bytes;
    if (!readInput(args.input, bytes)) return 1;
    return writeOutput(args, dumpRecords(parseRecords(bytes)));
}

int runAsm(const Arguments& args) {
    if (!args.hasOutput) return usage("asm needs -o FILE.cdfg");
    std::string text;
    if (!readInput(args.input, text)) return 1;
    RecordFile file;
    std::vector<std::string> errors;
    if (!assembleText(text, args.input, file, errors)) {
        for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
        return 1;
    }
    return writeOutput(args, encodeRecords(file));
}

int runDot(const Arguments& args) {
    std::string bytes;
    if (!readInput(args.input, bytes)) return 1;
    std::string out, error;
    DotOptions options;
    options.function = args.hasFunction ? &args.function : nullptr;
    options.references = args.references;
    if (!writeDot(parseRecords(bytes), options, out, error)) {
        std::fprintf(stderr, "cdfgtool: %s: %s\n", args.input.c_str(), error.c_str());
        return 1;
    }
    return writeOutput(args, out);
}

int runCheck(const Arguments& args) {
    std::string bytes;
    if (!readInput(args.input, bytes)) return kUsageStatus;
    const std::vector<std::string> faults = checkRecords(parseRecords(bytes));
    for (const std::string& f : faults) std::printf("%s: %s\n", args.input.c_str(), f.c_str());
    return faults.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(nullptr);
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool known = command == "dump" || command == "asm" || command == "dot" || command == "check";
    if (!known) return usage(("unknown command " + command).c_str());
    Arguments args;
    std::string problem;
    if (!parseArguments(argc, argv, command == "dot", args, problem)) return usage(problem.c_str());
    if (command == "check" && args.hasOutput) return usage("check writes no file");
    if (command == "dump") return runDump(args);
    if (command == "asm") return runAsm(args);
    if (command == "dot") return runDot(args);
    return runCheck(args);
}
