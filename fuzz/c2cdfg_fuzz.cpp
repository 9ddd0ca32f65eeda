// The front end on arbitrary C source bytes, then the whole checker on the
// graph it wrote.
#include "cdfg/writer.h"
#include "frontend/frontend.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string headers = defaultHeaderDir();
    static const std::string cdfg = fuzz::scratchPath("front.cdfg");
    static const std::string inf = fuzz::scratchPath("front.inf");
    FrontendOptions options;
    options.headerDir = headers;
    options.files = {"a.c"};
    options.sources = {{"a.c", std::string(reinterpret_cast<const char*>(data), size)}};
    FrontendResult result = translateProgram(options);
    if (result.status != 0 || !result.graph) return 0;
    if (writeCdfg(result.graph.get(), cdfg.c_str()) != 0) return 0;
    fuzz::runCheckerQuietly({"tavikChk", cdfg, inf});
    return 0;
}
