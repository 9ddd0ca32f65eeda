#include "check/global_updates.h"

#include <atomic>

#include <cstdint>
#include <string>
#include <vector>

#include "cdfg/chain.h"
#include "check/declaration_checks.h"
#include "check/usage_walk.h"
#include "check/walk_budget.h"
#include "report/messages.h"

namespace {

constexpr std::size_t kNoOwner = SIZE_MAX;

struct GlobalUseRecord {
    NodeId declaration = 0;
    bool writtenInside = false;
    bool writtenOutside = false;
    // For a structure member, the index of the record of the top-level
    // structure variable it was reached through.
    std::size_t owner = kNoOwner;
};

using UseRecords = std::vector<GlobalUseRecord>;

WalkBudget budget;

// A declaration's mark (its low bits: the code checks run meanwhile) holds
// the index of its record plus one.
GlobalUseRecord* recordOf(const CdfgGraph& g, UseRecords& records, NodeId declaration) {
    std::uint32_t mark = getMarkBits(g, declaration, kMarkLow);
    if (mark == 0 || mark > records.size()) return nullptr;
    GlobalUseRecord& record = records[mark - 1];
    return record.declaration == declaration ? &record : nullptr;
}

std::size_t addRecord(CdfgGraph& g, UseRecords& records, NodeId declaration, std::size_t owner) {
    records.push_back({declaration, false, false, owner});
    setMarkBits(g, declaration, kMarkLow, static_cast<std::uint32_t>(records.size()));
    return records.size() - 1;
}

bool isStructure(const CdfgGraph& g, NodeId declaration) {
    return getAttrSigned(g, declaration, CfgDecl_VALTYPE) == DECL_VALTYPE_STRUCT;
}

// Records every member of the structure, and of the structures among its
// members, for the variable's record.
void addMembers(CdfgGraph& g, UseRecords& records, NodeId structure, std::size_t owner) {
    WalkLevel level(budget, g);
    if (!level.open()) return;
    for (NodeId m : chain(g, getAttrInt(g, structure, CfgStruct_MEMBER), level.chainSteps())) {
        if (!level.visit()) break;
        if (getKind(g, m) != CFG_DECLARE) continue;
        // Already recorded for this variable: a structure that contains itself.
        if (GlobalUseRecord* seen = recordOf(g, records, m); seen && seen->owner == owner)
            continue;
        addRecord(g, records, m, owner);
        if (isStructure(g, m) && !isStandardHeaderStruct(g, m))
            addMembers(g, records, getAttrInt(g, m, CfgDecl_STRUCTNODE), owner);
    }
}

void addGlobalRecords(CdfgGraph& g, UseRecords& records) {
    WalkLevel level(budget, g);
    for (const FileElement& e : fileElements(g)) {
        if (getKind(g, e.node) != CFG_DECLARE_DEF) continue;
        for (NodeId d : chain(g, getAttrInt(g, e.node, CfgDeclDef_DECL), level.chainSteps())) {
            if (!level.visit()) break;
            if (getKind(g, d) != CFG_DECLARE) continue;
            if (!isStructure(g, d)) {
                addRecord(g, records, d, kNoOwner);
            } else if (!isStandardHeaderStruct(g, d)) {
                std::size_t owner = addRecord(g, records, d, kNoOwner);
                addMembers(g, records, getAttrInt(g, d, CfgDecl_STRUCTNODE), owner);
            }
        }
    }
}

void noteWrite(CdfgGraph& g, NodeId ref, void* context) {
    auto& records = *static_cast<UseRecords*>(context);
    // A member access writes the member at the end of the chain.
    NodeId last = ref;
    std::size_t limit = g.nodes.size() + 1;
    std::size_t steps = 0;
    for (NodeId son = getAttrInt(g, ref, DfgPort_STRSON); son && steps < limit;
         son = getAttrInt(g, son, DfgPort_STRSON), ++steps)
        last = son;
    GlobalUseRecord* record = recordOf(g, records, getAttrInt(g, last, DfgPort_DECL));
    if (!record) return;
    // Two threads may walk at once: a flag is only ever set.
    std::atomic_ref<bool>(inAnalysis ? record->writtenInside : record->writtenOutside)
        .store(true, std::memory_order_relaxed);
}

std::string nameOf(const CdfgGraph& g, const UseRecords& records, const GlobalUseRecord& r) {
    std::string name = orEmpty(getAttrString(g, r.declaration, CfgDecl_NAME));
    if (r.owner == kNoOwner || r.owner >= records.size()) return name;
    return std::string(orEmpty(getAttrString(g, records[r.owner].declaration, CfgDecl_NAME))) +
           ".." + name;
}

}  // namespace

struct GlobalUpdatePass {
    UseRecords records;
};

void GlobalUpdatePassEnd::operator()(GlobalUpdatePass* pass) const { delete pass; }

GlobalUpdatePassPtr startGlobalUpdates(CdfgGraph& g, UsageHandlers& handlers) {
    GlobalUpdatePassPtr pass(new GlobalUpdatePass);
    addGlobalRecords(g, pass->records);
    handlers.onWrite = noteWrite;
    handlers.writeContext = &pass->records;
    return pass;
}

int finishGlobalUpdates(CdfgGraph& g, GlobalUpdatePass& pass) {
    const UseRecords& records = pass.records;
    int result = 0;
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (!r->writtenInside || !r->writtenOutside) continue;
        printMessage(515, orEmpty(getFileName(g, r->declaration)),
                     static_cast<int>(getLine(g, r->declaration)),
                     nameOf(g, records, *r).c_str());
        result = -1;
    }
    for (const GlobalUseRecord& r : records) setMarkBits(g, r.declaration, kMarkLow, 0);
    return result;
}

int checkGlobalUpdates(CdfgGraph& g) {
    UsageHandlers handlers;
    GlobalUpdatePassPtr pass = startGlobalUpdates(g, handlers);
    walkProgramUsage(g, handlers);
    return finishGlobalUpdates(g, *pass);
}
