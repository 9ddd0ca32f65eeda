// The `//tavik` directive comments of a C source file and what kind of
// construct each one belongs to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct DirectiveComment {
    unsigned offset = 0;  // byte offset of the marker in the file
    unsigned line = 0;    // physical line, from 1
    unsigned column = 0;  // from 1
    std::string text;     // after the marker, without the blanks around it
};

// Every directive of the source text in order. A directive is a line comment
// that starts with the marker "//tavik" followed by a blank or the end of the
// line; a marker further on in the same comment starts another directive.
// Markers inside string and character literals and block comments do not
// count.
std::vector<DirectiveComment> scanDirectiveComments(std::string_view source);

// The first word of a directive text: up to a blank or a comma.
std::string_view directiveKeyword(std::string_view text);

// What a directive attaches to, decided by its keyword.
enum class DirectiveTarget {
    Call,         // module, unmodule, evFunc: a call
    LoopOrCall,   // unroll, roll: a loop, else a call
    BlockMarker,  // translate_off, translate_on: a place in a statement list
    Declaration,  // every other keyword: variables, else the function
};
DirectiveTarget directiveTarget(std::string_view keyword);
