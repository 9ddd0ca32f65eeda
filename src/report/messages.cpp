#include "report/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

#define ROW(code, kind, text) MessageRow{code, kind, text, text}

const MessageRow kCatalogue[] = {
    ROW(451, MSG_ERROR, "::Reservation of a memory went wrong.\n"),
    ROW(452, MSG_ERROR, "::Reading of a file went wrong. '%s'\n"),
    ROW(453, MSG_ERROR, "::Writing of a file went wrong. '%s'\n"),
    ROW(461, MSG_ERROR, "::Invalid option name '%s'.\n"),
    ROW(462, MSG_ERROR, "::Please specify an input CDFG file. \n"),
    ROW(463, MSG_ERROR, "::Please specify an output INF file. \n"),
    ROW(501, MSG_ERROR, "::A main function is not found.\n"),
    ROW(502, MSG_ERROR, "::A module directive specification function call is not found.\n"),
    ROW(503, MSG_ERROR, "::An evaluation function is not found.(evFunc directive)\n"),
    ROW(504, MSG_ERROR, "::The argument of a main function is 'main (int argc and char *argv[])'.\n"),
    ROW(505, MSG_ERROR, "%s:%d:Function '%s' is a pointer type. It is outside support.\n"),
    ROW(506, MSG_ERROR, "%s:%d:Function '%s' is a recursive call. It is outside support.\n"),
    ROW(507, MSG_ERROR, "%s:%d:Directive '%s' has not supported.\n"),
    ROW(508, MSG_ERROR, "%s:%d:Dynamic memory allocation has not supported.\n"),
    ROW(509, MSG_ERROR, "%s:%d:The pointer cast has not supported.\n"),
    ROW(510, MSG_ERROR, "%s:%d:Variable declaration in the middle of syntax has not been supported.'%s'\n"),
    ROW(511, MSG_ERROR, "%s:%d:Array size of variable '%s' cannot be decided.\n"),
    ROW(512, MSG_ERROR, "%s:%d:Directive '%s' is not a directive.\n"),
    ROW(513, MSG_ERROR, "%s:%d:The format of directive '%s' is different.\n"),
    ROW(514, MSG_ERROR, "%s:%d:'%s' of directive '%s is unusual. \n"),
    ROW(515, MSG_ERROR, "%s:%d:Global variable '%s' is updated out of the object for analysis.\n"),
    ROW(516, MSG_ERROR, "%s:%d:Function '%s' is called from the outside of the object for analysis.\n"),
    ROW(517, MSG_ERROR, "%s:%d:There is no %s directive to a translate_off %s.\n"),
    ROW(518, MSG_ERROR, "%s:%d:The return value of '//tavik module' function has not supported. \n"),
    ROW(519, MSG_ERROR, "%s:%d:The operation of the argument of '//tavik module' function call has not supported.\n"),
    ROW(520, MSG_ERROR, "%s:%d:The func call of the argument of '//tavik module' function call has not supported.\n"),
    ROW(521, MSG_ERROR, "%s:%d:The pointer variable of the argument of '//tavik module' function call has not supported.\n"),
    ROW(522, MSG_ERROR, "%s:%d:The pointer variable '%s' has not supported more than one.\n"),
    ROW(523, MSG_ERROR, "Structure object '%s' has pointer member '%s'. It has not supported. \n"),
    ROW(524, MSG_ERROR, "%s:%d:union has not supported.\n"),
    ROW(525, MSG_ERROR, "%s:%d:The long double type has not been supported. '%s'\n"),
    ROW(526, MSG_ERROR, "%s:%d:Two or more specification of a module directive has not been supported. \n"),
    ROW(527, MSG_ERROR, "%s:%d:'int (*var)[]; or int *(var*);' Variable declaration, has not been supported. '%s'\n"),
    ROW(528, MSG_ERROR, "%s:%d:The syntax of '%d' line in switch has not been supported.\n"),
    ROW(529, MSG_ERROR, "%s:%d:A pointer and a pointer array serve as support to two dimensions (**p, *p[x]). '%s' \n"),
    ROW(530, MSG_ERROR, "%s:%d:Use of a pointer array has not been supported to the argument of the call for analysis. '%s' \n"),
    ROW(531, MSG_ERROR, "%s:%d:Comparison of an address has not been supported.\n"),
    ROW(532, MSG_ERROR, "%s:%d:The renewal of the enum variable '%s' has not been supported.\n"),
    ROW(533, MSG_ERROR, "%s:%d:Implicit declaration of function '%s'\n"),
    ROW(534, MSG_ERROR, "%s:%d:too many arguments to function '%s'\n"),
    ROW(535, MSG_ERROR, "%s:%d:cannot convert argument '%d' to '%s'\n"),
    ROW(536, MSG_ERROR, "%s:%d:Please give a dynamic memory allocation as a description style of 'p = malloc(char*) ().'\n"),
    ROW(537, MSG_ERROR, "%s:%d:control reaches end of non-void function '%s'\n"),
    ROW(538, MSG_WARNING, "%s:%d:The size of an auto variable is too large. '%s' > %.0f\n"),
    ROW(539, MSG_ERROR, "%s:%d:Standard function '%s' has not supported.\n"),
    ROW(540, MSG_ERROR, "%s:%d:Specification of the bit field has not been supported. '%s'\n"),
    ROW(541, MSG_ERROR, "%s:%d:The operation &&, || of a floating decimal point has not supported.\n"),
    ROW(542, MSG_ERROR, "%s:%d:'%s' directive, 'fixedP' and 'int' defined.\n"),
    ROW(543, MSG_ERROR, "%s:%d:'%s' directive, 'fixedP' is defined as the integer type variable.\n"),
    ROW(544, MSG_ERROR, "%s:%d:'%s' directive, '%s' is not defined.\n"),
    ROW(545, MSG_ERROR, "::'tvk_evfunc.tmpl' is not in a current directory. Please copy or create.\n"),
    ROW(546, MSG_ERROR, "%s:%d:'%s' directive here is invalid.\n"),
    ROW(601, MSG_WARNING, "%s:%d:Floating point arithmetic is contained in the conditions of if. An unusual end may be carried out when a result does not suit.\n"),
    ROW(602, MSG_WARNING, "%s:%d:Floating point arithmetic is contained in the end conditions of a loop. An unusual end may be carried out when a result does not suit.\n"),
    ROW(603, MSG_WARNING, "%s:%d:. There is no target.\n"),
    MessageRow{-1, 0, nullptr, nullptr},
};

