#include "core/guid.h"

#include <cctype>
#include <cstdio>

namespace skv {

std::string guidText(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%8.8x-%4.4x-%4.4x-%2.2x%2.2x-%2.2x%2.2x%2.2x%2.2x%2.2x%2.2x",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
} // namespace

bool guidParse(const char* text, GUID* out) {
    if (!text) return false;
    std::string s(text);
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
    uint8_t bytes[16];
    size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (s[pos] == '-') ++pos;
        int hi = hexValue(s[pos]), lo = hexValue(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    GUID g;
    g.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
              bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    *out = g;
    return true;
}

GUID memberGuid(int32_t n) {
    GUID g;
    g.Data1 = static_cast<uint32_t>(n);
    g.Data2 = static_cast<uint16_t>(n);
    g.Data3 = static_cast<uint16_t>(n);
    std::memset(g.Data4, n & 0xFF, 8);
    return g;
}

size_t GuidHash::operator()(const GUID& g) const noexcept {
    uint32_t d4 = uint32_t(g.Data4[0]) | (uint32_t(g.Data4[1]) << 8) |
                  (uint32_t(g.Data4[2]) << 16) | (uint32_t(g.Data4[3]) << 24);
    return g.Data1 + g.Data2 + g.Data3 + d4;
}

} // namespace skv
