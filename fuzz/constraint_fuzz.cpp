// The constraint file reader and the merge on arbitrary text over a fixed
// program; a merge that leaves a damaged graph is a failure.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzz::runConstraintInput(data, size)) __builtin_trap();
    return 0;
}
