#include "constraint/directive_lines.h"

#include <cstring>
#include <string>

#include "constraint/constraint_reader.h"
#include "util/memory.h"
#include "util/strings.h"

ConstraintDirective* constraintDirectives[CONSTRAINT_LIST_COUNT] = {};

namespace {

constexpr const char* kKeywords[CONSTRAINT_LIST_COUNT] = {
    "module", "evFunc", "roll",  "unmodule", "unroll", "fixedP",    "int",
    "input",  "output", "inout", "scale",    "float",  "muladd_var",
};

// Delimiters of the name fields, and of the option field, which keeps its
// blanks and ends only at a line end or a semicolon.
constexpr const char* kNameDelims = " \t\n\r;";
constexpr const char* kOptionDelims = "\n\r;";
// Module options: the whole option part ends at a tab as well, but not at a
// blank; its words are then separated by blanks and '=' too.
constexpr const char* kModulePartDelims = "\t\n\r;";
constexpr const char* kModuleWordDelims = " \t\n\r=;";
constexpr int kMaxModuleWords = 8;

// The next field in strtok fashion, but with the position kept by the caller:
// leading delimiters are skipped, the delimiter ending the field becomes NUL.
// Null when no field is left.
char* nextField(char*& cursor, const char* delims) {
    if (cursor == nullptr) return nullptr;
    char* start = cursor + std::strspn(cursor, delims);
    if (*start == '\0') {
        cursor = start;
        return nullptr;
    }
    char* end = start + std::strcspn(start, delims);
    if (*end != '\0') {
        *end = '\0';
        ++end;
    }
    cursor = end;
    return start;
}

int reject(const char* usage) {
    helpText = usage;
    return -1;
}

enum class Tail {
    None,            // nothing after the last name field is read
    Choice,          // a required name field with one of two values
    OptionalChoice,  // the same, but it may be missing
    Option,          // required option text
    OptionalOption,  // option text that may be missing
    BitSize,         // a required numeric name field
    ModuleOptions,   // prefix / evfunc options, composed
};

struct LineForm {
    ConstraintList list;
    const char* fileUsage;
    const char* funcUsage;
    const char* varUsage;  // null: the line names no variable
    Tail tail;
    const char* tailUsage;
    const char* choices[2];
};

// The text after "module <file> <function>": the first word is a default
// prefix, "prefix X" and "evfunc X" (also written with '=') set the prefix
// and the evaluation function. A leading "evfunc" is the keyword, not a
// prefix. Returns false (with the usage) for a keyword without its value.
bool composeModuleOptions(char*& cursor, std::string& composed, bool& present,
                          const char*& usage) {
    present = false;
    char* part = nextField(cursor, kModulePartDelims);
    if (part == nullptr) return true;
    char* fields[kMaxModuleWords] = {};
    int count = splitFields(kMaxModuleWords, fields, part, kModuleWordDelims);
    // The default prefix runs from the start of the option part to the end of
    // its first word, so blanks before that word belong to it.
    const char* prefix = nullptr;
    if (count > 0 && fields[0] != nullptr && std::strcmp(fields[0], "evfunc") != 0) prefix = part;
    const char* evfunc = nullptr;
    for (int i = 0; i < count; ++i) {
        if (fields[i] == nullptr) continue;
        bool isPrefix = std::strcmp(fields[i], "prefix") == 0;
        bool isEvfunc = std::strcmp(fields[i], "evfunc") == 0;
        if (!isPrefix && !isEvfunc) continue;
        const char* value = i + 1 < count ? fields[i + 1] : nullptr;
        if (value == nullptr) {
            usage = isPrefix ? "module directive prefix=<string>" : "module directive evfunc=<funcName>";
            return false;
        }
        (isPrefix ? prefix : evfunc) = value;
        ++i;
    }
    if (prefix != nullptr) {
        composed = std::string("prefix=") + prefix;
        if (evfunc != nullptr) composed += std::string(" evfunc=") + evfunc;
        present = true;
    } else if (evfunc != nullptr) {
        composed = std::string("evfunc=") + evfunc;
        present = true;
    }
    return true;
}

int store(ConstraintList list, const char* file, const char* func, const char* var,
          const char* option) {
    auto* r = static_cast<ConstraintDirective*>(allocZeroed(sizeof(ConstraintDirective)));
    if (r == nullptr) return -1;
    r->fileName = duplicateString(file);
    r->funcName = duplicateString(func);
    r->varName = duplicateString(var);
    r->optionText = duplicateString(option);
    r->applied = 0;
    r->line = lineCounter;
    r->next = constraintDirectives[list];
    constraintDirectives[list] = r;
    return 0;
}

int storeLine(const LineForm& form, char* rest) {
    char* cursor = rest;
    const char* file = nextField(cursor, kNameDelims);
    if (file == nullptr) return reject(form.fileUsage);
    const char* func = nextField(cursor, kNameDelims);
    if (func == nullptr) return reject(form.funcUsage);
    const char* var = nullptr;
    if (form.varUsage != nullptr) {
        var = nextField(cursor, kNameDelims);
        if (var == nullptr) return reject(form.varUsage);
    }
    const char* option = nullptr;
    std::string composed;
    switch (form.tail) {
        case Tail::None:
            break;
        case Tail::Choice:
        case Tail::OptionalChoice:
            option = nextField(cursor, kNameDelims);
            if (option == nullptr) {
                if (form.tail == Tail::Choice) return reject(form.tailUsage);
            } else if (std::strcmp(option, form.choices[0]) != 0 &&
                       std::strcmp(option, form.choices[1]) != 0) {
                return reject(form.tailUsage);
            }
            break;
        case Tail::Option:
        case Tail::OptionalOption:
            option = nextField(cursor, kOptionDelims);
            if (option == nullptr && form.tail == Tail::Option) return reject(form.tailUsage);
            break;
        case Tail::BitSize:
            option = nextField(cursor, kNameDelims);
            if (option == nullptr || !isNumericText(option)) return reject(form.tailUsage);
            break;
        case Tail::ModuleOptions: {
            bool present = false;
            const char* usage = nullptr;
            if (!composeModuleOptions(cursor, composed, present, usage)) return reject(usage);
            if (present) option = composed.c_str();
            break;
        }
    }
    return store(form.list, file, func, var, option);
}

constexpr LineForm kModule{CONSTRAINT_MODULE,
                           "module directive <fileName>",
                           "module directive <funcName>",
                           nullptr,
                           Tail::ModuleOptions,
                           nullptr,
                           {}};
constexpr LineForm kEvFunc{CONSTRAINT_EVFUNC, "evFunc directive <fileName>",
                           "evFunc directive <funcName>", nullptr, Tail::None, nullptr, {}};
constexpr LineForm kRoll{CONSTRAINT_ROLL, "roll directive <fileName>", "roll directive <funcName>",
                         nullptr, Tail::None, nullptr, {}};
constexpr LineForm kUnmodule{CONSTRAINT_UNMODULE,
                             "ummodule directive <fileName>",
                             "unmodule directive <funcName>",
                             nullptr,
                             Tail::OptionalChoice,
                             "unmodule directive <float | fixed>",
                             {"float", "fixed"}};
constexpr LineForm kUnroll{CONSTRAINT_UNROLL,
                           "unroll directive <fileName>",
                           "unroll directive <funcName>",
                           nullptr,
                           Tail::Choice,
                           "unroll directive <loop|func>",
                           {"loop", "func"}};
constexpr LineForm kFixedP{CONSTRAINT_FIXEDP,          "fixedP directive <fileName>",
                           "fixedP directive <funcName>", "fixedP directive <varName>",
                           Tail::Option,                "fixedP directive <option>",
                           {}};
constexpr LineForm kInt{CONSTRAINT_INT,          "int directive <fileName>",
                        "int directive <funcName>", "int directive <varName>",
                        Tail::Option,             "int directive <option>",
                        {}};
constexpr LineForm kInput{CONSTRAINT_INPUT,          "input directive <fileName>",
                          "input directive <funcName>", "input directive <varName>",
                          Tail::OptionalOption,       nullptr,
                          {}};
constexpr LineForm kOutput{CONSTRAINT_OUTPUT,          "output directive <fileName>",
                           "output directive <funcName>", "output directive <varName>",
                           Tail::OptionalOption,        nullptr,
                           {}};
constexpr LineForm kInout{CONSTRAINT_INOUT,          "inout directive <fileName>",
                          "inout directive <funcName>", "inout directive <varName>",
                          Tail::OptionalOption,       nullptr,
                          {}};
constexpr LineForm kScale{CONSTRAINT_SCALE,          "scale directive <fileName>",
                          "scale directive <funcName>", "scale directive <varName>",
                          Tail::BitSize,              "scale directive <bitSize>",
                          {}};
constexpr LineForm kFloat{CONSTRAINT_FLOAT,          "float directive <fileName>",
                          "float directive <funcName>", "float directive <varName>",
                          Tail::None,                 nullptr,
                          {}};
constexpr LineForm kMuladdVar{CONSTRAINT_MULADD_VAR,
                              "muladd_var directive <fileName>",
                              "muladd_var directive <funcName>",
                              "muladd_var directive <varName>",
                              Tail::None,
                              nullptr,
                              {}};

}  // namespace

