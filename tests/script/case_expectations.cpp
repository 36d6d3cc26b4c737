#include "case_expectations.h"

#include <cctype>
#include <cstdlib>
#include <optional>

#include "script/scriptvalue.h"

namespace skvtest::cases {

namespace {

using namespace skv;

// The words that start a value and the type each stands for. Points and rects have no written
// form: no case needs one yet.
struct TypeWord {
    const char* word;
    uint32_t type;
};
constexpr TypeWord kTypeWords[] = {
    {"none", vtNone},       {"string", vtString}, {"void", vtVoid},   {"object", vtObject},
    {"integer", vtInteger}, {"symbol", vtSymbol}, {"float", vtFloat}, {"literal", vtLiteral},
};

// Reads one expectation; the first thing it cannot read becomes `error` and stops it.
class Reader {
public:
    explicit Reader(std::string_view s) : s_(s) {}

    bool atEnd() {
        skipSpace();
        return pos_ >= s_.size();
    }
    bool take(char c) {
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool need(char c, const char* what) {
        if (take(c)) return true;
        return fail(std::string("expected '") + c + "' " + what);
    }
    // An identifier, or empty (nothing consumed) when none starts here.
    std::string word() {
        skipSpace();
        size_t end = pos_;
        if (end < s_.size() && (std::isalpha(uchar(s_[end])) || s_[end] == '_'))
            while (end < s_.size() && (std::isalnum(uchar(s_[end])) || s_[end] == '_'))
                ++end;
        std::string w(s_.substr(pos_, end - pos_));
        pos_ = end;
        return w;
    }
    bool takeWord(std::string_view w) {
        size_t save = pos_;
        if (word() == w) return true;
        pos_ = save;
        return false;
    }
    bool needWord(std::string_view w, const char* what) {
        if (takeWord(w)) return true;
        return fail("expected '" + std::string(w) + "' " + what);
    }
    bool startsNumber() {
        skipSpace();
        return pos_ < s_.size() &&
               (std::isdigit(uchar(s_[pos_])) || s_[pos_] == '-' || s_[pos_] == '+');
    }
    bool startsText() {
        skipSpace();
        return pos_ < s_.size() && s_[pos_] == '"';
    }
    // A signed 32-bit number, decimal or 0x hexadecimal.
    std::optional<int32_t> number(const char* what) {
        skipSpace();
        size_t p = pos_;
        bool negative = false;
        if (p < s_.size() && (s_[p] == '-' || s_[p] == '+')) negative = s_[p++] == '-';
        int base = 10;
        if (s_.substr(p, 2) == "0x" || s_.substr(p, 2) == "0X") {
            base = 16;
            p += 2;
        }
        int64_t v = 0;
        size_t digits = 0;
        for (; p < s_.size() && std::isxdigit(uchar(s_[p])); ++p, ++digits) {
            if (base == 10 && !std::isdigit(uchar(s_[p]))) break;
            int d =
                std::isdigit(uchar(s_[p])) ? s_[p] - '0' : std::tolower(uchar(s_[p])) - 'a' + 10;
            if (v <= (int64_t(1) << 32)) v = v * base + d; // past that it only has to be too big
        }
        if (digits == 0 || (p < s_.size() && (std::isalnum(uchar(s_[p])) || s_[p] == '_'))) {
            fail(std::string("expected a number ") + what);
            return std::nullopt;
        }
        if (negative) v = -v;
        if (v < INT32_MIN || v > INT32_MAX) {
            fail("the number " + std::string(s_.substr(pos_, p - pos_)) + " " + what +
                 " does not fit in 32 bits");
            return std::nullopt;
        }
        pos_ = p;
        return static_cast<int32_t>(v);
    }
    // A quoted text with the escapes of the assembly's texts: \" \\ \n \r \t \xHH.
    std::optional<std::string> quoted(const char* what) {
        if (!take('"')) {
            fail(std::string("expected a quoted text ") + what);
            return std::nullopt;
        }
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) break;
            char e = s_[pos_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x':
                if (pos_ + 2 <= s_.size() && std::isxdigit(uchar(s_[pos_])) &&
                    std::isxdigit(uchar(s_[pos_ + 1]))) {
                    out += char(std::strtol(std::string(s_.substr(pos_, 2)).c_str(), nullptr, 16));
                    pos_ += 2;
                    break;
                }
                [[fallthrough]];
            default:
                fail(std::string("unknown escape \\") + e + " in a text " + what);
                return std::nullopt;
            }
        }
        if (pos_ >= s_.size()) {
            fail(std::string("the text ") + what + " has no closing quote");
            return std::nullopt;
        }
        ++pos_;
        return out;
    }
    // What is left, for a message about it.
    std::string rest() {
        skipSpace();
        return std::string(s_.substr(pos_));
    }

