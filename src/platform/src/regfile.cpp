// Parsing of the registry configuration file (see regfile.h and docs/registry.md).
#include "regfile.h"

#include <cctype>

namespace skv::platform::registry {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && lowerAscii(s.substr(0, prefix.size())) == prefix;
}

// The root spellings a section may start with, and the name each stands for.
struct RootName {
    std::string_view spelling;
    std::string_view canonical;
};
constexpr RootName kRoots[] = {
    {"hkey_current_user", "hkey_current_user"},   {"hkcu", "hkey_current_user"},
    {"hkey_local_machine", "hkey_local_machine"}, {"hklm", "hkey_local_machine"},
    {"hkey_classes_root", "hkey_classes_root"},   {"hkcr", "hkey_classes_root"},
};

// "hkey_current_user\software\x" from a section name; empty when the root is unknown.
std::string sectionPath(std::string_view name) {
    std::string path = normalizePath(trim(name));
    for (const RootName& r : kRoots) {
        if (path.compare(0, r.spelling.size(), r.spelling) != 0) continue;
        if (path.size() == r.spelling.size()) return std::string(r.canonical);
        if (path[r.spelling.size()] == '\\')
            return std::string(r.canonical) + path.substr(r.spelling.size());
    }
    return {};
}

// A quoted text with the escapes \\ and \" starting at s[0] == '"'. Sets `rest` to what follows
// the closing quote. False when the quote is not closed.
bool readQuoted(std::string_view s, std::string* out, std::string_view* rest) {
    out->clear();
    for (size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            *rest = s.substr(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) c = s[++i];
        out->push_back(c);
    }
    return false;
}

bool parseDword(std::string_view hex, DWORD* out) {
    if (hex.empty() || hex.size() > 8) return false;
    DWORD v = 0;
    for (char c : hex) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    *out = v;
    return true;
}

// One value line; an empty string on success, else why it was refused.
std::string parseValueLine(std::string_view line, Key* key) {
    Value v;
    std::string_view rest;
    if (line.front() == '@') {
        rest = line.substr(1); // the key's default value has the empty name
    } else if (line.front() == '"') {
        if (!readQuoted(line, &v.name, &rest)) return "the value name's quote is not closed";
    } else {
        return "expected \"Name\"=... or @=...";
    }
    rest = trim(rest);
    if (rest.empty() || rest.front() != '=') return "expected '=' after the value name";
    rest = trim(rest.substr(1));
    if (!rest.empty() && rest.front() == '"') {
        std::string text;
        std::string_view after;
        if (!readQuoted(rest, &text, &after)) return "the value's quote is not closed";
        if (!trim(after).empty()) return "text after the closing quote";
        v.type = REG_SZ;
        v.data.assign(text.begin(), text.end());
        v.data.push_back(0);
    } else if (startsWithNoCase(rest, "dword:")) {
        DWORD d = 0;
        if (!parseDword(trim(rest.substr(6)), &d)) return "dword: takes up to 8 hex digits";
        v.type = REG_DWORD;
        v.data = {static_cast<BYTE>(d), static_cast<BYTE>(d >> 8), static_cast<BYTE>(d >> 16),
                  static_cast<BYTE>(d >> 24)};
    } else {
        return "a value is \"text\" or dword:hhhhhhhh";
    }
    std::string id = lowerAscii(v.name);
    (*key)[id] = std::move(v); // a later line for the same name wins, as in an import
    return {};
}

} // namespace

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string normalizePath(std::string_view path) {
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return lowerAscii(path);
}

Store parseStore(std::string_view text) {
    Store store;
    Key* current = nullptr;
    size_t lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        std::string_view line = trim(raw);
        if (lineNumber == 1 && line.size() >= 3 && static_cast<unsigned char>(line[0]) == 0xEF &&
            static_cast<unsigned char>(line[1]) == 0xBB &&
            static_cast<unsigned char>(line[2]) == 0xBF)
            line = trim(line.substr(3)); // a UTF-8 byte order mark
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (lineNumber == 1 && (startsWithNoCase(line, "windows registry editor") ||
                                startsWithNoCase(line, "regedit4")))
            continue; // the heading of an export
        auto problem = [&](const std::string& why) {
            store.problems.push_back("line " + std::to_string(lineNumber) + ": " + why);
        };
        if (line.front() == '[') {
            current = nullptr;
            if (line.back() != ']') {
                problem("a section is written [HKEY_CURRENT_USER\\...]");
                continue;
            }
            std::string path = sectionPath(line.substr(1, line.size() - 2));
            if (path.empty()) {
                problem("a section starts with HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or "
                        "HKEY_CLASSES_ROOT");
                continue;
            }
            current = &store.keys[path];
            continue;
        }
        if (!current) {
            problem("a value outside a [key] section");
            continue;
        }
        std::string why = parseValueLine(line, current);
        if (!why.empty()) problem(why);
    }
    return store;
}

std::string proxyServerFromEnvironment(std::string_view httpProxy) {
    std::string_view s = trim(httpProxy);
    size_t scheme = s.find("://");
    if (scheme != std::string_view::npos) {
        // Only a plain HTTP proxy speaks the requests the player sends.
        if (lowerAscii(s.substr(0, scheme)) != "http") return {};
        s.remove_prefix(scheme + 3);
    }
    size_t slash = s.find('/');
    if (slash != std::string_view::npos) s = s.substr(0, slash);
    size_t at = s.rfind('@');
    if (at != std::string_view::npos) s.remove_prefix(at + 1); // user:password@
    size_t colon = s.find(':');
    std::string_view host = s.substr(0, colon);
    if (host.empty()) return {};
    for (char c : host) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == '[' || c == ';' || c == '=')
            return {};
    }
    if (colon == std::string_view::npos) return std::string(host);
    std::string_view port = s.substr(colon + 1);
    if (port.empty()) return std::string(host);
    if (port.size() > 5) return {};
    unsigned n = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return {};
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n == 0 || n > 65535) return {};
    return std::string(host) + ":" + std::string(port);
}

} // namespace skv::platform::registry
