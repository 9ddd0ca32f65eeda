#include "check/clone_stager.h"

#include <thread>
#include <utility>

#include "check/function_tree.h"

std::chrono::microseconds cloneStagingPause{0};

CloneStager::CloneStager(CdfgGraph& g, const ModuleScan& scan,
                         const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
                         const std::unordered_set<NodeId>& moduleFunctions, std::size_t maxCloneNodes)
    : area_(stagingArea(g)), maxNodes_(maxCloneNodes), nodeAt_(area_.count), attrAt_(area_.attrCount) {
    if (area_.count == 0 || maxNodes_ == 0) return;
    plan(g, scan, bodyOf, moduleFunctions);
    if (order_.empty()) return;
    linked_.assign((std::size_t{area_.count} + 63) / 64, 0);
    for (NodeId f : order_) {
        markAvoided(linked_, area_.count, f);
        markAvoided(linked_, area_.count, getNextId(g, f));
    }
    area_.avoid = linked_.data();
    copies_.resize(order_.size());
    apartSize_.resize(order_.size());
    state_ = std::vector<std::atomic<std::uint8_t>>(order_.size());
    worker_ = std::make_unique<LargeStackThread>([this] {
        // Without a thread of its own the work would run here and now.
        if (!runsOnOwnThread()) {
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
            const auto place = static_cast<std::uint32_t>(order_.size());
            auto [first, isNew] = firstPlace_.try_emplace(target, place);
            if (!isNew) {
                std::uint32_t last = first->second;
                while (nextPlace_[last] != UINT32_MAX) last = nextPlace_[last];
                nextPlace_[last] = place;
            }
            nextPlace_.push_back(UINT32_MAX);
            order_.push_back(target);
            if (found != bodyOf.end()) stack.push_back({&scan.bodies[found->second], scan.bodies[found->second].first});
        }
    }
}

void CloneStager::fail(std::size_t from) {
    for (std::size_t k = from; k < state_.size(); ++k) {
        for (std::uint8_t mine : {kWaiting, kStaging})
            if (state_[k].compare_exchange_strong(mine, kFailed, std::memory_order_release)) state_[k].notify_all();
    }
    passed_.store(SIZE_MAX, std::memory_order_release);
}

void CloneStager::helpAfter(std::size_t at) {
    // Not the very next copy: the staging thread, done with this one, would
    // have to wait for it.
    const std::size_t next = at + 2;
    if (apartSlot_ != SIZE_MAX || next >= order_.size()) return;
    std::uint8_t state = kWaiting;
    if (!state_[next].compare_exchange_strong(state, kApart, std::memory_order_acq_rel)) return;
    apartSlot_ = next;
    bool usable = false;
    try {
        usable = stageApart(area_, order_[next], maxNodes_, apart_) && takeable(apart_.copy, apart_.nodes.data());
    } catch (...) {
        // The staging thread must not wait for this copy for ever.
        state_[next].store(kFailed, std::memory_order_release);
        throw;
    }
    apart_.copy.usable = usable;
    apartSize_[next] = {apart_.copy.nodeCount, apart_.copy.attrCount};
    // Without its size the copies after it cannot be placed: the staging ends there.
    state_[next].store(usable ? kPlaced : kFailed, std::memory_order_release);
    state_[next].notify_all();
}

void CloneStager::stage() {
    std::size_t i = 0;
    for (; i < order_.size() && !stopping_.load(std::memory_order_relaxed); passed_.store(++i, std::memory_order_release)) {
        // Tests pause before a slot, so that the collection moves on meanwhile,
        // and while holding one, so that the collection waits for it.
        if (cloneStagingPause.count() > 0) std::this_thread::sleep_for(cloneStagingPause);
        std::uint8_t state = kWaiting;
        if (state_[i].compare_exchange_strong(state, kStaging, std::memory_order_acq_rel)) {
            // A collection asleep on this copy wakes to stage a later one meanwhile.
            state_[i].notify_all();
        } else {
            // The collection is staging this one apart: its size places the
            // next. (The collection may be about to take it in.)
            while ((state = state_[i].load(std::memory_order_acquire)) == kApart) std::this_thread::yield();
            if (state != kPlaced) break;
            nodeAt_ += apartSize_[i].first;
            attrAt_ += apartSize_[i].second;
            continue;
        }
        if (i < wanted_.load(std::memory_order_acquire)) continue;  // passed by: never asked for
        if (cloneStagingPause.count() > 0) std::this_thread::sleep_for(cloneStagingPause);
        StagedCopy& copy = copies_[i];
        const bool usable = stageCopy(area_, order_[i], maxNodes_, nodeAt_, attrAt_, copy) &&
                            takeable(copy, area_.nodes + copy.nodeAt);
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

bool CloneStager::takeable(const StagedCopy& copy, const CdfgNode* nodes) const {
    for (std::size_t k = 1; k < copy.nodeCount; ++k)
        if (nodes[k].kind == CFG_FUNCTION) return false;
    for (const auto& call : copy.calls)
        if (renamed_.count(call.first)) return false;
    return true;
}

NodeId CloneStager::commit(CdfgGraph& g, NodeId function, CopyReport* report) {
    if (!worker_) return 0;
    // The function's first place not yet passed by.
    const std::size_t wanted = wanted_.load(std::memory_order_relaxed);
    std::size_t at = order_.size();
    if (auto first = firstPlace_.find(function); first != firstPlace_.end())
        for (std::uint32_t p = first->second; p != UINT32_MAX; p = nextPlace_[p])
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
    // The copy is usually made by now or about to be: wait on the core first,
    // staging a later copy meanwhile.
    std::uint8_t state = state_[at].load(std::memory_order_acquire);
    for (int spin = 0; state == kWaiting || state == kStaging; ++spin) {
        if (state == kStaging) helpAfter(at);
        if (spin >= (1 << 16))
            state_[at].wait(state, std::memory_order_acquire);
        else if (spin % 64 == 63)
            std::this_thread::yield();
        state = state_[at].load(std::memory_order_acquire);
    }
    wanted_.store(at + 1, std::memory_order_release);
    NodeId clone = 0;
    // In place only where the collection has taken every copy before it.
    if (state == kReady) {
        clone = commitCopy(g, copies_[at], report);
        copies_[at] = StagedCopy{};
    } else if (state == kPlaced && apartSlot_ == at) {
        // The staging thread may still be writing a copy the collection
        // passed by, where this one goes: it is placed once the thread has
        // gone past it, and so writes only beyond it.
        while (passed_.load(std::memory_order_acquire) <= at) std::this_thread::yield();
        if (placeApart(area_, apart_, g.nodes.size(), g.attrs.size())) clone = commitCopy(g, apart_.copy, report);
        if (clone) ++committedApart_;
    }
    if (apartSlot_ <= at) apartSlot_ = SIZE_MAX;  // taken in, or passed by
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