    bool fail(std::string message) {
        if (error.empty()) error = std::move(message);
        return false;
    }
    std::string error;

private:
    static unsigned char uchar(char c) { return static_cast<unsigned char>(c); }
    void skipSpace() {
        while (pos_ < s_.size() && std::isspace(uchar(s_[pos_])))
            ++pos_;
    }
    std::string_view s_;
    size_t pos_ = 0;
};

// VALUE: 5 | "text" | integer 5 | string "t" | literal "t" | symbol 5 | symbol name | object 5 |
// float [5] | void | none.
std::optional<CaseValue> readValue(Reader& r, const char* what) {
    CaseValue v;
    if (r.startsNumber()) {
        auto n = r.number(what);
        if (!n) return std::nullopt;
        v.type = vtInteger;
        v.num = *n;
        return v;
    }
    if (r.startsText()) {
        auto t = r.quoted(what);
        if (!t) return std::nullopt;
        v.type = vtString;
        v.text = *t;
        return v;
    }
    const std::string w = r.word();
    const TypeWord* tw = nullptr;
    for (const TypeWord& k : kTypeWords)
        if (w == k.word) tw = &k;
    if (!tw) {
        r.fail("expected a value " + std::string(what) +
               " (a number, a quoted text, integer N, "
               "string \"t\", literal \"t\", symbol N, object N, float, void or none), not '" +
               (w.empty() ? r.rest() : w) + "'");
        return std::nullopt;
    }
    v.type = tw->type;
    switch (tw->type) {
    case vtString:
    case vtLiteral: {
        auto t = r.quoted(what);
        if (!t) return std::nullopt;
        v.text = *t;
        return v;
    }
    case vtSymbol:
        if (!r.startsNumber()) {
            v.name = r.word();
            if (v.name.empty()) {
                r.fail("expected a nameId or a name after 'symbol' " + std::string(what));
                return std::nullopt;
            }
            return v;
        }
        [[fallthrough]];
    case vtInteger:
    case vtObject: {
        auto n = r.number(what);
        if (!n) return std::nullopt;
        v.num = *n;
        return v;
    }
    case vtFloat:
        if (r.startsNumber()) {
            auto n = r.number(what);
            if (!n) return std::nullopt;
            v.num = *n;
        }
        return v;
    default: // none, void
        return v;
    }
}

// After "expect": the whole grammar, one form per line of the README.
std::optional<Step> readStep(Reader& r) {
    Step st;
    auto returnsOrRaises = [&]() -> bool {
        if (r.take(':')) {
            auto v = readValue(r, "for what the handler returns");
            if (!v) return false;
            st.kind = StepKind::kReturns;
            st.value = *v;
            return true;
        }
        if (r.takeWord("error")) {
            auto c = r.number("after 'error' (the script error code)");
            if (!c) return false;
            if (*c == 0) return r.fail("error 0 is no error: expect the value the handler returns");
            st.kind = StepKind::kRaises;
            st.code = *c;
            return true;
        }
        return r.fail("expected ': VALUE' or 'error CODE', not '" + r.rest() + "'");
    };

    // A handler by index or by name.
    auto handler = [&](const char* after) -> bool {
        if (!r.startsNumber()) {
            st.handlerName = r.word();
            if (!st.handlerName.empty()) return true;
        }
        const std::string what = std::string("after '") + after + "' (the handler's index or name)";
        auto h = r.number(what.c_str());
        if (!h) return false;
        if (*h < 0) return r.fail("a handler index is 0 or more");
        st.handler = *h;
        return true;
    };

    if (r.takeWord("handler")) {
        if (!handler("handler")) return std::nullopt;
        if (r.take('(')) {
            if (!r.take(')')) {
                do {
                    auto a = readValue(r, "as an argument");
                    if (!a) return std::nullopt;
                    st.args.push_back(*a);
                } while (r.take(','));
                if (!r.need(')', "after the arguments")) return std::nullopt;
            }
        }
        if (!returnsOrRaises()) return std::nullopt;
    } else if (r.takeWord("event")) {
        st.kind = StepKind::kEvent;
        if (!handler("event")) return std::nullopt;
        if (!r.need(':', "after the event's handler")) return std::nullopt;
        if (r.takeWord("completes")) {
            st.completes = true;
        } else if (r.takeWord("fails")) {
            st.completes = false;
        } else {
            r.fail("an event 'completes' or 'fails', not '" + r.rest() + "'");
            return std::nullopt;
        }
    } else if (r.takeWord("global")) {
        st.kind = StepKind::kGlobal;
        if (r.startsNumber()) {
            auto n = r.number("for the global's nameId");
            if (!n) return std::nullopt;
            st.global = std::to_string(*n);
        } else {
            st.global = r.word();
            if (st.global.empty()) {
                r.fail("expected the global's name or nameId after 'global'");
                return std::nullopt;
            }
        }
        if (!r.need(':', "after the global")) return std::nullopt;
        auto v = readValue(r, "for the global's value");
        if (!v) return std::nullopt;
        st.value = *v;
    } else if (r.takeWord("assembly")) {
        st.kind = StepKind::kAssemblyError;
        if (!r.needWord("error", "after 'assembly'") ||
            !r.needWord("at", "after 'assembly error'") ||
            !r.needWord("line", "after 'assembly error at'"))
            return std::nullopt;
        auto n = r.number("for the line of the assembly error");
        if (!n) return std::nullopt;
        if (*n < 0) {
            r.fail("a line number is 0 or more");
            return std::nullopt;
        }
        st.errorLine = *n;
        if (r.take(':')) {
            auto m = r.quoted("for a part of the error's message");
            if (!m) return std::nullopt;
            st.errorMessage = *m;
        }
    } else if (!returnsOrRaises()) {
        return std::nullopt;
    }
    if (!r.atEnd()) {
        r.fail("unexpected '" + r.rest() + "' after the expectation");
        return std::nullopt;
    }
    return st;
}

// Where the comment of a line starts, or npos: the first marker outside a quoted text.
size_t commentStart(std::string_view line, std::string_view marker) {
    bool inText = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (inText) {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                inText = false;
        } else if (line[i] == '"') {
            inText = true;
        } else if (line.substr(i, marker.size()) == marker) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool isBlank(std::string_view s) {
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

std::string describe(uint32_t type, int32_t num, std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '"':
            escaped += "\\\"";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\t':
            escaped += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                const char* hex = "0123456789ABCDEF";
                escaped += "\\x";
                escaped += hex[(c >> 4) & 0xF];
                escaped += hex[c & 0xF];
            } else {
                escaped += c;
            }
        }
    }
    switch (type) {
    case vtInteger:
        return std::to_string(num);
    case vtString:
        return "\"" + escaped + "\"";
    case vtLiteral:
        return "literal \"" + escaped + "\"";
    case vtNone:
        return "none";
    case vtVoid:
        return "void";
    case vtFloat:
        return num ? "float " + std::to_string(num) : "float";
    case vtSymbol:
        return "symbol " + std::to_string(num);
    case vtObject:
        return "object " + std::to_string(num);
    case vtPoint:
        return "point";
    case vtRect:
        return "rect";
    default:
        return "type " + std::to_string(type) + " " + std::to_string(num);
    }
}

