// Built-ins on texts and numbers: chars, charToNum, numToChar, length, offset, integer, value
// and string.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "script/builtinops.h"
#include "script/scripterror.h"

namespace skv::builtin {

namespace {

[[noreturn]] void notANumber() {
    throw ProxyError{kProxyNotANumber};
}

// A decimal integer with optional leading white space and sign; nothing may follow it. The
// empty text is 0; a number beyond 32 bits is held at the nearest limit.
int32_t readInteger(const char* s) {
    const char* p = s;
    while (*p == ' ' || (*p >= 9 && *p <= 13))
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    const char* digits = p;
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v <= int64_t(INT32_MAX) + 1) v = v * 10 + (*p - '0');
        ++p;
    }
    if (p == digits) {
        // No number at all: nothing was read, so only the empty text has nothing following.
        if (*s == 0) return 0;
        notANumber();
    }
    if (*p != 0) notANumber();
    if (negative) v = -v;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

} // namespace

ScriptValue chars(BuiltinCall& c) {
    std::string_view t = c.text(0);
    int64_t first = c.num(1), last = c.num(2);
    const int64_t len = static_cast<int64_t>(t.size());
    if (first < 1) first = 1;
    if (last > len) last = len;
    if (last < first || last < 1) return makeString("");
    return makeString(t.substr(size_t(first - 1), size_t(last - first + 1)));
}

ScriptValue charToNum(BuiltinCall& c) {
    return ScriptValue::integer(static_cast<int8_t>(c.text(0)[0]));
}

ScriptValue numToChar(BuiltinCall& c) {
    const char ch = static_cast<char>(c.num(0) & 0xFF);
    return makeString(std::string_view(&ch, 1).substr(0, ch ? 1 : 0));
}

ScriptValue length(BuiltinCall& c) {
    return ScriptValue::integer(static_cast<int32_t>(std::strlen(c.text(0))));
}

ScriptValue offsetText(BuiltinCall& c) {
    std::string_view needle = c.text(0), hay = c.text(1);
    if (needle.empty() || needle.size() > hay.size()) return ScriptValue::integer(0);
    auto lower = [](char ch) { return std::tolower(static_cast<unsigned char>(ch)); };
    for (size_t at = 0; at + needle.size() <= hay.size(); ++at) {
        size_t i = 0;
        while (i < needle.size() && lower(hay[at + i]) == lower(needle[i]))
            ++i;
        if (i == needle.size()) return ScriptValue::integer(static_cast<int32_t>(at + 1));
    }
    return ScriptValue::integer(0);
}

ScriptValue integerSame(BuiltinCall& c) {
    return ScriptValue::integer(c.num(0));
}

ScriptValue integerText(BuiltinCall& c) {
    return ScriptValue::integer(readInteger(c.text(0)));
}

ScriptValue integerUnsupported(BuiltinCall&) {
    notANumber();
}

ScriptValue stringInteger(BuiltinCall& c) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%d", c.num(0));
    return makeString(std::string_view(buf, size_t(n)));
}

ScriptValue stringText(BuiltinCall& c) {
    // A copy of its own: the argument stays the caller's.
    return makeString(c.text(0));
}

ScriptValue stringSymbol(BuiltinCall& c) {
    // The name table's own text, lent.
    return ScriptValue::borrowed(c.raw[0] ? c.text(0) : nullptr);
}

ScriptValue stringPoint(BuiltinCall& c) {
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "point(%d, %d)", c.pointH(0), c.pointV(0));
    return makeString(std::string_view(buf, size_t(n)));
}

ScriptValue stringRect(BuiltinCall& c) {
    BuiltinRect r = c.rect(0);
    char buf[64];
    int n =
        std::snprintf(buf, sizeof buf, "rect(%d, %d, %d, %d)", r.left, r.top, r.right, r.bottom);
    return makeString(std::string_view(buf, size_t(n)));
}

} // namespace skv::builtin
