// The rate map a built movie carries: for each second of playback, how many stream bytes
// playback consumes in it. Computed from where each object ends in the stream and the frame
// that first needs it, at the movie's frame rate: by the end of second s, every object a frame
// of that second needs, and everything before it in the stream, must have arrived.
#pragma once

#include <cstdint>
#include <vector>

namespace skvc {

struct StreamSpan {
    int64_t end = 0;      // offset just past the object in the inflated content
    int32_t neededAt = 0; // the first frame that needs it; 0 = before playing; -1 = never
};

// Compressed offsets are estimated in proportion to the inflated ones; the 32-byte header counts
// into the first second. One entry per second of `frames` frames at `fps`, at least one.
std::vector<int32_t> computeRateMap(const std::vector<StreamSpan>& spans, int64_t inflatedTotal,
                                    int64_t compressedTotal, int32_t frames, int32_t fps);

} // namespace skvc
