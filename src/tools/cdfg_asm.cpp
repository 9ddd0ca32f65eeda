#include "tools/cdfg_asm.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>

#include "cdfg/validate.h"
#include "cdfg/vocabulary.h"
#include "tools/text_syntax.h"

namespace {

enum class TokenKind { Word, Text };

struct Token {
    TokenKind kind;
    std::string value;
};

constexpr std::size_t kMaxErrors = 100;

bool isClauseKeyword(const Token& t) {
    return t.kind == TokenKind::Word &&
           (t.value == "prev" || t.value == "next" || t.value == "jump" || t.value == "at" ||
            t.value == "count");
}

bool isLabelName(std::string_view name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

bool isAllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string describe(const Token* t) {
    if (!t) return "the end of the line";
    if (t->kind == TokenKind::Text) return "a quoted text";
    return "'" + t->value + "'";
}

// Splits a line into words and quoted texts; '#' outside a text starts a
// comment. Returns false with a message when a text is malformed.
bool tokenize(std::string_view line, std::vector<Token>& out, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string text;
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    error = "expected '\"' to close the text";
                    return false;
                }
                char d = line[i++];
                if (d == '"') break;
                if (d != '\\') {
                    text.push_back(d);
                    continue;
                }
                if (i >= line.size()) {
                    error = "expected an escape after '\\' in the text";
                    return false;
                }
                char e = line[i++];
                switch (e) {
                    case '"': text.push_back('"'); break;
                    case '\\': text.push_back('\\'); break;
                    case 'n': text.push_back('\n'); break;
                    case 't': text.push_back('\t'); break;
                    case 'r': text.push_back('\r'); break;
                    case 'x': {
                        int high = i < line.size() ? hexValue(line[i]) : -1;
                        int low = i + 1 < line.size() ? hexValue(line[i + 1]) : -1;
                        if (high < 0 || low < 0) {
                            error = "expected two hex digits after '\\x' in the text";
                            return false;
                        }
                        text.push_back(static_cast<char>(high * 16 + low));
                        i += 2;
                        break;
                    }
                    default:
                        error = std::string("expected one of \\\" \\\\ \\n \\t \\r \\xHH in the text, found '\\") +
                                e + "'";
                        return false;
                }
            }
            out.push_back({TokenKind::Text, std::move(text)});
        } else {
            std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '\f' && line[i] != '\v' && line[i] != '"' && line[i] != '#')
                ++i;
            out.push_back({TokenKind::Word, std::string(line.substr(start, i - start))});
        }
    }
    return true;
}

class Assembler {
public:
    Assembler(const std::string& sourceName, std::vector<std::string>& errors)
        : sourceName_(sourceName), errors_(errors) {}

    void line(std::string_view text, int lineNo) {
        lineNo_ = lineNo;
        tokens_.clear();
        std::string error;
        if (!tokenize(text, tokens_, error)) {
            fail(error);
            return;
        }
        if (tokens_.empty()) return;
        const Token& first = tokens_[0];
        if (first.kind == TokenKind::Text) {
            fail("expected a statement (node, an attribute, prev, next, jump, at, count, file, "
                 "line or bytes), found a quoted text");
            return;
        }
        const std::string& word = first.value;
        if (word == "node") {
            startRecord();
        } else if (word == "file") {
            defaultFile();
        } else if (word == "line") {
            defaultLine();
        } else if (word == "bytes") {
            rawBytes();
        } else if (!current_) {
            fail(afterBytes_ ? "expected 'bytes': nothing but bytes can follow them"
                             : "expected 'node' to start a record before " + describe(&first));
        } else if (isClauseKeyword(first)) {
            clauses(0);
        } else {
            attribute();
        }
    }

    bool finish(RecordFile& out) {
        resolveLabels();
        inferPrevLinks();
        reportFailures();
        if (!errors_.empty()) return false;
        out = std::move(file_);
        return true;
    }

private:
    struct RecordState {
        bool prevGiven = false, nextGiven = false, jumpGiven = false;
        bool countGiven = false, atGiven = false;
    };
    // A label use to be replaced by the labelled record's id.
    struct Fixup {
        std::size_t record;
        int field;  // 0 prev, 1 next, 2 jump, 3 attribute
        std::size_t attr;
        std::string label;
        int lineNo;
    };

    const Token* token(std::size_t i) const { return i < tokens_.size() ? &tokens_[i] : nullptr; }

    void fail(const std::string& message) { failAt(lineNo_, message); }
    void failAt(int lineNo, const std::string& message) { failures_.emplace_back(lineNo, message); }

