#include "tools/cdfg_dot.h"

#include <unordered_map>
#include <unordered_set>

#include "cdfg/validate.h"
#include "cdfg/vocabulary.h"
#include "tools/text_syntax.h"

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::size_t kLabelTextLimit = 40;

enum : std::uint8_t { kHidden = 0, kShown = 1, kStub = 2 };

// Escapes a label for a double-quoted Graphviz string.
std::string dotEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

const std::string* stringAttr(const FileRecord& r, std::uint32_t id) {
    for (const RecordAttr& a : r.attrs)
        if (a.id == id && a.valueKind == ATTR_STRING) return &a.text;
    return nullptr;
}

// The attribute that tells nodes of a kind apart: the operator of an
// operation, the loop type, else the first text (name, constant text,
// directive text...).
std::string keyText(const FileRecord& r) {
    std::uint32_t named = r.kind == DFG_OPERATION    ? DfgOpe_TYPE
                          : r.kind == CFG_LOOP_BEGIN ? CfgLoopBegin_LOOPTYPE
                                                     : 0;
    for (const RecordAttr& a : r.attrs) {
        if (named && a.id == named && a.valueKind == ATTR_INT) {
            const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(a.bits));
            const char* name = enumValueName(r.kind, a.id, value);
            return name ? name : std::to_string(value);
        }
    }
    for (const RecordAttr& a : r.attrs) {
        if (a.valueKind != ATTR_STRING) continue;
        if (a.text.size() > kLabelTextLimit) return quoteText(a.text.substr(0, kLabelTextLimit)) + "...";
        return quoteText(a.text);
    }
    return {};
}

std::string label(const FileRecord& r) {
    const char* kind = vocabKindName(r.kind);
    std::string text = dotEscape(std::to_string(r.id) + ' ' + (kind ? kind : std::to_string(r.kind)));
    std::string key = keyText(r);
    if (!key.empty()) text += "\\n" + dotEscape(key);
    return text;
}

class DotWriter {
public:
    DotWriter(const RecordFile& file, bool references)
        : records_(file.records), state_(records_.size(), kHidden), references_(references) {
        index_.reserve(records_.size());
        for (std::size_t i = 0; i < records_.size(); ++i) index_[records_[i].id] = i;
    }

    bool selectFunction(const std::string& name, std::string& error) {
        std::vector<std::size_t> queue;
        std::vector<bool> isStart(records_.size(), false);
        for (std::size_t i = 0; i < records_.size(); ++i) {
            const std::string* n = stringAttr(records_[i], CfgFunc_NAME);
            if (records_[i].kind == CFG_FUNCTION && n && *n == name) {
                state_[i] = kShown;
                isStart[i] = true;
                queue.push_back(i);
            }
        }
        if (queue.empty()) {
            error = "no function named '" + name + "'";
            return false;
        }
        // Everything the functions own, through owning attributes and the
        // chains that hang from them; a function's own links lead to the
        // neighbouring top-level elements and are not followed.
        while (!queue.empty()) {
            const std::size_t i = queue.back();
            queue.pop_back();
            const FileRecord& r = records_[i];
            auto visit = [&](std::uint32_t id) {
                const std::size_t t = find(id);
                if (t != kNone && state_[t] != kShown) {
                    state_[t] = kShown;
                    queue.push_back(t);
                }
            };
            if (!isStart[i]) {
                visit(r.next);
                // The nodes in front of an assignment edge (its target) are
                // reached backwards, through a chain predecessor.
                if (std::size_t p = find(r.prev); p != kNone && records_[p].next == r.id) visit(r.prev);
            }
            for (const RecordAttr& a : r.attrs)
                if (a.valueKind == ATTR_NODE && isOwningAttribute(r.kind, a.id))
                    visit(static_cast<std::uint32_t>(a.bits));
        }
        for (std::size_t i = 0; i < records_.size(); ++i) {
            if (state_[i] != kShown) continue;
            const FileRecord& r = records_[i];
            auto stub = [&](std::uint32_t id) {
                const std::size_t t = find(id);
                if (t != kNone && state_[t] == kHidden) state_[t] = kStub;
            };
            stub(r.jump);
            if (!isStart[i]) stub(r.next);
            for (const RecordAttr& a : r.attrs)
                if (a.valueKind == ATTR_NODE && (references_ || isOwningAttribute(r.kind, a.id)))
                    stub(static_cast<std::uint32_t>(a.bits));
        }
        restricted_ = true;
        return true;
    }

