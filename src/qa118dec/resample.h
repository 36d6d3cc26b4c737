// Band-limited resampling of whole sounds: a windowed sinc, centred, so that a sound resampled
// one way and back keeps its timing.
//
// Each output frame's weights depend only on where it falls between input frames. For two
// whole-number rates that position repeats every outRate ÷ gcd(inRate, outRate) frames, so the
// weights of those few phases are worked out once and reused for the whole sound: a sound's
// length then costs multiply-adds only, not a sine and two cosines per tap. Rates whose phases
// would not fit a small table get each frame's weights worked out once for all its channels.
#pragma once

#include <cstddef>
#include <vector>

namespace qa118 {

// What a resample cost: the kernel weights it worked out (a sine and two cosines each).
struct ResampleCost {
    size_t kernelWeights = 0;
};

// `in` holds `frames` interleaved frames of `channels`; the result holds `outFrames` frames at
// outRate, frame j taken at input position j × inRate ÷ outRate.
std::vector<float> resample(const std::vector<float>& in, size_t frames, unsigned channels,
                            double inRate, double outRate, size_t outFrames,
                            ResampleCost* cost = nullptr);

} // namespace qa118