    // The errors in line order (labels are checked at the end), at most
    // kMaxErrors of them.
    void reportFailures() {
        std::stable_sort(failures_.begin(), failures_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [lineNo, message] : failures_) {
            if (errors_.size() == kMaxErrors) {
                errors_.push_back(sourceName_ + ": too many errors; stopped reporting");
                break;
            }
            errors_.push_back(sourceName_ + ":" + std::to_string(lineNo) + ": " + message);
        }
    }

    FileRecord& record() { return file_.records[*current_]; }

    std::optional<std::uint32_t> unsignedWord(const Token* t) {
        if (!t || t->kind != TokenKind::Word) return std::nullopt;
        auto v = parseFieldInteger(t->value, 32, false);
        if (!v) return std::nullopt;
        return static_cast<std::uint32_t>(*v);
    }
    std::optional<std::uint32_t> signedOrUnsignedWord(const Token* t) {
        if (!t || t->kind != TokenKind::Word) return std::nullopt;
        auto v = parseFieldInteger(t->value, 32, true);
        if (!v) return std::nullopt;
        return static_cast<std::uint32_t>(*v);
    }

    void startRecord() {
        if (afterBytes_) {
            fail("expected 'bytes': no record can follow them");
            return;
        }
        std::size_t i = 1;
        std::vector<const Token*> head;
        while (token(i) && !isClauseKeyword(*token(i))) head.push_back(token(i++));
        std::string label;
        if (!head.empty() && head[0]->kind == TokenKind::Word && head[0]->value[0] == '@') {
            label = head[0]->value.substr(1);
            head.erase(head.begin());
            if (!isLabelName(label)) {
                fail("expected a label name (a letter or '_' followed by letters, digits or '_') "
                     "after '@', found '" + label + "'");
                label.clear();
            }
        }
        FileRecord r;
        r.fileName = defaultFile_;
        r.line = defaultLine_;
        r.column = defaultColumn_;
        bool ok = true;
        const Token* kindToken = nullptr;
        if (head.size() == 2) {
            auto id = unsignedWord(head[0]);
            if (!id) {
                fail("expected a node id (a number from 0 to 4294967295), found " + describe(head[0]));
                ok = false;
            } else {
                r.id = *id;
            }
            kindToken = head[1];
        } else if (head.size() == 1) {
            if (haveLastId_ && lastId_ == UINT32_MAX) {
                fail("expected an explicit id: the record before has the highest id");
                ok = false;
            }
            r.id = haveLastId_ ? lastId_ + 1 : 1;
            kindToken = head[0];
        } else {
            fail(head.empty() ? "expected a node kind after 'node'"
                              : "expected '[@label] [id] kind' after 'node', found " +
                                    std::to_string(head.size()) + " words");
            ok = false;
        }
        if (kindToken) {
            if (auto code = nodeKind(*kindToken)) {
                r.kind = *code;
            } else {
                fail("expected a node kind (a name such as CFG_FUNCTION, or a number), found " +
                     describe(kindToken));
                ok = false;
            }
        }
        lastId_ = r.id;
        haveLastId_ = true;
        file_.records.push_back(std::move(r));
        states_.emplace_back();
        current_ = file_.records.size() - 1;
        if (!label.empty()) {
            auto [it, inserted] = labels_.emplace(label, std::make_pair(lastId_, lineNo_));
            if (!inserted)
                fail("label @" + label + " is already defined on line " +
                     std::to_string(it->second.second));
        }
        if (ok) clauses(i);
    }

    std::optional<std::uint32_t> nodeKind(const Token& t) {
        if (t.kind != TokenKind::Word) return std::nullopt;
        if (std::isdigit(static_cast<unsigned char>(t.value[0]))) return unsignedWord(&t);
        if (std::uint32_t code = vocabKindCode(t.value)) return code;
        return std::nullopt;
    }