    void selectAll() { std::fill(state_.begin(), state_.end(), kShown); }

    std::string write() {
        out_ = "digraph cdfg {\n"
               "  node [shape=box, fontname=\"Helvetica\", fontsize=10];\n"
               "  edge [fontname=\"Helvetica\", fontsize=8];\n";
        for (std::size_t i = 0; i < records_.size(); ++i) {
            if (state_[i] == kHidden) continue;
            out_ += "  r" + std::to_string(i) + " [label=\"" + label(records_[i]) + "\"";
            if (state_[i] == kStub) out_ += ", style=dashed, color=gray50";
            out_ += "];\n";
        }
        for (std::size_t i = 0; i < records_.size(); ++i) {
            if (state_[i] != kShown) continue;
            const FileRecord& r = records_[i];
            const bool isFunctionHead = restricted_ && r.kind == CFG_FUNCTION;
            if (r.next && !isFunctionHead) edge(i, r.next, "color=black, penwidth=1.5");
            for (const RecordAttr& a : r.attrs) {
                if (a.valueKind != ATTR_NODE || a.bits == 0) continue;
                const char* name = vocabAttrName(r.kind, a.id);
                std::string attr = dotEscape(name ? name : std::to_string(a.id));
                if (isOwningAttribute(r.kind, a.id))
                    edge(i, static_cast<std::uint32_t>(a.bits),
                         "color=blue, fontcolor=blue, label=\"" + attr + "\"");
                else if (references_)
                    edge(i, static_cast<std::uint32_t>(a.bits),
                         "color=gray40, fontcolor=gray40, style=dashed, constraint=false, label=\"" +
                             attr + "\"");
            }
            if (r.jump) {
                if (r.kind == DFG_FUNC_CALL || r.kind == DFG_TASK_CALL)
                    edge(i, r.jump,
                         "color=red, fontcolor=red, style=bold, constraint=false, label=\"call\"");
                else
                    edge(i, r.jump,
                         "color=darkgreen, fontcolor=darkgreen, style=dotted, constraint=false, "
                         "label=\"jump\"");
            }
        }
        out_ += "}\n";
        return std::move(out_);
    }

private:
    std::size_t find(std::uint32_t id) const {
        if (id == 0) return kNone;
        auto found = index_.find(id);
        return found == index_.end() ? kNone : found->second;
    }

    void edge(std::size_t from, std::uint32_t to, const std::string& style) {
        const std::size_t t = find(to);
        std::string target = t == kNone ? "missing" : "r";
        target += std::to_string(t == kNone ? std::size_t{to} : t);
        if (t == kNone && missing_.insert(to).second) {
            out_ += "  " + target + " [label=\"";
            out_ += std::to_string(to);
            out_ += " missing\", color=red, fontcolor=red, shape=octagon];\n";
        }
        out_ += "  r";
        out_ += std::to_string(from);
        out_ += " -> " + target + " [" + style + "];\n";
    }

    const std::vector<FileRecord>& records_;
    std::vector<std::uint8_t> state_;
    std::unordered_map<std::uint32_t, std::size_t> index_;
    std::unordered_set<std::uint32_t> missing_;
    std::string out_;
    bool references_ = false;
    bool restricted_ = false;
};

}  // namespace

bool writeDot(const RecordFile& file, const DotOptions& options, std::string& out,
              std::string& error) {
    DotWriter writer(file, options.references);
    if (options.function) {
        if (!writer.selectFunction(*options.function, error)) return false;
    } else {
        writer.selectAll();
    }
    out = writer.write();
    return true;
}
