#include "script/langlexer.h"

#include <cctype>

#include "script/asmsyntax.h"

namespace skv {

namespace {

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// A quoted text or name from line[i] (the opening quote); i ends after the closing one.
bool readQuoted(std::string_view line, size_t& i, std::string* out, std::string* message) {
    const char quote = line[i++];
    while (i < line.size()) {
        char c = line[i++];
        if (c == quote) return true;
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (!readEscape(line, i, out, message)) return false;
    }
    *message = quote == '"' ? "this text has no closing \"" : "this name has no closing '";
    return false;
}

} // namespace

bool langTokenize(std::string_view line, int lineNo, std::vector<LangToken>* out,
                  LangError* error) {
    size_t i = 0;
    auto fail = [&](size_t at, std::string message) {
        error->pos = {lineNo, int(at) + 1};
        error->message = std::move(message);
        LangToken end;
        end.pos = {lineNo, int(line.size()) + 1};
        out->push_back(end);
        return false;
    };
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') break;
        LangToken t;
        t.pos = {lineNo, int(i) + 1};
        if (isNameStart(c)) {
            size_t s = i;
            while (i < line.size() && isNameChar(line[i]))
                ++i;
            t.kind = LangToken::Kind::kName;
            t.text = std::string(line.substr(s, i - s));
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t s = i;
            bool hex =
                c == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X');
            if (hex) {
                i += 2;
                while (i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])))
                    ++i;
            } else {
                while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
                    ++i;
            }
            bool isFloat = false;
            if (!hex && i + 1 < line.size() && line[i] == '.' &&
                std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
                isFloat = true;
                ++i;
                while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
                    ++i;
            }
            if (!hex && i < line.size() && (line[i] == 'e' || line[i] == 'E')) {
                size_t e = i + 1;
                if (e < line.size() && (line[e] == '+' || line[e] == '-')) ++e;
                if (e < line.size() && std::isdigit(static_cast<unsigned char>(line[e]))) {
                    isFloat = true;
                    i = e;
                    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
                        ++i;
                }
            }
            if (i < line.size() && isNameChar(line[i]))
                return fail(i, "a number cannot run into a name: put a space between them");
            t.text = std::string(line.substr(s, i - s));
            if (isFloat) {
                t.kind = LangToken::Kind::kFloat;
            } else {
                int64_t v = 0;
                if (!parseNumber(t.text, &v) || v > 4294967295LL)
                    return fail(s, "the number " + t.text + " is too large (at most 4294967295)");
                t.kind = LangToken::Kind::kInt;
                t.value = v;
            }
        } else if (c == '"' || c == '\'') {
            std::string message;
            if (!readQuoted(line, i, &t.text, &message)) return fail(t.pos.column - 1, message);
            t.kind = c == '"' ? LangToken::Kind::kText : LangToken::Kind::kName;
            t.quoted = c == '\'';
            if (t.quoted && t.text.empty()) return fail(t.pos.column - 1, "a name cannot be empty");
        } else if (c == '#') {
            ++i;
            t.kind = LangToken::Kind::kSymbol;
            if (i < line.size() && line[i] == '\'') {
                std::string message;
                if (!readQuoted(line, i, &t.text, &message)) return fail(i, message);
            } else if (i < line.size() && isNameStart(line[i])) {
                size_t s = i;
                while (i < line.size() && isNameChar(line[i]))
                    ++i;
                t.text = std::string(line.substr(s, i - s));
            } else {
                return fail(i - 1, "a symbol is # and a name: #next, #fadeIn, #'any text'");
            }
            if (t.text.empty()) return fail(i - 1, "a symbol's name cannot be empty");
        } else {
            static const char* const kTwo[] = {"<>", "<=", ">=", "&&"};
            t.kind = LangToken::Kind::kOp;
            for (const char* two : kTwo)
                if (line.substr(i, 2) == two) t.text = two;
            if (t.text.empty()) {
                if (std::string_view("()[],=<>+-*/&").find(c) == std::string_view::npos)
                    return fail(i, std::string("unexpected character '") + c + "'");
                t.text = std::string(1, c);
            }
            i += t.text.size();
        }
        out->push_back(std::move(t));
    }
    LangToken end;
    end.pos = {lineNo, int(line.size()) + 1};
    out->push_back(end);
    return true;
}

std::string langTextLiteral(std::string_view text) {
    return quoteText(text);
}

} // namespace skv