const char* constraintKeyword(int list) {
    return list >= 0 && list < CONSTRAINT_LIST_COUNT ? kKeywords[list] : nullptr;
}

int storeModuleLine(char* rest, int) { return storeLine(kModule, rest); }
int storeEvFuncLine(char* rest, int) { return storeLine(kEvFunc, rest); }
int storeRollLine(char* rest, int) { return storeLine(kRoll, rest); }
int storeUnmoduleLine(char* rest, int) { return storeLine(kUnmodule, rest); }
int storeUnrollLine(char* rest, int) { return storeLine(kUnroll, rest); }
int storeFixedPLine(char* rest, int) { return storeLine(kFixedP, rest); }
int storeIntLine(char* rest, int) { return storeLine(kInt, rest); }
int storeInputLine(char* rest, int) { return storeLine(kInput, rest); }
int storeOutputLine(char* rest, int) { return storeLine(kOutput, rest); }
int storeInoutLine(char* rest, int) { return storeLine(kInout, rest); }
int storeScaleLine(char* rest, int) { return storeLine(kScale, rest); }
int storeFloatLine(char* rest, int) { return storeLine(kFloat, rest); }
int storeMuladdVarLine(char* rest, int) { return storeLine(kMuladdVar, rest); }

void releaseConstraintDirectives() {
    for (ConstraintDirective*& head : constraintDirectives) {
        ConstraintDirective* r = head;
        while (r != nullptr) {
            ConstraintDirective* next = r->next;
            freeMemory(r->fileName);
            freeMemory(r->funcName);
            freeMemory(r->varName);
            freeMemory(r->optionText);
            freeMemory(r);
            r = next;
        }
        head = nullptr;
    }
}
