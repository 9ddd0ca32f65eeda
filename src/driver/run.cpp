#include "driver/run.h"

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "cdfg/graph_ops.h"
#include "cdfg/reader.h"
#include "cdfg/validate.h"
#include "cdfg/writer.h"
#include "check/code_checks.h"
#include "check/declaration_checks.h"
#include "check/function_pointers.h"
#include "check/function_tree.h"
#include "check/global_updates.h"
#include "check/main_arguments.h"
#include "check/outside_calls.h"
#include "check/prototype_check.h"
#include "check/recursion.h"
#include "check/usage_walk.h"
#include "constraint/constraint_file.h"
#include "constraint/constraint_reader.h"
#include "constraint/directive_lines.h"
#include "inf/inf_writer.h"
#include "report/messages.h"
#include "util/files.h"
#include "util/gate.h"
#include "util/large_stack.h"
#include "util/memory.h"

namespace {

// Set while runChecker runs: the paths that end the process at once end only
// the run instead, by unwinding to runChecker with the exit status.
bool inProcess = false;
struct RunEnded {
    int status;
};

// The last run's graph, left for the process's exit to reclaim.
CdfgGraph* volatile graphKeptUntilExit = nullptr;

// Set once message 451 is being printed, so that a failure while printing it
// does not recurse.
bool memoryFailing = false;

bool sameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// -version anywhere among the arguments wins over all the others.
bool asksForVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] && sameText(argv[i], "-version")) return true;
    return false;
}

