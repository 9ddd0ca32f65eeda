#include "frontend/frontend.h"

#include <clang-c/Index.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "frontend/clang_util.h"
#include "frontend/translate.h"

namespace {

// Errors of the compiler that the checker reports itself with a message of
// its own: the front end keeps what clang's error recovery kept of the
// construct and leaves the verdict to the checks.
const char* const kLeftToTheChecker[] = {
    "too many arguments to function call",                // 534
    "too few arguments to function call",                 // 534
    "definition of variable with array type needs an explicit size",  // 511
    "expression is not assignable",                       // 532
};

bool leftToTheChecker(const std::string& text) {
    for (const char* prefix : kLeftToTheChecker)
        if (text.rfind(prefix, 0) == 0) return true;
    return false;
}

std::vector<std::string> compilerArguments(const FrontendOptions& o) {
    std::vector<std::string> args = {
        "-x", "c", "-std=" + o.standard, "-nostdinc", "-isystem", o.headerDir,
        // A freestanding compiler knows no library functions: memcpy with
        // the wrong arguments is the checker's finding, not a compile error.
        "-ffreestanding", "-fno-builtin", "-ferror-limit=0",
        // What a lenient C compiler accepts with a warning, and the checks
        // report (implicit declarations, argument types).
        "-Wno-error=implicit-function-declaration", "-Wno-error=implicit-int",
        "-Wno-error=int-conversion", "-Wno-error=incompatible-pointer-types",
        "-Wno-error=incompatible-function-pointer-types", "-Wno-error=return-type"};
    args.insert(args.end(), o.preprocessorArgs.begin(), o.preprocessorArgs.end());
    return args;
}

std::string readFailure(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return "is a directory";
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::strerror(errno ? errno : ENOENT);
    return "";
}

void collectDiagnostics(CXTranslationUnit tu, FrontendResult& result, bool& failed) {
    unsigned count = clang_getNumDiagnostics(tu);
    for (unsigned i = 0; i < count; ++i) {
        CXDiagnostic d = clang_getDiagnostic(tu, i);
        CXDiagnosticSeverity severity = clang_getDiagnosticSeverity(d);
        if (severity == CXDiagnostic_Ignored) {
            clang_disposeDiagnostic(d);
            continue;
        }
        FrontendDiagnostic fd;
        PresumedPlace place = presumedPlace(clang_getDiagnosticLocation(d));
        fd.file = place.file;
        fd.line = place.line;
        fd.column = place.column;
        fd.text = takeString(clang_getDiagnosticSpelling(d));
        std::string option = takeString(clang_getDiagnosticOption(d, nullptr));
        if (!option.empty()) fd.text += " [" + option + "]";
        switch (severity) {
            case CXDiagnostic_Note: fd.severity = "note"; break;
            case CXDiagnostic_Warning: fd.severity = "warning"; break;
            default:
                if (leftToTheChecker(fd.text)) {
                    fd.severity = "warning";
                    fd.text += " (left to the checker)";
                } else {
                    fd.severity = "error";
                    failed = true;
                }
                break;
        }
        result.diagnostics.push_back(std::move(fd));
        clang_disposeDiagnostic(d);
    }
}

}  // namespace

std::string formatDiagnostic(const FrontendDiagnostic& d) {
    std::string s = d.file;
    if (d.line) s += ":" + std::to_string(d.line) + ":" + std::to_string(d.column);
    return s + ": " + d.severity + ": " + d.text;
}

FrontendResult translateProgram(const FrontendOptions& options) {
    FrontendResult result;
    std::vector<CXUnsavedFile> unsaved;
    for (const auto& [name, text] : options.sources)
        unsaved.push_back({name.c_str(), text.data(), static_cast<unsigned long>(text.size())});
    auto inMemory = [&](const std::string& file) {
        for (const auto& source : options.sources)
            if (source.first == file) return true;
        return false;
    };
    for (const std::string& file : options.files) {
        if (inMemory(file)) continue;
        std::string why = readFailure(file);
        if (!why.empty()) {
            result.status = 2;
            result.failure = "cannot read '" + file + "': " + why;
            return result;
        }
    }
    std::vector<std::string> args = compilerArguments(options);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());

    auto graph = newGraph();
    if (!graph) {
        result.status = 2;
        result.failure = "out of memory";
        return result;
    }
    Program program(*graph);
    bool failed = false;
    CXIndex index = clang_createIndex(0, 0);
    for (const std::string& file : options.files) {
        CXTranslationUnit tu = nullptr;
        CXErrorCode code = clang_parseTranslationUnit2(
            index, file.c_str(), argv.data(), static_cast<int>(argv.size()),
            unsaved.empty() ? nullptr : unsaved.data(), static_cast<unsigned>(unsaved.size()),
            CXTranslationUnit_KeepGoing, &tu);
        if (code != CXError_Success || !tu) {
            result.status = 2;
            result.failure = "cannot parse '" + file + "'";
            clang_disposeIndex(index);
            return result;
        }
        collectDiagnostics(tu, result, failed);
        if (!failed) translateUnit(program, tu, file);
        clang_disposeTranslationUnit(tu);
    }
    clang_disposeIndex(index);

    for (const SourceNote& w : program.warnings)
        result.diagnostics.push_back({w.file, w.line, w.column, "warning", w.text});
    for (const SourceNote& u : program.unsupported)
        result.diagnostics.push_back(
            {u.file, u.line, u.column, "error", u.text + " cannot be represented in a CDFG file"});
    if (failed || !program.unsupported.empty()) {
        result.status = 1;
        return result;
    }
    resolveProgram(program);
    result.graph = std::move(graph);
    return result;
}

std::string defaultHeaderDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path installed = exe.parent_path().parent_path() / "share" / "tavikChk" / "include";
        if (fs::exists(installed / "stdio.h", ec)) return installed.string();
    }
#ifdef TAVIK_FRONTEND_HEADERS
    return TAVIK_FRONTEND_HEADERS;
#else
    return "";
#endif
}