Expectations readExpectations(std::string_view text, std::string_view comment) {
    Expectations out;
    int lineNo = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNo;
        at = end + 1;

        size_t c = commentStart(line, comment);
        if (c == std::string_view::npos) continue;
        std::string_view body = line.substr(c + comment.size());
        while (!body.empty() && std::isspace(static_cast<unsigned char>(body.front())))
            body.remove_prefix(1);
        // "expect" as a word of its own: a comment that says "expected ..." is prose.
        if (body.substr(0, 6) != "expect") continue;
        if (body.size() > 6 && body[6] != ':' && !std::isspace(static_cast<unsigned char>(body[6])))
            continue;
        if (!isBlank(line.substr(0, c))) {
            out.problems.push_back(
                {lineNo, "an expectation stands on a line of its own, not after code"});
            continue;
        }
        Reader r(body.substr(6));
        std::optional<Step> st = readStep(r);
        if (!st) {
            out.problems.push_back({lineNo, "malformed expectation: " + r.error});
            continue;
        }
        st->line = lineNo;
        out.steps.push_back(std::move(*st));
    }
    // A text that does not assemble runs nothing, so nothing else can be expected of it.
    for (const Step& st : out.steps)
        if (st.kind == StepKind::kAssemblyError && out.steps.size() > 1)
            out.problems.push_back({st.line, "an assembly error is a file's only expectation"});
    return out;
}

std::string describe(const CaseValue& v) {
    if (v.type == vtSymbol && !v.name.empty()) return "symbol " + v.name;
    return describe(v.type, v.num, v.text);
}

} // namespace skvtest::cases
