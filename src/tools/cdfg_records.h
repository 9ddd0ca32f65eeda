// A CDFG file as the bytes hold it, record by record: every attribute entry
// in file order (repeated identifiers and value kinds that carry no value
// included), the attribute count word as written, and whatever bytes follow
// the last complete record. Encoding a parsed file gives back the same bytes,
// which the graph reader cannot promise since it merges and drops entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RecordAttr {
    std::uint32_t id = 0;
    std::uint32_t valueKind = 0;
    // ATTR_CHAR: the byte; ATTR_INT and ATTR_NODE: 32 bits; ATTR_LONGLONG:
    // 64 bits; ATTR_FLOAT: the binary64 bit pattern. Unused otherwise.
    std::uint64_t bits = 0;
    std::string text;  // ATTR_STRING
};

struct FileRecord {
    std::uint32_t id = 0;
    std::uint32_t kind = 0;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t jump = 0;
    // The count word as written. A reader takes it as signed: a negative
    // count is followed by no entries; otherwise it equals attrs.size().
    std::uint32_t count = 0;
    std::vector<RecordAttr> attrs;
    std::string fileName;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::size_t offset = 0;  // where the record starts in the parsed bytes
};

struct RecordFile {
    std::vector<FileRecord> records;
    // Bytes after the last complete record: a record cut short.
    std::string tail;
    std::size_t tailOffset = 0;
};

// Longest text a 16-bit length field can describe.
inline constexpr std::size_t kMaxTextLength = 0xFFFF;

// True when entries of this value kind are followed by value bytes.
bool valueKindHasValue(std::uint32_t valueKind);

// Splits bytes into records the way the graph reader does; never fails.
RecordFile parseRecords(std::string_view bytes);
// The bytes of the records followed by the tail. A text longer than
// kMaxTextLength is cut to that length.
std::string encodeRecords(const RecordFile& file);
// The bytes of the records alone.
std::string encodeRecords(const std::vector<FileRecord>& records);

// Whole file into out; path "-" reads standard input. False when unreadable.
bool readWholeFile(const std::string& path, std::string& out);
// Writes data to path, "-" meaning standard output. False on failure.
bool writeWholeFile(const std::string& path, std::string_view data);
