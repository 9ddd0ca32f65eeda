#include "tavik/report.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "report/messages.h"

namespace {

std::string location(const Finding& f) {
    if (f.file.empty()) return "tavik:";
    if (f.line == 0) return f.file + ":";
    return f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column ? f.column : 1) + ":";
}

std::string ruleSuffix(const Finding& f) { return f.rule == "compiler" ? "" : " [" + f.rule + "]"; }

// The lines of the source files findings point at, read once each.
class SourceLines {
public:
    const std::string* line(const std::string& file, unsigned number) {
        auto it = files_.find(file);
        if (it == files_.end()) {
            std::vector<std::string> lines;
            std::ifstream in(file, std::ios::binary);
            for (std::string l; in && std::getline(in, l);) {
                if (!l.empty() && l.back() == '\r') l.pop_back();
                lines.push_back(std::move(l));
            }
            it = files_.emplace(file, std::move(lines)).first;
        }
        if (number == 0 || number > it->second.size()) return nullptr;
        return &it->second[number - 1];
    }

private:
    std::map<std::string, std::vector<std::string>> files_;
};

constexpr const char* kBold = "\033[1m";
constexpr const char* kReset = "\033[0m";

const char* levelColour(const std::string& level) {
    if (level == "error") return "\033[1;31m";
    if (level == "warning") return "\033[1;35m";
    return "\033[1;36m";
}

}  // namespace

std::string formatGcc(const std::vector<Finding>& findings, const std::string& totals) {
    std::string out;
    for (const Finding& f : findings)
        out += location(f) + " " + f.level + ": " + f.message + ruleSuffix(f) + "\n";
    return out + totals;
}

std::string formatText(const std::vector<Finding>& findings, const std::string& totals, bool colour) {
    std::string out;
    SourceLines sources;
    for (const Finding& f : findings) {
        if (colour)
            out += std::string(kBold) + location(f) + kReset + " " + levelColour(f.level) + f.level +
                   ":" + kReset + " " + kBold + f.message + ruleSuffix(f) + kReset + "\n";
        else
            out += location(f) + " " + f.level + ": " + f.message + ruleSuffix(f) + "\n";
        const std::string* source = f.file.empty() ? nullptr : sources.line(f.file, f.line);
        if (!source) continue;
        out += *source + "\n";
        // Tabs stay tabs so that the marker lines up under the construct.
        std::string marker;
        unsigned column = f.column ? f.column : 1;
        for (unsigned i = 0; i + 1 < column && i < source->size(); ++i)
            marker += (*source)[i] == '\t' ? '\t' : ' ';
        out += colour ? marker + "\033[1;32m^" + kReset + "\n" : marker + "^\n";
    }
    return out + totals;
}

std::string uriOfPath(const std::string& path) {
    std::string uri;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::string_view("-._~/").find(static_cast<char>(c)) != std::string_view::npos) {
            uri += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            uri += buf;
        }
    }
    return uri;
}

std::string formatSarif(const std::vector<Finding>& findings, const std::string& problem,
                        const std::string& docsUri, const std::string& version) {
    using json = nlohmann::ordered_json;
    json rules = json::array();
    std::map<std::string, std::size_t> ruleIndex;
    for (const MessageRow* row = programCatalogue(); row->code != -1; ++row) {
        if (row->code == MSG_FREE_FORM) continue;
        char letter = row->kind == MSG_ERROR ? 'E' : row->kind == MSG_WARNING ? 'W' : 'M';
        char id[8];
        std::snprintf(id, sizeof id, "%c%03d", letter, row->code);
        std::string text = row->text;
        if (text.rfind("%s:%d:", 0) == 0) text = text.substr(6);
        else if (text.rfind("::", 0) == 0) text = text.substr(2);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
        std::string anchor = id;
        for (char& c : anchor) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ruleIndex[id] = rules.size();
        rules.push_back({{"id", id},
                         {"shortDescription", {{"text", text}}},
                         {"helpUri", docsUri + "#" + anchor},
                         {"defaultConfiguration", {{"level", letter == 'W' ? "warning" : "error"}}}});
    }
    ruleIndex["compiler"] = rules.size();
    rules.push_back({{"id", "compiler"},
                     {"shortDescription", {{"text", "A diagnostic of the C compiler of the front end."}}}});

    json results = json::array();
    for (const Finding& f : findings) {
        json result = {{"ruleId", f.rule}, {"level", f.level}, {"message", {{"text", f.message}}}};
        auto it = ruleIndex.find(f.rule);
        if (it != ruleIndex.end()) result["ruleIndex"] = it->second;
        if (!f.file.empty()) {
            json physical = {{"artifactLocation", {{"uri", uriOfPath(f.file)}}}};
            if (f.line) physical["region"] = {{"startLine", f.line}, {"startColumn", f.column ? f.column : 1}};
            result["locations"] = json::array({{{"physicalLocation", physical}}});
        }
        results.push_back(result);
    }
    bool compiled = true;
    for (const Finding& f : findings) compiled = compiled && !(f.rule == "compiler" && f.level == "error");
    json invocation = {{"executionSuccessful", compiled && problem.empty()}};
    if (!problem.empty())
        invocation["toolExecutionNotifications"] =
            json::array({{{"level", "error"}, {"message", {{"text", problem}}}}});
    json log = {
        {"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
        {"version", "2.1.0"},
        {"runs", json::array({{{"tool",
                                {{"driver",
                                  {{"name", "tavik"},
                                   {"version", version},
                                   {"informationUri", docsUri},
                                   {"rules", rules}}}}},
                               {"invocations", json::array({invocation})},
                               {"results", results}}})}};
    return log.dump(2) + "\n";
}
