// Reader of the binary CDFG file format (big-endian node records).
#pragma once

#include <memory>

#include "cdfg/graph.h"

// Reads the file into a new graph; nullptr when the file cannot be opened.
// A damaged or short file yields the records read up to the damage.
std::unique_ptr<CdfgGraph> readCdfg(const char* path);
// The same from bytes in memory.
std::unique_ptr<CdfgGraph> readCdfgBytes(const unsigned char* data, std::size_t size);
