// The text form of a CDFG file, record by record; cdfg_asm turns it back
// into the same bytes.
#pragma once

#include <string>

#include "tools/cdfg_records.h"

std::string dumpRecords(const RecordFile& file);
