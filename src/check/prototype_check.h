// Calls against the definitions and prototypes above them in their file:
// implicit declarations, argument counts and argument types; also writes to
// enumeration constants and enumeration variables.
#pragma once

#include "cdfg/graph.h"

// Walks every file of the graph; 0 when nothing was reported, else -1.
int checkPrototypes(CdfgGraph& g);

// The function or prototype visible under name at the current point of the
// walk: the first of the current function body's prototypes, then the first
// of the definitions and prototypes met so far in the file; 0 when none (and
// for a null name). Outside checkPrototypes nothing is visible.
NodeId lookupDeclaration(const char* name);

// Compares the arguments of call with the parameters of function (a
// CFG_FUNCTION or CFG_PROTO_FUNC); reports a count mismatch or each
// incompatible argument and returns -1 then, else 0.
int compareCallArguments(const CdfgGraph& g, NodeId call, NodeId function);