#undef ROW

const MessageRow* installedCatalogue = nullptr;
std::int32_t errors = 0;
std::int32_t warnings = 0;
bool altTextMode = false;
std::string* captureTarget = nullptr;
MemoryFailureHandler failureHandler = nullptr;
MessageHold* activeHold = nullptr;
std::string* heldText = nullptr;  // the text of activeHold

// Past any hold: to the test's capture or to standard output.
void emitOut(const char* data, std::size_t size) {
    if (size == 0) return;
    if (captureTarget) {
        captureTarget->append(data, size);
    } else {
        std::fwrite(data, 1, size, stdout);
    }
}

void emit(const char* data, std::size_t size) {
    if (size == 0) return;
    if (heldText)
        heldText->append(data, size);
    else
        emitOut(data, size);
}

// Formats into a stack buffer; only an unusually long line goes to the heap,
// so that message 451 can still be printed when memory has run out.
void emitFormatted(const char* format, std::va_list args) {
    if (!format) return;
    char local[1024];
    std::va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(local, sizeof local, format, args);
    if (needed < 0) {
        va_end(again);
        return;
    }
    std::size_t size = static_cast<std::size_t>(needed);
    if (size < sizeof local) {
        emit(local, size);
    } else if (char* big = static_cast<char*>(std::malloc(size + 1))) {
        std::vsnprintf(big, size + 1, format, again);
        emit(big, size);
        std::free(big);
    } else {
        emit(local, sizeof local - 1);
    }
    va_end(again);
}

void emitLine(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    emitFormatted(format, args);
    va_end(args);
}

void printUnknownCode(int code) {
    emitLine("Error No.%03d\n", code);
    ++errors;
}

// The 24-character calendar form followed by a newline, as ctime gives it.
void calendarText(std::time_t now, char (&out)[64], int* year) {
    const std::tm* local = std::localtime(&now);
    if (!local || std::strftime(out, sizeof out, "%a %b %e %H:%M:%S %Y\n", local) == 0) {
        std::snprintf(out, sizeof out, "%s", "??? ??? ?? ??:??:?? ????\n");
        if (year) *year = 0;
        return;
    }
    if (year) *year = local->tm_year + 1900;
}

}  // namespace

const MessageRow* programCatalogue() { return kCatalogue; }

void initMessages(int reset, const MessageRow* catalogue) {
    installedCatalogue = catalogue;
    if (reset == 1) {
        errors = 0;
        warnings = 0;
        altTextMode = false;
    }
}

