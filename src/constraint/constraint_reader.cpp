#include "constraint/constraint_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "constraint/directive_lines.h"
#include "report/messages.h"
#include "util/files.h"
#include "util/memory.h"
#include "util/strings.h"

const char* helpText = "";
std::int32_t lineCounter = 0;

namespace {

const KeywordRow* currentTable = nullptr;

int enterOptionSection(char*, int) {
    currentTable = optionTable();
    return 0;
}
int enterDirectiveSection(char*, int) {
    currentTable = directiveTable();
    return 0;
}
int leaveSection(char*, int) {
    currentTable = sectionTable();
    return 0;
}
// Start options are accepted by name; they change no setting here.
int acceptOption(char*, int) { return 0; }

constexpr KeywordRow kSectionTable[] = {
    {"$def_start_option", 0, enterOptionSection},
    {"$def_directive", 0, enterDirectiveSection},
    {nullptr, 0, nullptr},
};

constexpr KeywordRow kDirectiveTable[] = {
    {"module", 0, storeModuleLine},
    {"evFunc", 0, storeEvFuncLine},
    {"roll", 0, storeRollLine},
    {"unmodule", 0, storeUnmoduleLine},
    {"unroll", 0, storeUnrollLine},
    {"fixedP", 0, storeFixedPLine},
    {"int", 0, storeIntLine},
    {"input", 0, storeInputLine},
    {"output", 0, storeOutputLine},
    {"inout", 0, storeInoutLine},
    {"scale", 0, storeScaleLine},
    {"float", 0, storeFloatLine},
    {"muladd_var", 0, storeMuladdVarLine},
    {"$end_directive", 0, leaveSection},
    {nullptr, 0, nullptr},
};

constexpr KeywordRow kOptionTable[] = {
    {"-max", 0, acceptOption},          {"-maxt", 0, acceptOption},
    {"-p", 0, acceptOption},            {"-p_tvar", 0, acceptOption},
    {"-p_cvar", 0, acceptOption},       {"-rnd", 0, acceptOption},
    {"-ovf", 0, acceptOption},          {"-O2", 2, acceptOption},
    {"-O1", 1, acceptOption},           {"-O0", 0, acceptOption},
    {"-o2", 2, acceptOption},           {"-o1", 1, acceptOption},
    {"-o0", 0, acceptOption},           {"-nfloat_store", 0, acceptOption},
    {"-simmode", 0, acceptOption},      {"-sim_nmleft", 0, acceptOption},
    {"-mul_func", 0, acceptOption},     {"-mul_dword", 0, acceptOption},
    {"-fdp", 0, acceptOption},          {"-fdp_rnd", 0, acceptOption},
    {"-div_func", 0, acceptOption},     {"-simdbg", 0, acceptOption},
    {"-simdbgf", 0, acceptOption},      {"-D", 0, acceptOption},
    {"-rnd_w", 0, acceptOption},        {"-stdmath", 0, acceptOption},
    {"-s_mathtbl", 0, acceptOption},    {"-n_mathtbl", 0, acceptOption},
    {"-n_costbl", 0, acceptOption},     {"-n_tantbl", 0, acceptOption},
    {"-n_acostbl", 0, acceptOption},    {"-n_atantbl", 0, acceptOption},
    {"-n_atan2tbl", 0, acceptOption},   {"-n_sqrttbl", 0, acceptOption},
    {"-lp", 0, acceptOption},           {"-ip", 0, acceptOption},
    {"-avar_max_size", 0, acceptOption}, {"-simdbg3", 0, acceptOption},
    {"-erate", 0, acceptOption},        {"-g++", 0, acceptOption},
    {"-gwl", 0, acceptOption},          {"-gm0", 0, acceptOption},
    {"-gm1", 0, acceptOption},          {"-gm2", 0, acceptOption},
    {"-mev", 0, acceptOption},          {"-amdl", 0, acceptOption},
    {"-simple_mode", 0, acceptOption},  {"-lite_mode", 0, acceptOption},
    {"-ex_mode", 0, acceptOption},      {"-ex_mode2", 0, acceptOption},
    {"-bx_mode", 0, acceptOption},      {"-bx_mode2", 1, acceptOption},
    {"-bx_byte", 0, acceptOption},      {"-bx_short", 0, acceptOption},
    {"-bx_int", 0, acceptOption},       {"-bx_longlong", 0, acceptOption},
    {"-bx_accum", 0, acceptOption},     {"-bx_bits", 0, acceptOption},
    {"-grun_level", 0, acceptOption},   {"-grun_float", 0, acceptOption},
    {"-f2fx", 0, acceptOption},         {"-ghbit", 0, acceptOption},
    {"-ghrate", 0, acceptOption},       {"-Ec", 0, acceptOption},
    {"-En", 0, acceptOption},           {"-float", 0, acceptOption},
    {"-bsim_mode", 0, acceptOption},    {"-bsim_mode", 0, acceptOption},
    {"-dsp_tg", 0, acceptOption},       {"-erep", 1, acceptOption},
    {"-no_erep", 0, acceptOption},      {"-erep_o", 0, acceptOption},
    {"$end_start_option", 0, leaveSection},
    {nullptr, 0, nullptr},
};

// Physical input is taken in chunks of at most this many bytes, each ending
// after the first newline; a line end is recognised only at a chunk's end,
// which decides where lines with carriage-return ends break.
constexpr std::size_t kChunkBytes = 509;

class ChunkSource {
public:
    explicit ChunkSource(std::FILE* file) : file_(file) {}
    // Copies the next chunk into out (kChunkBytes bytes at least); 0 at the
    // end of the file.
    std::size_t next(char* out) {
        std::size_t n = 0;
        while (n < kChunkBytes) {
            if (pos_ == len_) {
                len_ = std::fread(buf_, 1, sizeof buf_, file_);
                pos_ = 0;
                if (len_ == 0) break;
            }
            char c = buf_[pos_++];
            out[n++] = c;
            if (c == '\n') break;
        }
        return n;
    }

private:
    std::FILE* file_;
    char buf_[1 << 16];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

bool isTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A logical line being assembled. It tracks where its trailing run of
// blanks begins so that deciding about a continuation never rescans the
// whole line: runs that an appended chunk covered are remembered and jumped
// over when a later continuation joins them up again.
class LineBuffer {
public:
    LineBuffer() = default;
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;
    ~LineBuffer() { freeMemory(data_); }

