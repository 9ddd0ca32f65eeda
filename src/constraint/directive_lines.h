// The directive lines of a constraint file: one handler per keyword splits
// the line into its fields, checks them and stores a record in the list of
// its keyword, newest first. The merge into the graph reads the lists.
#pragma once

#include <cstdint>

struct ConstraintDirective {
    char* fileName;    // source file, as the graph's file records name it
    char* funcName;    // function; "$" for file scope
    char* varName;     // variable, or null for keywords without one
    char* optionText;  // option text, or null
    std::int32_t applied;  // set once the record found a target
    std::int32_t line;     // line of the constraint file
    ConstraintDirective* next;
};

// The lists, in the order the merge and the report visit them.
enum ConstraintList : int {
    CONSTRAINT_MODULE,
    CONSTRAINT_EVFUNC,
    CONSTRAINT_ROLL,
    CONSTRAINT_UNMODULE,
    CONSTRAINT_UNROLL,
    CONSTRAINT_FIXEDP,
    CONSTRAINT_INT,
    CONSTRAINT_INPUT,
    CONSTRAINT_OUTPUT,
    CONSTRAINT_INOUT,
    CONSTRAINT_SCALE,
    CONSTRAINT_FLOAT,
    CONSTRAINT_MULADD_VAR,
    CONSTRAINT_LIST_COUNT
};

// List heads, empty at start.
extern ConstraintDirective* constraintDirectives[CONSTRAINT_LIST_COUNT];

// The keyword of a list ("module", "evFunc", ...), which is also the first
// word of the directive text the merge makes from its records.
const char* constraintKeyword(int list);

// Line handlers: rest is the text after the keyword (split in place, may be
// null); parameter is unused. 0 stores the line; -1 rejects it and sets
// helpText to the usage of the keyword.
int storeModuleLine(char* rest, int parameter);
int storeEvFuncLine(char* rest, int parameter);
int storeRollLine(char* rest, int parameter);
int storeUnmoduleLine(char* rest, int parameter);
int storeUnrollLine(char* rest, int parameter);
int storeFixedPLine(char* rest, int parameter);
int storeIntLine(char* rest, int parameter);
int storeInputLine(char* rest, int parameter);
int storeOutputLine(char* rest, int parameter);
int storeInoutLine(char* rest, int parameter);
int storeScaleLine(char* rest, int parameter);
int storeFloatLine(char* rest, int parameter);
int storeMuladdVarLine(char* rest, int parameter);

// Frees every record of every list and leaves the lists empty.
void releaseConstraintDirectives();
