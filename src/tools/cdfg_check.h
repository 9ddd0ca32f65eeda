// Structural faults of a CDFG file that a front end or a hand edit can
// introduce: references to ids that do not exist, duplicate or decreasing
// ids, NextId/PrevId links that disagree or loop, entries a reader drops,
// owned subtrees that form a cycle, and a record cut short by the end of the
// file.
#pragma once

#include <string>
#include <vector>

#include "tools/cdfg_records.h"

// One line per fault, in file order; empty when the file is clean.
std::vector<std::string> checkRecords(const RecordFile& file);
