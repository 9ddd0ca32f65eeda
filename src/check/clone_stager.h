// Copies of the functions that prefixed modules will clone, made on a second
// core while the function tree is collected on the first. The tree asks for
// each clone's copy as it comes to it and takes it into the graph, so the
// graph comes out as if the tree had copied every function in turn.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cdfg/graph.h"
#include "cdfg/graph_ops.h"
#include "util/large_stack.h"

struct ModuleScan;

// How long the staging thread pauses before each slot and before each copy
// it makes: 0 but in tests, which make the collection wait, so that it
// stages copies apart, and move on, so that it takes them in first.
extern std::chrono::microseconds cloneStagingPause;

class CloneStager {
public:
    // Plans the clones from the scan's record of the bodies, in the order
    // the collection will make them, and starts staging them. Nothing is
    // staged when the plan cannot be trusted (a body of a module the scan
    // did not record, ids that are not list positions).
    CloneStager(CdfgGraph& g, const ModuleScan& scan, const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
                const std::unordered_set<NodeId>& moduleFunctions, std::size_t maxCloneNodes);
    ~CloneStager();
    CloneStager(const CloneStager&) = delete;
    CloneStager& operator=(const CloneStager&) = delete;

    // Takes the staged copy of the function into the graph (see commitCopy)
    // and returns it; 0 when there is none, the stager has then stopped and
    // the caller copies the function itself.
    NodeId commit(CdfgGraph& g, NodeId function, CopyReport* report);
    // Ends the staging. Called before anything else could make the graph's
    // arrays move (a copy made in the graph, an attribute added): the
    // staging thread reads them and writes past their ends.
    void stop();
    bool running() const { return worker_ != nullptr; }
    // Copies taken into the graph, and of those the ones the collection
    // staged apart.
    std::size_t committed() const { return committed_; }
    std::size_t committedApart() const { return committedApart_; }

private:
    // A slot is kWaiting until the staging thread takes it (kStaging) or
    // the collection, while it waits, takes it to stage apart (kApart).
    // kPlaced: staged apart, its size known to the staging thread, which
    // goes on past it.
    enum Slot : std::uint8_t { kWaiting, kStaging, kReady, kFailed, kApart, kPlaced };
    void plan(const CdfgGraph& g, const ModuleScan& scan, const std::unordered_map<NodeId, std::uint32_t>& bodyOf,
              const std::unordered_set<NodeId>& moduleFunctions);
    void stage();
    // Every slot from `from` on that the staging will not fill.
    void fail(std::size_t from);
    // While the collection waits for slot `at`: stages a slot after it
    // apart, when the staging thread has not come to it yet.
    void helpAfter(std::size_t at);
    // A copy that holds a function (which the collection links in place as
    // it is cloned) or a call the collection renames (read while it changes)
    // is not taken in.
    bool takeable(const StagedCopy& copy, const CdfgNode* nodes) const;

    // The copies are made one after another past the ends of the graph's
    // arrays, where the collection, taking them in turn, finds them.
    StagingArea area_;
    std::size_t maxNodes_;
    std::size_t nodeAt_ = 0, attrAt_ = 0;  // the staging thread's
    // The clones in the order planned, and each function's places in it.
    std::vector<NodeId> order_;
    std::unordered_map<NodeId, std::uint32_t> firstPlace_;
    std::vector<std::uint32_t> nextPlace_;  // the same function's next place, UINT32_MAX for none
    // Calls the collection renames in place: a copy holding one is not used.
    std::unordered_set<NodeId> renamed_;
    // What the collection links while the copies are made: the NextId of each
    // function it clones and the PrevId of the element that followed it. A
    // function holds neither (they are elements of a file) but in a damaged
    // graph; a copy that would read one is left to the graph (the area's
    // avoid).
    std::vector<std::uint64_t> linked_;

    // A slot's copy is the staging thread's until its state leaves kWaiting.
    std::vector<StagedCopy> copies_;
    std::vector<std::atomic<std::uint8_t>> state_;
    // The one copy the collection staged apart, for slot apartSlot_ (taken
    // in when the collection comes to it).
    StagedApart apart_;
    std::size_t apartSlot_ = SIZE_MAX;
    // The nodes and attributes of each copy staged apart, for the staging
    // thread to place the copies after it.
    std::vector<std::pair<std::size_t, std::size_t>> apartSize_;
    // Clones before this one are taken or will never be asked for.
    std::atomic<std::size_t> wanted_{0};
    // Slots before this one the staging thread is done with (all, once it
    // has ended): it writes only past their places.
    std::atomic<std::size_t> passed_{0};
    std::atomic<bool> stopping_{false};
    std::size_t committed_ = 0;
    std::size_t committedApart_ = 0;
    std::unique_ptr<LargeStackThread> worker_;
};