// atoi-style: leading blanks and a sign allowed, anything else reads as 0.
// Values beyond the 32-bit range are clamped to it.
std::int32_t leadingInteger(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

void setPointerChecks(RunSettings& s, std::int32_t on) {
    s.dynamicAllocCheck = on;
    s.multiPointerCheck = on;
    s.structPointerMemberCheck = on;
    s.moduleArgPointerCheck = on;
    s.funcPointerCheck = on;
}

// Progress lines of -debug go straight to standard output, uncounted.
void progress(const char* format, ...) {
    if (runSettings.debugMode != 1) return;
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

// Walks one NextId chain, stopping at a node already seen so that a cycle in
// a damaged file cannot hold the walk forever. seen is indexed by the node's
// place in the node list.
template <typename Visit>
void walkChain(CdfgGraph& g, NodeId first, std::vector<bool>& seen, Visit visit) {
    for (NodeId id = first; id != 0;) {
        const CdfgNode* node = lookupNode(g, id);
        if (!node) return;
        std::size_t index = static_cast<std::size_t>(node - g.nodes.data());
        if (index >= seen.size() || seen[index]) return;
        seen[index] = true;
        NodeId next = node->next;
        visit(id);
        id = next;
    }
}

// True (after one line on standard error) when the INF path names the CDFG
// file or the constraint file: writing it would destroy the run's own input.
bool infPathIsAnInput(const RunSettings& s) {
    const struct {
        const char* path;
        const char* what;
    } inputs[] = {{s.inputCdfgPath, "CDFG"}, {s.constraintFilePath, "constraint"}};
    for (const auto& input : inputs) {
        if (!sameFile(s.outputInfPath, input.path)) continue;
        std::fprintf(stderr, "%s: the INF file '%s' is the %s file '%s'; nothing was written.\n", kProgramName,
                     s.outputInfPath, input.what, input.path);
        return true;
    }
    return false;
}

// The write-back of the input file, made beside the checks. However the run
// ends once it has started (a failed pass, memory or node creation running
// out), the file is completed as the run would have left it.
class WriteBack {
public:
    WriteBack() = default;
    ~WriteBack() {
        if (active == this) {
            try {
                finish();
            } catch (...) {
                // Unwinding already: the memory failure has been reported.
            }
        }
        if (active == this) active = nullptr;
    }
    WriteBack(const WriteBack&) = delete;
    WriteBack& operator=(const WriteBack&) = delete;

    void start(const CdfgGraph& g, const char* path) {
        write_ = std::make_unique<CdfgBackgroundWrite>(g, path);
    }
    // From now on the file is replaced however the run ends, as soon as it
    // is written; the graph's source goes with it.
    void commit(std::unique_ptr<SourceBytes> source) {
        active = this;
        if (write_) write_->replaceWhenWritten(std::move(source));
    }
    // The file as it was: the new contents are dropped.
    void abandon() {
        write_.reset();
        if (active == this) active = nullptr;
    }
    void finish() {
        if (!write_) return;
        write_->wait();
        write_.reset();
        if (active == this) active = nullptr;
    }
    // Completes the write-back under way, if any (before the process ends).
    static void finishActive() {
        if (active) active->finish();
    }

private:
    std::unique_ptr<CdfgBackgroundWrite> write_;
    static inline WriteBack* active = nullptr;
};

// The run sequence; returns the exit status.
int runSequence() {
    const RunSettings& s = runSettings;

    // Checked before anything is read or written, so every file stays as it was.
    if (infPathIsAnInput(s)) return closeRun(1);

    progress("--- Reading of '%s' file ...\n", orEmpty(s.inputCdfgPath));
    std::unique_ptr<CdfgGraph> graph = readCdfg(s.inputCdfgPath);
    if (!graph) {
        printMessage(452, orEmpty(s.inputCdfgPath));
        return closeRun(-1);
    }
    // A graph the front end could not have written (looping chains, owned
    // cycles, unbounded nesting) is refused before any pass walks it, and the
    // file is left as it was. Validation only reads links and attributes, so
    // it runs on a second core beside the steps that are safe on any graph:
    // the file names, which change positions only, and the start of the
    // write-back, which is dropped if the graph is refused.
    resetFileNames(*graph);
    const bool mergeFirst = s.constraintFilePath && s.checkEnabled == 1;
    // With the checks and no constraint file to merge first, the graph the
    // checks see is settled, and once it has passed validation the first
    // step of the function tree, the scan for main and the module
    // directives, can start: its walk only reads the graph, and both threads
    // take part in it as they come free. Its findings are used at its turn.
    const bool prototypesEarly = s.checkEnabled == 1 && !mergeFirst;
    ModuleScan moduleScan;
    if (prototypesEarly) startModuleScan(*graph, moduleScan);
    int validationStatus = -1;
    // 0 until validation has ended, then 1 for a sound graph, -1 for a
    // refused one: the main thread waits for it before it joins the scan.
    std::atomic<int> verdict{0};
    std::string damage;
    // The main thread, done with the prototype check, searches the PrevId
    // chains for validation if it has not come to them yet.
    ValidationShare validationShare;
    // Validation walks without recursion: a default-sized stack is enough
    // for it; the scan's walk recurses.
    LargeStackThread validation(
        [&] {
            try {
                validationStatus = validateGraph(*graph, damage, &validationShare);
            } catch (...) {
                verdict = -1;
                verdict.notify_all();
                throw;
            }
            verdict = validationStatus == 0 ? 1 : -1;
            verdict.notify_all();
            if (prototypesEarly && validationStatus == 0) walkModuleScan(*graph, moduleScan);
        },
        prototypesEarly ? kLargeStackBytes : std::size_t{8} << 20);
    WriteBack writeBack;
    if (!mergeFirst) writeBack.start(*graph, s.inputCdfgPath);
    // Without the checks the INF file shows the graph as it is now. Its walks
    // read the graph only and are bounded on any graph, so they run on their
    // own thread while validation does, and the write-back can be let go as
    // soon as validation ends; what they made is dropped if the graph is
    // refused.
    PreparedInfPtr preparedInf;
    // The outside-call and global checks' walk, which the INF thread takes
    // part in (below): it lives longer than the thread.
    UsageHandlers handlers;
    OutsideCallPassPtr outside;
    GlobalUpdatePassPtr globals;
    UsageShare usage;
    Gate usageSetUp;
    std::unique_ptr<LargeStackThread> infWork;
    if (s.checkEnabled != 1)
        infWork = std::make_unique<LargeStackThread>([&] {
            preparedInf = prepareInf(*graph);
            // Validation's last step, the search of the PrevId chains, is
            // mostly still ahead when the INF walks end.
            helpValidation(validationShare);
        });
    // With the checks and no constraint file to merge first, the prototype
    // check comes next. Its walks are bounded on any graph and only read it,
    // so it runs now, beside validation, with its messages held until its
    // turn comes: printed then, or dropped with the graph.
    MessageHold prototypeMessages;
    if (prototypesEarly) {
        prototypeMessages.start();
        checkPrototypes(*graph);
        helpValidation(validationShare);
        verdict.wait(0);
        if (verdict == 1) walkModuleScan(*graph, moduleScan);
    }
    validation.join();  // a memory failure on its thread takes its path here
    if (validationStatus != 0) {
        prototypeMessages.drop();
        if (infWork) infWork->join();
        writeBack.abandon();
        printMessage(MSG_FREE_FORM, "Error:Cdfg damaged: %s\n", damage.c_str());
        printMessage(452, orEmpty(s.inputCdfgPath));
        return closeRun(-1);
    }

    progress("--- Reset of file name ...\n");
    if (mergeFirst) {
        progress("--- Reading of '%s' file ...\n", s.constraintFilePath);
        processConstraintFile(*graph, s.constraintFilePath);
        writeBack.start(*graph, s.inputCdfgPath);
    }
    // The input file now holds the merged graph; a failed write changes
    // nothing. The file is replaced while the run goes on.
    writeBack.commit(std::move(graph->source));
    // The write-back has taken the spans of the unchanged records; their
    // memory goes back before the checks make theirs.
    decltype(graph->spanBlocks)().swap(graph->spanBlocks);

    if (s.checkEnabled == 1) {
        progress("--- Checking of proto function ...\n");
        if (prototypesEarly)
            prototypeMessages.release();
        else
            checkPrototypes(*graph);
        progress("--- Makeing of function tree ...\n");
        if (prototypesEarly) {
            if (finishModuleScan(*graph, moduleScan) != 0) return closeRun(-1);
            collectFunctionTree(*graph, &moduleScan);
        } else if (buildFunctionTree(*graph) != 0) {
            return closeRun(-1);
        }
        const KeptFileElements elements(*graph);
        // What the INF file shows is settled now: the checks that follow only
        // mark nodes. Its walks run beside them, from before the outside-call
        // and global checks are set up, which they need nothing of. Those two
        // share one walk of the program, which both threads take part in as
        // they come free (marking in bits of their own); each reports after
        // it, in that order.
        infWork = std::make_unique<LargeStackThread>([&] {
            preparedInf = prepareInf(*graph);
            // Run at once when no thread could be made: nothing is set up yet,
            // and the main thread walks alone.
            if (runsOnOwnThread() && usageSetUp.wait())
                walkUsageShare(*graph, handlers, usage);
        });
        {
            Gate::Opener opener(usageSetUp);
            outside = startOutsideCalls(*graph, handlers);
            globals = startGlobalUpdates(*graph, handlers);
            startUsageShare(*graph, usage);
            opener.open();
        }
        progress("--- Checking of function ...\n");
        checkMainArguments(*graph);
        if (s.funcPointerCheck == 1) checkFunctionPointers(*graph);
        checkRecursion(*graph);
        runCodeChecks(*graph);
        walkUsageShare(*graph, handlers, usage);
        infWork->join();
        if (!sharedUsageStands(*graph, usage)) {
            // Cut short somewhere: the walk of one thread decides what is seen.
            handlers = UsageHandlers{};
            outside = startOutsideCalls(*graph, handlers);
            globals = startGlobalUpdates(*graph, handlers);
            walkProgramUsage(*graph, handlers);
        }
        finishOutsideCalls(*graph, *outside);
        finishGlobalUpdates(*graph, *globals);
    }

    // The INF file may name the input file itself: the write-back ends first.
    writeBack.finish();
    if (infWork) infWork->join();
    if (errorCount() == 0) {
        if (!preparedInf) preparedInf = prepareInf(*graph);
        if (writePreparedInf(*preparedInf, s.outputInfPath) != 0) return closeRun(-1);
    }

    progress("--- Deleteing of used memory ...\n");
    if (inProcess) {
        freeGraph(std::move(graph));
        releaseModuleList();
    } else {
        // The process ends right after: taking a large graph and the
        // function tree apart piece by piece costs more than the kernel's
        // reclaiming their pages at exit. Both stay reachable, so leak
        // checkers see no lost memory.
        graphKeptUntilExit = graph.release();
        keepModuleListUntilExit();
    }

    if (s.titleMode == 1 || s.debugMode == 1) std::fputs("End of tavikChk ...\n", stdout);
    return closeRun(0);
}

}  // namespace

ParseOutcome parseArguments(int argc, char** argv, RunSettings& s) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg) continue;
        bool hasValue = i + 1 < argc && argv[i + 1] != nullptr;
        if (sameText(arg, "-title")) {
            s.titleMode = 1;
        } else if (sameText(arg, "-dsp")) {
            // Accepted for compatibility; changes nothing.
        } else if (sameText(arg, "-algoc")) {
            s.algocMode = 1;
            setPointerChecks(s, 1);
        } else if (sameText(arg, "-ansic")) {
            s.ansicMode = 1;
            setPointerChecks(s, 1);
        } else if (sameText(arg, "-nopv")) {
            setPointerChecks(s, 0);
        } else if (sameText(arg, "-nochk")) {
            s.checkEnabled = 0;
        } else if (sameText(arg, "-avar_max_size")) {
            if (!hasValue) {
                printMessage(461, arg);
                break;
            }
            std::int32_t size = leadingInteger(argv[++i]);
            if (size >= 1) s.autoVarMaxSize = size;
        } else if (sameText(arg, "-max")) {
            if (!hasValue) {
                printMessage(461, arg);
                break;
            }
            ++i;
        } else if (sameText(arg, "-help")) {
            return ParseOutcome::Help;
        } else if (sameText(arg, "-debug")) {
            s.debugMode = 1;
        } else if (sameText(arg, "-ctf")) {
            if (!hasValue) {
                printMessage(461, arg);
                break;
            }
            s.constraintFilePath = argv[++i];
        } else if (sameText(arg, "-mev")) {
            s.mevMode = 1;
        } else if (sameText(arg, "-Ec")) {
            s.ecMode = 1;
        } else if (arg[0] == '-') {
            printMessage(461, arg);
            return ParseOutcome::UsageError;
        } else if (!s.inputCdfgPath) {
            s.inputCdfgPath = arg;
        } else if (!s.outputInfPath) {
            s.outputInfPath = arg;
        }
    }

    ParseOutcome outcome = ParseOutcome::Run;
    if (!s.inputCdfgPath) {
        printMessage(462);
        outcome = ParseOutcome::UsageError;
    }
    if (!s.outputInfPath) {
        printMessage(463);
        outcome = ParseOutcome::UsageError;
    }
    return outcome;
}

