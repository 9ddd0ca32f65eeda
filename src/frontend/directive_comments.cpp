#include "frontend/directive_comments.h"

namespace {

constexpr std::string_view kMarker = "//tavik";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

bool markerAt(std::string_view comment, std::size_t pos) {
    if (comment.compare(pos, kMarker.size(), kMarker) != 0) return false;
    std::size_t after = pos + kMarker.size();
    return after == comment.size() || isBlank(comment[after]);
}

// The directives of one line comment, which starts at `start` (its "//").
void splitComment(std::string_view source, std::size_t start, std::size_t end, unsigned line,
                  std::size_t lineStart, std::vector<DirectiveComment>& out) {
    std::string_view comment = source.substr(start, end - start);
    if (!markerAt(comment, 0)) return;
    std::size_t pos = 0;
    while (pos < comment.size()) {
        std::size_t next = pos + kMarker.size();
        while (next < comment.size() && !markerAt(comment, next)) ++next;
        DirectiveComment d;
        d.offset = static_cast<unsigned>(start + pos);
        d.line = line;
        d.column = static_cast<unsigned>(start + pos - lineStart + 1);
        d.text = trimmed(comment.substr(pos + kMarker.size(), next - pos - kMarker.size()));
        out.push_back(std::move(d));
        pos = next;
    }
}

}  // namespace

std::vector<DirectiveComment> scanDirectiveComments(std::string_view source) {
    std::vector<DirectiveComment> out;
    unsigned line = 1;
    std::size_t lineStart = 0;
    std::size_t i = 0;
    const std::size_t n = source.size();
    auto newline = [&](std::size_t at) {
        ++line;
        lineStart = at + 1;
    };
    while (i < n) {
        char c = source[i];
        if (c == '\n') {
            newline(i);
            ++i;
        } else if (c == '"' || c == '\'') {
            // A literal ends at its quote or, unterminated, at the line's end.
            ++i;
            while (i < n && source[i] != c && source[i] != '\n') {
                if (source[i] == '\\' && i + 1 < n) {
                    if (source[i + 1] == '\n') newline(i + 1);
                    ++i;
                }
                ++i;
            }
            if (i < n && source[i] == c) ++i;
        } else if (c == '/' && i + 1 < n && source[i + 1] == '*') {
            i += 2;
            while (i < n && !(source[i] == '*' && i + 1 < n && source[i + 1] == '/')) {
                if (source[i] == '\n') newline(i);
                ++i;
            }
            i = i < n ? i + 2 : n;
        } else if (c == '/' && i + 1 < n && source[i + 1] == '/') {
            std::size_t end = i;
            while (end < n && source[end] != '\n') ++end;
            splitComment(source, i, end, line, lineStart, out);
            i = end;
        } else {
            ++i;
        }
    }
    return out;
}

std::string_view directiveKeyword(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end]) && text[end] != ',') ++end;
    return text.substr(0, end);
}

DirectiveTarget directiveTarget(std::string_view keyword) {
    if (keyword == "module" || keyword == "unmodule" || keyword == "evFunc")
        return DirectiveTarget::Call;
    if (keyword == "unroll" || keyword == "roll") return DirectiveTarget::LoopOrCall;
    if (keyword == "translate_off" || keyword == "translate_on") return DirectiveTarget::BlockMarker;
    return DirectiveTarget::Declaration;
}
