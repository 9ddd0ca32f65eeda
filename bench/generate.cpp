// Generates a large, realistic CDFG program for benchmarks and stress tests.
//
//   cdfg_generate --nodes N [--seed S] [--findings] -o FILE
//   cdfg_generate --chain N [--prefix] [--findings] -o FILE
//
// The program has several source files; each holds a structure definition,
// globals, layers of functions (a function calls two functions of the layer
// below it, so every function is reached and call paths stay short) with
// parameters, locals, loops, if/else, switch, assignments and expressions,
// and one module function on top that main calls through a `//tavik module`
// directive (every other module with a prefix). Without --findings the
// checker accepts the program and writes the INF file; with it, every file
// also carries code the checker reports.
//
// With --chain, the program is one call chain instead: main calls c0 as a
// module (with a prefix under --prefix), each cI calls c(I+1), and under
// --findings the last one calls c0 again, which makes the whole chain one
// recursion. It measures how deep the walks that follow calls can go.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graph_builder.h"

namespace {

using tb::GraphBuilder;
using tb::Type;

struct Options {
    std::uint64_t nodes = 100000;
    std::uint64_t chain = 0;
    bool prefix = false;
    std::uint32_t seed = 1;
    bool findings = false;
    const char* output = nullptr;
};

struct Function {
    NodeId node = 0;
    std::string name;
    NodeId firstParamType = 0;
};

class Generator {
public:
    explicit Generator(const Options& options) : options_(options), random_(options.seed) {}

    std::string run() {
        if (options_.chain) return chain();
        std::uint64_t files = std::max<std::uint64_t>(2, options_.nodes / 250000);
        std::uint64_t perFile = options_.nodes / files;
        std::vector<std::pair<std::string, Function>> modules;
        for (std::uint64_t f = 0; f < files; ++f) {
            std::string fileName = "src/part" + std::to_string(f) + ".c";
            modules.push_back({fileName, generateFile(fileName, f, perFile)});
        }
        generateMain(modules);
        return b_.bytes();
    }

private:
    // float cI(float x) { float y; y = c(I+1)(x); return y; }
    std::string chain() {
        b_.file("chain.c");
        // Defined from the end of the chain, so that every callee is defined
        // before its caller.
        std::vector<NodeId> functions(options_.chain);
        std::vector<NodeId> params(options_.chain);
        for (std::uint64_t i = options_.chain; i-- > 0;) {
            functions[i] = b_.at(line()).function("c" + std::to_string(i), Type::Float());
            params[i] = b_.param(functions[i], "x", Type::Float());
        }
        for (std::uint64_t i = 0; i < options_.chain; ++i) {
            NodeId y = b_.local(functions[i], "y", Type::Float());
            NodeId next = i + 1 < options_.chain ? functions[i + 1] : options_.findings ? functions[0] : 0;
            NodeId value = next ? b_.call(next, {b_.var(params[i])}) : b_.var(params[i]);
            b_.body(functions[i], {b_.at(line()).stmt(b_.assign(b_.out(y), value)), b_.at(line()).ret(b_.var(y))});
        }
        NodeId m = b_.at(line()).function("main", Type::Int());
        b_.param(m, "argc", Type::Int());
        b_.param(m, "argv", Type::Char().ptr().array({0}));
        std::string directive = options_.prefix ? "module prefix=p" : "module";
        b_.body(m, {b_.at(line()).stmt(b_.call(functions[0], {b_.lit("1.0")}, {directive})),
                    b_.at(line()).ret(b_.lit("0"))});
        return b_.bytes();
    }

    std::uint32_t pick(std::uint32_t n) { return static_cast<std::uint32_t>(random_() % n); }
    std::uint32_t line() { return ++line_; }

