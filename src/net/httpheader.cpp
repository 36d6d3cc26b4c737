#include "net/httpheader.h"

#include <cstdio>
#include <cstring>

namespace skv {

namespace {

constexpr int32_t kShortReply = -1;

// One line with its CR LF into `line` (NUL-terminated); false when it does not end in time.
bool readLine(const ReadByte& readByte, char (&line)[kHttpLineLimit + 1], int* length) {
    int n = 0;
    while (n < kHttpLineLimit) {
        char c;
        if (!readByte(c)) return false;
        line[n++] = c;
        if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
            line[n] = '\0';
            *length = n;
            return true;
        }
    }
    return false;
}

int32_t errorForStatus(int status) {
    switch (status) {
    case 200:
        return 0;
    case 204:
    case 205:
    case 206:
    case 404:
        return -404;
    case 401:
    case 402:
    case 406:
        return -401;
    case 403:
        return -403;
    default:
        return -500;
    }
}

bool startsWithNoCase(const char* s, const char* prefix) {
    for (; *prefix; ++s, ++prefix) {
        char a = *s >= 'A' && *s <= 'Z' ? static_cast<char>(*s - 'A' + 'a') : *s;
        char b = *prefix >= 'A' && *prefix <= 'Z' ? static_cast<char>(*prefix - 'A' + 'a')
                                                  : *prefix;
        if (a != b) return false;
    }
    return true;
}

// The decimal number at `s` as atoi reads it, held to the int32 range.
int32_t decimalAt(const char* s) {
    while (*s == ' ' || *s == '\t')
        ++s;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > INT32_MAX) v = int64_t{INT32_MAX} + 1;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

} // namespace

int32_t parseHttpHeader(const ReadByte& readByte, int32_t* contentLength) {
    if (contentLength) *contentLength = -1;
    char line[kHttpLineLimit + 1];
    int length = 0;
    if (!readLine(readByte, line, &length)) return kShortReply;
    int status = 0;
    if (std::sscanf(line, "HTTP/%*f %d", &status) != 1) status = 0;
    if (int32_t error = errorForStatus(status)) return error;
    for (;;) {
        if (!readLine(readByte, line, &length)) return kShortReply;
        if (std::strcmp(line, "\r\n") == 0 || std::strcmp(line, " \r\n") == 0) return 0;
        static constexpr char kName[] = "Content-Length:";
        if (contentLength && startsWithNoCase(line, kName)) {
            // The value starts two characters after the ':', past the customary space.
            int at = static_cast<int>(sizeof kName - 1) + 1;
            *contentLength = at < length ? decimalAt(line + at) : 0;
        }
    }
}

} // namespace skv
