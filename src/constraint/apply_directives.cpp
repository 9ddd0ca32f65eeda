#include "constraint/apply_directives.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "cdfg/graph_ops.h"
#include "cdfg/vocabulary.h"
#include "constraint/directive_lines.h"
#include "report/messages.h"

namespace {

using Match = std::pair<int, ConstraintDirective*>;  // list, record

// Names never hold a NUL byte, so NUL separates the parts of a lookup key.
void appendKeyPart(std::string& key, const char* part) {
    key += part;
    key += '\0';
}

std::string makeKey(const char* file, const char* func, const char* var = nullptr) {
    std::string key;
    appendKeyPart(key, file);
    appendKeyPart(key, func);
    if (var != nullptr) appendKeyPart(key, var);
    return key;
}

class Merge {
public:
    Merge(CdfgGraph& g, const char* path) : g_(g), path_(path) {}

    void run();

private:
    // Walks that the body traversal distinguishes; each item is one node of a
    // chain, and the chain goes on through its NextId.
    enum class Walk { Body, Branches, CaseItems, LoopParts, OpeList, Expr };
    struct Item {
        Walk walk;
        NodeId node;
    };

    void indexRecords();
    void buildFunctionTable(NodeId root);
    void mergeDeclarations(NodeId first, const char* scope);
    void addDeclarationDirective(NodeId decl, const char* name, int list, ConstraintDirective& r);
    void walkBody(NodeId first);
    void visit(const Item& item, std::vector<Item>& stack);
    void mergeCall(NodeId call);
    bool callHasDirective(NodeId call, const char* keyword) const;
    NodeId createDirective(const ConstraintDirective& r, const std::string& text);
    void attach(NodeId owner, std::uint32_t attr, NodeId directive);
    // True the first time a node is reached; stops walks on cyclic links.
    bool firstVisit(NodeId n) { return n != 0 && visited_.insert(n).second; }

