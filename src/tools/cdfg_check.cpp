#include "tools/cdfg_check.h"

#include <algorithm>
#include <unordered_map>

#include "cdfg/reader.h"
#include "cdfg/validate.h"
#include "cdfg/vocabulary.h"
#include "tools/text_syntax.h"

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string kindText(std::uint32_t kind) {
    const char* name = vocabKindName(kind);
    return name ? name : "kind " + std::to_string(kind);
}

std::string attrText(std::uint32_t kind, std::uint32_t attr) {
    const char* name = vocabAttrName(kind, attr);
    return name ? name : "attribute " + std::to_string(attr);
}

std::string where(const FileRecord& r) {
    return "node " + std::to_string(r.id) + " (" + kindText(r.kind) + ", byte " +
           std::to_string(r.offset) + "): ";
}

class Checker {
public:
    explicit Checker(const RecordFile& file) : file_(file), records_(file.records) {
        index_.reserve(records_.size());
        for (std::size_t i = 0; i < records_.size(); ++i) {
            auto [it, inserted] = index_.try_emplace(records_[i].id, Ids{i, i});
            if (!inserted) it->second.last = i;
        }
    }

    std::vector<std::string> run() {
        for (std::size_t i = 0; i < records_.size(); ++i) checkRecord(i);
        const bool loops = findLoops(true) | findLoops(false);
        if (!loops) checkOwnedSubtrees();
        if (!file_.tail.empty()) {
            std::string what = "the file ends inside a record (" + std::to_string(file_.tail.size()) +
                               " of its bytes are present)";
            faults_.push_back("byte " + std::to_string(file_.tailOffset) + ": " + what);
        }
        return std::move(faults_);
    }

private:
    struct Ids {
        std::size_t first;
        std::size_t last;  // the record a reader finds by this id
    };

    // The record that id names, kNone when none (id 0 names none).
    std::size_t find(std::uint32_t id) const {
        if (id == 0) return kNone;
        auto found = index_.find(id);
        return found == index_.end() ? kNone : found->second.last;
    }

    void fault(const FileRecord& r, const std::string& text) { faults_.push_back(where(r) + text); }

    void checkRecord(std::size_t i) {
        const FileRecord& r = records_[i];
        if (r.id == 0) fault(r, "id 0 stands for 'no node' and cannot be referred to");
        const std::size_t first = r.id ? index_.at(r.id).first : i;
        if (r.id != 0 && first != i)
            fault(r, "duplicate id: the record at byte " + std::to_string(records_[first].offset) +
                         " has it too");
        else if (i > 0 && r.id < records_[i - 1].id)
            fault(r, "decreasing id: the record before has id " + std::to_string(records_[i - 1].id));
        if (static_cast<std::int32_t>(r.count) < 0)
            fault(r, "negative attribute count " + std::to_string(static_cast<std::int32_t>(r.count)));

        checkAttributes(r);

        const std::pair<const char*, std::uint32_t> links[] = {
            {"PrevId", r.prev}, {"NextId", r.next}, {"JumpId", r.jump}};
        for (const auto& [name, id] : links)
            if (id != 0 && find(id) == kNone)
                fault(r, std::string(name) + " " + std::to_string(id) + " names no node");

        if (std::size_t n = find(r.next); n != kNone && records_[n].prev != r.id)
            fault(r, "NextId is " + std::to_string(r.next) + ", but node " + std::to_string(r.next) +
                         " has PrevId " + std::to_string(records_[n].prev));
        if (std::size_t p = find(r.prev); p != kNone && !linksTo(records_[p], r.id))
            fault(r, "PrevId is " + std::to_string(r.prev) + ", but node " + std::to_string(r.prev) +
                         " neither has NextId " + std::to_string(r.id) +
                         " nor holds it in an attribute");
    }

    static bool linksTo(const FileRecord& owner, std::uint32_t id) {
        if (owner.next == id) return true;
        for (const RecordAttr& a : owner.attrs)
            if (a.valueKind == ATTR_NODE && a.bits == id) return true;
        return false;
    }

    void checkAttributes(const FileRecord& r) {
        std::vector<std::uint32_t> ids;
        ids.reserve(r.attrs.size());
        for (const RecordAttr& a : r.attrs) {
            ids.push_back(a.id);
            if (!valueKindHasValue(a.valueKind))
                fault(r, attrText(r.kind, a.id) + " has value kind " + std::to_string(a.valueKind) +
                             ", which carries no value; a reader drops the entry");
            else if (a.valueKind == ATTR_NODE && a.bits != 0 &&
                     find(static_cast<std::uint32_t>(a.bits)) == kNone)
                fault(r, attrText(r.kind, a.id) + " names node " + std::to_string(a.bits) +
                             ", which does not exist");
        }
        std::sort(ids.begin(), ids.end());
        for (std::size_t i = 0; i < ids.size();) {
            std::size_t j = i;
            while (j < ids.size() && ids[j] == ids[i]) ++j;
            if (j - i > 1)
                fault(r, attrText(r.kind, ids[i]) + " is listed " + std::to_string(j - i) +
                             " times; a reader keeps only one");
            i = j;
        }
    }

    // Each cycle of NextId (or PrevId) links is reported once, at the node
    // where the walk first closes it. Returns true when there was one.
    bool findLoops(bool forward) {
        const char* name = forward ? "NextId" : "PrevId";
        const std::size_t count = records_.size();
        std::vector<std::uint8_t> state(count, 0);  // 0 new, 1 on the current path, 2 done
        std::vector<std::size_t> path;
        bool found = false;
        for (std::size_t start = 0; start < count; ++start) {
            if (state[start] != 0) continue;
            path.clear();
            std::size_t i = start;
            while (i != kNone && state[i] == 0) {
                state[i] = 1;
                path.push_back(i);
                i = find(forward ? records_[i].next : records_[i].prev);
            }
            if (i != kNone && state[i] == 1) {
                found = true;
                auto from = std::find(path.begin(), path.end(), i);
                std::string cycle;
                const std::size_t length = static_cast<std::size_t>(path.end() - from);
                for (std::size_t k = 0; k < length && k < 8; ++k)
                    cycle += std::to_string(records_[from[k]].id) + " -> ";
                cycle += length > 8 ? "..." : std::to_string(records_[i].id);
                fault(records_[i], std::string(name) + " chain loops: " + cycle);
            }
            for (std::size_t p : path) state[p] = 2;
        }
        return found;
    }

    // Cycles through owned subtrees and excessive nesting, as the checker's
    // own validation sees them on the graph a reader builds.
    void checkOwnedSubtrees() {
        const std::string bytes = encodeRecords(records_);
        auto graph = readCdfgBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        std::string reason;
        if (graph && validateGraph(*graph, reason) != 0)
            faults_.push_back("the graph cannot be walked: " + reason);
    }

    const RecordFile& file_;
    const std::vector<FileRecord>& records_;
    std::unordered_map<std::uint32_t, Ids> index_;
    std::vector<std::string> faults_;
};

}  // namespace

std::vector<std::string> checkRecords(const RecordFile& file) { return Checker(file).run(); }
