// Pieces of the CDFG text form shared by the dump, the assembler and the
// Graphviz writer: quoted texts, numbers and the names of enumerated values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text in double quotes; printable ASCII stands as it is, ", \ and the
// control and non-ASCII bytes are escaped (\" \\ \n \t \r \xHH), so that any
// byte sequence survives and the result is plain ASCII.
std::string quoteText(std::string_view text);

// The vocabulary's lookups, remembered: the vocabulary scans its tables on
// every call, and the tools look up names for every record and attribute.
const char* vocabKindName(std::uint32_t kind);
std::uint32_t vocabKindCode(const std::string& name);
const char* vocabAttrName(std::uint32_t kind, std::uint32_t attr);
std::int64_t vocabAttrCode(std::uint32_t kind, const std::string& name);

// Name of an enumerated value of an attribute (DECL_VALTYPE_FLOAT for
// CfgDecl_VALTYPE 8, CALC_Add for DfgOpe_TYPE 14...), nullptr when the
// attribute has no named values or the value has no name.
const char* enumValueName(std::uint32_t kind, std::uint32_t attr, std::int32_t value);
// Value of an enumerated value name, whatever attribute it belongs to.
std::optional<std::int32_t> enumValueCode(std::string_view name);

// A binary64 bit pattern as a decimal that reads back to the same bits
// (always with a '.' or an exponent), or as 0x and 16 hex digits when the
// value is not finite.
std::string formatFloatBits(std::uint64_t bits);
// Reads what formatFloatBits writes and any decimal floating literal.
std::optional<std::uint64_t> parseFloatBits(std::string_view token);

// A decimal or 0x-hex integer with an optional minus sign that fits a field
// of the given width in bits: unsigned up to 2^width - 1, or negative down
// to -2^(width-1) when negatives are allowed. Returns the two's complement
// bits of the field.
std::optional<std::uint64_t> parseFieldInteger(std::string_view token, unsigned width,
                                               bool allowNegative);
