#include "frontend/clang_util.h"

std::string takeString(CXString s) {
    const char* text = clang_getCString(s);
    std::string result = text ? text : "";
    clang_disposeString(s);
    return result;
}

std::string cursorSpelling(CXCursor c) { return takeString(clang_getCursorSpelling(c)); }

std::string typeSpelling(CXType t) { return takeString(clang_getTypeSpelling(t)); }

std::vector<CXCursor> childrenOf(CXCursor c) {
    std::vector<CXCursor> children;
    clang_visitChildren(
        c,
        [](CXCursor child, CXCursor, CXClientData data) {
            static_cast<std::vector<CXCursor>*>(data)->push_back(child);
            return CXChildVisit_Continue;
        },
        &children);
    return children;
}

bool isNull(CXCursor c) { return clang_Cursor_isNull(c) != 0; }

PresumedPlace presumedPlace(CXSourceLocation loc) {
    PresumedPlace place;
    CXString file;
    clang_getPresumedLocation(loc, &file, &place.line, &place.column);
    place.file = takeString(file);
    return place;
}

FilePlace filePlace(CXSourceLocation loc) {
    FilePlace place;
    clang_getExpansionLocation(loc, &place.file, &place.line, &place.column, &place.offset);
    return place;
}

CXSourceLocation startOf(CXCursor c) { return clang_getRangeStart(clang_getCursorExtent(c)); }

CXSourceLocation endOf(CXCursor c) { return clang_getRangeEnd(clang_getCursorExtent(c)); }
