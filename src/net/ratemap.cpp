#include "net/ratemap.h"

#include <algorithm>
#include <climits>
#include <new>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"

namespace skv {

skvRateMap::skvRateMap() {
    setClassId(CLSID_skvRateMap);
}

void skvRateMap::assign(const int32_t* values, int16_t n) {
    if (n < 0) n = 0;
    entries.reset(n ? new int32_t[n]() : nullptr);
    std::copy(values, values + n, entries.get());
    count = n;
}

void skvRateMap::serialize(uArchive& ar) {
    if (ar.isStoring()) {
        skvObject::serialize(ar);
        ar.writeInt16(count);
        for (int16_t i = 0; i < count; ++i)
            ar.writeInt32(entries[i]);
        return;
    }
    int16_t n = ar.readInt16();
    // No writer stores a negative count; the stream is corrupt from here on, which the reader
    // treats like a stream that ends.
    if (n < 0) throw CoreError{kErrShortRead};
    std::unique_ptr<int32_t[]> fresh;
    if (n > 0) {
        fresh.reset(new (std::nothrow) int32_t[n]());
        if (!fresh) throw CoreError{kErrAllocFailed};
        for (int16_t i = 0; i < n; ++i)
            fresh[i] = ar.readInt32();
    }
    entries = std::move(fresh);
    count = n;
}

int32_t skvRateMap::maxDeficit(int32_t rate, int32_t from, int32_t to) const {
    if (from < 0) from = 0;
    if (to < 0 || to > count) to = count;
    // Up to 32767 entries of up to 2^31 each: the running sum needs more than 32 bits.
    int64_t sum = 0;
    int64_t result = 0;
    for (int32_t i = from; i < to; ++i) {
        sum += int64_t(entries[i]) - rate;
        result = std::max(result, sum);
    }
    return static_cast<int32_t>(std::min<int64_t>(result, INT32_MAX));
}

} // namespace skv
