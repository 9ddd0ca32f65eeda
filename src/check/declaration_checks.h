// Checks of the declarations that analysed code refers to.
#pragma once

#include <cstdint>

#include "cdfg/graph.h"

// One collected declaration. The declaration's node mark points at its entry
// while the entry lives.
struct DeclEntry {
    NodeId declaration;
    NodeId owner;  // 0, or the structure variable a member was reached through
    DeclEntry* next;
};

// Entries collected since the last checkDeclarationEntries, newest first.
extern DeclEntry* declList;

// Records a referenced declaration (node is a CFG_DECLARE or a reference
// whose DfgPort_DECL is one) once, with the members of a structure variable.
int collectDeclaration(CdfgGraph& g, NodeId node);
// Runs the per-declaration checks over everything collected, clears the marks
// and empties the list. 0 when nothing was reported.
int checkDeclarationEntries(CdfgGraph& g);
// 1 when the declaration's structure definition comes from a standard header.
int isStandardHeaderStruct(const CdfgGraph& g, NodeId declaration);
std::int64_t evalConstExpr(const CdfgGraph& g, NodeId node);
std::int64_t elementCount(const CdfgGraph& g, NodeId declaration);
std::int64_t elementSize(const CdfgGraph& g, NodeId declaration);
// Resets the once-per-run state (the structure pointer member report) and
// drops any entries left from an unfinished pass without touching a graph.
void resetDeclarationChecks();
