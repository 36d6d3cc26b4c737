#include "script/asmsyntax.h"

#include <cctype>
#include <cstdio>

namespace skv {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

} // namespace

bool parseNumber(std::string_view s, int64_t* out) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    int base = 10;
    if (s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        int d = hexDigit(s[i]);
        if (d < 0 || d >= base) return false;
        v = v * base + d;
        if (v > (int64_t(1) << 40)) return false;
    }
    *out = neg ? -v : v;
    return true;
}

bool isIdentifier(std::string_view s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

bool readEscape(std::string_view text, size_t& i, std::string* out, std::string* message) {
    if (i >= text.size()) {
        *message = "a backslash ends the line: write \\\\ for a backslash";
        return false;
    }
    const char e = text[i++];
    switch (e) {
    case 'n':
        *out += '\n';
        return true;
    case 'r':
        *out += '\r';
        return true;
    case 't':
        *out += '\t';
        return true;
    case '\\':
    case '"':
    case '\'':
        *out += e;
        return true;
    case 'x': {
        int h = i < text.size() ? hexDigit(text[i]) : -1;
        int l = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (h < 0 || l < 0) {
            *message = "\\x needs two hexadecimal digits";
            return false;
        }
        *out += static_cast<char>(h * 16 + l);
        i += 2;
        return true;
    }
    default:
        *message =
            std::string("unknown escape \\") + e + " (write \\n \\r \\t \\\\ \\\" \\' or \\xHH)";
        return false;
    }
}

bool splitAsmLine(std::string_view line, AsmLine* out, std::string* message) {
    *out = AsmLine{};
    size_t i = 0;
    bool first = true;
    while (i < line.size()) {
        if (isSpace(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == ';') break;
        std::string tok;
        bool quoted = false;
        if (line[i] == '"') {
            quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    tok += c;
                    continue;
                }
                if (!readEscape(line, i, &tok, message)) return false;
            }
            if (!closed) {
                *message = "text without its closing quote";
                return false;
            }
        } else {
            while (i < line.size() && !isSpace(line[i]) && line[i] != ';')
                tok += line[i++];
        }
        if (first && !quoted && tok.size() > 1 && tok.back() == ':' &&
            isIdentifier(std::string_view(tok).substr(0, tok.size() - 1))) {
            out->labels.push_back(tok.substr(0, tok.size() - 1));
            continue;
        }
        if (first && !quoted) {
            out->word = tok;
            first = false;
            continue;
        }
        if (first) {
            *message = "a line cannot start with a text";
            return false;
        }
        out->args.push_back(tok);
        out->quoted.push_back(quoted);
    }
    return true;
}

std::string quoteText(std::string_view text) {
    std::string s = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            s += "\\\"";
            break;
        case '\\':
            s += "\\\\";
            break;
        case '\n':
            s += "\\n";
            break;
        case '\r':
            s += "\\r";
            break;
        case '\t':
            s += "\\t";
            break;
        default:
            if (u < 0x20 || u >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", u);
                s += buf;
            } else {
                s += c;
            }
        }
    }
    return s + "\"";
}

} // namespace skv
