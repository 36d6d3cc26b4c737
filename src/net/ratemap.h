// skvRateMap: how many stream bytes each successive second of playback consumes. The movie stream
// compares it with the measured transfer rate to decide how much to buffer before playing.
//
// Stored form, after the object header:
//
// | size      | field                                             |
// |-----------|---------------------------------------------------|
// | 2         | int16 count (a negative count is refused)         |
// | 4 × count | int32 entries, little-endian, one per second      |
#pragma once

#include <cstdint>
#include <memory>

#include "core/object.h"

namespace skv {

class skvRateMap : public skvObject {
public:
    skvRateMap();

    int32_t sizeHint() override { return 4 * count + 8; }
    void serialize(uArchive& ar) override;
    // Slot 8: always 1.
    virtual int32_t valid() { return 1; }

    // Replaces the entries (count values, at most INT16_MAX).
    void assign(const int32_t* values, int16_t n);

    // The largest amount by which playback, consuming entries[from .. to-1] second by second,
    // runs ahead of a download at `rate` bytes per second; never negative. A negative `from`
    // means 0, a negative `to` means count; both are kept within the map.
    int32_t maxDeficit(int32_t rate, int32_t from = -1, int32_t to = -1) const;

    int16_t count = 0;
    std::unique_ptr<int32_t[]> entries;
};

} // namespace skv
