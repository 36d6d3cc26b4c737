// Band-limited resampling of whole sounds: a windowed sinc, centred, so that a sound resampled
// one way and back keeps its timing.
#pragma once

#include <cstddef>
#include <vector>

namespace qa118 {

// `in` holds `frames` interleaved frames of `channels`; the result holds `outFrames` frames at
// outRate, frame j taken at input position j × inRate ÷ outRate.
std::vector<float> resample(const std::vector<float>& in, size_t frames, unsigned channels,
                            double inRate, double outRate, size_t outFrames);

} // namespace qa118
