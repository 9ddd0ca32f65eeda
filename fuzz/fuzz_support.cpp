#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "api/checker.h"
#include "cdfg/reader.h"
#include "cdfg/validate.h"
#include "cdfg/writer.h"
#include "check/directive_checks.h"
#include "constraint/constraint_file.h"
#include "directive/directive_parser.h"
#include "graph_builder.h"
#include "report/messages.h"
#include "util/large_stack.h"

namespace fuzz {

namespace {

struct Scratch {
    std::string dir;
    pid_t owner = getpid();
    Scratch() {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/tavik-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        dir = pattern;
    }
    // A child forked from the owner (a test's) that exits must not take the
    // directory away from its parent.
    ~Scratch() {
        if (getpid() != owner) return;
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

}  // namespace

const std::string& scratchDir() {
    static Scratch scratch;
    return scratch.dir;
}

std::string scratchPath(const char* name) { return scratchDir() + "/" + name; }

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

void writeFile(const std::string& path, const std::string& text) {
    writeFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string fixedProgramBytes() {
    using tb::Type;
    tb::GraphBuilder b;
    b.file("a.c");
    NodeId pt = b.at(1).structDef("pt", {{"x", Type::Float()}, {"y", Type::Float()}});
    NodeId g = b.at(2).global("g", Type::Float());
    b.directiveOnDecl(g, "fixedP S 16:8");
    NodeId h = b.at(3).function("h", Type::Void());
    NodeId f = b.at(4).function("f", Type::Float());
    NodeId v = b.param(f, "v", Type::Float());
    NodeId n = b.param(f, "n", Type::Int());
    NodeId acc = b.local(f, "acc", Type::Float());
    NodeId s = b.local(f, "s", Type::Struct(pt));
    NodeId i = b.local(f, "i", Type::Int());
    NodeId buf = b.local(f, "buf", Type::Float().array({8}));
    b.body(f, {b.at(5).stmt(b.assign(b.out(acc), b.lit("0.5"))),
               b.at(6).loop(LOOP_FOR, b.assign(b.out(i), b.lit("0")), b.op(CALC_Les, b.var(i), b.var(n)),
                            b.op(CALC_PInc, b.out(i)),
                            {b.at(7).stmt(b.assign(b.index(b.out(buf), {b.var(i)}),
                                                   b.op(CALC_Mul, b.var(v), b.var(g)))),
                             b.at(8).stmt(b.assign(b.out(acc), b.op(CALC_Add, b.var(acc), b.var(v))))}),
               b.at(9).ifStmt(b.op(CALC_Gre, b.var(acc), b.lit("1")),
                              {b.at(10).stmt(b.assign(b.member(b.out(s), b.out(b.memberDecl(s, "x"))),
                                                      b.var(acc)))},
                              std::vector<NodeId>{b.at(11).stmt(b.call(h))}),
               b.at(12).ret(b.var(acc))});
    NodeId main = b.at(13).function("main", Type::Int());
    b.param(main, "argc", Type::Int());
    b.param(main, "argv", Type::Char().ptr().array({0}));
    NodeId r = b.local(main, "r", Type::Float());
    b.body(main, {b.at(14).stmt(b.assign(b.out(r), b.call(f, {b.lit("1.0"), b.lit("2")}, {"module"}))),
                  b.at(15).ret(b.lit("0"))});
    return b.bytes();
}

const char* fixedConstraintText() {
    return "# constraints of a.c\n"
           "$def_start_option\n"
           "-max 8\n"
           "$end_start_option\n"
           "$def_directive\n"
           "module a.c f prefix=m1\n"
           "evFunc a.c h\n"
           "roll a.c f\n"
           "unroll a.c f loop\n"
           "fixedP a.c f v S 16:8\n"
           "int a.c f n S 8\n"
           "input a.c f v fixedP S 8:4\n"
           "output a.c f acc rate 1.5 a\n"
           "inout a.c $ g\n"
           "scale a.c f acc 16\n"
           "float a.c f buf\n"
           "muladd_var a.c f acc\n"
           "$end_directive\n";
}

int runCheckerQuietly(const std::vector<std::string>& args, std::string* out) {
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string sink;
    setMessageCapture(out ? out : &sink);
    int status = 1;
    auto run = [&] { status = runChecker(static_cast<int>(copies.size()), argv.data()); };
    if (!runOnLargeStack(run)) std::abort();
    setMessageCapture(nullptr);
    return status;
}

int runCheckerInput(const std::uint8_t* data, std::size_t size, bool withConstraints) {
    static const std::string cdfg = scratchPath("input.cdfg");
    static const std::string inf = scratchPath("output.inf");
    static const std::string ctf = [] {
        std::string path = scratchPath("fixed.ctf");
        writeFile(path, fixedConstraintText());
        return path;
    }();
    writeFile(cdfg, data, size);
    if (withConstraints) return runCheckerQuietly({"tavikChk", "-ansic", "-mev", "-ctf", ctf, cdfg, inf});
    return runCheckerQuietly({"tavikChk", cdfg, inf});
}

bool runConstraintInput(const std::uint8_t* data, std::size_t size) {
    static const std::string program = fixedProgramBytes();
    static const std::string ctf = scratchPath("input.ctf");
    writeFile(ctf, data, size);

    std::unique_ptr<CdfgGraph> g =
        readCdfgBytes(reinterpret_cast<const unsigned char*>(program.data()), program.size());
    std::string sink;
    setMessageCapture(&sink);
    resetRunState();
    processConstraintFile(*g, ctf.c_str());
    std::string reason;
    bool valid = validateGraph(*g, reason) == 0;
    std::string bytes;
    writeCdfgBytes(*g, bytes);
    resetRunState();
    setMessageCapture(nullptr);
    return valid;
}

namespace {

struct DirectiveProgram {
    std::string bytes;
    NodeId declaration = 0, declarationDirective = 0, call = 0, callDirective = 0;
};

// int f(float v) { return 0; } int main() { f(1.0); }, each with one directive.
DirectiveProgram makeDirectiveProgram() {
    using tb::Type;
    tb::GraphBuilder b;
    b.file("a.c");
    DirectiveProgram p;
    NodeId f = b.function("f");
    p.declaration = b.param(f, "v", Type::Float());
    b.directiveOnDecl(p.declaration, "fixedP S 16:8");
    p.declarationDirective = getAttrInt(b.graph(), p.declaration, CfgDecl_DIRECTIVE);
    b.body(f, {b.ret(b.lit("0"))});
    NodeId main = b.function("main");
    p.call = b.call(f, {b.lit("1.0")}, {"module"});
    p.callDirective = getAttrInt(b.graph(), p.call, DfgFuncCall_DIRECTIVE);
    b.body(main, {b.stmt(p.call), b.ret(b.lit("0"))});
    p.bytes = b.bytes();
    return p;
}

}  // namespace

void runDirectiveInput(const std::uint8_t* data, std::size_t size) {
    static const DirectiveProgram program = makeDirectiveProgram();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<DirectiveRecord> record = parseDirectiveText(text.c_str());

    std::unique_ptr<CdfgGraph> g =
        readCdfgBytes(reinterpret_cast<const unsigned char*>(program.bytes.data()), program.bytes.size());
    setAttrString(*g, program.declarationDirective, DfgDirective_STR, std::string_view(text));
    setAttrString(*g, program.callDirective, DfgDirective_STR, std::string_view(text));
    std::string sink;
    setMessageCapture(&sink);
    resetRunState();
    checkVariableDirective(*g, program.declaration, program.declarationDirective);
    checkCallDirective(*g, program.call);
    resetRunState();
    setMessageCapture(nullptr);
}

}  // namespace fuzz
