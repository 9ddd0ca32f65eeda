// Global variables written both inside the object for analysis (the function
// tree) and outside it (message 515).
#pragma once

#include <memory>

#include "cdfg/graph.h"

// 0 when nothing was reported, -1 otherwise.
int checkGlobalUpdates(CdfgGraph& g);

// The check in two steps around a program walk that it may share with
// another pass: startGlobalUpdates records the globals and sets the
// reference handler, finishGlobalUpdates reports as checkGlobalUpdates does.
struct GlobalUpdatePass;
struct GlobalUpdatePassEnd {
    void operator()(GlobalUpdatePass* pass) const;
};
using GlobalUpdatePassPtr = std::unique_ptr<GlobalUpdatePass, GlobalUpdatePassEnd>;
struct UsageHandlers;
GlobalUpdatePassPtr startGlobalUpdates(CdfgGraph& g, UsageHandlers& handlers);
int finishGlobalUpdates(CdfgGraph& g, GlobalUpdatePass& pass);
