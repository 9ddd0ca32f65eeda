// The walk shared by the global variable and outside-call checks: every
// function of every file, analysed or not, with its local declarations,
// parameters and body, telling the pass of each variable reference and each
// call it meets.
#pragma once

#include <vector>

#include "cdfg/graph.h"

// True while the function being walked belongs to the function tree.
extern bool inAnalysis;
// True only while a reference on the target side of an assignment is handed
// to the pass.
extern bool writeContext;

struct UsageHandlers {
    // Every port or variable reference (the head of a member access).
    void (*onReference)(CdfgGraph& g, NodeId ref, void* context) = nullptr;
    // Every call, after its arguments.
    void (*onCall)(CdfgGraph& g, NodeId call, void* context) = nullptr;
    void* context = nullptr;
    // A context of its own for either handler (two passes sharing one walk);
    // nullptr: context.
    void* referenceContext = nullptr;
    void* callContext = nullptr;
};

void walkProgramUsage(CdfgGraph& g, const UsageHandlers& handlers);

struct FileElement {
    NodeId node = 0;
    const char* fileName = nullptr;  // the file record's name, nullptr when it has none
};

// The top-level elements of every file, in file and element order.
std::vector<FileElement> fileElements(const CdfgGraph& g);
