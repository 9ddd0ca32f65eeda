#include "check/recursion.h"

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

struct CallGraph {
    // Called functions of each function reached from a module, in walk order.
    std::unordered_map<NodeId, std::vector<NodeId>> callees;
    // Functions from which a cycle of calls can be reached.
    std::unordered_set<NodeId> leadsToCycle;
};

const std::vector<NodeId>& calleesOf(CdfgGraph& g, CallGraph& cg, NodeId function) {
    auto found = cg.callees.find(function);
    if (found != cg.callees.end()) return found->second;
    std::vector<NodeId> list;
    if (const std::vector<NodeId>* calls = callsOfWalkedBody(function)) {
        // The function tree walked this body to its end: its calls, met in
        // the same order, now jump where the tree left them.
        for (NodeId call : *calls)
            if (NodeId target = getJumpId(g, call)) list.push_back(target);
    } else {
        CallWalk walk;
        walk.graph = &g;
        walk.onCall = [&list, &g](CallWalk&, NodeId call) {
            if (NodeId target = getJumpId(g, call)) list.push_back(target);
        };
        walkFunctionBody(walk, function);
    }
    return cg.callees.emplace(function, std::move(list)).first->second;
}

// Strongly connected components (Tarjan, with an explicit stack) of the
// functions reachable from root; a function leads to a cycle when its
// component is a cycle or a component it calls leads to one.
void findCycles(CdfgGraph& g, CallGraph& cg, NodeId root, std::unordered_map<NodeId, std::size_t>& order,
                std::unordered_map<NodeId, std::size_t>& low) {
    if (order.count(root)) return;
    struct Frame {
        NodeId function;
        std::size_t nextCallee;
    };
    std::vector<Frame> frames;
    std::vector<NodeId> open;
    std::unordered_set<NodeId> isOpen;
    auto enter = [&](NodeId f) {
        std::size_t n = order.size();
        order[f] = n;
        low[f] = n;
        open.push_back(f);
        isOpen.insert(f);
        frames.push_back({f, 0});
    };
    enter(root);
    while (!frames.empty()) {
        NodeId f = frames.back().function;
        const std::vector<NodeId>& callees = calleesOf(g, cg, f);
        if (frames.back().nextCallee < callees.size()) {
            NodeId c = callees[frames.back().nextCallee++];
            if (!order.count(c)) {
                enter(c);
            } else if (isOpen.count(c)) {
                low[f] = std::min(low[f], order[c]);
            }
            continue;
        }
        frames.pop_back();
        if (!frames.empty()) {
            NodeId parent = frames.back().function;
            low[parent] = std::min(low[parent], low[f]);
        }
        if (low[f] != order[f]) continue;
        // f heads a component: the open functions down to f.
        std::vector<NodeId> component;
        NodeId member;
        do {
            member = open.back();
            open.pop_back();
            isOpen.erase(member);
            component.push_back(member);
        } while (member != f);
        std::unordered_set<NodeId> inComponent(component.begin(), component.end());
        bool cyclic = component.size() > 1;
        for (NodeId m : component) {
            for (NodeId c : calleesOf(g, cg, m)) {
                if (inComponent.count(c))
                    cyclic = true;  // a call inside the component (or of itself)
                else if (cg.leadsToCycle.count(c))
                    cyclic = true;
            }
        }
        if (cyclic) cg.leadsToCycle.insert(component.begin(), component.end());
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
    if (!r.callGraph->leadsToCycle.count(target)) return;
    expand(r, walk, target);
}

}  // namespace

int checkRecursion(CdfgGraph& g) {
    CallGraph cg;
    {
        std::unordered_map<NodeId, std::size_t> order;
        std::unordered_map<NodeId, std::size_t> low;
        for (const ModuleRecord* m = moduleList; m; m = m->next) findCycles(g, cg, m->function, order, low);
    }
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
