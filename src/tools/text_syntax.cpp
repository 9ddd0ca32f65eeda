#include "tools/text_syntax.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "cdfg/vocabulary.h"

namespace {

struct NamedValue {
    std::int32_t value;
    const char* name;
};

#define NV(x) {x, #x}
constexpr NamedValue kDeclKinds[] = {
    NV(DECL_PARAMETER), NV(DECL_INPUT),    NV(DECL_OUTPUT),   NV(DECL_INOUT),
    NV(DECL_TIME),      NV(DECL_INTEGER),  NV(DECL_REAL),     NV(DECL_EVENT),
    NV(DECL_REG),       NV(DECL_SREG),     NV(DECL_WIRE),     NV(DECL_SUPPLY0),
    NV(DECL_SUPPLY1),   NV(DECL_TASK),     NV(DECL_FUNCTION), NV(DECL_ARG),
    NV(DECL_VAR)};
constexpr NamedValue kSigns[] = {NV(DECL_SIGNED_NONE), NV(DECL_SIGNED), NV(DECL_UNSIGNED)};
constexpr NamedValue kValTypes[] = {
    NV(DECL_VALTYPE_NONE),  NV(DECL_VALTYPE_VOID),     NV(DECL_VALTYPE_CHAR),
    NV(DECL_VALTYPE_SHORT), NV(DECL_VALTYPE_INT),      NV(DECL_VALTYPE_LONG),
    NV(DECL_VALTYPE_LONGLONG), NV(DECL_VALTYPE_BOOL),  NV(DECL_VALTYPE_FLOAT),
    NV(DECL_VALTYPE_DOUBLE), NV(DECL_VALTYPE_STRUCT),  NV(DECL_VALTYPE_LONGDOUBLE)};
constexpr NamedValue kLoopTypes[] = {
    NV(LOOP_NONE), NV(LOOP_ALWAYS), NV(LOOP_FOREVER), NV(LOOP_WHILE),
    NV(LOOP_DOWHILE), NV(LOOP_FOR), NV(LOOP_REPEAT), NV(LOOP_WAIT)};
constexpr NamedValue kOperators[] = {
    NV(CALC_Plus),       NV(CALC_Minus),      NV(CALC_Not),        NV(CALC_BitNot),
    NV(CALC_AndReduce),  NV(CALC_NandReduce), NV(CALC_OrReduce),   NV(CALC_NorReduce),
    NV(CALC_XorReduce),  NV(CALC_XnorReduce), NV(CALC_Mul),        NV(CALC_Div),
    NV(CALC_Mod),        NV(CALC_Add),        NV(CALC_Sub),        NV(CALC_RightShift),
    NV(CALC_LeftShift),  NV(CALC_Les),        NV(CALC_LesEq),      NV(CALC_Gre),
    NV(CALC_GreEq),      NV(CALC_Eq),         NV(CALC_NotEq),      NV(CALC_LogAnd),
    NV(CALC_LogOr),      NV(CALC_And),        NV(CALC_Or),         NV(CALC_Xor),
    NV(CALC_Xnor),       NV(CALC_LogCond),    NV(CALC_ExaEq),      NV(CALC_NotExaEq),
    NV(CALC_Mintypmax),  NV(CALC_Multiple),   NV(CALC_Concat),     NV(CALC_FuncCall),
    NV(CALC_SysCall),    NV(CALC_Event),      NV(CALC_CnstEnd),    NV(CALC_MulEqu),
    NV(CALC_DivEqu),     NV(CALC_ModEqu),     NV(CALC_AddEqu),     NV(CALC_SubEqu),
    NV(CALC_RShiftEqu),  NV(CALC_LShiftEqu),  NV(CALC_AndEqu),     NV(CALC_OrEqu),
    NV(CALC_XorEqu),     NV(CALC_PInc),       NV(CALC_IncP),       NV(CALC_PDec),
    NV(CALC_DeclP)};
constexpr NamedValue kDirectiveTypes[] = {NV(DIRE_Extension), NV(DIRE_Directive), NV(DIRE_END)};
#undef NV

struct Group {
    const NamedValue* begin;
    const NamedValue* end;
};
template <std::size_t N>
constexpr Group group(const NamedValue (&values)[N]) {
    return {values, values + N};
}

struct EnumAttr {
    std::uint32_t kind;
    std::uint32_t attr;
    Group values;
};

// Attributes whose integer values are named. Besides the declaration and
// return types, the casts, typedefs and calls use the same type and sign codes.
constexpr EnumAttr kEnumAttrs[] = {
    {CFG_DECLARE, CfgDecl_KIND, group(kDeclKinds)},
    {CFG_DECLARE, CfgDecl_SIGNED, group(kSigns)},
    {CFG_DECLARE, CfgDecl_VALTYPE, group(kValTypes)},
    {CFG_FUNCTION, CfgFunc_RETTYPE, group(kValTypes)},
    {CFG_FUNCTION, CfgFunc_SIGNED, group(kSigns)},
    {CFG_PROTO_FUNC, CfgFunc_RETTYPE, group(kValTypes)},
    {CFG_PROTO_FUNC, CfgFunc_SIGNED, group(kSigns)},
    {CFG_TYPEDEF, CfgTDef_VALTYPE, group(kValTypes)},
    {CFG_TYPEDEF, CfgTDef_SIGNED, group(kSigns)},
    {DFG_SPEC, DfgSpec_VALTYPE, group(kValTypes)},
    {DFG_SPEC, DfgSpec_SIGNED, group(kSigns)},
    {DFG_FUNC_CALL, DfgFuncCall_FUNC_RETTYPE, group(kValTypes)},
    {DFG_FUNC_CALL, DfgFuncCall_FUNC_SIGNED, group(kSigns)},
    {CFG_LOOP_BEGIN, CfgLoopBegin_LOOPTYPE, group(kLoopTypes)},
    {DFG_OPERATION, DfgOpe_TYPE, group(kOperators)},
    {INFO_DIRECTIVE, DfgDirective_TYPE, group(kDirectiveTypes)},
};

constexpr Group kAllGroups[] = {group(kDeclKinds), group(kSigns),     group(kValTypes),
                                group(kLoopTypes), group(kOperators), group(kDirectiveTypes)};

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

const char* vocabKindName(std::uint32_t kind) {
    static std::unordered_map<std::uint32_t, const char*> cache;
    auto [it, inserted] = cache.try_emplace(kind, nullptr);
    if (inserted) it->second = kindName(kind);
    return it->second;
}

std::uint32_t vocabKindCode(const std::string& name) {
    static std::unordered_map<std::string, std::uint32_t> cache;
    auto [it, inserted] = cache.try_emplace(name, 0);
    if (inserted) it->second = kindCode(name.c_str());
    return it->second;
}

const char* vocabAttrName(std::uint32_t kind, std::uint32_t attr) {
    static std::unordered_map<std::uint64_t, const char*> cache;
    auto [it, inserted] = cache.try_emplace((std::uint64_t{kind} << 32) | attr, nullptr);
    if (inserted) it->second = attrName(kind, attr);
    return it->second;
}

std::int64_t vocabAttrCode(std::uint32_t kind, const std::string& name) {
    static std::unordered_map<std::string, std::int64_t> cache;
    auto [it, inserted] = cache.try_emplace(std::to_string(kind) + ' ' + name, -1);
    if (inserted) it->second = attrCode(kind, name.c_str());
    return it->second;
}

std::string quoteText(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out.push_back(ch);
                } else {
                    out += "\\x";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 15]);
                }
        }
    }
    out.push_back('"');
    return out;
}

