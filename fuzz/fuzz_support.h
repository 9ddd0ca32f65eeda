// Shared pieces of the fuzz targets: a scratch directory for the files a run
// reads and writes, the fixed program and constraint file the targets pair
// with their input, and the in-process checker run on a large stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// A directory of its own for this process, removed at exit.
const std::string& scratchDir();
std::string scratchPath(const char* name);
void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void writeFile(const std::string& path, const std::string& text);

// a.c: a structure, a global, f (a loop, an if, a call of h) with parameters
// v and n, h, and main calling f as a module; the names the fixed constraint
// file uses.
std::string fixedProgramBytes();
// A constraint file with a line of every directive keyword, for that program.
const char* fixedConstraintText();

// Runs the whole checker in-process with the arguments (program name first)
// on a large stack; its output is appended to out (when given). Returns the
// exit status.
int runCheckerQuietly(const std::vector<std::string>& args, std::string* out = nullptr);

// One input of each target; the regression tests run the inputs that once
// failed through the same entries.
// The whole checker on CDFG bytes; withConstraints: with the fixed
// constraint file and the options -ansic and -mev. Returns the exit status.
int runCheckerInput(const std::uint8_t* data, std::size_t size, bool withConstraints);
// Constraint file text over the fixed program: read and merge; false when
// the merge left a graph that fails validation.
bool runConstraintInput(const std::uint8_t* data, std::size_t size);
// A directive text: parsed, and checked on a declaration and on a call.
void runDirectiveInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
