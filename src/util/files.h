// What the programs need to know about the files behind their paths: whether
// two paths are one file, and whether an input can be read as a file.
#pragma once

#include <cstddef>
#include <cstdio>

// True when both paths name one existing file: the same device and inode once
// symbolic links are followed, so the same name twice, a symbolic link to the
// file and a hard link of it all count. A path that names nothing yet (an
// output not written so far) matches nothing.
bool sameFile(const char* first, const char* second);

// std::fopen for reading, refusing what cannot be read as a file: a
// directory, or anything the system cannot tell the kind of. Pipes and
// devices open as streams. nullptr when refused or when fopen fails.
std::FILE* openForReading(const char* path, const char* mode);

// The size of an opened regular file. False for a pipe, a device or anything
// else whose reported size does not say how much can be read.
bool regularFileSize(std::FILE* file, std::size_t& size);

// Writes the bytes at the descriptor's position, again after a short write
// or an interruption; how many went out, all of them unless a write failed.
std::size_t writeAll(int fd, const void* data, std::size_t size);
