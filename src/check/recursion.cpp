#include "check/recursion.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "check/call_walk.h"
#include "check/function_tree.h"
#include "report/messages.h"

// Every call path from each module is expanded depth first and a recursion
// is reported once per path. Expanding a function from which no cycle of
// calls can be reached never reports anything, so such functions are not
// expanded: the reports are the same, and a program without recursion costs
// one walk of each function instead of one per call path.

namespace {

// The functions reached from the modules, numbered in the order the search
// below enters them (their order in Tarjan's terms), with the called
// functions of each in walk order.
struct CallGraph {
    std::unordered_map<NodeId, std::uint32_t> number;
    std::vector<NodeId> function;
    // The callees of function k are callees[calleeBegin[k] .. calleeBegin[k + 1]);
    // calleeNumber holds their numbers once the search has followed them.
    std::vector<std::uint32_t> calleeBegin{0};
    std::vector<NodeId> callees;
    std::vector<std::uint32_t> calleeNumber;
    // By number: the lowest number reachable on the open path, whether
    // open, the number heading its component, whether a cycle of calls can
    // be reached from it.
    std::vector<std::uint32_t> low;
    std::vector<std::uint8_t> isOpen;
    std::vector<std::uint32_t> component;
    std::vector<std::uint8_t> leads;

    bool leadsToCycle(NodeId f) const {
        auto found = number.find(f);
        return found != number.end() && leads[found->second];
    }
};

void appendCallees(CdfgGraph& g, NodeId function, std::vector<NodeId>& list) {
    if (const std::vector<NodeId>* calls = callsOfWalkedBody(function)) {
        // The function tree walked this body to its end: its calls, met in
        // the same order, now jump where the tree left them.
        for (NodeId call : *calls)
            if (NodeId target = getJumpId(g, call)) list.push_back(target);
        return;
    }
    CallWalk walk;
    walk.graph = &g;
    walk.onCall = [&list, &g](CallWalk&, NodeId call) {
        if (NodeId target = getJumpId(g, call)) list.push_back(target);
    };
    walkFunctionBody(walk, function);
}

// Strongly connected components (Tarjan, with an explicit stack) of the
// functions reachable from root; a function leads to a cycle when its
// component is a cycle or a component it calls leads to one.
void findCycles(CdfgGraph& g, CallGraph& cg, NodeId root) {
    if (cg.number.count(root)) return;
    struct Frame {
        std::uint32_t function;
        std::uint32_t nextCallee;  // an index into cg.callees
    };
    std::vector<Frame> frames;
    std::vector<std::uint32_t> open;
    auto enter = [&](NodeId f) {
        const auto k = static_cast<std::uint32_t>(cg.function.size());
        cg.number.emplace(f, k);
        cg.function.push_back(f);
        appendCallees(g, f, cg.callees);
        cg.calleeBegin.push_back(static_cast<std::uint32_t>(cg.callees.size()));
        cg.calleeNumber.resize(cg.callees.size());
        cg.low.push_back(k);
        cg.isOpen.push_back(1);
        cg.component.push_back(k);
        cg.leads.push_back(0);
        open.push_back(k);
        frames.push_back({k, cg.calleeBegin[k]});
        return k;
    };
    enter(root);
    while (!frames.empty()) {
        const std::uint32_t f = frames.back().function;
        if (const std::uint32_t at = frames.back().nextCallee; at < cg.calleeBegin[f + 1]) {
            ++frames.back().nextCallee;
            auto found = cg.number.find(cg.callees[at]);
            if (found == cg.number.end()) {
                const std::uint32_t c = enter(cg.callees[at]);  // grows calleeNumber
                cg.calleeNumber[at] = c;
            } else {
                const std::uint32_t c = cg.calleeNumber[at] = found->second;
                if (cg.isOpen[c]) cg.low[f] = std::min(cg.low[f], c);
            }
            continue;
        }
        frames.pop_back();
        if (!frames.empty()) {
            std::uint32_t& parent = cg.low[frames.back().function];
            parent = std::min(parent, cg.low[f]);
        }
        if (cg.low[f] != f) continue;
        // f heads a component: the open functions down to f, every call of
        // which the search has followed.
        std::size_t head = open.size();
        while (open[--head] != f) {
        }
        for (std::size_t i = head; i < open.size(); ++i) {
            cg.component[open[i]] = f;
            cg.isOpen[open[i]] = 0;
        }
        bool cyclic = open.size() - head > 1;
        for (std::size_t i = head; i < open.size() && !cyclic; ++i)
            for (std::uint32_t e = cg.calleeBegin[open[i]]; e < cg.calleeBegin[open[i] + 1]; ++e) {
                const std::uint32_t c = cg.calleeNumber[e];
                // A call inside the component (or of itself), or on to a cycle.
                if (cg.component[c] == f || cg.leads[c]) cyclic = true;
            }
        if (cyclic)
            for (std::size_t i = head; i < open.size(); ++i) cg.leads[open[i]] = 1;
        open.resize(head);
    }
}

struct RecursionWalk {
    CdfgGraph* graph = nullptr;
    const CallGraph* callGraph = nullptr;
    std::vector<NodeId> stack;
    std::unordered_set<NodeId> onStack;
    int result = 0;
};

void expand(RecursionWalk& r, CallWalk& walk, NodeId function) {
    r.stack.push_back(function);
    r.onStack.insert(function);
    walkFunctionBody(walk, function);
    r.onStack.erase(function);
    r.stack.pop_back();
}

void recursionCall(RecursionWalk& r, CallWalk& walk, NodeId call) {
    const CdfgGraph& g = *r.graph;
    NodeId target = getJumpId(g, call);
    if (!target) return;
    if (r.onStack.count(target)) {
        printMessage(506, orEmpty(getFileName(g, target)), static_cast<int>(getLine(g, target)),
                     orEmpty(getAttrString(g, target, CfgFunc_NAME)));
        r.result = -1;
        return;
    }
    if (!r.callGraph->leadsToCycle(target)) return;
    expand(r, walk, target);
}

}  // namespace

int checkRecursion(CdfgGraph& g) {
    CallGraph cg;
    for (const ModuleRecord* m = moduleList; m; m = m->next) findCycles(g, cg, m->function);
    RecursionWalk r;
    r.graph = &g;
    r.callGraph = &cg;
    CallWalk walk;
    walk.graph = &g;
    walk.argumentsFirst = true;
    walk.onCall = [&r](CallWalk& w, NodeId call) { recursionCall(r, w, call); };
    for (const ModuleRecord* m = moduleList; m; m = m->next) expand(r, walk, m->function);
    return r.result;
}
