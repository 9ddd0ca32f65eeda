// Allocation wrappers whose failure takes the one memory-failure path.
#pragma once

#include <cstddef>

void* allocZeroed(std::size_t size);
void* reallocChecked(void* pointer, std::size_t size);
void freeMemory(void* pointer);
char* duplicateString(const char* text);

// Makes a failing operator new call the registered memory-failure routine
// too. Should that routine return, operator new then fails as usual.
void installNewHandler();