    // prev/next/jump/at/count clauses from token i to the end of the line.
    void clauses(std::size_t i) {
        FileRecord& r = record();
        RecordState& s = states_[*current_];
        while (const Token* t = token(i)) {
            if (!isClauseKeyword(*t)) {
                fail("expected prev, next, jump, at or count, found " + describe(t));
                return;
            }
            const std::string& word = t->value;
            bool* given = word == "prev"    ? &s.prevGiven
                          : word == "next"  ? &s.nextGiven
                          : word == "jump"  ? &s.jumpGiven
                          : word == "count" ? &s.countGiven
                                            : &s.atGiven;
            if (*given) {
                fail("'" + word + "' is given twice for this record");
                return;
            }
            *given = true;
            ++i;
            if (word == "prev" || word == "next" || word == "jump") {
                const int field = word == "prev" ? 0 : word == "next" ? 1 : 2;
                std::uint32_t& link = field == 0 ? r.prev : field == 1 ? r.next : r.jump;
                if (!reference(token(i), field, 0, link, "after '" + word + "'")) return;
                ++i;
            } else if (word == "count") {
                auto count = signedOrUnsignedWord(token(i));
                if (!count) {
                    fail("expected an attribute count (a number) after 'count', found " +
                         describe(token(i)));
                    return;
                }
                r.count = *count;
                ++i;
            } else {  // at [TEXT] LINE [COLUMN]
                if (token(i) && token(i)->kind == TokenKind::Text) {
                    if (!fitsText(token(i)->value)) return;
                    r.fileName = token(i)->value;
                    ++i;
                }
                auto lineValue = signedOrUnsignedWord(token(i));
                if (!lineValue) {
                    fail("expected a line number after 'at' (and its file name), found " +
                         describe(token(i)));
                    return;
                }
                r.line = *lineValue;
                r.column = 0;
                ++i;
                if (token(i) && !isClauseKeyword(*token(i))) {
                    auto column = signedOrUnsignedWord(token(i));
                    if (!column) {
                        fail("expected a column number or the next clause after the line, found " +
                             describe(token(i)));
                        return;
                    }
                    r.column = *column;
                    ++i;
                }
            }
        }
    }

    // A node reference: a number, @N or @label (resolved at the end).
    bool reference(const Token* t, int field, std::size_t attr, std::uint32_t& out,
                   const std::string& where) {
        if (t && t->kind == TokenKind::Word) {
            std::string_view v = t->value;
            if (v[0] == '@') {
                v.remove_prefix(1);
                if (isAllDigits(v)) {
                    if (auto id = parseFieldInteger(v, 32, false)) {
                        out = static_cast<std::uint32_t>(*id);
                        return true;
                    }
                } else if (isLabelName(v)) {
                    fixups_.push_back({*current_, field, attr, std::string(v), lineNo_});
                    return true;
                }
            } else if (auto id = unsignedWord(t)) {
                out = *id;
                return true;
            }
        }
        fail("expected a node (a number, @label or 0 for none) " + where + ", found " + describe(t));
        return false;
    }

    bool fitsText(const std::string& text) {
        if (text.size() <= kMaxTextLength) return true;
        fail("the text is " + std::to_string(text.size()) + " bytes long; at most " +
             std::to_string(kMaxTextLength) + " fit");
        return false;
    }

    std::optional<std::uint32_t> valueKindOf(const Token& t) {
        if (t.kind != TokenKind::Word || t.value.rfind("ATTR_", 0) != 0) return std::nullopt;
        if (std::uint32_t code = valueKindCode(t.value.c_str())) return code;
        std::string_view digits = std::string_view(t.value).substr(5);
        if (isAllDigits(digits))
            if (auto code = parseFieldInteger(digits, 32, false))
                return static_cast<std::uint32_t>(*code);
        return std::nullopt;
    }

    std::optional<std::uint64_t> integerValue(const Token* t, unsigned width) {
        if (!t || t->kind != TokenKind::Word) return std::nullopt;
        if (auto named = enumValueCode(t->value)) {
            const auto value = static_cast<std::int64_t>(*named);
            if (width < 64 && (value < -(std::int64_t{1} << (width - 1)) ||
                               value >= (std::int64_t{1} << width)))
                return std::nullopt;
            const std::uint64_t mask =
                width >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
            return static_cast<std::uint64_t>(value) & mask;
        }
        return parseFieldInteger(t->value, width, true);
    }