bool readsLargeCdfg(int argc, char** argv) {
    constexpr std::uint64_t kLargeCdfgBytes = std::uint64_t{16} << 20;
    if (asksForVersion(argc, argv)) return false;
    RunSettings probe;
    MessageHold quiet;
    quiet.start();
    const ParseOutcome outcome = parseArguments(argc, argv, probe);
    quiet.drop();
    struct stat st;
    return outcome == ParseOutcome::Run && ::stat(probe.inputCdfgPath, &st) == 0 && S_ISREG(st.st_mode) &&
           static_cast<std::uint64_t>(st.st_size) >= kLargeCdfgBytes;
}

void printUsage() {
    printMessage(MSG_FREE_FORM, "usage : %s [option's] <cdfg name> <inf name>\n", kProgramName);
    printMessage(MSG_FREE_FORM, "  <cdfg name>  : input cdfg file name\n");
    printMessage(MSG_FREE_FORM, "  <inf name>   : output inf file name\n");
    printMessage(MSG_FREE_FORM, "  <option's>\n");
    printMessage(MSG_FREE_FORM, "    -nochk           : Only output inf file\n");
    printMessage(MSG_FREE_FORM, "    -title           : display of the title\n");
    printMessage(MSG_FREE_FORM, "    -version         : display of the version\n");
    printMessage(MSG_FREE_FORM, "    -help            : display of the usage\n");
    printMessage(MSG_FREE_FORM, "\n");
}

