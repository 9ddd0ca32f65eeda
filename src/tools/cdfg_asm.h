// The assembler of the CDFG text form: what cdfg_dump writes, and the
// hand-written form with names, comments, labels and numbered-for-you ids
// (described in docs/cdfg-format.md).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/cdfg_records.h"

// Turns the text into records. Each error is one line
// "sourceName:line: what was expected"; the result is true when there was
// none, and out is only filled then.
bool assembleText(std::string_view text, const std::string& sourceName, RecordFile& out,
                  std::vector<std::string>& errors);
