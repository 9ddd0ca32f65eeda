#include <csignal>

#include "driver/run.h"
#include "util/heap_tuning.h"
#include "util/large_stack.h"

int main(int argc, char** argv) {
    if (readsLargeCdfg(argc, argv)) restartWithHugePageHeaps(argv);
    // A write past a file-size limit fails like any other write (the original
    // CDFG file is then kept) instead of killing the process.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // The walks recurse once per nesting level of the program and once per
    // level of a call chain; the run gets a stack large enough for the
    // deepest graph the reader accepts and the longest call chains.
    int status = 1;
    if (!runOnLargeStack([&] { status = runToStatus(argc, argv); })) status = runToStatus(argc, argv);
    return status;
}
