#include "util/expr_type.h"

#include <cstring>

namespace {

// Deeper operator nesting than this is taken for a damaged graph (a cycle
// through the operand links); the evaluation then answers the default type.
constexpr int kMaxDepth = 10000;

struct EvalState {
    const CdfgGraph& g;
    // Nodes that may still be evaluated: a tree never needs more than the
    // graph has, so this only runs out on operand links that share or loop.
    std::size_t budget;
};

void setDefault(ExprType& type) {
    type.valtype = DECL_VALTYPE_INT;
    type.sign = DECL_SIGNED;
    type.pointercnt = 0;
}

bool isFloating(std::int32_t valtype) {
    return valtype == DECL_VALTYPE_FLOAT || valtype == DECL_VALTYPE_DOUBLE ||
           valtype == DECL_VALTYPE_LONGDOUBLE;
}

bool hasAny(const char* text, const char* chars) { return std::strpbrk(text, chars) != nullptr; }

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c, unsigned base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return (v >= 0 && static_cast<unsigned>(v) < base) ? v : -1;
}

// Reads an optionally signed number the way the C conversions do (leading
// blanks, a sign, for base 16 an optional 0x, then digits), keeping only the
// low bits: what does not fit the width is lost, as it was in the 32- and
// 64-bit variables the value was read into.
std::uint64_t readNumber(const char* p, unsigned base) {
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digitValue(p[2], 16) >= 0)
        p += 2;
    std::uint64_t value = 0;
    for (int d; (d = digitValue(*p, base)) >= 0; ++p) value = value * base + static_cast<unsigned>(d);
    return negative ? 0 - value : value;
}

// Type of a literal from its source text alone.
void literalType(const char* text, ExprType& type) {
    if (!text) return;
    if (std::strchr(text, '.')) {
        type.valtype = DECL_VALTYPE_DOUBLE;
        if (hasAny(text, "fF")) type.valtype = DECL_VALTYPE_FLOAT;
        if (hasAny(text, "lL")) type.valtype = DECL_VALTYPE_LONGDOUBLE;
        return;
    }
    bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!hex && hasAny(text, "eE")) {
        type.valtype = DECL_VALTYPE_DOUBLE;
        return;
    }
    const char* suffix = std::strchr(text, 'L');
    if (!suffix) suffix = std::strchr(text, 'l');
    if (!suffix)
        type.valtype = DECL_VALTYPE_INT;
    else if (suffix[1] == 'l' || suffix[1] == 'L')
        type.valtype = DECL_VALTYPE_LONGLONG;
    else
        type.valtype = DECL_VALTYPE_LONG;

    if (hasAny(text, "uU")) {
        type.sign = DECL_UNSIGNED;
        return;
    }
    if (std::strchr(text, '-')) {
        type.sign = DECL_SIGNED;
        return;
    }
    std::uint64_t value;
    if (hex)
        value = readNumber(text + 2, 16);
    else if (text[0] == '0')
        value = readNumber(text, 8);
    else
        value = readNumber(text, 10);
    std::uint64_t topBit = type.valtype == DECL_VALTYPE_LONGLONG ? (std::uint64_t{1} << 63)
                                                                 : (std::uint64_t{1} << 31);
    type.sign = (value & topBit) ? DECL_UNSIGNED : DECL_SIGNED;
}

// Pointer depth left after applying `applied` levels to `declared` ones, in
// the 32-bit arithmetic of the attributes; never below 0.
std::int32_t remainingDepth(std::uint32_t declared, std::uint32_t applied) {
    auto left = static_cast<std::int32_t>(declared - applied);
    return left > 0 ? left : 0;
}

