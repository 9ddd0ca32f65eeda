// The walk shared by the global variable and outside-call checks: every
// function of every file, analysed or not, with its local declarations,
// parameters and body, telling the pass of each variable reference and each
// call it meets.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "cdfg/graph.h"

// True while the function being walked (in this thread) belongs to the
// function tree.
extern thread_local bool inAnalysis;
// True only while a reference on the target side of an assignment is handed
// to the pass.
extern thread_local bool writeContext;

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

// The same walk by two threads at once, each taking the next few functions
// until none are left. Handlers may run in both threads at once; their passes
// only set flags, atomically. A walk that spent visits enough to have been
// cut short alone does not stand (sharedUsageStands): the caller walks again
// with walkProgramUsage.
struct UsageShare {
    std::vector<FileElement> elements;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> visits{0};
    std::atomic<bool> cut{false};
};
void startUsageShare(const CdfgGraph& g, UsageShare& share);
void walkUsageShare(CdfgGraph& g, const UsageHandlers& handlers, UsageShare& share);
bool sharedUsageStands(const CdfgGraph& g, const UsageShare& share);

// The top-level elements of every file, in file and element order.
std::vector<FileElement> fileElements(const CdfgGraph& g);
