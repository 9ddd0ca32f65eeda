// What a check found, in one form for every output format: the checker's
// numbered messages and the front end's diagnostics.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cdfg/graph.h"

struct Finding {
    std::string rule;   // "E506", "W601"; "compiler" for the front end's diagnostics
    std::string level;  // "error", "warning" or "note"
    std::string file;   // empty: about the program as a whole
    unsigned line = 0;
    unsigned column = 0;  // 0: not known
    std::string message;
};

// The numbered messages of the checker's output, in order. Lines of the
// checker's own problems (a damaged file, a constraint file it cannot read)
// go to problems; the totals line and empty lines are skipped.
std::vector<Finding> parseCheckerOutput(const std::string& out, std::vector<std::string>& problems);

// The column of a finding: that of the graph node the message is about, found
// by the message's kind of construct, its line and the name it quotes; else
// the first node of its line; 1 when the line has none. The one place where
// a message gets its column.
class ColumnFinder {
public:
    explicit ColumnFinder(const CdfgGraph& g);
    unsigned column(const Finding& f) const;

private:
    const CdfgGraph& g_;
    std::map<std::pair<std::string, unsigned>, std::vector<NodeId>> byLine_;
};