    CdfgGraph& g_;
    const char* path_;
    const char* currentFile_ = nullptr;
    const char* currentFunc_ = nullptr;
    std::unordered_map<NodeId, const char*> functionFile_;
    std::unordered_map<std::string, std::vector<Match>> declarationRecords_;
    std::unordered_map<std::string, Match> callRecords_;
    std::unordered_set<NodeId> visited_;
};

// Declaration lists in merge order, then call lists in the order in which
// the first list holding a record for the function wins.
constexpr int kDeclarationLists[] = {
    CONSTRAINT_FIXEDP, CONSTRAINT_INT,   CONSTRAINT_INPUT, CONSTRAINT_OUTPUT,
    CONSTRAINT_INOUT,  CONSTRAINT_SCALE, CONSTRAINT_FLOAT, CONSTRAINT_MULADD_VAR,
};
constexpr int kCallLists[] = {
    CONSTRAINT_MODULE, CONSTRAINT_EVFUNC, CONSTRAINT_ROLL, CONSTRAINT_UNMODULE, CONSTRAINT_UNROLL,
};

bool usesStructureRule(int list) {
    return list == CONSTRAINT_INPUT || list == CONSTRAINT_OUTPUT || list == CONSTRAINT_INOUT;
}

void Merge::indexRecords() {
    for (int list : kDeclarationLists) {
        for (ConstraintDirective* r = constraintDirectives[list]; r != nullptr; r = r->next) {
            if (r->fileName == nullptr || r->funcName == nullptr || r->varName == nullptr) continue;
            declarationRecords_[makeKey(r->fileName, r->funcName, r->varName)].push_back({list, r});
        }
    }
    for (int list : kCallLists) {
        for (ConstraintDirective* r = constraintDirectives[list]; r != nullptr; r = r->next) {
            if (r->fileName == nullptr || r->funcName == nullptr) continue;
            callRecords_.emplace(makeKey(r->fileName, r->funcName), Match{list, r});
        }
    }
}

void Merge::buildFunctionTable(NodeId root) {
    std::unordered_set<NodeId> seen;
    for (NodeId file = getAttrInt(g_, root, CfgRoot_ELEMENT); file != 0 && seen.insert(file).second;
         file = getNextId(g_, file)) {
        const char* fileName = getAttrString(g_, file, CfgFileinfo_NAME);
        for (NodeId e = getAttrInt(g_, file, CfgFileinfo_ELEMENT); e != 0 && seen.insert(e).second;
             e = getNextId(g_, e)) {
            if (getKind(g_, e) == CFG_FUNCTION) functionFile_.emplace(e, fileName);
        }
    }
}

void Merge::run() {
    indexRecords();
    NodeId root = findRoot(g_);
    buildFunctionTable(root);
    for (NodeId file = getAttrInt(g_, root, CfgRoot_ELEMENT); firstVisit(file);
         file = getNextId(g_, file)) {
        currentFile_ = getAttrString(g_, file, CfgFileinfo_NAME);
        for (NodeId e = getAttrInt(g_, file, CfgFileinfo_ELEMENT); firstVisit(e);
             e = getNextId(g_, e)) {
            std::uint32_t kind = getKind(g_, e);
            if (kind == CFG_FUNCTION) {
                currentFunc_ = getAttrString(g_, e, CfgFunc_NAME);
                mergeDeclarations(getAttrInt(g_, e, CfgFunc_ARGLIST), currentFunc_);
                mergeDeclarations(getAttrInt(g_, e, CfgFunc_DECLARE), currentFunc_);
                walkBody(getAttrInt(g_, e, CfgFunc_STARTCFG));
            } else if (kind == CFG_DECLARE_DEF) {
                mergeDeclarations(getAttrInt(g_, e, CfgDeclDef_DECL), "$");
            }
        }
    }
}

void Merge::mergeDeclarations(NodeId first, const char* scope) {
    for (NodeId d = first; firstVisit(d); d = getNextId(g_, d)) {
        if (getKind(g_, d) != CFG_DECLARE) continue;
        const char* name = getAttrString(g_, d, CfgDecl_NAME);
        if (name == nullptr || currentFile_ == nullptr || scope == nullptr) continue;
        auto found = declarationRecords_.find(makeKey(currentFile_, scope, name));
        if (found == declarationRecords_.end()) continue;
        for (const Match& m : found->second) addDeclarationDirective(d, name, m.first, *m.second);
    }
}

// The directive text of a port directive on a structure variable must name
// the member it is about; without a "varname" it names the whole variable.
bool namesVarname(const char* option) {
    static constexpr const char* kDelims = " \t\n\r=;";
    const char* p = option;
    while (*p != '\0') {
        p += std::strspn(p, kDelims);
        std::size_t n = std::strcspn(p, kDelims);
        if (n == 7 && std::strncmp(p, "varname", 7) == 0) return true;
        p += n;
    }
    return false;
}

void Merge::addDeclarationDirective(NodeId decl, const char* name, int list,
                                    ConstraintDirective& r) {
    r.applied = 1;
    std::string text = constraintKeyword(list);
    text += ' ';
    if (usesStructureRule(list) && getAttrSigned(g_, decl, CfgDecl_VALTYPE) == DECL_VALTYPE_STRUCT) {
        if (r.optionText == nullptr) {
            text += std::string("varname=") + name;
        } else if (namesVarname(r.optionText)) {
            text += r.optionText;
        } else {
            text += std::string("varname=") + name + " " + r.optionText;
        }
    } else {
        text += r.optionText != nullptr ? r.optionText : " ";
    }
    attach(decl, CfgDecl_DIRECTIVE, createDirective(r, text));
}

void Merge::walkBody(NodeId first) {
    std::vector<Item> stack{{Walk::Body, first}};
    while (!stack.empty()) {
        Item item = stack.back();
        stack.pop_back();
        if (!firstVisit(item.node)) continue;
        // The rest of the chain comes after everything below this node.
        stack.push_back({item.walk, getNextId(g_, item.node)});
        visit(item, stack);
    }
}

// Pushes the chains below one node; the last pushed is walked first.
void Merge::visit(const Item& item, std::vector<Item>& stack) {
    NodeId n = item.node;
    std::uint32_t kind = getKind(g_, n);
    switch (item.walk) {
        case Walk::Body:
            if (kind == CFG_STATE_IF) {
                stack.push_back({Walk::Branches, getAttrInt(g_, n, CfgStateIf_STATOPE)});
            } else if (kind == CFG_STATE_CASE || kind == CFG_STATE_CASEX || kind == CFG_STATE_CASEZ) {
                stack.push_back({Walk::CaseItems, getAttrInt(g_, n, CfgStateCase_STATOPE)});
            } else if (kind == CFG_LOOP_BEGIN) {
                stack.push_back({Walk::LoopParts, getAttrInt(g_, n, CfgLoopBegin_CFG)});
            } else if (kind == CFG_DECLARE_DEF) {
                // Block-local variables are addressed by their function's name.
                mergeDeclarations(getAttrInt(g_, n, CfgDeclDef_DECL), currentFunc_);
            } else if (kind == CFG_STATE_DATAPATH) {
                stack.push_back({Walk::OpeList, getAttrInt(g_, n, CfgDatapath_OPELIST)});
            }
            break;
        case Walk::Branches:
            if (kind == CFG_IF_THEN) stack.push_back({Walk::Body, getAttrInt(g_, n, CfgIfThen_CFG)});
            if (kind == CFG_IF_ELSE) stack.push_back({Walk::Body, getAttrInt(g_, n, CfgIfElse_CFG)});
            break;
        case Walk::CaseItems:
            if (kind == CFG_CASE_ITEM) stack.push_back({Walk::Body, getAttrInt(g_, n, CfgCaseItem_CFG)});
            break;
        case Walk::LoopParts:
            if (kind == CFG_LOOP_STAT) stack.push_back({Walk::Body, getAttrInt(g_, n, CfgLoopStat_CFG)});
            break;
        case Walk::OpeList:
            stack.push_back({Walk::Expr, getAttrInt(g_, n, DfgOpeman_OPE)});
            break;
        case Walk::Expr:
            if (kind == DFG_OPERATION) {
                stack.push_back({Walk::Expr, getAttrInt(g_, n, DfgOpe_COND)});
                stack.push_back({Walk::Expr, getAttrInt(g_, n, DfgOpe_RIGHT)});
                stack.push_back({Walk::Expr, getAttrInt(g_, n, DfgOpe_LEFT)});
            } else if (kind == DFG_FUNC_CALL) {
                mergeCall(n);
            }
            break;
    }
}

void Merge::mergeCall(NodeId call) {
    auto fn = functionFile_.find(getJumpId(g_, call));
    if (fn == functionFile_.end()) return;
    const char* fileName = fn->second;
    const char* funcName = getAttrString(g_, fn->first, CfgFunc_NAME);
    if (fileName == nullptr || funcName == nullptr) return;
    auto found = callRecords_.find(makeKey(fileName, funcName));
    if (found == callRecords_.end()) return;
    int list = found->second.first;
    ConstraintDirective& r = *found->second.second;
    r.applied = 1;
    const char* keyword = constraintKeyword(list);
    if (callHasDirective(call, keyword)) return;
    std::string text = keyword;
    // module and unmodule carry their option; unroll's loop/func word is not
    // part of the call directive.
    if ((list == CONSTRAINT_MODULE || list == CONSTRAINT_UNMODULE) && r.optionText != nullptr) {
        text += ' ';
        text += r.optionText;
    }
    attach(call, DfgFuncCall_DIRECTIVE, createDirective(r, text));
}

bool Merge::callHasDirective(NodeId call, const char* keyword) const {
    std::size_t len = std::strlen(keyword);
    // A chain longer than the graph has nodes is a cycle.
    std::size_t steps = g_.nodes.size();
    for (NodeId d = getAttrInt(g_, call, DfgFuncCall_DIRECTIVE); d != 0 && steps-- > 0;
         d = getNextId(g_, d)) {
        if (getAttrSigned(g_, d, DfgDirective_TYPE) != DIRE_Directive) continue;
        const char* text = getAttrString(g_, d, DfgDirective_STR);
        if (text != nullptr && std::strncmp(text, keyword, len) == 0) return true;
    }
    return false;
}

NodeId Merge::createDirective(const ConstraintDirective& r, const std::string& text) {
    NodeId n = newNode(g_, INFO_DIRECTIVE, 0);
    setLine(g_, n, static_cast<std::uint32_t>(r.line));
    setFileName(g_, n, path_);
    setColumn(g_, n, 0);
    setAttrInt(g_, n, DfgDirective_TYPE, DIRE_Directive);
    setAttrString(g_, n, DfgDirective_STR, std::string_view(text));
    return n;
}

void Merge::attach(NodeId owner, std::uint32_t attr, NodeId directive) {
    NodeId chain = getAttrInt(g_, owner, attr);
    if (chain != 0 && lookupNode(g_, chain) != nullptr) {
        appendToChain(g_, chain, directive);
        return;
    }
    setAttrNode(g_, owner, attr, directive);
    setPrevId(g_, directive, owner);
}

}  // namespace

int applyConstraintDirectives(CdfgGraph& g, const char* path) {
    Merge merge(g, path);
    merge.run();
    return 0;
}

void reportUnappliedDirectives(const char* path) {
    for (int list = CONSTRAINT_MODULE; list <= CONSTRAINT_INOUT; ++list) {
        for (const ConstraintDirective* r = constraintDirectives[list]; r != nullptr; r = r->next) {
            if (r->applied == 0) printMessage(603, orEmpty(path), static_cast<int>(r->line));
        }
    }
}