void variableType(const CdfgGraph& g, NodeId ref, ExprType& type) {
    // The member actually used sits at the end of the structure chain.
    NodeId last = ref;
    for (std::size_t steps = 0; steps <= g.nodes.size(); ++steps) {
        NodeId son = getAttrInt(g, last, DfgPort_STRSON);
        if (!son) break;
        last = son;
    }
    NodeId decl = getAttrInt(g, last, DfgPort_DECL);
    type.sign = getAttrSigned(g, decl, CfgDecl_SIGNED);
    type.valtype = getAttrSigned(g, decl, CfgDecl_VALTYPE);
    std::uint32_t declared =
        getAttrInt(g, decl, CfgDecl_POINTERCNT) + getAttrInt(g, decl, CfgDecl_DIMCNT);
    std::uint32_t applied = getAttrInt(g, last, DfgPort_POINTERCNT) +
                            getAttrInt(g, last, DfgPort_DIMCNT) -
                            getAttrInt(g, last, DfgPort_ADDRFLG);
    type.pointercnt = remainingDepth(declared, applied);
}

void callType(const CdfgGraph& g, NodeId call, ExprType& type) {
    NodeId target = getJumpId(g, call);
    std::uint32_t declared;
    if (target && getKind(g, target) == CFG_FUNCTION) {
        type.valtype = getAttrSigned(g, target, CfgFunc_RETTYPE);
        type.sign = getAttrSigned(g, target, CfgFunc_SIGNED);
        declared = getAttrInt(g, target, CfgFunc_POINTERCNT);
    } else {
        type.valtype = getAttrSigned(g, call, DfgFuncCall_FUNC_RETTYPE);
        if (type.valtype == 0) type.valtype = DECL_VALTYPE_INT;
        type.sign = getAttrSigned(g, call, DfgFuncCall_FUNC_SIGNED);
        declared = getAttrInt(g, call, DfgFuncCall_FUNC_POINTERCNT);
    }
    type.pointercnt = remainingDepth(declared, getAttrInt(g, call, DfgFuncCall_POINCNT));
}

std::int32_t combinedSign(const ExprType& l, const ExprType& r) {
    return (l.sign == DECL_UNSIGNED || r.sign == DECL_UNSIGNED) ? DECL_UNSIGNED : DECL_SIGNED;
}

bool either(const ExprType& l, const ExprType& r, std::int32_t valtype) {
    return l.valtype == valtype || r.valtype == valtype;
}

// The usual arithmetic conversions, simplified as the later tools expect them.
void convertOperands(const ExprType& l, const ExprType& r, ExprType& type) {
    if (l.pointercnt == 0 && r.pointercnt == 0) {
        type.pointercnt = 0;
        type.sign = DECL_SIGNED;
        if (either(l, r, DECL_VALTYPE_STRUCT)) {
            type.valtype = DECL_VALTYPE_STRUCT;
        } else if (either(l, r, DECL_VALTYPE_LONGDOUBLE)) {
            type.valtype = DECL_VALTYPE_LONGDOUBLE;
        } else if (either(l, r, DECL_VALTYPE_DOUBLE) || either(l, r, DECL_VALTYPE_FLOAT)) {
            type.valtype = DECL_VALTYPE_DOUBLE;
        } else if (either(l, r, DECL_VALTYPE_LONGLONG)) {
            type.valtype = DECL_VALTYPE_LONGLONG;
            if (l.valtype == r.valtype)
                type.sign = combinedSign(l, r);
            else
                type.sign = l.valtype == DECL_VALTYPE_LONGLONG ? l.sign : r.sign;
        } else if (either(l, r, DECL_VALTYPE_LONG)) {
            type.valtype = DECL_VALTYPE_LONG;
            auto wide = [](const ExprType& t) {
                return t.valtype == DECL_VALTYPE_LONG || t.valtype == DECL_VALTYPE_INT;
            };
            if (wide(l) && wide(r))
                type.sign = combinedSign(l, r);
            else
                type.sign = l.valtype == DECL_VALTYPE_LONG ? l.sign : r.sign;
        } else if (either(l, r, DECL_VALTYPE_INT)) {
            type.valtype = DECL_VALTYPE_INT;
            if (l.valtype == r.valtype)
                type.sign = combinedSign(l, r);
            else
                type.sign = l.valtype == DECL_VALTYPE_INT ? l.sign : r.sign;
        } else {
            type.valtype = DECL_VALTYPE_INT;
        }
        return;
    }
    type.pointercnt = l.pointercnt > r.pointercnt ? l.pointercnt : r.pointercnt;
    if (either(l, r, DECL_VALTYPE_STRUCT)) {
        type.valtype = DECL_VALTYPE_STRUCT;
        type.sign = DECL_SIGNED;
        return;
    }
    for (std::int32_t v : {DECL_VALTYPE_LONGDOUBLE, DECL_VALTYPE_DOUBLE, DECL_VALTYPE_FLOAT}) {
        if (either(l, r, v)) {
            type.valtype = v;
            type.sign = DECL_SIGNED;
            return;
        }
    }
    type.valtype = DECL_VALTYPE_INT;
    for (std::int32_t v : {DECL_VALTYPE_LONGLONG, DECL_VALTYPE_LONG, DECL_VALTYPE_SHORT,
                           DECL_VALTYPE_CHAR, DECL_VALTYPE_BOOL}) {
        if (either(l, r, v)) {
            type.valtype = v;
            break;
        }
    }
    type.sign = combinedSign(l, r);
}

