#include "directive/directive_parser.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// One read position and one scratch buffer for the whole process; a nested
// directive continues from the position its outer directive reached.
const char* readPos = nullptr;
constexpr std::size_t kScratchSize = 1024;
char scratch[kScratchSize];

// "input input input ..." nests one record per word; deeper nesting than any
// real directive uses is read as an unknown keyword so the stack stays small.
constexpr int kMaxNesting = 64;

// Classification in the "C" locale; bytes outside 7-bit ASCII are none of
// these, whatever the current locale says.
bool isAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }
bool isBlank(char c) { return isAscii(c) && std::isspace(static_cast<unsigned char>(c)); }
bool isLetter(char c) { return isAscii(c) && std::isalpha(static_cast<unsigned char>(c)); }
bool isNumericChar(char c) {
    return (isAscii(c) && std::isdigit(static_cast<unsigned char>(c))) || c == '-' || c == '.';
}
bool isWordChar(char c) { return c != '\0' && !isBlank(c); }
bool isNameChar(char c) { return c != '\0' && c != ':' && !isBlank(c); }

void skipBlanks() {
    while (*readPos != '\0' && isBlank(*readPos)) ++readPos;
}

void skipAll(char c) {
    while (*readPos == c) ++readPos;
}

// Copies the run of characters accepted by inRun that starts at the read
// position into the scratch buffer and steps past the whole run. A run longer
// than the buffer is truncated to what fits.
template <typename Pred>
std::size_t copyRun(Pred inRun) {
    std::size_t n = 0;
    while (*readPos != '\0' && inRun(*readPos)) {
        if (n < kScratchSize - 1) scratch[n++] = *readPos;
        ++readPos;
    }
    scratch[n] = '\0';
    return n;
}

// atoi/atof of the scratch buffer. strtol saturates where atoi would be
// undefined; the narrowing then wraps as the C library's atoi does.
std::int32_t scratchToInt() { return static_cast<std::int32_t>(std::strtol(scratch, nullptr, 10)); }
double scratchToDouble() { return std::strtod(scratch, nullptr); }

std::int32_t readNumberInt() {
    copyRun(isNumericChar);
    return scratchToInt();
}

std::int32_t overflowFromLetter(char c) { return c == 'i' ? 1 : c == 's' ? 0 : -1; }
std::int32_t roundingFromLetter(char c) { return c == 'r' ? 0 : c == 't' ? 1 : -1; }

DirectiveRecord* dispatch(int depth);

// input and output: a directive that begins with a letter is nested.
void readNested(DirectiveRecord& r, int depth) {
    skipBlanks();
    if (isLetter(*readPos)) r.nested.reset(dispatch(depth + 1));
}

void readOutputValues(DirectiveRecord& r) {
    skipBlanks();
    if (isNumericChar(*readPos)) {
        copyRun(isNumericChar);
        r.firstValue = scratchToDouble();
    }
    skipBlanks();
    if (*readPos == '%') {
        skipAll('%');
        skipBlanks();
        if (isNumericChar(*readPos)) {
            copyRun(isNumericChar);
            r.percentValue = scratchToDouble();
        }
    }
}

// The sign word and the first number shared by fixedP and int.
void readSignAndWidth(DirectiveRecord& r) {
    skipBlanks();
    if (isLetter(*readPos)) {
        char first = *readPos;
        r.sign = first == 'S' ? 1 : first == 'U' ? 2 : 0;
        while (isWordChar(*readPos)) ++readPos;
        skipBlanks();
    }
    r.firstNumber = readNumberInt();
    skipBlanks();
}

void readOverflow(DirectiveRecord& r) {
    r.overflowMode = -1;
    if (isLetter(*readPos)) {
        copyRun(isLetter);
        r.overflowMode = overflowFromLetter(scratch[0]);
        skipBlanks();
    }
}

void readFixedP(DirectiveRecord& r) {
    readSignAndWidth(r);
    if (*readPos == ':') skipAll(':');
    skipBlanks();
    r.secondNumber = readNumberInt();
    skipBlanks();
    if (*readPos == '_') {
        ++readPos;
        skipAll(':');
        skipBlanks();
        r.thirdNumber = readNumberInt();
        skipBlanks();
    }
    readOverflow(r);
    r.roundingMode = -1;
    if (*readPos == '.') {
        skipAll('.');
        skipBlanks();
        copyRun(isLetter);
        r.roundingMode = roundingFromLetter(scratch[0]);
    }
}

void readInt(DirectiveRecord& r) {
    readSignAndWidth(r);
    skipBlanks();
    readOverflow(r);
}

void readScale(DirectiveRecord& r) {
    skipBlanks();
    if (isNumericChar(*readPos)) r.firstNumber = readNumberInt();
}

// False when the name copy could not be allocated.
bool readRoll(DirectiveRecord& r) {
    skipBlanks();
    if (isLetter(*readPos)) {
        std::size_t n = copyRun(isNameChar);
        try {
            r.name.assign(scratch, n);
        } catch (const std::bad_alloc&) {
            std::perror("memory");
            return false;
        }
        skipBlanks();
    }
    r.expandMode = 1;
    if (*readPos == ':') {
        skipAll(':');
        skipBlanks();
        if (isLetter(*readPos)) {
            copyRun(isLetter);
            r.expandMode = std::strcmp(scratch, "expand") == 0 ? 0 : 1;
        }
    }
    return true;
}

constexpr const char* kKeywords[] = {
    "input",  "output", "fixedP", "int",   "module",        "unmodule",
    "unroll", "roll",   "evFunc", "scale", "translate_off", "translate_on",
};

DirectiveRecord* dispatch(int depth) {
    skipBlanks();
    copyRun(isWordChar);
    if (depth > kMaxNesting) return nullptr;
    int kind = -1;
    for (int k = 0; k < static_cast<int>(std::size(kKeywords)); ++k) {
        if (std::strcmp(scratch, kKeywords[k]) == 0) {
            kind = k;
            break;
        }
    }
    if (kind < 0) return nullptr;
    std::unique_ptr<DirectiveRecord> r(new (std::nothrow) DirectiveRecord());
    if (!r) return nullptr;
    r->kind = static_cast<DirectiveKind>(kind);
    switch (r->kind) {
        case DIRECTIVE_INPUT:
            readNested(*r, depth);
            break;
        case DIRECTIVE_OUTPUT:
            readNested(*r, depth);
            readOutputValues(*r);
            break;
        case DIRECTIVE_FIXEDP:
            readFixedP(*r);
            break;
        case DIRECTIVE_INT:
            readInt(*r);
            break;
        case DIRECTIVE_SCALE:
            readScale(*r);
            break;
        case DIRECTIVE_ROLL:
            if (!readRoll(*r)) return nullptr;
            break;
        default:
            // module, unmodule, unroll, evFunc, translate_off/on take no
            // arguments; anything after them is ignored.
            skipBlanks();
            break;
    }
    return r.release();
}

}  // namespace

std::unique_ptr<DirectiveRecord> parseDirectiveText(const char* text) {
    if (text == nullptr) return nullptr;
    readPos = text;
    return std::unique_ptr<DirectiveRecord>(dispatch(0));
}