void printMessage(int code, ...) {
    std::va_list args;
    va_start(args, code);
    if (code == MSG_FREE_FORM) {
        const char* format = va_arg(args, const char*);
        emitFormatted(format, args);
        va_end(args);
        return;
    }
    const MessageRow* row = installedCatalogue;
    while (row && row->code != -1 && row->code != code) ++row;
    if (!row || row->code == -1) {
        printUnknownCode(code);
        va_end(args);
        return;
    }
    switch (row->kind) {
    case MSG_ERROR:
        emitLine("E%03d:Error:", code);
        ++errors;
        break;
    case MSG_WARNING:
        emitLine("W%03d:Warning:", code);
        ++warnings;
        break;
    case MSG_NOTE:
        emitLine("M%03d:", code);
        break;
    default:
        break;
    }
    if (altTextMode && row->altText) {
        std::size_t length = std::strlen(row->altText);
        if (char* converted = static_cast<char*>(std::malloc(length + 256))) {
            convertEucToSjis(converted, row->altText);
            emitFormatted(converted, args);
            std::free(converted);
        } else {
            emitFormatted(row->altText, args);
        }
    } else {
        emitFormatted(row->text, args);
    }
    va_end(args);
}

std::int32_t errorCount() { return errors; }
std::int32_t warningCount() { return warnings; }

void setMemoryFailureHandler(MemoryFailureHandler handler) { failureHandler = handler; }
MemoryFailureHandler memoryFailureHandler() { return failureHandler; }

void printStartBanner(const char* name, const char* title, const char* version) {
    char now[64];
    int year = 0;
    calendarText(std::time(nullptr), now, &year);
    printMessage(MSG_FREE_FORM, "%s [%s] command (Ver. %s) started...\n", orEmpty(name),
                 orEmpty(title), orEmpty(version));
    printMessage(MSG_FREE_FORM, "%s", now);
    printMessage(MSG_FREE_FORM, "Copyright (C) 2004-%d. All rights reserved.\n", year);
    printMessage(MSG_FREE_FORM, "\n");
}

void printEndBanner(const char* name, std::int32_t errorTotal) {
    char now[64];
    calendarText(std::time(nullptr), now, nullptr);
    if (errorTotal != 0) {
        printMessage(MSG_FREE_FORM, "%s command terminated with error. %s\n", orEmpty(name), now);
    } else {
        printMessage(MSG_FREE_FORM, "%s command finished successfully. %s\n", orEmpty(name), now);
    }
}

void printVersion(const char* name, const char* version) {
    char field[21];
    std::snprintf(field, sizeof field, "    %-16.16s", orEmpty(name));
    printMessage(MSG_FREE_FORM, "%s : Ver.%s\n", field, orEmpty(version));
}

void reportNoMain() { printMessage(501); }

void reportWriteFailure(const char* path) { printMessage(453, orEmpty(path)); }

std::size_t convertEucToSjis(char* out, const char* in) {
    std::size_t written = 0;
    if (!out) return 0;
    if (!in) {
        out[0] = '\0';
        return 0;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
    while (*p) {
        unsigned c1 = *p;
        if (c1 == 0x8E) {
            // Half-width katakana: the shift byte goes, the code stays.
            ++p;
            if (!*p) break;
            out[written++] = static_cast<char>(*p++);
        } else if (c1 >= 0xA1 && c1 <= 0xFE && p[1] != 0) {
            unsigned j1 = c1 & 0x7F;
            unsigned j2 = p[1] & 0x7F;
            unsigned s1 = ((j1 - 0x21) >> 1) + 0x81;
            if (s1 > 0x9F) s1 += 0x40;
            unsigned s2;
            if (j1 & 1) {
                s2 = j2 + 0x1F;
                if (s2 >= 0x7F) ++s2;
            } else {
                s2 = j2 + 0x7E;
            }
            out[written++] = static_cast<char>(s1 & 0xFF);
            out[written++] = static_cast<char>(s2 & 0xFF);
            p += 2;
        } else {
            out[written++] = static_cast<char>(*p++);
        }
    }
    out[written] = '\0';
    return written;
}

void setAltTextMode(int on) { altTextMode = on != 0; }

void setMessageCapture(std::string* capture) { captureTarget = capture; }

void MessageHold::start() {
    if (activeHold) return;
    text_.clear();
    errors_ = errors;
    warnings_ = warnings;
    on_ = true;
    activeHold = this;
    heldText = &text_;
}

void MessageHold::release() {
    if (!on_) return;
    on_ = false;
    activeHold = nullptr;
    heldText = nullptr;
    emitOut(text_.data(), text_.size());
    text_.clear();
}

void MessageHold::releaseAny() {
    if (activeHold) activeHold->release();
}

void MessageHold::drop() {
    if (!on_) return;
    on_ = false;
    activeHold = nullptr;
    heldText = nullptr;
    errors = errors_;
    warnings = warnings_;
    text_.clear();
}
