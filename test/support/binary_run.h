// Runs the built checker (or any function) in a child process and captures
// its standard output and exit status, for tests of the whole program.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tb {

struct Outcome {
    int status = -1;  // exit status as the shell sees it (0..255), -1 if killed
    std::string out;  // standard output
};

// Runs body in a forked child whose standard output is captured.
Outcome runInChild(const std::function<void()>& body);
// Runs the checker binary with the arguments.
Outcome runTool(const std::vector<std::string>& args);

// A program's exit status and both output streams.
struct Run {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs the program with the arguments in the directory (when given).
Run runBinary(const std::string& program, const std::vector<std::string>& args,
              const std::string& directory = "");

// Replaces every calendar time such as "Sun Dec  6 05:46:10 2026" by "<time>";
// year receives the year of the last one.
std::string maskClock(const std::string& text, std::string* year = nullptr);
// The start banner of a -title run, with its time masked.
std::string startBanner(const std::string& year);
// The totals line as the end of a run prints it.
std::string totals(int errors, int warnings);
extern const std::string kEndOk;
extern const std::string kEndError;
extern const std::string kEndLine;  // "End of tavikChk ...", printed with -title or -debug

// A fresh directory under /tmp, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

// Whole file as bytes; missing is set (when given) when it cannot be read.
std::string readBytes(const std::string& path, bool* missing = nullptr);
void writeBytes(const std::string& path, const std::string& bytes);

}  // namespace tb