    Function generateFile(const std::string& fileName, std::uint64_t index, std::uint64_t budget) {
        b_.file(fileName);
        line_ = 0;
        std::size_t start = b_.graph().nodes.size();
        pt_ = b_.at(line()).structDef("pt" + std::to_string(index),
                                      {{"x", Type::Float()}, {"y", Type::Float()}, {"n", Type::Int()}});
        gain_ = b_.at(line()).global("gain" + std::to_string(index), Type::Float());
        b_.directiveOnDecl(gain_, "fixedP S 16:8");
        std::vector<Function> below;
        std::vector<Function> layer;
        std::uint32_t width = 8;
        std::uint32_t counter = 0;
        // Layers of functions until the file has its share of nodes.
        while (b_.graph().nodes.size() - start < budget * 9 / 10 || below.size() < 2) {
            layer.clear();
            for (std::uint32_t k = 0; k < width; ++k) {
                std::string name = "f" + std::to_string(index) + "_" + std::to_string(counter++);
                std::vector<Function> callees;
                if (!below.empty()) {
                    callees.push_back(below[k % below.size()]);
                    callees.push_back(below[(k + 1) % below.size()]);
                }
                layer.push_back(generateFunction(name, callees, index));
            }
            below = layer;
            if (counter > 64 && counter % 64 == 0) width = std::min<std::uint32_t>(width * 2, 64);
        }
        std::string moduleName = "top";
        moduleName += std::to_string(index);
        Function module = generateFunction(moduleName, below, index, true);
        if (options_.findings) generateFindings(index, module);
        return module;
    }

    Function generateFunction(const std::string& name, const std::vector<Function>& callees,
                              std::uint64_t fileIndex, bool isModule = false) {
        Function fn;
        fn.name = name;
        fn.node = b_.at(line()).function(name, Type::Float());
        NodeId x = b_.param(fn.node, "x", Type::Float());
        NodeId n = b_.param(fn.node, "n", Type::Int());
        b_.directiveOnDecl(x, "fixedP S 24:12");
        NodeId i = b_.local(fn.node, "i", Type::Int());
        NodeId acc = b_.local(fn.node, "acc", Type::Float());
        NodeId buf = b_.local(fn.node, "buf", Type::Float().array({16}));
        NodeId p = b_.local(fn.node, "p", Type::Struct(pt_));
        b_.directiveOnDecl(acc, "fixedP S 24:12 s.r");
        b_.directiveOnDecl(buf, "int S 16");

        std::vector<NodeId> loopBody;
        loopBody.push_back(b_.at(line()).stmt(b_.assign(
            b_.index(b_.out(buf), {b_.op(CALC_And, b_.var(i), b_.lit("15"))}),
            b_.op(CALC_Mul, b_.var(x), b_.cast(Type::Float(), b_.var(i))))));
        loopBody.push_back(b_.at(line()).stmt(b_.assign(
            b_.out(acc), b_.op(CALC_Add, b_.var(acc),
                               b_.op(CALC_Mul, b_.index(b_.var(buf), {b_.op(CALC_And, b_.var(i), b_.lit("15"))}),
                                     b_.var(gain_))))));
        std::vector<NodeId> thenBody, elseBody;
        thenBody.push_back(b_.at(line()).stmt(b_.assign(
            b_.member(b_.out(p), b_.out(b_.memberDecl(p, "x"))), b_.var(acc))));
        elseBody.push_back(b_.at(line()).stmt(b_.assign(
            b_.member(b_.out(p), b_.out(b_.memberDecl(p, "n"))),
            b_.op(CALC_Add, b_.member(b_.var(p), b_.var(b_.memberDecl(p, "n"))), b_.lit("1")))));
        loopBody.push_back(b_.at(line()).ifStmt(b_.op(CALC_Gre, b_.var(i), b_.lit("4")), thenBody,
                                                elseBody));
        std::vector<NodeId> items;
        for (std::uint32_t c = 0; c < 3; ++c) {
            items.push_back(b_.at(line()).caseItem(
                b_.lit(std::to_string(c)),
                {b_.stmt(b_.assign(b_.out(acc), b_.op(CALC_Sub, b_.var(acc), b_.var(x)))),
                 b_.make(CFG_BREAK)}));
        }
        items.push_back(b_.at(line()).caseItem(0, {b_.stmt(b_.assign(b_.out(acc), b_.var(acc)))}));
        loopBody.push_back(b_.at(line()).switchStmt(b_.op(CALC_Mod, b_.var(i), b_.lit("4")), items));
        for (const Function& callee : callees) {
            loopBody.push_back(b_.at(line()).stmt(b_.assign(
                b_.out(acc), b_.op(CALC_Add, b_.var(acc),
                                   b_.call(callee.node, {b_.var(x), b_.lit(std::to_string(pick(9) + 1))})))));
        }
        std::vector<NodeId> body;
        body.push_back(b_.at(line()).stmt(b_.assign(b_.out(acc), b_.lit("0.5"))));
        body.push_back(b_.at(line()).loop(
            LOOP_FOR, b_.assign(b_.out(i), b_.lit("0")), b_.op(CALC_Les, b_.var(i), b_.var(n)),
            b_.op(CALC_PInc, b_.out(i)), loopBody));
        body.push_back(b_.at(line()).ret(b_.var(acc)));
        b_.body(fn.node, body);
        (void)fileIndex;
        (void)isModule;
        return fn;
    }