    void attribute() {
        FileRecord& r = record();
        const Token& name = tokens_[0];
        RecordAttr a;
        if (std::isdigit(static_cast<unsigned char>(name.value[0]))) {
            auto id = unsignedWord(&name);
            if (!id) {
                fail("expected an attribute number from 0 to 4294967295, found " + describe(&name));
                return;
            }
            a.id = *id;
        } else {
            const char* kind = vocabKindName(r.kind);
            if (!kind) {
                fail("expected an attribute number: node kind " + std::to_string(r.kind) +
                     " has no attribute names, found " + describe(&name));
                return;
            }
            std::int64_t code = vocabAttrCode(r.kind, name.value);
            if (code < 0) {
                const char* example = vocabAttrName(r.kind, 1);
                fail(std::string("expected an attribute of ") + kind + " (a name" +
                     (example ? std::string(" such as ") + example : std::string()) +
                     ", or a number), found " + describe(&name));
                return;
            }
            a.id = static_cast<std::uint32_t>(code);
        }

        std::size_t i = 1;
        const Token* t = token(i);
        std::optional<std::uint32_t> explicitKind;
        if (t && t->kind == TokenKind::Word && t->value.rfind("ATTR_", 0) == 0) {
            explicitKind = valueKindOf(*t);
            if (!explicitKind) {
                fail("expected a value kind (ATTR_CHAR, ATTR_INT, ATTR_LONGLONG, ATTR_FLOAT, "
                     "ATTR_STRING, ATTR_NODE or ATTR_ and a number), found " + describe(t));
                return;
            }
            t = token(++i);
        }
        const std::size_t valueTokens = explicitKind && !valueKindHasValue(*explicitKind) ? 0 : 1;
        if (const Token* extra = token(i + valueTokens)) {
            fail(valueTokens == 0 ? "expected the end of the line (" + tokens_[1].value +
                                        " carries no value), found " + describe(extra)
                                  : "expected the end of the line after the value, found " +
                                        describe(extra));
            return;
        }
        const std::size_t attrIndex = r.attrs.size();
        if (explicitKind) {
            a.valueKind = *explicitKind;
            if (!explicitValue(a, t, attrIndex)) return;
        } else if (!inferredValue(a, t, attrIndex)) {
            return;
        }
        r.attrs.push_back(std::move(a));
        if (!states_[*current_].countGiven) r.count = static_cast<std::uint32_t>(r.attrs.size());
    }

    bool explicitValue(RecordAttr& a, const Token* t, std::size_t attrIndex) {
        const std::string kind = valueKindName(a.valueKind)
                                     ? valueKindName(a.valueKind)
                                     : "ATTR_" + std::to_string(a.valueKind);
        switch (a.valueKind) {
            case ATTR_CHAR:
            case ATTR_INT:
            case ATTR_LONGLONG: {
                const unsigned width = a.valueKind == ATTR_CHAR ? 8 : a.valueKind == ATTR_INT ? 32 : 64;
                auto v = integerValue(t, width);
                if (!v) {
                    fail("expected an integer that fits " + std::to_string(width) +
                         " bits (or a value name) after " + kind + ", found " + describe(t));
                    return false;
                }
                a.bits = *v;
                return true;
            }
            case ATTR_FLOAT: {
                auto v = t && t->kind == TokenKind::Word ? parseFloatBits(t->value) : std::nullopt;
                if (!v) {
                    fail("expected a floating value (such as 0.5, 1e-3, or 0x and 16 hex digits "
                         "of its bits) after ATTR_FLOAT, found " + describe(t));
                    return false;
                }
                a.bits = *v;
                return true;
            }
            case ATTR_STRING:
                if (!t || t->kind != TokenKind::Text) {
                    fail("expected a quoted text after ATTR_STRING, found " + describe(t));
                    return false;
                }
                if (!fitsText(t->value)) return false;
                a.text = t->value;
                return true;
            case ATTR_NODE: {
                std::uint32_t id = 0;
                if (!reference(t, 3, attrIndex, id, "after ATTR_NODE")) return false;
                a.bits = id;
                return true;
            }
            default:
                return true;  // a value kind that carries no value
        }
    }

    bool inferredValue(RecordAttr& a, const Token* t, std::size_t attrIndex) {
        if (t && t->kind == TokenKind::Text) {
            a.valueKind = ATTR_STRING;
            if (!fitsText(t->value)) return false;
            a.text = t->value;
            return true;
        }
        if (t && t->value[0] == '@') {
            a.valueKind = ATTR_NODE;
            std::uint32_t id = 0;
            if (!reference(t, 3, attrIndex, id, "")) return false;
            a.bits = id;
            return true;
        }
        if (t) {
            if (auto v = integerValue(t, 32)) {
                a.valueKind = ATTR_INT;
                a.bits = *v;
                return true;
            }
            if (parseFieldInteger(t->value, 64, true)) {
                fail("expected a value that fits 32 bits, found " + describe(t) +
                     "; write ATTR_LONGLONG before a 64-bit value");
                return false;
            }
            if (auto bits = parseFloatBits(t->value)) {
                a.valueKind = ATTR_FLOAT;
                a.bits = *bits;
                return true;
            }
        }
        fail("expected a value (a number, a quoted text, @label or a value name such as "
             "DECL_VALTYPE_INT), found " + describe(t));
        return false;
    }

