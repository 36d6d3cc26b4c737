#include "net/parmmgr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/abandon.h"
#include "core/errors.h"
#include "platform/win32.h"

namespace skv {

namespace {

bool isBlank(const char* text) {
    return text == nullptr || *text == '\0';
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Attribute names are ASCII; the C library's case-blind compare would follow the locale.
bool sameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (lowerAscii(*a) != lowerAscii(*b)) return false;
    return *a == *b;
}

std::unique_ptr<char[]> copyText(const char* text) {
    size_t n = std::strlen(text) + 1;
    auto out = std::make_unique<char[]>(n);
    std::memcpy(out.get(), text, n);
    return out;
}

// A diagnostic line for a debugger, not for the user's terminal.
template <typename... Args> void diagnostic(const char* format, Args... args) {
    char line[2200];
    std::snprintf(line, sizeof line, format, args...);
    OutputDebugStringA(line);
}

} // namespace

parmMgr::~parmMgr() {
    for (int32_t i = 0; i < count_; ++i) {
        diagnostic("parmMgr: deleting pair %s=%s\n", pairs_[i]->name.get(), pairs_[i]->value.get());
        pairs_[i].reset();
    }
    count_ = 0;
}

int32_t parmMgr::addPair(const char* name, const char* value) {
    if (isBlank(name) || isBlank(value)) throw CoreError{kErrNullArgument};
    diagnostic("parmMgr::addPair(%s, %s)\n", name, value);
    if (count_ >= kMaxPairs) {
        abandoned("parmMgr::addPair", "%s is dropped: the list already holds %d attributes", name,
                  int(kMaxPairs));
        return 0;
    }
    std::unique_ptr<Pair> pair;
    try {
        pair = std::make_unique<Pair>();
        pair->name = copyText(name);
        pair->value = copyText(value);
    } catch (...) {
        diagnostic("parmMgr::addPair: out of memory copying %s\n", name);
        throw;
    }
    pairs_[count_++] = std::move(pair);
    return 1;
}

int32_t parmMgr::indexOf(const char* name) const {
    for (int32_t i = 0; i < count_; ++i)
        if (sameName(pairs_[i]->name.get(), name)) return i;
    return -1;
}

const char* parmMgr::find(const char* name) const {
    if (isBlank(name)) return nullptr;
    int32_t i = indexOf(name);
    return i < 0 ? nullptr : pairs_[i]->value.get();
}

int32_t parmMgr::getValue(const char* name, char* out, int32_t capacity) {
    if (isBlank(name) || out == nullptr || capacity < 1) throw CoreError{kErrNullArgument};
    int32_t i = indexOf(name);
    if (i < 0) return 0;
    const char* value = pairs_[i]->value.get();
    size_t n = std::min(std::strlen(value), static_cast<size_t>(capacity - 1));
    std::memcpy(out, value, n);
    out[n] = '\0';
    return 1;
}

int32_t parmMgr::removePair(const char* name) {
    if (isBlank(name)) throw CoreError{kErrNullArgument};
    int32_t i = indexOf(name);
    if (i < 0) return 0;
    pairs_[i].reset();
    for (int32_t j = i; j + 1 < count_; ++j)
        pairs_[j] = std::move(pairs_[j + 1]);
    --count_;
    return 1;
}

} // namespace skv
