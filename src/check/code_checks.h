// Statement and expression checks over the functions of the function tree:
// dynamic memory, pointer casts, unsupported library functions, statements
// outside a case label, missing returns, floating conditions and too large
// automatic variables. Every referenced declaration goes to the declaration
// checks on the way.
//
// Each check returns 0 when it reported nothing and non-zero otherwise;
// callers combine the results with a bitwise or.
#pragma once

#include "cdfg/graph.h"

// On only while the declarations of a function's top block or of a nested
// declaration block are checked: the automatic variable size check runs only
// then, so parameters and globals are never size-checked.
extern bool autoScope;

// Library functions the conversion flow has no model for, ended by "".
extern const char* const unsupportedStdFunctions[];

// The whole pass: the analysed functions, then the collected declarations,
// then the translate_off/translate_on pairs.
int runCodeChecks(CdfgGraph& g);

// Walks a statement chain.
int checkStatements(CdfgGraph& g, NodeId first);
// checkExpression on the expression of each item of a DFG_MANAGE_OPERATION chain.
int checkOperationList(CdfgGraph& g, NodeId first);
// Walks an expression chain.
int checkExpression(CdfgGraph& g, NodeId first);
// Walks a declaration chain: size expressions, size limit (with autoScope),
// initialisers.
int checkDeclarations(CdfgGraph& g, NodeId first);
// A non-void function whose body can end without return.
int checkMissingReturn(CdfgGraph& g, NodeId function);

// 1 when an expression of the condition list holds a floating variable,
// literal or call result, else 0.
int containsFloating(const CdfgGraph& g, NodeId firstItem);
// 1 when every path through the statement chain ends in a return, else 0.
int alwaysReturns(const CdfgGraph& g, NodeId first);
