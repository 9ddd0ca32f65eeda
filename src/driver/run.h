// The program's entry sequence: start-up, argument loop, run sequence, exit.
#pragma once

#include "api/checker.h"
#include "cdfg/graph.h"
#include "util/run_settings.h"

inline constexpr const char* kProgramName = "tavikChk";
inline constexpr const char* kProgramVersion = "0.01.08";
inline constexpr const char* kProgramTitle = "Style check";

enum class ParseOutcome {
    Run,         // both file names known; go on with the run
    Help,        // "-help": usage, then exit status 0
    UsageError,  // unknown option or a missing file name: usage, exit status 1
};

// The argument loop over argv[1..]: fills settings in argument order and
// prints messages 461, 462 and 463 itself. Prints no usage and never exits.
ParseOutcome parseArguments(int argc, char** argv, RunSettings& settings);
void printUsage();

// Whether the run these arguments ask for reads a CDFG file large enough
// that heaps of huge pages pay for starting the program again (16 MiB and
// up). Prints nothing: the run itself reports what the arguments lack.
bool readsLargeCdfg(int argc, char** argv);

// Prints the totals line and, with -title, the end banner; returns the exit
// status finishRun uses (0 turns into -1 when an error was counted).
int closeRun(int status);
// closeRun, then flushes the output and exits.
[[noreturn]] void finishRun(int status);
// The memory-failure routine: message 451, exit status 1.
void onMemoryFailure();

// Gives the top-level elements of every file record that record's file name.
void resetFileNames(CdfgGraph& g);

// The whole program: returns the exit status (0, -1 or 1) the process is to
// end with. A memory failure and running out of node ids still end the
// process at once, as they do in every run of the program.
int runToStatus(int argc, char** argv);
// runToStatus, then exits with that status.
[[noreturn]] void runProgram(int argc, char** argv);

