// Reader of the binary CDFG file format (big-endian node records).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "cdfg/graph.h"

// Reads the file into a new graph; nullptr when the file cannot be opened.
// A damaged or short file yields the records read up to the damage.
std::unique_ptr<CdfgGraph> readCdfg(const char* path);
// Files from this size on are read by two threads, the second from a record
// near the middle; the graph is the same either way.
inline constexpr std::size_t kSplitReadFrom = std::size_t{4} << 20;
// readCdfg with another size from which two threads read (tests lower it).
std::unique_ptr<CdfgGraph> readCdfgFile(const char* path, std::size_t splitFrom);
// The same from bytes in memory.
std::unique_ptr<CdfgGraph> readCdfgBytes(const unsigned char* data, std::size_t size);
// Where the records of the bytes begin, in order, as reading finds them;
// the last entry is where the last complete record ends.
std::vector<std::uint64_t> recordStarts(const unsigned char* data, std::size_t size);
