// The checker as a library: the whole program run inside the calling
// process, for the tavik front door, the tests and the fuzz targets.
#pragma once

// The whole program inside the calling process: the same output and the same
// exit status as a run of the program, returned instead of exiting,
// including after a memory failure or when node ids run out. Process-wide
// state is reset before and after, so runs can follow each other; the
// message capture is left as the caller set it. Runs the walks on the
// caller's stack: deep programs need a large one (runOnLargeStack).
int runChecker(int argc, char** argv);
// Puts back every process-wide state a run leaves: run settings, message
// counters, the function tree, the constraint lists and reader state, the
// declaration check and clone state, the flags of the usage walk.
void resetRunState();
