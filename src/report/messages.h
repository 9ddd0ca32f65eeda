// Numbered messages: the catalogue, the printer and the error/warning counters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum MessageKind : std::int32_t { MSG_NOTE = 0, MSG_ERROR = 1, MSG_WARNING = 2 };

struct MessageRow {
    std::int32_t code;  // -1 ends a table
    std::int32_t kind;
    const char* text;
    const char* altText;
};

// Code of free-form lines: the first argument is the format.
inline constexpr int MSG_FREE_FORM = 9999;

// The program's catalogue (55 rows and the end row).
const MessageRow* programCatalogue();

// Installs the catalogue; with reset 1 also zeroes the counters and turns the
// alternative text off.
void initMessages(int reset, const MessageRow* catalogue);
// Prints one message by code with its printf-style arguments.
void printMessage(int code, ...);
std::int32_t errorCount();
std::int32_t warningCount();

// Routine called by the allocation wrappers when memory runs out.
using MemoryFailureHandler = void (*)();
void setMemoryFailureHandler(MemoryFailureHandler handler);
MemoryFailureHandler memoryFailureHandler();

void printStartBanner(const char* name, const char* title, const char* version);
void printEndBanner(const char* name, std::int32_t errors);
void printVersion(const char* name, const char* version);

void reportNoMain();
void reportWriteFailure(const char* path);

// Converts NUL-terminated EUC-JP text to Shift_JIS; returns the bytes written
// (the terminating NUL not counted). out must hold strlen(in) + 1 bytes.
std::size_t convertEucToSjis(char* out, const char* in);

// Selects the alternative texts, converted to Shift_JIS before printing.
// The program never turns this on; initMessages(1, ...) turns it off.
void setAltTextMode(int on);

// Tests: while a capture string is set, printed text is appended to it
// instead of going to standard output.
void setMessageCapture(std::string* capture);

// Messages held back from work done before the run knows whether its results
// stand: while the hold is on, printed text is kept in it (the counters count
// as usual) until release() prints it or drop() forgets it and puts the
// counters back as they were. One hold at a time; the destructor releases.
class MessageHold {
public:
    MessageHold() = default;
    ~MessageHold() { release(); }
    MessageHold(const MessageHold&) = delete;
    MessageHold& operator=(const MessageHold&) = delete;

    void start();
    void release();
    void drop();
    bool on() const { return on_; }
    // Releases the hold that is on, if any: before a message that ends the run.
    static void releaseAny();

private:
    std::string text_;
    std::int32_t errors_ = 0;
    std::int32_t warnings_ = 0;
    bool on_ = false;
};

// The text for a "%s" argument that may be missing.
inline const char* orEmpty(const char* text) { return text ? text : ""; }