int closeRun(int status) {
    std::int32_t errors = errorCount();
    std::int32_t warnings = warningCount();
    if (runSettings.titleMode == 1) {
        printMessage(MSG_FREE_FORM, "\n%d error(s), %d warning(s).\n", errors, warnings);
        printEndBanner(kProgramName, errors);
    } else if (errors != 0 || warnings != 0) {
        printMessage(MSG_FREE_FORM, "\n%d error(s), %d warning(s).\n", errors, warnings);
    }
    if (status == 0 && errors != 0) return -1;
    return status;
}

void finishRun(int status) {
    int exitStatus = closeRun(status);
    std::fflush(stdout);
    std::exit(exitStatus);
}

void onMemoryFailure() {
    if (memoryFailing) {
        // Printing the report itself ran out of memory: leave at once.
        std::fflush(stdout);
        std::_Exit(1);
    }
    memoryFailing = true;
    MessageHold::releaseAny();
    printMessage(451);
    // The input file was rewritten before the checks began.
    WriteBack::finishActive();
    if (inProcess) throw RunEnded{closeRun(1)};
    finishRun(1);
}

void resetFileNames(CdfgGraph& g) {
    NodeId root = findRoot(g);
    if (root == 0) return;
    NodeId firstFile = getAttrInt(g, root, CfgRoot_ELEMENT);
    if (firstFile == 0) return;

    std::vector<bool> seenFiles(g.nodes.size());
    std::vector<bool> seenElements(g.nodes.size());
    walkChain(g, firstFile, seenFiles, [&](NodeId file) {
        const char* nameText = getAttrString(g, file, CfgFileinfo_NAME);
        if (!nameText) return;
        const std::string name(nameText);
        NodeId firstElement = getAttrInt(g, file, CfgFileinfo_ELEMENT);
        walkChain(g, firstElement, seenElements, [&](NodeId element) {
            const char* current = getFileName(g, element);
            if (current && name != current) setFileName(g, element, name.c_str());
        });
    });
}

