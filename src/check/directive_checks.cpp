#include "check/directive_checks.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "cdfg/chain.h"
#include "cdfg/graph_ops.h"
#include "cdfg/validate.h"
#include "check/function_tree.h"
#include "report/messages.h"
#include "util/run_settings.h"
#include "util/strings.h"

namespace {

// A directive text holds a keyword and a handful of parameters; anything past
// this many tokens is not looked at.
constexpr int kMaxTokens = 30;
constexpr const char* kTokenDelimiters = " \t:=\n";

// A validated graph nests no deeper than this; the bound keeps an unvalidated
// one (a cycle through statement attributes) from exhausting the stack.
constexpr int kMaxDepth = static_cast<int>(kMaxNestingDepth);

template <typename... Args>
void reportAt(const CdfgGraph& g, NodeId node, int code, Args... args) {
    printMessage(code, orEmpty(getFileName(g, node)), static_cast<int>(getLine(g, node)), args...);
}

// strtok-style scan without the hidden state: the next token of text at pos,
// its end overwritten with NUL; nullptr when only delimiters are left.
// A set of delimiter characters, tested with one lookup per character.
class DelimiterSet {
public:
    explicit DelimiterSet(const char* delimiters) {
        for (const char* d = delimiters; *d != '\0'; ++d) add(static_cast<unsigned char>(*d));
    }
    bool has(char c) const {
        auto u = static_cast<unsigned char>(c);
        return (bits_[u >> 6] >> (u & 63)) & 1;
    }

private:
    void add(unsigned char u) { bits_[u >> 6] |= std::uint64_t{1} << (u & 63); }
    std::uint64_t bits_[4] = {};
};

char* nextToken(char*& pos, const char* delimiters) {
    const DelimiterSet delimiter(delimiters);
    while (*pos != '\0' && delimiter.has(*pos)) ++pos;
    if (*pos == '\0') return nullptr;
    char* token = pos;
    while (*pos != '\0' && !delimiter.has(*pos)) ++pos;
    if (*pos != '\0') *pos++ = '\0';
    return token;
}

// A private, splittable copy of a directive text (its terminating NUL
// included; a short text stays inside the string, without an allocation).
struct DirectiveTokens {
    std::string buffer;
    char* tokens[kMaxTokens] = {};
    int count = 0;
};

void splitDirective(const char* text, DirectiveTokens& out) {
    out.count = 0;
    if (!text) return;
    out.buffer.assign(text);
    char* pos = out.buffer.data();
    while (out.count < kMaxTokens) {
        char* token = nextToken(pos, kTokenDelimiters);
        if (!token) break;
        out.tokens[out.count++] = token;
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(const char* text) {
    for (const char* p = text; *p; ++p)
        if (!isDigit(*p)) return false;
    return true;
}

// True when every character of text is one of the allowed ones (or a digit
// when digits is set).
bool onlyChars(const char* text, bool digits, const char* allowed) {
    for (const char* p = text; *p; ++p) {
        if (digits && isDigit(*p)) continue;
        if (!std::strchr(allowed, *p)) return false;
    }
    return true;
}

// atoi reading (optional sign, then digits up to the first other character),
// held within a range that no check limit comes near, so that long digit
// runs cannot overflow.
long readNumber(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    long value = 0;
    for (; isDigit(*p); ++p) {
        if (value < 1000000) value = value * 10 + (*p - '0');
    }
    return negative ? -value : value;
}

bool equalsAny(const char* text, std::initializer_list<const char*> choices) {
    for (const char* c : choices)
        if (std::strcmp(text, c) == 0) return true;
    return false;
}

// Steps shared by the fixedP and int parameter checks: token count, sign
// letter and bit width. Returns the index of the bit width token, or -1 after
// a message.
int checkWidth(CdfgGraph& g, NodeId position, int tokenCount, char** tokens,
               const char* displayName, long& bitWidth) {
    const char* name = orEmpty(displayName);
    if (tokenCount < 2 || !tokens) {
        reportAt(g, position, 513, name);
        return -1;
    }
    for (int k = 1; k < tokenCount; ++k) toLowerInPlace(tokens[k]);
    int i = equalsAny(tokens[1], {"u", "s"}) ? 2 : 1;
    if (i >= tokenCount) {
        reportAt(g, position, 513, name);
        return -1;
    }
    bitWidth = readNumber(tokens[i]);
    if (!allDigits(tokens[i]) || bitWidth < 1 || bitWidth > 64) {
        reportAt(g, position, 514, "<bitW>", name);
        return -1;
    }
    return i;
}

bool hasDirectiveText(const CdfgGraph& g, NodeId first, const char* text) {
    for (NodeId d : chain(g, first)) {
        const std::string_view s = getAttrText(g, d, DfgDirective_STR);
        if (s.data() && s == text) return true;
    }
    return false;
}

// Walks a statement chain and the bodies nested in it (if branches, case
// items, loop parts and loop bodies), calling visit on every node reached.
struct StatementWalk {
    const CdfgGraph& g;
    bool caseVariants;  // also descend into CFG_STATE_CASEX / CFG_STATE_CASEZ
    std::size_t budget;

    template <typename Visit>
    void walk(NodeId first, int depth, Visit& visit) {
        if (depth > kMaxDepth) return;
        for (NodeId s = first; s != 0 && budget > 0; s = getNextId(g, s)) {
            --budget;
            visit(s);
            NodeId nested = 0;
            switch (getKind(g, s)) {
                case CFG_STATE_IF: nested = getAttrInt(g, s, CfgStateIf_STATOPE); break;
                case CFG_IF_THEN: nested = getAttrInt(g, s, CfgIfThen_CFG); break;
                case CFG_IF_ELSE: nested = getAttrInt(g, s, CfgIfElse_CFG); break;
                case CFG_STATE_CASEX:
                case CFG_STATE_CASEZ:
                    if (!caseVariants) break;
                    [[fallthrough]];
                case CFG_STATE_CASE: nested = getAttrInt(g, s, CfgStateCase_STATOPE); break;
                case CFG_CASE_ITEM: nested = getAttrInt(g, s, CfgCaseItem_CFG); break;
                case CFG_LOOP_BEGIN: nested = getAttrInt(g, s, CfgLoopBegin_CFG); break;
                case CFG_LOOP_STAT: nested = getAttrInt(g, s, CfgLoopStat_CFG); break;
                default: break;
            }
            if (nested) walk(nested, depth + 1, visit);
        }
    }
};

// Directives that only mean something on analysed code: keyword (lower
// case) and the name printed for it.
const char* misplacedDirectiveName(const char* keyword) {
    static const char* const names[][2] = {
        {"int", "int"},       {"fixedp", "fixedP"}, {"input", "input"},
        {"output", "output"}, {"inout", "inout"},   {"scale", "scale"},
    };
    for (const auto& n : names)
        if (std::strcmp(keyword, n[0]) == 0) return n[1];
    return nullptr;
}

int checkPlacementOfDeclarations(CdfgGraph& g, NodeId first) {
    int result = 0;
    for (NodeId d : chain(g, first)) {
        if (getKind(g, d) != CFG_DECLARE) continue;
        for (NodeId dir : chain(g, getAttrInt(g, d, CfgDecl_DIRECTIVE))) {
            if (getAttrSigned(g, dir, DfgDirective_TYPE) != DIRE_Directive) continue;
            DirectiveTokens split;
            splitDirective(getAttrString(g, dir, DfgDirective_STR), split);
            if (split.count == 0) continue;
            toLowerInPlace(split.tokens[0]);
            if (const char* name = misplacedDirectiveName(split.tokens[0])) {
                reportAt(g, d, 546, name);
                result = -1;
            }
        }
    }
    return result;
}

}  // namespace

int checkVariableDirective(CdfgGraph& g, NodeId declaration, NodeId directive) {
    DirectiveTokens split;
    splitDirective(getAttrString(g, directive, DfgDirective_STR), split);
    if (split.count == 0) return 0;
    char* keyword = split.tokens[0];
    toLowerInPlace(keyword);
    if (std::strcmp(keyword, "int") == 0)
        return checkIntParams(g, declaration, split.count, split.tokens, "int");
    if (std::strcmp(keyword, "fixedp") == 0)
        return checkFixedPParams(g, declaration, split.count, split.tokens, "fixedP");
    if (equalsAny(keyword, {"input", "output", "inout"}))
        return checkPortDirective(g, declaration, directive, split.count, split.tokens);
    if (std::strcmp(keyword, "scale") == 0) {
        reportAt(g, declaration, 507, "scale");
        return -1;
    }
    if (equalsAny(keyword, {"float", "muladd_var", "fixeda", "inta"})) return 0;
    reportAt(g, declaration, 512, keyword);
    return -1;
}

int checkFixedPParams(CdfgGraph& g, NodeId position, int tokenCount, char** tokens,
                      const char* displayName) {
    const char* name = orEmpty(displayName);
    long bitWidth = 0;
    int i = checkWidth(g, position, tokenCount, tokens, displayName, bitWidth);
    if (i < 0) return -1;
    if (i + 1 >= tokenCount) {
        reportAt(g, position, 513, name);
        return -1;
    }
    // A suffix after "_" is not part of the fraction size.
    std::string fraction(tokens[i + 1]);
    fraction = fraction.substr(0, fraction.find('_'));
    if (!onlyChars(fraction.c_str(), true, runSettings.ecMode ? "-" : "")) {
        reportAt(g, position, 514, "<fsize>", name);
        return -1;
    }
    long fractionSize = readNumber(fraction.c_str());
    if (runSettings.ecMode) {
        if (fractionSize < -64 || fractionSize > 64) {
            reportAt(g, position, 514, "<fsize>", name);
            return -1;
        }
    } else {
        if (fractionSize > 64) {
            reportAt(g, position, 514, "<fsize>", name);
            return -1;
        }
        if (bitWidth - fractionSize < 1) {
            reportAt(g, position, 514, "<bitW>:<fsize>", name);
            return -1;
        }
    }
    if (i + 2 >= tokenCount) return 0;
    const char* modes = tokens[i + 2];
    if (const char* dot = std::strchr(modes, '.')) {
        std::string overflow(modes, dot);
        if (!equalsAny(overflow.c_str(), {"s", "i", ""})) {
            reportAt(g, position, 514, "<ovf>", name);
            return -1;
        }
        if (!equalsAny(dot + 1, {"t", "r", "e", ""})) {
            reportAt(g, position, 514, "<rnd>", name);
            return -1;
        }
        return 0;
    }
    if (!equalsAny(modes, {"s", "i"})) {
        reportAt(g, position, 514, "<ovf>", name);
        return -1;
    }
    if (i + 3 < tokenCount && !equalsAny(tokens[i + 3], {"t", "r", "e"})) {
        reportAt(g, position, 514, "<rnd>", name);
        return -1;
    }
    return 0;
}

int checkIntParams(CdfgGraph& g, NodeId position, int tokenCount, char** tokens,
                   const char* displayName) {
    long bitWidth = 0;
    int i = checkWidth(g, position, tokenCount, tokens, displayName, bitWidth);
    if (i < 0) return -1;
    if (i + 1 >= tokenCount) return 0;
    if (!equalsAny(tokens[i + 1], {"s", "i"})) {
        reportAt(g, position, 514, "<ovf>", orEmpty(displayName));
        return -1;
    }
    return 0;
}

int checkPortDirective(CdfgGraph& g, NodeId declaration, NodeId directive, int tokenCount,
                       char** tokens) {
    if (tokenCount < 1 || !tokens) return 0;
    const char* keyword = tokens[0];

    enum Section { VARNAME, FIXEDP, INT, DRANG, RATE, EVFUNC, RTURN, SECTION_COUNT };
    struct Range {
        int begin = -1;  // index of the section keyword
        int end = -1;    // one past the last value
        bool present() const { return begin >= 0; }
        int values() const { return end - begin - 1; }
    };
    Range sections[SECTION_COUNT];
    auto sectionOf = [](const char* token) -> int {
        if (std::strcmp(token, "varname") == 0) return VARNAME;
        if (std::strcmp(token, "fixedP") == 0 || std::strcmp(token, "fixedp") == 0) return FIXEDP;
        if (std::strcmp(token, "int") == 0) return INT;
        if (std::strcmp(token, "drang") == 0) return DRANG;
        if (std::strcmp(token, "rate") == 0) return RATE;
        if (std::strcmp(token, "evfunc") == 0) return EVFUNC;
        if (std::strcmp(token, "r-turn") == 0) return RTURN;
        return -1;
    };
    int open = -1;
    for (int k = 1; k < tokenCount; ++k) {
        int s = sectionOf(tokens[k]);
        if (s < 0) continue;
        if (open >= 0) sections[open].end = k;
        sections[s] = Range{k, tokenCount};
        open = s;
    }

    int result = 0;
    if (sections[FIXEDP].present() && sections[INT].present()) {
        reportAt(g, declaration, 542, keyword);
        result = -1;
    }
    if (!sections[VARNAME].present() && !sections[FIXEDP].present() &&
        !sections[INT].present() && !sections[DRANG].present() && !sections[RATE].present() &&
        tokenCount > 1) {
        reportAt(g, directive, 513, keyword);
        return -1;
    }

    std::int32_t valtype = getAttrSigned(g, declaration, CfgDecl_VALTYPE);
    if (sections[FIXEDP].present() && valtype != DECL_VALTYPE_FLOAT &&
        valtype != DECL_VALTYPE_DOUBLE && valtype != DECL_VALTYPE_STRUCT &&
        valtype != DECL_VALTYPE_LONGDOUBLE) {
        reportAt(g, directive, 543, keyword);
        result = -1;
    }
    if (valtype == DECL_VALTYPE_STRUCT && !sections[VARNAME].present()) {
        reportAt(g, directive, 544, keyword, "varname");
        result = -1;
    }
    if (sections[VARNAME].present() && sections[VARNAME].values() < 1) {
        reportAt(g, directive, 514, "varname", keyword);
        result = -1;
    }
    if (sections[FIXEDP].present()) {
        std::string name = std::string(keyword) + "->fixedP";
        const Range& r = sections[FIXEDP];
        if (checkFixedPParams(g, directive, r.end - r.begin, tokens + r.begin, name.c_str()) != 0)
            result = -1;
    }
    if (sections[INT].present()) {
        std::string name = std::string(keyword) + "->int";
        const Range& r = sections[INT];
        if (checkIntParams(g, directive, r.end - r.begin, tokens + r.begin, name.c_str()) != 0)
            result = -1;
    }
    if (sections[DRANG].present()) {
        const Range& r = sections[DRANG];
        if (r.values() < 2) {
            reportAt(g, directive, 514, "drang", keyword);
            result = -1;
        }
        for (int k = r.begin + 1; k < r.end; ++k) {
            if (!onlyChars(tokens[k], true, "-.Ee")) {
                reportAt(g, directive, 514, "drang", keyword);
                result = -1;
            }
        }
    }
    if (sections[RATE].present()) {
        const Range& r = sections[RATE];
        if (r.values() < 2) {
            reportAt(g, directive, 514, "rate", keyword);
            result = -1;
        } else {
            if (!onlyChars(tokens[r.begin + 1], true, ".")) {
                reportAt(g, directive, 514, "rate", keyword);
                result = -1;
            }
            if (!equalsAny(tokens[r.begin + 2], {"a", "m"})) {
                reportAt(g, directive, 514, "rate", keyword);
                result = -1;
            }
        }
    }
    if (sections[EVFUNC].present() && sections[EVFUNC].values() < 1) {
        reportAt(g, directive, 514, "evfunc", keyword);
        result = -1;
    }
    return result;
}

int checkCallDirective(CdfgGraph& g, NodeId call) {
    const char* text = nullptr;
    findDirective(g, getAttrInt(g, call, DfgFuncCall_DIRECTIVE), DIRE_Directive, &text);
    if (!text) return 0;
    std::vector<char> buffer(text, text + std::strlen(text) + 1);
    char* pos = buffer.data();
    const char* first = nextToken(pos, " \t,");
    if (!first) return 0;
    if (std::strcmp(first, "unroll") == 0) {
        reportAt(g, call, 507, "unroll");
        return -1;
    }
    if (std::strcmp(first, "unmodule") == 0) {
        const char* second = nextToken(pos, " \t");
        if (!second || std::strcmp(second, "float") != 0) {
            reportAt(g, call, 507, "unmodule");
            return -1;
        }
    }
    return 0;
}

int checkDirectivePlacement(CdfgGraph& g, NodeId function) {
    // A function that a module reaches only through its prefixed copy: the
    // copy is what gets analysed.
    if (findTreeNodeByCalled(g, function)) return 0;
    int result = checkPlacementOfDeclarations(g, getAttrInt(g, function, CfgFunc_DECLARE));
    StatementWalk walk{g, true, g.nodes.size() + 1};
    auto visit = [&](NodeId s) {
        if (getKind(g, s) == CFG_DECLARE_DEF &&
            checkPlacementOfDeclarations(g, getAttrInt(g, s, CfgDeclDef_DECL)) != 0)
            result = -1;
    };
    walk.walk(getAttrInt(g, function, CfgFunc_STARTCFG), 0, visit);
    if (checkPlacementOfDeclarations(g, getAttrInt(g, function, CfgFunc_ARGLIST)) != 0)
        result = -1;
    return result;
}

namespace {

enum class TranslateMismatch { None, OffWithoutOn, OnWithoutOff };

// The end node of a translate block names its directives by identifier 4,
// the same as the begin node's CfgStateBegin_DIRECTIVE.
constexpr std::uint32_t kTranslateDirectiveAttr = CfgStateBegin_DIRECTIVE;

TranslateMismatch translateMismatch(const CdfgGraph& g, NodeId s, std::uint32_t kind) {
    if (kind == CFG_STATE_BEGIN &&
        hasDirectiveText(g, getAttrInt(g, s, kTranslateDirectiveAttr), "translate_off") &&
        !hasDirectiveText(g, getAttrInt(g, getJumpId(g, s), kTranslateDirectiveAttr), "translate_on"))
        return TranslateMismatch::OffWithoutOn;
    if (kind == CFG_STATE_END &&
        hasDirectiveText(g, getAttrInt(g, s, kTranslateDirectiveAttr), "translate_on") &&
        !hasDirectiveText(g, getAttrInt(g, getJumpId(g, s), kTranslateDirectiveAttr), "translate_off"))
        return TranslateMismatch::OnWithoutOff;
    return TranslateMismatch::None;
}

}  // namespace

int checkTranslatePairs(CdfgGraph& g) {
    // Whether a node is reported depends on the node alone, so when no node
    // of the list is, the walk (which only orders the messages) is skipped:
    // reading the node list in order costs far less than following every
    // statement chain of the program.
    // (A deleted node, id 0, has no attributes and is never reported.)
    static_assert(CFG_STATE_END == CFG_STATE_BEGIN + 1);
    bool anyMismatch = false;
    for (const CdfgNode& node : g.nodes) {
        if (node.kind - CFG_STATE_BEGIN > 1u) continue;
        if (translateMismatch(g, node.id, node.kind) != TranslateMismatch::None) {
            anyMismatch = true;
            break;
        }
    }
    if (!anyMismatch) return 0;

    int result = 0;
    auto visit = [&](NodeId s) {
        switch (translateMismatch(g, s, getKind(g, s))) {
            case TranslateMismatch::OffWithoutOn:
                reportAt(g, s, 517, "translate_on", "translate_off");
                result = -1;
                break;
            case TranslateMismatch::OnWithoutOff:
                reportAt(g, s, 517, "translate_off", "translate_on");
                result = -1;
                break;
            case TranslateMismatch::None: break;
        }
    };
    // Every node lies in one chain at most, so one budget of the node count
    // covers the file, element and statement chains of the whole program.
    std::size_t budget = g.nodes.size() + 1;
    StatementWalk walk{g, false, g.nodes.size() + 1};
    for (NodeId file = getAttrInt(g, findRoot(g), CfgRoot_ELEMENT); file != 0 && budget > 0;
         file = getNextId(g, file)) {
        --budget;
        for (NodeId e = getAttrInt(g, file, CfgFileinfo_ELEMENT); e != 0 && budget > 0;
             e = getNextId(g, e)) {
            --budget;
            if (getKind(g, e) == CFG_FUNCTION)
                walk.walk(getAttrInt(g, e, CfgFunc_STARTCFG), 0, visit);
        }
    }
    return result;
}
