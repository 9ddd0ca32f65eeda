// Small helpers around libclang's C API: owned strings, cursor children,
// source positions.
#pragma once

#include <clang-c/Index.h>

#include <cstdint>
#include <string>
#include <vector>

// A CXString turned into a std::string, the CXString disposed.
std::string takeString(CXString s);
std::string cursorSpelling(CXCursor c);
std::string typeSpelling(CXType t);

// The direct children of a cursor, in the order libclang visits them.
std::vector<CXCursor> childrenOf(CXCursor c);
bool isNull(CXCursor c);

// Where a location is, as a compiler reports it: #line honoured, macros at
// the place they are used.
struct PresumedPlace {
    std::string file;
    unsigned line = 0;
    unsigned column = 0;
};
PresumedPlace presumedPlace(CXSourceLocation loc);

// The physical place of a location in the file the compiler read (macros at
// the place they are used): the file, its byte offset and line.
struct FilePlace {
    CXFile file = nullptr;
    unsigned line = 0;
    unsigned column = 0;
    unsigned offset = 0;
};
FilePlace filePlace(CXSourceLocation loc);
CXSourceLocation startOf(CXCursor c);
CXSourceLocation endOf(CXCursor c);