namespace {

// newNode has printed its line; the process would now end with status -1.
void onNodeCreationFailure() {
    WriteBack::finishActive();
    if (inProcess) throw RunEnded{-1};
}

// Start-up, argument loop and run sequence; returns the exit status.
int runMain(int argc, char** argv) {
    setMemoryFailureHandler(onMemoryFailure);
    installNewHandler();
    setNodeCreationFailureHandler(onNodeCreationFailure);
    initMessages(1, programCatalogue());

    if (asksForVersion(argc, argv)) {
        printVersion(kProgramName, kProgramVersion);
        return 0;
    }

    for (int i = 1; i < argc; ++i) {
        if (argv[i] && sameText(argv[i], "-title")) {
            runSettings.titleMode = 1;
            printStartBanner(kProgramName, kProgramTitle, kProgramVersion);
            break;
        }
    }

    switch (parseArguments(argc, argv, runSettings)) {
    case ParseOutcome::Help:
        printUsage();
        return closeRun(0);
    case ParseOutcome::UsageError:
        printUsage();
        return closeRun(1);
    case ParseOutcome::Run:
        break;
    }
    return runSequence();
}

// What a run may leave behind once it is over: the lists of the passes.
void releaseRunLists() {
    releaseModuleList();
    releaseConstraintDirectives();
    resetDeclarationChecks();
}

}  // namespace

void resetRunState() {
    releaseRunLists();
    // The copy state of a clone that did not finish; its marks went with its graph.
    CdfgGraph none;
    releaseStructClones(none);
    setStructCloneMode(false);
    helpText = "";
    lineCounter = 0;
    autoScope = false;
    inAnalysis = false;
    memoryFailing = false;
    runSettings = RunSettings{};
    initMessages(1, programCatalogue());
}

int runToStatus(int argc, char** argv) {
    int status = runMain(argc, argv);
    releaseRunLists();
    std::fflush(stdout);
    return status;
}

void runProgram(int argc, char** argv) { std::exit(runToStatus(argc, argv)); }

int runChecker(int argc, char** argv) {
    resetRunState();
    MemoryFailureHandler previousHandler = memoryFailureHandler();
    std::new_handler previousNewHandler = std::get_new_handler();
    inProcess = true;
    int status;
    try {
        status = runMain(argc, argv);
    } catch (const RunEnded& ended) {
        status = ended.status;
    }
    inProcess = false;
    setMemoryFailureHandler(previousHandler);
    std::set_new_handler(previousNewHandler);
    setNodeCreationFailureHandler(nullptr);
    resetRunState();
    std::fflush(stdout);
    return status;
}
