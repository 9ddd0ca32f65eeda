// The whole checker on arbitrary CDFG bytes: read, validate, write back, all
// checks, the INF file. Built as fuzz_checker, and as fuzz_checker_ctf with
// TAVIK_FUZZ_WITH_CONSTRAINTS: then with a fixed constraint file to merge and
// the pointer and ANSI C options on.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#if TAVIK_FUZZ_WITH_CONSTRAINTS
    fuzz::runCheckerInput(data, size, true);
#else
    fuzz::runCheckerInput(data, size, false);
#endif
    return 0;
}
