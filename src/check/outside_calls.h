// Functions called both from the object for analysis (the function tree) and
// from the rest of the program (message 516).
#pragma once

#include <memory>

#include "cdfg/graph.h"

// 0 when nothing was reported, -1 otherwise.
int checkOutsideCalls(CdfgGraph& g);

// The check in two steps around a program walk that it may share with
// another pass: startOutsideCalls records the functions and sets the call
// handler, finishOutsideCalls reports as checkOutsideCalls does.
struct OutsideCallPass;
struct OutsideCallPassEnd {
    void operator()(OutsideCallPass* pass) const;
};
using OutsideCallPassPtr = std::unique_ptr<OutsideCallPass, OutsideCallPassEnd>;
struct UsageHandlers;
OutsideCallPassPtr startOutsideCalls(CdfgGraph& g, UsageHandlers& handlers);
int finishOutsideCalls(CdfgGraph& g, OutsideCallPass& pass);
