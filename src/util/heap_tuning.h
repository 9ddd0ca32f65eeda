// Heaps of huge pages for large runs.
//
// The C library's allocator grows each thread's heap a few small pages at a
// time, and in a virtual machine the first touch of every small page is a
// fault that costs microseconds: a large run spends more time there than in
// some of its checks. glibc can instead make its heaps whole at once and
// ask the kernel for transparent huge pages on them, but it reads that
// setting (the GLIBC_TUNABLES environment variable) only when a program
// starts. A run that wants it therefore starts itself again, before it has
// read, printed or written anything.
#pragma once

#include <string>
#include <string_view>

// What GLIBC_TUNABLES should hold for such heaps, given what it holds now
// (nullptr: unset) and the kernel's setting for transparent huge pages (the
// text of /sys/kernel/mm/transparent_hugepage/enabled, the mode in use in
// brackets). Empty when nothing is to change: huge pages are not given on
// request, or the variable already says how the heaps are made.
std::string hugePageHeapTunables(const char* current, std::string_view thpSetting);

// Starts the running program (or the one named) again, with the arguments,
// under those tunables. Returns, with the environment as it was, when
// nothing is to change or the program cannot be started (the run then goes
// on as it is), and under a memory checker or sanitizer, which bring
// allocators of their own.
void restartWithHugePageHeaps(char** argv, const char* program = "/proc/self/exe");
