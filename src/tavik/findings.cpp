#include "tavik/findings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sstream>

namespace {

std::string trimRight(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    return s;
}

// "E506:Error:" or "W601:Warning:" at the start of a line.
bool numberedPrefix(const std::string& line, std::string& rule, std::string& level, std::size_t& rest) {
    if (line.size() < 5 || (line[0] != 'E' && line[0] != 'W') || line[4] != ':') return false;
    for (int i = 1; i < 4; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return false;
    const char* kind = line[0] == 'E' ? "Error:" : "Warning:";
    if (line.compare(5, std::strlen(kind), kind) != 0) return false;
    rule = line.substr(0, 4);
    level = line[0] == 'E' ? "error" : "warning";
    rest = 5 + std::strlen(kind);
    return true;
}

// The last name a message quotes ('fact', 'pt...x' gives x).
std::string quotedName(const std::string& message) {
    std::size_t open = message.find('\'');
    if (open == std::string::npos) return "";
    std::size_t close = message.find('\'', open + 1);
    if (close == std::string::npos) return "";
    std::string name = message.substr(open + 1, close - open - 1);
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

const char* nameOf(const CdfgGraph& g, NodeId n) {
    switch (getKind(g, n)) {
        case CFG_FUNCTION: return getAttrString(g, n, CfgFunc_NAME);
        case CFG_DECLARE: return getAttrString(g, n, CfgDecl_NAME);
        case DFG_FUNC_CALL: return getAttrString(g, n, DfgFuncCall_NAME);
        case DFG_INPUT_VAR:
        case DFG_OUTPUT_VAR:
        case DFG_INPUT_PARA: return getAttrString(g, n, DfgPort_NAME);
        default: return nullptr;
    }
}

// The kinds of node each message is about.
std::initializer_list<std::uint32_t> subjectKinds(int code) {
    static const std::initializer_list<std::uint32_t> functions = {CFG_FUNCTION};
    static const std::initializer_list<std::uint32_t> calls = {DFG_FUNC_CALL};
    static const std::initializer_list<std::uint32_t> declarations = {CFG_DECLARE};
    static const std::initializer_list<std::uint32_t> casts = {DFG_SPEC};
    static const std::initializer_list<std::uint32_t> blocks = {CFG_STATE_BEGIN, CFG_STATE_END};
    static const std::initializer_list<std::uint32_t> statements = {CFG_STATE_DATAPATH};
    static const std::initializer_list<std::uint32_t> targets = {DFG_OUTPUT_VAR, DFG_INPUT_PARA};
    static const std::initializer_list<std::uint32_t> operations = {DFG_OPERATION};
    static const std::initializer_list<std::uint32_t> conditions = {DFG_MANAGE_OPERATION};
    static const std::initializer_list<std::uint32_t> none = {};
    switch (code) {
        case 505: case 506: case 516: case 537: return functions;
        case 508: case 518: case 519: case 520: case 521: case 530:
        case 533: case 534: case 535: case 539: return calls;
        case 507: case 511: case 512: case 513: case 514: case 515: case 522: case 524:
        case 525: case 527: case 529: case 538: case 540: case 542: case 543: case 544:
        case 546: return declarations;
        case 509: return casts;
        case 517: return blocks;
        case 528: return statements;
        case 532: return targets;
        case 541: return operations;
        case 601: case 602: return conditions;
        default: return none;
    }
}

}  // namespace

std::vector<Finding> parseCheckerOutput(const std::string& out, std::vector<std::string>& problems) {
    std::vector<Finding> findings;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        Finding f;
        std::size_t rest = 0;
        if (!numberedPrefix(line, f.rule, f.level, rest)) {
            if (line.rfind("Error:", 0) == 0 || line.rfind("prelb", 0) == 0) problems.push_back(line);
            continue;
        }
        std::string body = line.substr(rest);
        if (body.rfind("::", 0) == 0) {
            f.message = trimRight(body.substr(2));
        } else {
            // "file:line:text"; the file is what stands before the first ":N:".
            std::size_t colon = body.find(':');
            bool positioned = false;
            while (colon != std::string::npos) {
                std::size_t end = colon + 1;
                while (end < body.size() && std::isdigit(static_cast<unsigned char>(body[end]))) ++end;
                if (end > colon + 1 && end < body.size() && body[end] == ':') {
                    f.file = body.substr(0, colon);
                    f.line = static_cast<unsigned>(std::stoul(body.substr(colon + 1, end - colon - 1)));
                    f.message = trimRight(body.substr(end + 1));
                    positioned = true;
                    break;
                }
                colon = body.find(':', colon + 1);
            }
            if (!positioned) f.message = trimRight(body);
        }
        findings.push_back(std::move(f));
    }
    return findings;
}

ColumnFinder::ColumnFinder(const CdfgGraph& g) : g_(g) {
    for (NodeId id = 1; id != 0 && id <= g.lastId; ++id) {
        const char* file = getFileName(g, id);
        if (file && getLine(g, id)) byLine_[{file, getLine(g, id)}].push_back(id);
    }
}

unsigned ColumnFinder::column(const Finding& f) const {
    auto it = byLine_.find({f.file, f.line});
    if (f.line == 0 || it == byLine_.end()) return 1;
    int code = std::atoi(f.rule.c_str() + 1);
    std::initializer_list<std::uint32_t> kinds = subjectKinds(code);
    std::string name = quotedName(f.message);
    unsigned anyColumn = 0;   // any node of the line
    unsigned kindColumn = 0;  // a node of the message's kind
    unsigned nameColumn = 0;  // ... that has the quoted name
    auto better = [](unsigned current, unsigned candidate) {
        return candidate != 0 && (current == 0 || candidate < current);
    };
    for (NodeId id : it->second) {
        unsigned column = getColumn(g_, id);
        if (better(anyColumn, column)) anyColumn = column;
        bool ofKind = false;
        for (std::uint32_t k : kinds) ofKind = ofKind || getKind(g_, id) == k;
        if (!ofKind) continue;
        if (better(kindColumn, column)) kindColumn = column;
        const char* n = nameOf(g_, id);
        if (!name.empty() && n && name == n && better(nameColumn, column)) nameColumn = column;
    }
    if (nameColumn) return nameColumn;
    if (kindColumn) return kindColumn;
    return anyColumn ? anyColumn : 1;
}
