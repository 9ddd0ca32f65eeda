#include "util/memory.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "report/messages.h"

namespace {

void memoryFailed() {
    if (MemoryFailureHandler handler = memoryFailureHandler()) handler();
}

void newHandler() {
    memoryFailed();
    // The routine came back: leave operator new to give up.
    std::set_new_handler(nullptr);
}

}  // namespace

void* allocZeroed(std::size_t size) {
    void* block = std::malloc(size);
    if (!block) {
        // A zero-byte request may legitimately give no block.
        if (size != 0) memoryFailed();
        return nullptr;
    }
    std::memset(block, 0, size);
    return block;
}

void* reallocChecked(void* pointer, std::size_t size) {
    void* block = std::realloc(pointer, size);
    if (!block && size != 0) memoryFailed();
    return block;
}

void freeMemory(void* pointer) { std::free(pointer); }

char* duplicateString(const char* text) {
    if (!text) return nullptr;
    std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (!copy) {
        memoryFailed();
        return nullptr;
    }
    std::memcpy(copy, text, size);
    return copy;
}

void installNewHandler() { std::set_new_handler(newHandler); }
