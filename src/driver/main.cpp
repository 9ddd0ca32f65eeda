#include <pthread.h>

#include <csignal>

#include "driver/run.h"

namespace {

struct Arguments {
    int argc;
    char** argv;
};

void* runOnLargeStack(void* arguments) {
    auto* a = static_cast<Arguments*>(arguments);
    runProgram(a->argc, a->argv);
}

}  // namespace

int main(int argc, char** argv) {
    // A write past a file-size limit fails like any other write (the original
    // CDFG file is then kept) instead of killing the process.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // The passes recurse once per nesting level of the program; the run gets
    // a stack large enough for the deepest graph the reader accepts. Only the
    // pages actually used become resident.
    Arguments arguments{argc, argv};
    pthread_attr_t attributes;
    pthread_t thread;
    if (pthread_attr_init(&attributes) == 0 &&
        pthread_attr_setstacksize(&attributes, std::size_t{1} << 30) == 0 &&
        pthread_create(&thread, &attributes, runOnLargeStack, &arguments) == 0) {
        pthread_join(thread, nullptr);  // the run ends the process itself
    }
    runProgram(argc, argv);
}
