// The walk shared by the global variable and outside-call checks: every
// function of every file, analysed or not, with its local declarations,
// parameters and body, telling the pass of each variable reference and each
// call it meets.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "cdfg/graph.h"

struct CloneOrigin;

// True while the function being walked (in this thread) belongs to the
// function tree.
extern thread_local bool inAnalysis;

struct UsageHandlers {
    // Every variable written: a reference (the head of a member access) on
    // the target side of an assignment. In a walk shared by two threads, a
    // copy of a function (cloneOriginOf) may be told through its original's
    // references, which name the same declarations along the same members.
    void (*onWrite)(CdfgGraph& g, NodeId ref, void* context) = nullptr;
    // Every call, after its arguments.
    void (*onCall)(CdfgGraph& g, NodeId call, void* context) = nullptr;
    void* context = nullptr;
    // A context of its own for either handler (two passes sharing one walk);
    // nullptr: context.
    void* writeContext = nullptr;
    void* callContext = nullptr;
};

void walkProgramUsage(CdfgGraph& g, const UsageHandlers& handlers);

struct FileElement {
    NodeId node = 0;
    const char* fileName = nullptr;  // the file record's name, nullptr when it has none
};

// The same walk by two threads at once, each taking the next few functions
// until none are left. Handlers may run in both threads at once; their passes
// only set flags, atomically. A copy of a function the function tree made is
// walked right after its original, by the same thread, and not walked at all
// when its walk would meet the copies of what the original's met: the
// handlers are then told again what the original's walk told them (the
// copy's own calls instead of the original's). A walk that spent visits
// enough to have been cut short alone does not stand (sharedUsageStands):
// the caller walks again with walkProgramUsage.
struct UsageShare {
    std::vector<FileElement> elements;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> visits{0};
    std::atomic<bool> cut{false};
    // Per element: 0, walked when its turn comes; kCopyRole, walked or told
    // with its original; kSourceRole with the index in copies of the first of
    // its copies, which follow one another there.
    std::vector<std::uint32_t> roles;
    struct Copy {
        std::size_t source = 0;  // elements
        std::size_t element = 0;
        const CloneOrigin* origin = nullptr;
    };
    std::vector<Copy> copies;
    std::once_flag planned;  // roles and copies, by the first thread to walk
    std::atomic<std::size_t> told{0};  // copies not walked
};
inline constexpr std::uint32_t kSourceRole = 1u << 31, kCopyRole = 1u << 30, kRoleIndex = kCopyRole - 1;
void startUsageShare(const CdfgGraph& g, UsageShare& share);
void walkUsageShare(CdfgGraph& g, const UsageHandlers& handlers, UsageShare& share);
bool sharedUsageStands(const CdfgGraph& g, const UsageShare& share);

// The top-level elements of every file, in file and element order.
std::vector<FileElement> fileElements(const CdfgGraph& g);

// While one lives, fileElements of that graph is the list it made instead
// of a walk of the files' chains, which costs a cache miss per element on a
// large program. For the passes after the function tree, which change no
// chain.
class KeptFileElements {
public:
    explicit KeptFileElements(const CdfgGraph& g);
    ~KeptFileElements();
    KeptFileElements(const KeptFileElements&) = delete;
    KeptFileElements& operator=(const KeptFileElements&) = delete;
};
