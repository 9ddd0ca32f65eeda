// Parser of the text of a tool directive ("module", "fixedP S 16:8", ...)
// into a structured record. It never reports anything: text it cannot read
// becomes a default value, and an unknown keyword yields no record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum DirectiveKind : std::int32_t {
    DIRECTIVE_INPUT = 0,
    DIRECTIVE_OUTPUT = 1,
    DIRECTIVE_FIXEDP = 2,
    DIRECTIVE_INT = 3,
    DIRECTIVE_MODULE = 4,
    DIRECTIVE_UNMODULE = 5,
    DIRECTIVE_UNROLL = 6,
    DIRECTIVE_ROLL = 7,
    DIRECTIVE_EVFUNC = 8,
    DIRECTIVE_SCALE = 9,
    DIRECTIVE_TRANSLATE_OFF = 10,
    DIRECTIVE_TRANSLATE_ON = 11,
};

// Fields a kind does not read stay zero.
struct DirectiveRecord {
    DirectiveKind kind = DIRECTIVE_INPUT;
    // input, output: the directive that follows the keyword, if any.
    std::unique_ptr<DirectiveRecord> nested;
    // fixedP, int: 1 for a sign word beginning with 'S', 2 for 'U', else 0.
    std::int32_t sign = 0;
    // fixedP, int, scale: firstNumber; fixedP: secondNumber, thirdNumber.
    std::int32_t firstNumber = 0;
    std::int32_t secondNumber = 0;
    std::int32_t thirdNumber = 0;
    // fixedP, int: 1 'i', 0 's', -1 other or none.
    std::int32_t overflowMode = 0;
    // fixedP: 0 'r', 1 't', -1 other or none.
    std::int32_t roundingMode = 0;
    // output: the value and the percentage.
    double firstValue = 0.0;
    double percentValue = 0.0;
    // roll: the loop or function name; empty when the text names none.
    std::string name;
    // roll: 0 for ":expand", else 1.
    std::int32_t expandMode = 0;
};

// Parses one NUL-terminated directive text (not modified). Returns nullptr
// for a null or empty text, an unknown keyword, or when memory runs out.
// The record (with its nested record) is released with the pointer.
std::unique_ptr<DirectiveRecord> parseDirectiveText(const char* text);