void evaluate(EvalState& s, NodeId node, ExprType& type, int depth);

void operationType(EvalState& s, NodeId node, ExprType& type, int depth) {
    const CdfgGraph& g = s.g;
    std::int32_t op = getAttrSigned(g, node, DfgOpe_TYPE);
    NodeId left = getAttrInt(g, node, DfgOpe_LEFT);
    switch (op) {
        case CALC_Plus:
        case CALC_Minus:
        case CALC_BitNot:
        case CALC_RightShift:
        case CALC_LeftShift:
            evaluate(s, left, type, depth + 1);
            if (type.pointercnt == 0 &&
                (type.valtype == DECL_VALTYPE_CHAR || type.valtype == DECL_VALTYPE_SHORT ||
                 type.valtype == DECL_VALTYPE_BOOL))
                setDefault(type);
            return;
        default: break;
    }
    if (op == CALC_Not || (op >= CALC_Les && op <= CALC_LogOr)) return;  // a truth value
    ExprType l, r;
    evaluate(s, left, l, depth + 1);
    evaluate(s, getAttrInt(g, node, DfgOpe_RIGHT), r, depth + 1);
    convertOperands(l, r, type);
}

void evaluate(EvalState& s, NodeId node, ExprType& type, int depth) {
    setDefault(type);
    const CdfgGraph& g = s.g;
    // A parenthesis is typed by what follows it; nested ones form a chain.
    while (node != 0 && s.budget != 0 && getKind(g, node) == DFG_EDGE_PRESEDENCE) {
        --s.budget;
        node = getNextId(g, node);
    }
    if (node == 0 || depth > kMaxDepth || s.budget == 0) return;
    --s.budget;
    switch (getKind(g, node)) {
        case DFG_OPERATION: operationType(s, node, type, depth); break;
        case DFG_INPUT_VAR:
        case DFG_OUTPUT_VAR: variableType(g, node, type); break;
        case DFG_INPUT_CONST: literalType(getAttrString(g, node, DfgInputCnst_STRVALUE), type); break;
        case DFG_FUNC_CALL: callType(g, node, type); break;
        case DFG_SPEC:
            type.valtype = getAttrSigned(g, node, DfgSpec_VALTYPE);
            type.sign = getAttrSigned(g, node, DfgSpec_SIGNED);
            type.pointercnt = getAttrSigned(g, node, DfgSpec_POINTERCNT);
            break;
        default: break;
    }
}

}  // namespace

std::int32_t evalExprType(const CdfgGraph& g, NodeId node, ExprType& type) {
    EvalState s{g, g.nodes.size() + 1};
    evaluate(s, node, type, 0);
    return type.valtype;
}

bool isFloatingType(std::int32_t valtype) { return isFloating(valtype); }
