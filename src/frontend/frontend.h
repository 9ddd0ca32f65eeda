// The C front end: C source files to one CDFG graph.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cdfg/graph.h"

struct FrontendOptions {
    std::vector<std::string> files;
    // -I DIR, -D NAME[=VALUE], -U NAME, in the order given.
    std::vector<std::string> preprocessorArgs;
    std::string standard = "gnu11";
    // The bundled standard headers.
    std::string headerDir;
    // Contents of files given here instead of read from disk (name, text).
    std::vector<std::pair<std::string, std::string>> sources;
};

// A message about the source, as a compiler prints it.
struct FrontendDiagnostic {
    std::string file;
    unsigned line = 0;
    unsigned column = 0;
    std::string severity;  // "error", "warning" or "note"
    std::string text;
};

struct FrontendResult {
    // The program's graph; null when it was refused.
    std::unique_ptr<CdfgGraph> graph;
    std::vector<FrontendDiagnostic> diagnostics;
    // 0: translated; 1: the C does not compile or holds a construct the
    // graph cannot; 2: a file could not be read.
    int status = 0;
    std::string failure;  // status 2: the one-line reason
};

FrontendResult translateProgram(const FrontendOptions& options);

// "file:line:col: severity: text", or "file: severity: text" without a line.
std::string formatDiagnostic(const FrontendDiagnostic& d);

// The bundled headers: installed beside the program, else in the source
// tree it was built from. programPath is argv[0] or /proc/self/exe.
std::string defaultHeaderDir();