const char* enumValueName(std::uint32_t kind, std::uint32_t attr, std::int32_t value) {
    for (const EnumAttr& e : kEnumAttrs) {
        if (e.kind != kind || e.attr != attr) continue;
        for (const NamedValue* v = e.values.begin; v != e.values.end; ++v)
            if (v->value == value) return v->name;
        return nullptr;
    }
    return nullptr;
}

std::optional<std::int32_t> enumValueCode(std::string_view name) {
    for (const Group& g : kAllGroups)
        for (const NamedValue* v = g.begin; v != g.end; ++v)
            if (name == v->name) return v->value;
    return std::nullopt;
}

std::string formatFloatBits(std::uint64_t bits) {
    double value;
    static_assert(sizeof value == sizeof bits);
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "0x%016llx", static_cast<unsigned long long>(bits));
        return buffer;
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::optional<std::uint64_t> parseFloatBits(std::string_view token) {
    if (token.size() == 18 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        std::uint64_t bits = 0;
        for (char c : token.substr(2)) {
            if (!isHexDigit(c)) return std::nullopt;
            bits = (bits << 4) | static_cast<std::uint64_t>(
                                     c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        return bits;
    }
    // from_chars reads no leading '+' and no hex without the general format
    // flag; neither belongs to the text form.
    double value;
    const char* end = token.data() + token.size();
    auto result = std::from_chars(token.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::optional<std::uint64_t> parseFieldInteger(std::string_view token, unsigned width,
                                               bool allowNegative) {
    bool negative = false;
    if (!token.empty() && token[0] == '-') {
        if (!allowNegative) return std::nullopt;
        negative = true;
        token.remove_prefix(1);
    }
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        base = 16;
        token.remove_prefix(2);
    }
    if (token.empty()) return std::nullopt;
    std::uint64_t magnitude;
    const char* end = token.data() + token.size();
    auto result = std::from_chars(token.data(), end, magnitude, base);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    const std::uint64_t mask = width >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    if (negative) {
        const std::uint64_t limit = std::uint64_t{1} << (width - 1);
        if (magnitude > limit) return std::nullopt;
        return (~magnitude + 1) & mask;
    }
    if (magnitude > mask) return std::nullopt;
    return magnitude;
}