    bool empty() const { return len_ == 0; }
    char* text() { return data_; }

    void clear() {
        len_ = 0;
        blankStart_ = 0;
        coveredRuns_.clear();
        if (data_ != nullptr) data_[0] = '\0';
    }

    bool append(const char* chunk, std::size_t n) {
        if (!reserve(len_ + n + 1)) return false;
        std::size_t k = n;
        while (k > 0 && isTrailingBlank(chunk[k - 1])) --k;
        if (k > 0) {
            if (blankStart_ < len_) coveredRuns_.push_back({blankStart_, len_});
            blankStart_ = len_ + k;
        }
        std::memcpy(data_ + len_, chunk, n);
        len_ += n;
        data_[len_] = '\0';
        return true;
    }

    // When the last character other than a blank or line end is a
    // backslash, it becomes a blank and the line continues.
    bool takeContinuation() {
        while (blankStart_ > 0 && isTrailingBlank(data_[blankStart_ - 1])) {
            if (!coveredRuns_.empty() && coveredRuns_.back().end == blankStart_) {
                blankStart_ = coveredRuns_.back().start;
                coveredRuns_.pop_back();
            } else {
                --blankStart_;
            }
        }
        if (blankStart_ == 0 || data_[blankStart_ - 1] != '\\') return false;
        data_[--blankStart_] = ' ';
        return true;
    }

private:
    struct Run {
        std::size_t start;
        std::size_t end;
    };

    bool reserve(std::size_t size) {
        if (size <= cap_) return true;
        std::size_t cap = cap_ < 1024 ? 1024 : cap_;
        while (cap < size) cap *= 2;
        void* grown = data_ == nullptr ? allocZeroed(cap) : reallocChecked(data_, cap);
        if (grown == nullptr) return false;
        data_ = static_cast<char*>(grown);
        cap_ = cap;
        return true;
    }

    char* data_ = nullptr;
    std::size_t len_ = 0;
    std::size_t cap_ = 0;
    std::size_t blankStart_ = 0;
    std::vector<Run> coveredRuns_;
};

enum class LineStatus { Line, End, Failed };

LineStatus nextLogicalLine(ChunkSource& source, LineBuffer& line) {
    line.clear();
    char chunk[kChunkBytes];
    for (;;) {
        std::size_t n = source.next(chunk);
        if (n == 0) return line.empty() ? LineStatus::End : LineStatus::Line;
        if (chunk[n - 1] == '\n') {
            lineCounter = static_cast<std::int32_t>(static_cast<std::uint32_t>(lineCounter) + 1);
        }
        if (!line.append(chunk, n)) return LineStatus::Failed;
        char last = chunk[n - 1];
        if (last != '\n' && last != '\r') continue;
        if (!line.takeContinuation()) return LineStatus::Line;
    }
}

const KeywordRow* findRow(const KeywordRow* table, const char* name) {
    for (const KeywordRow* row = table; row->name != nullptr; ++row) {
        if (row->handler != nullptr && std::strcmp(row->name, name) == 0) return row;
    }
    return nullptr;
}

}  // namespace

const KeywordRow* sectionTable() { return kSectionTable; }
const KeywordRow* optionTable() { return kOptionTable; }
const KeywordRow* directiveTable() { return kDirectiveTable; }

int readConstraintFile(const char* path) {
    // Closed however the read ends (a memory failure of the in-process run unwinds).
    // A directory opens but cannot be read: it is reported like a missing file.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openForReading(path, "r"), &std::fclose);
    if (file == nullptr) {
        printMessage(MSG_FREE_FORM, "Error:constarint:Cat't open '%s'\n", orEmpty(path));
        return -1;
    }
    lineCounter = 0;
    helpText = "";
    currentTable = sectionTable();

    // Heap-held: the chunk source carries a large read buffer.
    auto source = std::make_unique<ChunkSource>(file.get());
    LineBuffer line;
    int result = 0;
    for (;;) {
        LineStatus status = nextLogicalLine(*source, line);
        if (status == LineStatus::End) break;
        if (status == LineStatus::Failed) {
            result = -1;
            break;
        }
        // A NUL byte ends the line's text.
        char* fields[2] = {};
        int count = splitFields(2, fields, line.text(), " \t\n\r,");
        if (count < 1 || fields[0] == nullptr) continue;
        const char* keyword = fields[0];
        if (keyword[0] == '#' || (keyword[0] == '/' && keyword[1] == '/')) continue;
        const KeywordRow* row = findRow(currentTable, keyword);
        if (row == nullptr || row->handler(fields[1], row->parameter) != 0) {
            printMessage(MSG_FREE_FORM, "Error:%s:%d:Syntx error :%s\n", path,
                         static_cast<int>(lineCounter), orEmpty(helpText));
            result = -1;
            break;
        }
    }
    return result;
}
