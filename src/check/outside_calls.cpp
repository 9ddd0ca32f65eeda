#include "check/outside_calls.h"

#include <atomic>
#include <cstdint>
#include <vector>

#include "check/usage_walk.h"
#include "report/messages.h"

namespace {

struct FunctionCallRecord {
    NodeId function = 0;
    bool calledFromOutside = false;
    bool calledFromInside = false;
};

using CallRecords = std::vector<FunctionCallRecord>;

// A function's mark (its low bits: the code checks run meanwhile) holds the
// index of its record plus one.
FunctionCallRecord* recordOf(CdfgGraph& g, CallRecords& records, NodeId function) {
    std::uint32_t mark = getMarkBits(g, function, kMarkLow);
    if (mark == 0 || mark > records.size()) return nullptr;
    FunctionCallRecord& record = records[mark - 1];
    return record.function == function ? &record : nullptr;
}

void noteCall(CdfgGraph& g, NodeId call, void* context) {
    auto& records = *static_cast<CallRecords*>(context);
    FunctionCallRecord* record = recordOf(g, records, getJumpId(g, call));
    if (!record) return;
    // Two threads may walk at once: a flag is only ever set.
    std::atomic_ref<bool>(inAnalysis ? record->calledFromInside : record->calledFromOutside)
        .store(true, std::memory_order_relaxed);
}

}  // namespace

struct OutsideCallPass {
    CallRecords records;
};

void OutsideCallPassEnd::operator()(OutsideCallPass* pass) const { delete pass; }

OutsideCallPassPtr startOutsideCalls(CdfgGraph& g, UsageHandlers& handlers) {
    OutsideCallPassPtr pass(new OutsideCallPass);
    CallRecords& records = pass->records;
    for (const FileElement& e : fileElements(g)) {
        if (getKind(g, e.node) != CFG_FUNCTION) continue;
        records.push_back({e.node, false, false});
        setMarkBits(g, e.node, kMarkLow, static_cast<std::uint32_t>(records.size()));
    }
    handlers.onCall = noteCall;
    handlers.callContext = &records;
    return pass;
}

int finishOutsideCalls(CdfgGraph& g, OutsideCallPass& pass) {
    const CallRecords& records = pass.records;
    int result = 0;
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (!r->calledFromInside || !r->calledFromOutside) continue;
        printMessage(516, orEmpty(getFileName(g, r->function)),
                     static_cast<int>(getLine(g, r->function)),
                     orEmpty(getAttrString(g, r->function, CfgFunc_NAME)));
        result = -1;
    }
    for (const FunctionCallRecord& r : records) setMarkBits(g, r.function, kMarkLow, 0);
    return result;
}

int checkOutsideCalls(CdfgGraph& g) {
    UsageHandlers handlers;
    OutsideCallPassPtr pass = startOutsideCalls(g, handlers);
    walkProgramUsage(g, handlers);
    return finishOutsideCalls(g, *pass);
}
