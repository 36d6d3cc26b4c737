#include "ratemapbuilder.h"

#include <algorithm>

namespace skvc {

std::vector<int32_t> computeRateMap(const std::vector<StreamSpan>& spans, int64_t inflatedTotal,
                                    int64_t compressedTotal, int32_t frames, int32_t fps) {
    fps = std::max(fps, 1);
    const int32_t seconds = std::max<int32_t>(1, (std::max(frames, 1) + fps - 1) / fps);
    std::vector<int64_t> need(static_cast<size_t>(seconds), 0);
    const int64_t header = 32;
    for (const StreamSpan& s : spans) {
        if (s.neededAt < 0) continue;
        const int32_t second = s.neededAt <= 1 ? 0 : std::min(seconds - 1, (s.neededAt - 1) / fps);
        const int64_t compressedEnd =
            header +
            (inflatedTotal > 0 ? (compressedTotal * s.end + inflatedTotal / 2) / inflatedTotal : 0);
        need[static_cast<size_t>(second)] =
            std::max(need[static_cast<size_t>(second)], compressedEnd);
    }
    need[0] = std::max(need[0], header);
    std::vector<int32_t> entries(need.size());
    int64_t had = 0;
    for (size_t i = 0; i < need.size(); ++i) {
        const int64_t upTo = std::max(had, need[i]);
        entries[i] = static_cast<int32_t>(std::min<int64_t>(upTo - had, INT32_MAX));
        had = upTo;
    }
    return entries;
}

} // namespace skvc
