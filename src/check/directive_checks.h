// Checks of `//tavik` directive texts on declarations, calls and statements.
#pragma once

#include "cdfg/graph.h"

int checkVariableDirective(CdfgGraph& g, NodeId declaration, NodeId directive);
int checkFixedPParams(CdfgGraph& g, NodeId position, int tokenCount, char** tokens,
                      const char* displayName);
int checkIntParams(CdfgGraph& g, NodeId position, int tokenCount, char** tokens,
                   const char* displayName);
int checkPortDirective(CdfgGraph& g, NodeId declaration, NodeId directive, int tokenCount,
                       char** tokens);
int checkCallDirective(CdfgGraph& g, NodeId call);
int checkDirectivePlacement(CdfgGraph& g, NodeId function);
int checkTranslatePairs(CdfgGraph& g);
