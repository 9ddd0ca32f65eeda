#include "graph_builder.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "cdfg/graph_ops.h"
#include "cdfg/writer.h"

namespace tb {

GraphBuilder::GraphBuilder() : g_(newGraph()) {
    root_ = make(CFG_ROOT);
}

std::string GraphBuilder::bytes() const {
    std::string out;
    writeCdfgBytes(*g_, out);
    return out;
}

void GraphBuilder::writeTo(const std::string& path) const {
    std::string data = bytes();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

GraphBuilder& GraphBuilder::at(std::uint32_t line, std::uint32_t column) {
    line_ = line;
    column_ = column;
    return *this;
}

NodeId GraphBuilder::make(std::uint32_t kind) {
    NodeId id = createNode(*g_, kind);
    if (!fileName_.empty()) setFileName(*g_, id, fileName_.c_str());
    setLine(*g_, id, line_);
    setColumn(*g_, id, column_);
    return id;
}

void GraphBuilder::own(NodeId owner, std::uint32_t attr, NodeId first) {
    if (!first) return;
    setAttrNode(*g_, owner, attr, first);
    setPrevId(*g_, first, owner);
}

void GraphBuilder::appendOwned(NodeId owner, std::uint32_t attr, NodeId node) {
    NodeId first = getAttrInt(*g_, owner, attr);
    if (!first) {
        own(owner, attr, node);
    } else {
        // Start from the last node appended here, so long chains grow in constant time.
        auto known = lastOwned_.find({owner, attr});
        NodeId from = first;
        if (known != lastOwned_.end() && getKind(*g_, known->second) != 0) from = known->second;
        appendToChain(*g_, from, node);
    }
    lastOwned_[{owner, attr}] = lastInChain(*g_, node);
}

NodeId GraphBuilder::chain(const std::vector<NodeId>& nodes) {
    std::vector<NodeId> flat;
    // Statements such as if or loops bring their closing node (and a
    // translate block its body) along.
    auto expand = [&](auto&& self, NodeId n) -> void {
        flat.push_back(n);
        auto found = followers_.find(n);
        if (found != followers_.end())
            for (NodeId f : found->second) self(self, f);
    };
    for (NodeId n : nodes)
        if (n) expand(expand, n);
    for (std::size_t i = 0; i + 1 < flat.size(); ++i) {
        setNextId(*g_, flat[i], flat[i + 1]);
        setPrevId(*g_, flat[i + 1], flat[i]);
    }
    return flat.empty() ? 0 : flat.front();
}

NodeId GraphBuilder::file(const std::string& name) {
    fileName_ = name;
    file_ = make(CFG_FILEINFO);
    setAttrString(*g_, file_, CfgFileinfo_NAME, name.c_str());
    appendOwned(root_, CfgRoot_ELEMENT, file_);
    return file_;
}

NodeId GraphBuilder::makeFunction(std::uint32_t kind, const std::string& name, const Type& ret) {
    NodeId f = make(kind);
    if (!name.empty()) setAttrString(*g_, f, CfgFunc_NAME, name.c_str());
    setAttrInt(*g_, f, CfgFunc_SIGNED, static_cast<std::uint32_t>(ret.sign));
    setAttrInt(*g_, f, CfgFunc_RETTYPE, static_cast<std::uint32_t>(ret.valtype));
    setAttrInt(*g_, f, CfgFunc_POINTERCNT, ret.pointers);
    return f;
}

NodeId GraphBuilder::function(const std::string& name, const Type& ret) {
    NodeId f = makeFunction(CFG_FUNCTION, name, ret);
    if (file_) appendOwned(file_, CfgFileinfo_ELEMENT, f);
    return f;
}

NodeId GraphBuilder::protoNode(const std::string& name, const Type& ret,
                               std::initializer_list<Type> params) {
    NodeId p = makeFunction(CFG_PROTO_FUNC, name, ret);
    for (const Type& t : params) appendOwned(p, CfgFunc_ARGLIST, makeDecl("", t, DECL_ARG));
    return p;
}

NodeId GraphBuilder::proto(const std::string& name, const Type& ret,
                           std::initializer_list<Type> params) {
    NodeId p = protoNode(name, ret, params);
    if (file_) appendOwned(file_, CfgFileinfo_ELEMENT, p);
    return p;
}

NodeId GraphBuilder::makeDecl(const std::string& name, const Type& type, std::int32_t declKind) {
    NodeId d = make(CFG_DECLARE);
    setAttrInt(*g_, d, CfgDecl_KIND, static_cast<std::uint32_t>(declKind));
    if (!name.empty()) setAttrString(*g_, d, CfgDecl_NAME, name.c_str());
    setAttrInt(*g_, d, CfgDecl_SIGNED, static_cast<std::uint32_t>(type.sign));
    setAttrInt(*g_, d, CfgDecl_POINTERCNT, type.pointers);
    setAttrInt(*g_, d, CfgDecl_DIMCNT, static_cast<std::uint32_t>(type.dims.size()));
    setAttrInt(*g_, d, CfgDecl_VALTYPE, static_cast<std::uint32_t>(type.valtype));
    std::vector<NodeId> dims;
    for (std::int64_t size : type.dims) {
        NodeId dim = make(DFG_DIMENSION);
        if (size > 0) {
            setAttrInt(*g_, dim, DfgDim_CNT, static_cast<std::uint32_t>(size));
            own(dim, DfgDim_NODE, lit(std::to_string(size)));
        }
        dims.push_back(dim);
    }
    own(d, CfgDecl_DIMNODE, chain(dims));
    if (type.structDef) {
        // A structure variable owns its own copy of the structure and points
        // at the definition it came from.
        own(d, CfgDecl_STRUCTNODE, copySubtree(*g_, type.structDef));
        setAttrNode(*g_, d, CfgDecl_STRUCTORGNODE, type.structDef);
    }
    return d;
}

NodeId GraphBuilder::decl(const std::string& name, const Type& type, std::int32_t declKind) {
    return makeDecl(name, type, declKind);
}

NodeId GraphBuilder::param(NodeId function, const std::string& name, const Type& type) {
    NodeId d = makeDecl(name, type, DECL_ARG);
    appendOwned(function, CfgFunc_ARGLIST, d);
    return d;
}

NodeId GraphBuilder::local(NodeId function, const std::string& name, const Type& type) {
    NodeId d = makeDecl(name, type, DECL_VAR);
    appendOwned(function, CfgFunc_DECLARE, d);
    return d;
}

NodeId GraphBuilder::global(const std::string& name, const Type& type) {
    NodeId def = make(CFG_DECLARE_DEF);
    NodeId d = makeDecl(name, type, DECL_VAR);
    own(def, CfgDeclDef_DECL, d);
    if (file_) appendOwned(file_, CfgFileinfo_ELEMENT, def);
    return d;
}

NodeId GraphBuilder::structDef(const std::string& tag,
                               std::vector<std::pair<std::string, Type>> members, bool isUnion) {
    NodeId def = make(CFG_STRUCT_DEF);
    NodeId s = make(CFG_STRUCT);
    if (!tag.empty()) setAttrString(*g_, s, CfgStruct_TAGNAME, tag.c_str());
    setAttrInt(*g_, s, CfgStruct_UNION, isUnion ? 1 : 0);
    std::vector<NodeId> decls;
    for (const auto& [name, type] : members) decls.push_back(makeDecl(name, type, DECL_VAR));
    own(s, CfgStruct_MEMBER, chain(decls));
    own(def, CfgStructDef_STRUCT, s);
    if (file_) appendOwned(file_, CfgFileinfo_ELEMENT, def);
    return s;
}

NodeId GraphBuilder::typedefDef(const std::string& name, const Type& type) {
    NodeId def = make(CFG_TYPEDEF_DEF);
    NodeId t = make(CFG_TYPEDEF);
    setAttrString(*g_, t, CfgTDef_NAME, name.c_str());
    setAttrInt(*g_, t, CfgTDef_VALTYPE, static_cast<std::uint32_t>(type.valtype));
    setAttrInt(*g_, t, CfgTDef_POINTERCNT, type.pointers);
    if (type.structDef) setAttrNode(*g_, t, CfgTDef_STRUCTNODE, type.structDef);
    own(def, CfgTypedefDef_TDEF, t);
    if (file_) appendOwned(file_, CfgFileinfo_ELEMENT, def);
    return t;
}

void GraphBuilder::body(NodeId function, std::vector<NodeId> statements) {
    NodeId first = chain(statements);
    setAttrNode(*g_, function, CfgFunc_STARTCFG, first);
    if (first) setPrevId(*g_, first, function);
}

NodeId GraphBuilder::memberDecl(NodeId structVariable, const std::string& name) const {
    NodeId s = getAttrInt(*g_, structVariable, CfgDecl_STRUCTNODE);
    for (NodeId m = getAttrInt(*g_, s, CfgStruct_MEMBER); m; m = getNextId(*g_, m)) {
        const char* n = getAttrString(*g_, m, CfgDecl_NAME);
        if (n && name == n) return m;
    }
    return 0;
}

NodeId GraphBuilder::directive(const std::string& text, std::int32_t type) {
    NodeId d = make(INFO_DIRECTIVE);
    setAttrInt(*g_, d, DfgDirective_TYPE, static_cast<std::uint32_t>(type));
    setAttrString(*g_, d, DfgDirective_STR, std::string_view(text));
    return d;
}

void GraphBuilder::addDirectives(NodeId node, std::uint32_t attr, std::vector<std::string> texts) {
    for (const std::string& text : texts) appendOwned(node, attr, directive(text));
}

void GraphBuilder::directiveOnDecl(NodeId declaration, const std::string& text) {
    addDirectives(declaration, CfgDecl_DIRECTIVE, {text});
}

void GraphBuilder::directiveOnFunction(NodeId function, const std::string& text) {
    addDirectives(function, CfgFunc_DIRECTIVE, {text});
}

NodeId GraphBuilder::makeRef(std::uint32_t kind, NodeId declaration) {
    NodeId r = make(kind);
    const char* name = getAttrString(*g_, declaration, CfgDecl_NAME);
    if (name) setAttrString(*g_, r, DfgPort_NAME, name);
    setAttrNode(*g_, r, DfgPort_DECL, declaration);
    return r;
}

NodeId GraphBuilder::var(NodeId declaration) { return makeRef(DFG_INPUT_VAR, declaration); }
NodeId GraphBuilder::out(NodeId declaration) { return makeRef(DFG_OUTPUT_VAR, declaration); }

NodeId GraphBuilder::member(NodeId structRef, NodeId memberRef) {
    NodeId last = structRef;
    while (NodeId son = getAttrInt(*g_, last, DfgPort_STRSON)) last = son;
    own(last, DfgPort_STRSON, memberRef);
    setAttrNode(*g_, memberRef, DfgPort_STRPARENT, last);
    return structRef;
}

NodeId GraphBuilder::index(NodeId ref, std::vector<NodeId> indices) {
    std::vector<NodeId> dims;
    for (NodeId i : indices) {
        NodeId dim = make(DFG_DIMENSION);
        own(dim, DfgDim_NODE, i);
        dims.push_back(dim);
    }
    setAttrInt(*g_, ref, DfgPort_DIMCNT, static_cast<std::uint32_t>(indices.size()));
    own(ref, DfgPort_DIMNODE, chain(dims));
    return ref;
}

NodeId GraphBuilder::deref(NodeId ref, std::uint32_t levels) {
    setAttrInt(*g_, ref, DfgPort_POINTERCNT, getAttrInt(*g_, ref, DfgPort_POINTERCNT) + levels);
    return ref;
}

NodeId GraphBuilder::addressOf(NodeId ref) {
    setAttrInt(*g_, ref, DfgPort_ADDRFLG, 1);
    return ref;
}

NodeId GraphBuilder::enumConst(const std::string& name) {
    NodeId r = make(DFG_INPUT_PARA);
    setAttrString(*g_, r, DfgPort_NAME, name.c_str());
    return r;
}

NodeId GraphBuilder::enumVar(const std::string& name, bool written) {
    NodeId e = make(CFG_ENUM);
    setAttrString(*g_, e, CfgEnum_NAME, name.c_str());
    NodeId r = make(written ? DFG_OUTPUT_VAR : DFG_INPUT_VAR);
    setAttrString(*g_, r, DfgPort_NAME, name.c_str());
    setAttrNode(*g_, r, DfgPort_DECL, e);
    return r;
}

NodeId GraphBuilder::lit(const std::string& text) {
    NodeId c = make(DFG_INPUT_CONST);
    setAttrString(*g_, c, DfgInputCnst_STRVALUE, text.c_str());
    long long value = std::strtoll(text.c_str(), nullptr, 0);
    setAttrInt(*g_, c, DfgInputCnst_INTVALUE, static_cast<std::uint32_t>(value));
    return c;
}

NodeId GraphBuilder::str(const std::string& text) {
    NodeId s = make(DFG_INPUT_STRING);
    setAttrString(*g_, s, DfgInputStr_STRING, std::string_view(text));
    return s;
}

NodeId GraphBuilder::op(std::int32_t type, NodeId left, NodeId right, NodeId cond) {
    NodeId o = make(DFG_OPERATION);
    setAttrInt(*g_, o, DfgOpe_TYPE, static_cast<std::uint32_t>(type));
    own(o, DfgOpe_LEFT, left);
    own(o, DfgOpe_RIGHT, right);
    own(o, DfgOpe_COND, cond);
    return o;
}

NodeId GraphBuilder::call(NodeId function, std::vector<NodeId> args,
                          std::vector<std::string> directives) {
    const char* name = getAttrString(*g_, function, CfgFunc_NAME);
    NodeId c = callByName(name ? name : "", std::move(args), std::move(directives));
    setJumpId(*g_, c, function);
    return c;
}

NodeId GraphBuilder::callByName(const std::string& name, std::vector<NodeId> args,
                                std::vector<std::string> directives) {
    NodeId c = make(DFG_FUNC_CALL);
    if (!name.empty()) setAttrString(*g_, c, DfgFuncCall_NAME, name.c_str());
    std::vector<NodeId> ports;
    for (NodeId a : args) {
        NodeId p = make(DFG_PORT_INFO);
        own(p, DfgPortInfo_SIGNAL, a);
        ports.push_back(p);
    }
    own(c, DfgFuncCall_ARGLIST, chain(ports));
    addDirectives(c, DfgFuncCall_DIRECTIVE, std::move(directives));
    return c;
}

NodeId GraphBuilder::cast(const Type& type, NodeId expr) {
    NodeId s = make(DFG_SPEC);
    setAttrInt(*g_, s, DfgSpec_SIGNED, static_cast<std::uint32_t>(type.sign));
    setAttrInt(*g_, s, DfgSpec_VALTYPE, static_cast<std::uint32_t>(type.valtype));
    setAttrInt(*g_, s, DfgSpec_POINTERCNT, type.pointers);
    setAttrInt(*g_, s, DfgSpec_DIMCNT, static_cast<std::uint32_t>(type.dims.size()));
    chain({s, expr});
    return s;
}

NodeId GraphBuilder::paren(NodeId expr) {
    NodeId p = make(DFG_EDGE_PRESEDENCE);
    chain({p, expr});
    return p;
}

NodeId GraphBuilder::assign(NodeId target, NodeId value) {
    NodeId e = make(DFG_EDGE_BLOCKING);
    chain({target, e, value});
    setPrevId(*g_, target, 0);
    return e;
}

NodeId GraphBuilder::manage(NodeId expr) {
    NodeId m = make(DFG_MANAGE_OPERATION);
    setAttrNode(*g_, m, DfgOpeman_OPE, expr);
    std::uint32_t kind = getKind(*g_, expr);
    // An assignment is named by its edge, whose PrevId is the target.
    if (expr && kind != DFG_EDGE_BLOCKING && kind != DFG_EDGE_NONBLOCKING)
        setPrevId(*g_, expr, m);
    return m;
}

void GraphBuilder::dimExpr(NodeId declaration, std::size_t n, NodeId expr) {
    NodeId dim = getAttrInt(*g_, declaration, CfgDecl_DIMNODE);
    for (std::size_t i = 0; i < n && dim; ++i) dim = getNextId(*g_, dim);
    if (!dim) return;
    setAttrInt(*g_, dim, DfgDim_CNT, 0);
    own(dim, DfgDim_NODE, expr);
}

void GraphBuilder::init(NodeId declaration, NodeId expr) { own(declaration, CfgDecl_INIT, expr); }

NodeId GraphBuilder::stmt(NodeId expr) {
    NodeId s = make(CFG_STATE_DATAPATH);
    own(s, CfgDatapath_OPELIST, manage(expr));
    return s;
}

NodeId GraphBuilder::ret(NodeId expr) {
    NodeId r = make(CFG_RETURN);
    if (expr) own(r, CfgReturn_EXP, manage(expr));
    return r;
}

NodeId GraphBuilder::ifStmt(NodeId cond, std::vector<NodeId> thenBody,
                            std::optional<std::vector<NodeId>> elseBody) {
    NodeId s = make(CFG_STATE_IF);
    own(s, CfgStateIf_CONDOPE, manage(cond));
    NodeId thenNode = make(CFG_IF_THEN);
    own(thenNode, CfgIfThen_CFG, chain(thenBody));
    std::vector<NodeId> branches{thenNode};
    if (elseBody) {
        NodeId elseNode = make(CFG_IF_ELSE);
        own(elseNode, CfgIfElse_CFG, chain(*elseBody));
        branches.push_back(elseNode);
    }
    own(s, CfgStateIf_STATOPE, chain(branches));
    NodeId end = make(CFG_STATE_ENDIF);
    setJumpId(*g_, s, end);
    setJumpId(*g_, end, s);
    followers_[s] = {end};
    return s;
}

NodeId GraphBuilder::caseItem(NodeId label, std::vector<NodeId> body) {
    NodeId item = make(CFG_CASE_ITEM);
    own(item, CfgCaseItem_EXP, label);
    own(item, CfgCaseItem_CFG, chain(body));
    return item;
}

NodeId GraphBuilder::switchStmt(NodeId cond, std::vector<NodeId> items) {
    NodeId s = make(CFG_STATE_CASE);
    own(s, CfgStateCase_CONDOPE, manage(cond));
    own(s, CfgStateCase_STATOPE, chain(items));
    NodeId end = make(CFG_STATE_ENDCASE);
    setJumpId(*g_, s, end);
    setJumpId(*g_, end, s);
    followers_[s] = {end};
    return s;
}

NodeId GraphBuilder::loop(std::int32_t loopType, NodeId init, NodeId cond, NodeId step,
                          std::vector<NodeId> body) {
    NodeId s = make(CFG_LOOP_BEGIN);
    setAttrInt(*g_, s, CfgLoopBegin_LOOPTYPE, static_cast<std::uint32_t>(loopType));
    std::vector<NodeId> parts;
    if (init) {
        NodeId n = make(CFG_LOOP_INIT);
        own(n, CfgLoopInit_OPELIST, manage(init));
        parts.push_back(n);
    }
    if (cond) {
        NodeId n = make(CFG_LOOP_COND);
        own(n, CfgLoopCond_CONDOPE, manage(cond));
        parts.push_back(n);
    }
    NodeId stat = make(CFG_LOOP_STAT);
    own(stat, CfgLoopStat_CFG, chain(body));
    parts.push_back(stat);
    if (step) {
        NodeId n = make(CFG_LOOP_STEP);
        own(n, CfgLoopStep_OPELIST, manage(step));
        parts.push_back(n);
    }
    own(s, CfgLoopBegin_CFG, chain(parts));
    NodeId end = make(CFG_LOOP_END);
    setJumpId(*g_, s, end);
    setJumpId(*g_, end, s);
    followers_[s] = {end};
    return s;
}

NodeId GraphBuilder::declBlock(std::vector<NodeId> declarations) {
    NodeId s = make(CFG_DECLARE_DEF);
    own(s, CfgDeclDef_DECL, chain(declarations));
    return s;
}

NodeId GraphBuilder::translateOff(std::vector<NodeId> statements, const std::string& offText,
                                  const std::string& onText) {
    NodeId begin = make(CFG_STATE_BEGIN);
    own(begin, CfgStateBegin_DIRECTIVE, directive(offText));
    NodeId end = make(CFG_STATE_END);
    own(end, 4, directive(onText));
    setJumpId(*g_, begin, end);
    setJumpId(*g_, end, begin);
    statements.push_back(end);
    followers_[begin] = statements;
    return begin;
}

NodeId GraphBuilder::label(const std::string& name) {
    NodeId l = make(CFG_STATE_LABEL);
    setAttrString(*g_, l, CfgStateLabel_NAME, name.c_str());
    return l;
}

NodeId GraphBuilder::gotoStmt(NodeId labelNode) {
    NodeId s = make(CFG_GOTO);
    setJumpId(*g_, s, labelNode);
    return s;
}

}  // namespace tb
