#include "script/scriptvalue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/errors.h"

namespace skv {

namespace {

// One block: the header, then `size` bytes of data, 8-aligned (sizeof header) for the int16s.
intptr_t newBlock(const void* data, size_t size, size_t extraZeros) {
    size_t total = sizeof(detail::SharedHeader) + size + extraZeros;
    auto* h = static_cast<detail::SharedHeader*>(std::malloc(total));
    if (!h) throw CoreError{kErrAllocFailed};
    h->refs = 1;
    h->size = static_cast<uint32_t>(size);
    auto* bytes = reinterpret_cast<char*>(h + 1);
    if (size) std::memcpy(bytes, data, size);
    std::memset(bytes + size, 0, extraZeros);
    return reinterpret_cast<intptr_t>(bytes);
}

} // namespace

ScriptValue makeString(std::string_view text) {
    return {vtString, 1, newBlock(text.data(), text.size(), 1)};
}

ScriptValue makePoint(int16_t h, int16_t v) {
    int16_t f[2] = {v, h};
    return {vtPoint, 1, newBlock(f, sizeof f, 0)};
}

ScriptValue makeRect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    int16_t f[4] = {top, left, bottom, right};
    return {vtRect, 1, newBlock(f, sizeof f, 0)};
}

void dropShared(intptr_t payload) {
    std::free(detail::headerOf(payload));
}

ScriptValue copyValue(const ScriptValue& v) {
    if (v.owned) return shareValue(v);
    if (v.type == vtLiteral && v.payload) {
        const char* t = reinterpret_cast<const char*>(v.payload);
        ScriptValue c = makeString(t);
        c.type = vtLiteral;
        return c;
    }
    return v;
}

ScriptValue toText(const ScriptValue& v) {
    if (v.isText()) return shareValue(v);
    if (v.type == vtInteger) {
        char buf[16];
        int n = std::snprintf(buf, sizeof buf, "%d", static_cast<int32_t>(v.payload));
        return makeString(std::string_view(buf, static_cast<size_t>(n)));
    }
    return ScriptValue::borrowed("");
}

} // namespace skv