    void defaultFile() {
        const Token* t = token(1);
        if (!t || t->kind != TokenKind::Text) {
            fail("expected a quoted file name after 'file', found " + describe(t));
            return;
        }
        if (!fitsText(t->value)) return;
        if (token(2)) {
            fail("expected the end of the line after the file name, found " + describe(token(2)));
            return;
        }
        defaultFile_ = t->value;
    }

    void defaultLine() {
        auto lineValue = signedOrUnsignedWord(token(1));
        if (!lineValue) {
            fail("expected a line number after 'line', found " + describe(token(1)));
            return;
        }
        std::uint32_t column = 0;
        if (token(2)) {
            auto c = signedOrUnsignedWord(token(2));
            if (!c || token(3)) {
                fail("expected 'line LINE [COLUMN]', found " + describe(token(c ? 3 : 2)));
                return;
            }
            column = *c;
        }
        defaultLine_ = *lineValue;
        defaultColumn_ = column;
    }

    void rawBytes() {
        current_.reset();
        afterBytes_ = true;
        for (std::size_t i = 1; i < tokens_.size(); ++i) {
            const Token& t = tokens_[i];
            bool ok = t.kind == TokenKind::Word && t.value.size() % 2 == 0;
            for (std::size_t j = 0; ok && j < t.value.size(); ++j) ok = hexValue(t.value[j]) >= 0;
            if (!ok) {
                fail("expected bytes as pairs of hex digits, found " + describe(&t));
                return;
            }
            for (std::size_t j = 0; j < t.value.size(); j += 2)
                file_.tail.push_back(
                    static_cast<char>(hexValue(t.value[j]) * 16 + hexValue(t.value[j + 1])));
        }
    }

    void resolveLabels() {
        for (const Fixup& f : fixups_) {
            auto found = labels_.find(f.label);
            if (found == labels_.end()) {
                failAt(f.lineNo, "expected a defined label, found @" + f.label);
                continue;
            }
            const std::uint32_t id = found->second.first;
            FileRecord& r = file_.records[f.record];
            switch (f.field) {
                case 0: r.prev = id; break;
                case 1: r.next = id; break;
                case 2: r.jump = id; break;
                default: r.attrs[f.attr].bits = id; break;
            }
        }
    }

    // A record written without 'prev' takes the node that names it as NextId,
    // else the first node that owns it through an attribute, else none: the
    // links a front end writes.
    void inferPrevLinks() {
        std::unordered_map<std::uint32_t, std::size_t> byId;
        byId.reserve(file_.records.size());
        for (std::size_t i = 0; i < file_.records.size(); ++i) byId[file_.records[i].id] = i;
        std::vector<bool> decided(file_.records.size(), false);
        for (std::size_t i = 0; i < file_.records.size(); ++i) decided[i] = states_[i].prevGiven;
        auto claim = [&](std::uint32_t target, std::uint32_t owner) {
            if (target == 0) return;
            auto found = byId.find(target);
            if (found == byId.end() || decided[found->second]) return;
            file_.records[found->second].prev = owner;
            decided[found->second] = true;
        };
        for (const FileRecord& r : file_.records) claim(r.next, r.id);
        for (const FileRecord& r : file_.records)
            for (const RecordAttr& a : r.attrs)
                if (a.valueKind == ATTR_NODE && isOwningAttribute(r.kind, a.id))
                    claim(static_cast<std::uint32_t>(a.bits), r.id);
    }

    const std::string& sourceName_;
    std::vector<std::string>& errors_;
    std::vector<std::pair<int, std::string>> failures_;  // line, message
    RecordFile file_;
    std::vector<RecordState> states_;
    std::vector<Fixup> fixups_;
    std::unordered_map<std::string, std::pair<std::uint32_t, int>> labels_;  // id, line
    std::vector<Token> tokens_;
    std::optional<std::size_t> current_;
    std::string defaultFile_;
    std::uint32_t defaultLine_ = 0;
    std::uint32_t defaultColumn_ = 0;
    std::uint32_t lastId_ = 0;
    bool haveLastId_ = false;
    bool afterBytes_ = false;
    int lineNo_ = 0;
};

}  // namespace

bool assembleText(std::string_view text, const std::string& sourceName, RecordFile& out,
                  std::vector<std::string>& errors) {
    errors.clear();
    Assembler assembler(sourceName, errors);
    int lineNo = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        assembler.line(text.substr(start, end - start), ++lineNo);
        start = end + 1;
    }
    return assembler.finish(out);
}
