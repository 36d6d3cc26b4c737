// Helpers for the 16-byte identifiers that name classes and objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/win32.h"

namespace skv {

inline bool guidEqual(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool guidIsNull(const GUID& g) {
    return guidEqual(g, GUID{});
}

// The text form used in diagnostics: lower-case hexadecimal, no braces.
std::string guidText(const GUID& g);
// Parses the text form (braces optional, either case); false when malformed.
bool guidParse(const char* text, GUID* out);

// The identifier of member number n: Data1, Data2 and Data3 are n, every Data4 byte is n & 0xFF.
GUID memberGuid(int32_t n);

struct GuidHash {
    size_t operator()(const GUID& g) const noexcept;
};
struct GuidEq {
    bool operator()(const GUID& a, const GUID& b) const noexcept { return guidEqual(a, b); }
};

} // namespace skv
