// Reader of the constraint file: assembles logical lines (continuation with a
// trailing backslash), drops blank and comment lines and hands each line to
// the handler its first word selects in the table of the current section.
#pragma once

#include <cstdint>

// Receives the rest of the line (may be null) and the row's parameter;
// returns 0 to accept the line, anything else to reject it.
using KeywordHandler = int (*)(char* rest, int parameter);

struct KeywordRow {
    const char* name;  // null ends a table
    std::int32_t parameter;
    KeywordHandler handler;
};

// Printed after "Syntx error :" when a line is rejected; a rejecting handler
// sets its usage text here. Empty at the start of each read.
extern const char* helpText;
// Newline characters read so far from the file.
extern std::int32_t lineCounter;

const KeywordRow* sectionTable();
const KeywordRow* optionTable();
const KeywordRow* directiveTable();

// Reads the whole file, storing its directive lines. 0 on success; -1 when
// the file cannot be opened or a line is rejected (reported on stdout).
int readConstraintFile(const char* path);
