// c2cdfg: C source files to one CDFG file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cdfg/writer.h"
#include "frontend/frontend.h"
#include "util/files.h"

namespace {

constexpr const char* kUsage =
    "usage: c2cdfg [-I DIR]... [-D NAME[=VALUE]]... [-U NAME]... [-std=c99|c11|gnu99|gnu11]\n"
    "              -o OUT.cdfg FILE.c...\n"
    "       c2cdfg --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Parses the C files and writes the program as one CDFG file for tavikChk.\n"
    "\n"
    "  -I DIR            search DIR for #include files\n"
    "  -D NAME[=VALUE]   define a macro\n"
    "  -U NAME           undefine a macro\n"
    "  -std=STANDARD     c99, c11, gnu99 or gnu11 (default gnu11)\n"
    "  -o OUT.cdfg       the CDFG file to write\n"
    "\n"
    "Exit status: 0 written; 1 the C does not compile or holds a construct a\n"
    "CDFG file cannot hold (nothing written); 2 a file could not be read or\n"
    "written, or a bad option.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "c2cdfg: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    FrontendOptions options;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* option, std::string& out) {
            std::size_t n = std::strlen(option);
            if (a.size() > n) {
                out = a.substr(n);
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        }
        if (a == "--version") {
            std::printf("c2cdfg 0.01.08\n");
            return 0;
        }
        std::string v;
        if (a.rfind("-I", 0) == 0 || a.rfind("-D", 0) == 0 || a.rfind("-U", 0) == 0) {
            std::string flag = a.substr(0, 2);
            if (!value(flag.c_str(), v) || v.empty()) return usageError("missing value after " + flag);
            options.preprocessorArgs.push_back(flag + v);
        } else if (a.rfind("-std=", 0) == 0) {
            v = a.substr(5);
            if (v != "c99" && v != "c11" && v != "gnu99" && v != "gnu11")
                return usageError("unknown standard '" + v + "'");
            options.standard = v;
        } else if (a.rfind("-o", 0) == 0) {
            if (!value("-o", output) || output.empty()) return usageError("missing file name after -o");
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option '" + a + "'");
        } else {
            options.files.push_back(a);
        }
    }
    if (options.files.empty()) return usageError("no C file given");
    if (output.empty()) return usageError("no output file given (-o OUT.cdfg)");
    for (const std::string& file : options.files) {
        if (sameFile(output.c_str(), file.c_str())) {
            std::fprintf(stderr, "c2cdfg: the output '%s' is the input file '%s'; nothing written\n",
                         output.c_str(), file.c_str());
            return 2;
        }
    }
    options.headerDir = defaultHeaderDir();

    FrontendResult result = translateProgram(options);
    for (const FrontendDiagnostic& d : result.diagnostics)
        std::fprintf(stderr, "%s\n", formatDiagnostic(d).c_str());
    if (result.status == 2) {
        std::fprintf(stderr, "c2cdfg: %s\n", result.failure.c_str());
        return 2;
    }
    if (result.status != 0) return 1;
    if (writeCdfg(result.graph.get(), output.c_str()) != 0) {
        std::fprintf(stderr, "c2cdfg: cannot write '%s': %s\n", output.c_str(),
                     errno ? std::strerror(errno) : "write failed");
        return 2;
    }
    // The graph is the process's last work: the system takes its memory back
    // faster than freeing it node by node would.
    std::fflush(stderr);
    std::_Exit(0);
}
