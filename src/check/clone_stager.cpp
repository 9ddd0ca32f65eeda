#include "check/clone_stager.h"

#include <thread>
#include <utility>

#include "check/function_tree.h"

CloneStager::CloneStager(CdfgGraph& g, const ModuleScan& scan,
                         const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
                         const std::unordered_set<NodeId>& moduleFunctions, std::size_t maxCloneNodes)
    : area_(stagingArea(g)), maxNodes_(maxCloneNodes), nodeAt_(area_.count), attrAt_(area_.attrCount) {
    if (area_.count == 0 || maxNodes_ == 0) return;
    plan(g, scan, bodyOf, moduleFunctions);
    if (order_.empty()) return;
    copies_.resize(order_.size());
    state_ = std::vector<std::atomic<std::uint8_t>>(order_.size());
    const std::thread::id creator = std::this_thread::get_id();
    worker_ = std::make_unique<LargeStackThread>([this, creator] {
        // Without a thread of its own the work would run here and now.
        if (std::this_thread::get_id() == creator) {
            fail(0);
            return;
        }
        try {
            stage();
        } catch (...) {
            fail(0);
            throw;
        }
    });
}

CloneStager::~CloneStager() {
    try {
        stop();
    } catch (...) {
        // Only while another exception leaves the collection.
    }
}

// The collection clones, module by module in list order, each function a
// prefixed module reaches that it has no node for yet, right before walking
// the copy: a walk over the scan's record of the bodies, depth first, meets
// them in that order. Functions of modules are copied by the graph itself,
// since their calls are renamed in place while the tree is made.
void CloneStager::plan(const CdfgGraph& g, const ModuleScan& scan,
                       const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
                       const std::unordered_set<NodeId>& moduleFunctions) {
    for (const ModuleRecord* m = moduleList; m; m = m->next) {
        if (!m->hasPrefix) continue;
        auto top = bodyOf.find(m->function);
        if (top == bodyOf.end()) return;
        const ModuleScan::Body& body = scan.bodies[top->second];
        for (std::uint32_t i = body.first; i < body.first + body.count; ++i) renamed_.insert(scan.met[i].second.call);
    }
    // A body that meets such a call shares a node with a module's function
    // (a damaged graph): its copy is left to the graph, and the thread never
    // reads the call while it changes.
    auto meetsRenamed = [&](const ModuleScan::Body& body) {
        for (std::uint32_t i = body.first; i < body.first + body.count; ++i)
            if (renamed_.count(scan.met[i].second.call)) return true;
        return false;
    };
    std::vector<std::pair<const ModuleScan::Body*, std::uint32_t>> stack;  // (body, next call in met)
    for (const ModuleRecord* m = moduleList; m; m = m->next) {
        if (!m->hasPrefix) continue;
        const ModuleScan::Body& body = scan.bodies[bodyOf.find(m->function)->second];
        std::unordered_set<NodeId> reached;
        stack.assign(1, {&body, body.first});
        while (!stack.empty()) {
            auto& [at, next] = stack.back();
            if (next == at->first + at->count) {
                stack.pop_back();
                continue;
            }
            const NodeId target = getJumpId(g, scan.met[next++].second.call);
            if (!target || moduleFunctions.count(target) || !reached.insert(target).second) continue;
            auto found = bodyOf.find(target);
            if (found != bodyOf.end() && meetsRenamed(scan.bodies[found->second])) continue;
            placesOf_[target].push_back(static_cast<std::uint32_t>(order_.size()));
            order_.push_back(target);
            if (found != bodyOf.end()) stack.push_back({&scan.bodies[found->second], scan.bodies[found->second].first});
        }
    }
}

void CloneStager::fail(std::size_t from) {
    for (std::size_t k = from; k < state_.size(); ++k) {
        std::uint8_t waiting = kWaiting;
        if (state_[k].compare_exchange_strong(waiting, kFailed, std::memory_order_release)) state_[k].notify_all();
    }
}

void CloneStager::stage() {
    std::size_t i = 0;
    for (; i < order_.size() && !stopping_.load(std::memory_order_relaxed); ++i) {
        if (i < wanted_.load(std::memory_order_acquire)) continue;  // passed by: never asked for
        StagedCopy& copy = copies_[i];
        bool usable = stageCopy(area_, order_[i], maxNodes_, nodeAt_, attrAt_, copy);
        // A function nested in the copy would be linked in place as it is
        // cloned, and a renamed call would be read while it changes.
        for (std::size_t k = 1; usable && k < copy.nodeCount; ++k)
            usable = area_.nodes[copy.nodeAt + k].kind != CFG_FUNCTION;
        for (const auto& call : copy.calls) usable = usable && !renamed_.count(call.first);
        copy.usable = usable;
        // Passed by while it was made: the next copy takes its place.
        if (i < wanted_.load(std::memory_order_acquire)) continue;
        // The copies after one that failed would not find their places.
        if (!usable) break;
        nodeAt_ += copy.nodeCount;
        attrAt_ += copy.attrCount;
        state_[i].store(kReady, std::memory_order_release);
        state_[i].notify_all();
    }
    fail(i);
}

NodeId CloneStager::commit(CdfgGraph& g, NodeId function, CopyReport* report) {
    if (!worker_) return 0;
    // The function's first place not yet passed by.
    const std::size_t wanted = wanted_.load(std::memory_order_relaxed);
    std::size_t at = order_.size();
    if (auto places = placesOf_.find(function); places != placesOf_.end())
        for (std::uint32_t p : places->second)
            if (p >= wanted) {
                at = p;
                break;
            }
    if (at == order_.size()) {
        stop();
        return 0;
    }
    // The clones planned before it will not be asked for.
    wanted_.store(at, std::memory_order_release);
    // The copy is usually made by now or about to be: wait on the core first.
    std::uint8_t state = state_[at].load(std::memory_order_acquire);
    for (int spin = 0; state == kWaiting && spin < (1 << 16); ++spin) {
        if (spin % 64 == 63) std::this_thread::yield();
        state = state_[at].load(std::memory_order_acquire);
    }
    while (state == kWaiting) {
        state_[at].wait(kWaiting, std::memory_order_acquire);
        state = state_[at].load(std::memory_order_acquire);
    }
    wanted_.store(at + 1, std::memory_order_release);
    // In place only where the collection has taken every copy before it.
    const NodeId clone = state == kReady ? commitCopy(g, copies_[at], report) : 0;
    copies_[at] = StagedCopy{};
    if (!clone) {
        stop();
        return 0;
    }
    ++committed_;
    return clone;
}

void CloneStager::stop() {
    if (!worker_) return;
    stopping_.store(true, std::memory_order_relaxed);
    std::unique_ptr<LargeStackThread> worker = std::move(worker_);
    worker->join();  // a failure of the staging thread goes on from here
    copies_.clear();
}
