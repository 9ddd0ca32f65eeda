#include "check/clone_stager.h"

#include <thread>
#include <utility>

#include "check/function_tree.h"

namespace {

// How far the staging may run ahead of the collection, in nodes of copies
// made and not yet taken: what a stop throws away.
constexpr std::size_t kAhead = std::size_t{1} << 17;

}  // namespace

CloneStager::CloneStager(CdfgGraph& g, const ModuleScan& scan,
                         const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
                         const std::unordered_set<NodeId>& moduleFunctions, std::size_t maxCloneNodes)
    : area_(stagingArea(g)), maxNodes_(maxCloneNodes), nodeAt_(area_.count), attrAt_(area_.attrCount) {
    if (area_.count == 0 || maxNodes_ == 0) return;
    plan(g, scan, bodyOf, moduleFunctions);
    if (order_.empty()) return;
    state_.assign(order_.size(), Slot::Waiting);
    copies_.resize(order_.size());
    const std::thread::id creator = std::this_thread::get_id();
    worker_ = std::make_unique<LargeStackThread>([this, creator] {
        // Without a thread of its own the work would run here and now.
        if (std::this_thread::get_id() != creator) {
            try {
                stage();
            } catch (...) {
                {
                    std::lock_guard<std::mutex> hold(lock_);
                    ended_ = true;
                }
                changed_.notify_all();
                throw;
            }
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            ended_ = true;
        }
        changed_.notify_all();
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
    std::vector<std::pair<const ModuleScan::Body*, std::uint32_t>> stack;  // (body, next call in met)
    for (const ModuleRecord* m = moduleList; m; m = m->next) {
        if (!m->hasPrefix) continue;
        auto top = bodyOf.find(m->function);
        if (top == bodyOf.end()) {
            order_.clear();
            return;
        }
        const ModuleScan::Body& body = scan.bodies[top->second];
        for (std::uint32_t i = body.first; i < body.first + body.count; ++i) renamed_.insert(scan.met[i].second.call);
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
            placesOf_[target].push_back(static_cast<std::uint32_t>(order_.size()));
            order_.push_back(target);
            if (auto found = bodyOf.find(target); found != bodyOf.end())
                stack.push_back({&scan.bodies[found->second], scan.bodies[found->second].first});
        }
    }
}

void CloneStager::stage() {
    for (std::size_t i = 0; i < order_.size(); ++i) {
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [&] { return stopping_ || held_ < kAhead || i <= wanted_; });
            if (stopping_) return;
            if (i < wanted_) continue;  // passed by: never asked for
        }
        StagedCopy copy;
        bool usable = stageCopy(area_, order_[i], maxNodes_, nodeAt_, attrAt_, copy);
        // A function nested in the copy would be linked in place as it is
        // cloned, and a renamed call would be read while it changes.
        for (std::size_t k = 1; usable && k < copy.nodeCount; ++k)
            usable = area_.nodes[copy.nodeAt + k].kind != CFG_FUNCTION;
        for (const auto& call : copy.calls) usable = usable && !renamed_.count(call.first);
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (i < wanted_) {
                state_[i] = Slot::Dropped;
            } else if (usable) {
                held_ += copy.nodeCount;
                nodeAt_ += copy.nodeCount;
                attrAt_ += copy.attrCount;
                copies_[i] = std::move(copy);
                state_[i] = Slot::Ready;
            } else {
                // The copies after it would not find their places.
                state_[i] = Slot::Failed;
                stopping_ = true;
            }
        }
        changed_.notify_all();
    }
}

NodeId CloneStager::commit(CdfgGraph& g, NodeId function, CopyReport* report) {
    if (!worker_) return 0;
    // The function's first place not yet passed by.
    std::size_t at = order_.size();
    if (auto places = placesOf_.find(function); places != placesOf_.end())
        for (std::uint32_t p : places->second)
            if (p >= wanted_) {
                at = p;
                break;
            }
    if (at == order_.size()) {
        stop();
        return 0;
    }
    StagedCopy copy;
    {
        std::unique_lock<std::mutex> hold(lock_);
        // The clones planned before it will not be asked for.
        for (std::size_t k = wanted_; k < at; ++k) {
            if (state_[k] == Slot::Ready) held_ -= copies_[k].nodeCount;
            copies_[k] = StagedCopy{};
            state_[k] = Slot::Dropped;
        }
        wanted_ = at;
        changed_.notify_all();
        changed_.wait(hold, [&] { return state_[at] != Slot::Waiting || ended_; });
        if (state_[at] == Slot::Ready) {
            held_ -= copies_[at].nodeCount;
            copy = std::move(copies_[at]);
        }
        state_[at] = Slot::Dropped;
        wanted_ = at + 1;
    }
    changed_.notify_all();
    // In place only where the collection has put every copy before it.
    const NodeId clone = copy.usable ? commitCopy(g, copy, report) : 0;
    if (!clone) {
        stop();
        return 0;
    }
    ++committed_;
    return clone;
}

void CloneStager::stop() {
    if (!worker_) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    std::unique_ptr<LargeStackThread> worker = std::move(worker_);
    worker->join();  // a failure of the staging thread goes on from here
    copies_.clear();
}
