// The directive text parser on arbitrary text, and the checks of directive
// texts on a declaration and on a call.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::runDirectiveInput(data, size);
    return 0;
}
