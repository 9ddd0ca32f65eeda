// The findings of a check in the forms that people, editors and CI read.
#pragma once

#include <string>
#include <vector>

#include "tavik/findings.h"

// "file:line:col: error: text [E506]", one line per finding, then the totals
// line when the checker ran and counted something.
std::string formatGcc(const std::vector<Finding>& findings, const std::string& totals);

// As gcc, each finding followed by its source line and a marker under the
// column; colour on request (a terminal without NO_COLOR).
std::string formatText(const std::vector<Finding>& findings, const std::string& totals, bool colour);

// One SARIF 2.1.0 log. docsUri is the URI of docs/messages.md, the rules'
// help; problem, when not empty, is why the tool could not do its work.
std::string formatSarif(const std::vector<Finding>& findings, const std::string& problem,
                        const std::string& docsUri, const std::string& version);

// A path as a URI reference relative to the working directory.
std::string uriOfPath(const std::string& path);
