// Translation of parsed C files (libclang translation units) into one CDFG
// graph, in the shapes that docs/cdfg-format.md section 3 documents.
#pragma once

#include <clang-c/Index.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cdfg/graph.h"

// A place in the source as a compiler reports it, with a text about it.
struct SourceNote {
    std::string file;
    unsigned line = 0;
    unsigned column = 0;
    std::string text;
};

// The whole program: the graph and what links its files together.
struct Program {
    explicit Program(CdfgGraph& graph);

    CdfgGraph& g;
    NodeId root = 0;
    NodeId lastFile = 0;
    // Unified symbol resolution names of the functions the program defines.
    std::unordered_map<std::string, NodeId> functions;
    // The declaration that references to a global variable name: its
    // definition with an initialiser, else a tentative definition, else the
    // first declaration.
    struct Global {
        NodeId node = 0;
        int rank = 0;
    };
    std::unordered_map<std::string, Global> globals;
    std::vector<std::pair<NodeId, std::string>> callTargets;
    std::vector<std::pair<NodeId, std::string>> globalReferences;
    // Constructs the graph cannot hold: each one refuses the run.
    std::vector<SourceNote> unsupported;
    // Directives with nothing to attach to.
    std::vector<SourceNote> warnings;
};

// Appends the file record of one parsed file, named fileName, to the program.
void translateUnit(Program& program, CXTranslationUnit tu, const std::string& fileName);
// After the last file: calls name the function's definition in whichever
// file it stands, references to a global variable the program's declaration
// of it.
void resolveProgram(Program& program);