    // Code the checker reports: recursion, dynamic memory, a pointer cast, an
    // unsupported standard function, a bad directive and a missing return.
    void generateFindings(std::uint64_t index, const Function& module) {
        std::string name = "bad" + std::to_string(index);
        NodeId f = b_.at(line()).function(name, Type::Int());
        NodeId q = b_.local(f, "q", Type::Int().ptr());
        NodeId k = b_.local(f, "k", Type::Int());
        b_.directiveOnDecl(k, "fixedP 8 8");
        b_.body(f, {b_.at(line()).stmt(b_.assign(b_.out(q), b_.cast(Type::Int().ptr(), b_.callByName("malloc", {b_.lit("16")})))),
                    b_.at(line()).stmt(b_.assign(b_.out(q), b_.cast(Type::Int().ptr(), b_.var(k)))),
                    b_.at(line()).stmt(b_.callByName("memset", {b_.var(q), b_.lit("0"), b_.lit("4")})),
                    b_.at(line()).stmt(b_.assign(b_.out(k), b_.var(k)))});
        // The module calls it, and it calls itself.
        NodeId self = b_.at(line()).stmt(b_.call(f));
        NodeId body = getAttrInt(b_.graph(), f, CfgFunc_STARTCFG);
        appendToChainEnd(body, self);
        NodeId moduleBody = getAttrInt(b_.graph(), module.node, CfgFunc_STARTCFG);
        appendToChainEnd(moduleBody, b_.at(line()).stmt(b_.call(f)));
    }

    void appendToChainEnd(NodeId chain, NodeId node) {
        NodeId last = chain;
        while (NodeId next = getNextId(b_.graph(), last)) last = next;
        setNextId(b_.graph(), last, node);
        setPrevId(b_.graph(), node, last);
    }

    void generateMain(const std::vector<std::pair<std::string, Function>>& modules) {
        b_.file("src/main.c");
        line_ = 0;
        for (const auto& [file, module] : modules)
            b_.at(line()).proto(module.name, Type::Float(), {Type::Float(), Type::Int()});
        NodeId m = b_.at(line()).function("main", Type::Int());
        b_.param(m, "argc", Type::Int());
        b_.param(m, "argv", Type::Char().ptr().array({0}));
        NodeId v = b_.local(m, "v", Type::Float());
        std::vector<NodeId> body;
        for (std::size_t k = 0; k < modules.size(); ++k) {
            std::string directive = k % 2 ? "module prefix=m" + std::to_string(k) : "module";
            body.push_back(b_.at(line()).stmt(
                b_.call(modules[k].second.node, {b_.var(v), b_.lit("8")}, {directive})));
        }
        body.push_back(b_.at(line()).ret(b_.lit("0")));
        b_.body(m, body);
    }

    Options options_;
    std::mt19937 random_;
    GraphBuilder b_;
    std::uint32_t line_ = 0;
    NodeId pt_ = 0;
    NodeId gain_ = 0;
};

int usage() {
    std::fprintf(stderr,
                 "usage: cdfg_generate --nodes N [--seed S] [--findings] -o FILE\n"
                 "       cdfg_generate --chain N [--prefix] [--findings] -o FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--nodes") && i + 1 < argc)
            options.nodes = std::strtoull(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            options.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--chain") && i + 1 < argc)
            options.chain = std::strtoull(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--prefix"))
            options.prefix = true;
        else if (!std::strcmp(argv[i], "--findings"))
            options.findings = true;
        else if (!std::strcmp(argv[i], "-o") && i + 1 < argc)
            options.output = argv[++i];
        else
            return usage();
    }
    if (!options.output || (options.nodes == 0 && options.chain == 0)) return usage();
    std::string bytes = Generator(options).run();
    std::FILE* out = std::fopen(options.output, "wb");
    if (!out) {
        std::perror(options.output);
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fclose(out) == 0 && ok;
    return ok ? 0 : 1;
}
