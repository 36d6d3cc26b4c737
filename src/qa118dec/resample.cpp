#include "resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace qa118 {

namespace {

constexpr int kZeroCrossings = 16;
// The most weights a phase table holds (8 MiB); rates with more phases than fit work out the
// weights frame by frame.
constexpr size_t kMaxTableWeights = size_t{1} << 20;

double blackman(double x) { // x in [-1, 1]
    const double a = M_PI * (x + 1);
    return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
}

struct Kernel {
    double cutoff;
    double halfWidth;

    // The weight of an input frame `d` frames before the output position.
    double weight(double d) const {
        const double x = cutoff * d;
        const double sinc = x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
        return cutoff * sinc * blackman(d / halfWidth);
    }
    // The input frames an output position `t` takes in, before clipping to the sound.
    long first(double t) const { return static_cast<long>(std::ceil(t - halfWidth)); }
    long last(double t) const { return static_cast<long>(std::floor(t + halfWidth)); }
};

// One output frame: the `count` input frames from `from` on, weighted by w[0 ...], leaving out
// those before or after the sound.
void apply(const std::vector<float>& in, size_t frames, unsigned channels, long from,
           const double* w, long count, float* out) {
    const long lo = std::max(0L, from);
    const long hi = std::min(static_cast<long>(frames) - 1, from + count - 1);
    for (unsigned c = 0; c < channels; ++c) {
        double sum = 0;
        for (long k = lo; k <= hi; ++k)
            sum += in[static_cast<size_t>(k) * channels + c] * w[k - from];
        out[c] = static_cast<float>(sum);
    }
}

// The number of phases between whole-number rates, or 0 when the rates are not whole numbers
// (or too large to count with).
uint64_t phaseCount(double inRate, double outRate, uint64_t* inStep) {
    if (!(inRate >= 1 && outRate >= 1 && inRate < 1e9 && outRate < 1e9) ||
        std::floor(inRate) != inRate || std::floor(outRate) != outRate)
        return 0;
    const auto a = static_cast<uint64_t>(inRate), b = static_cast<uint64_t>(outRate);
    const uint64_t g = std::gcd(a, b);
    *inStep = a / g; // input frames moved on per round of phases
    return b / g;
}

} // namespace

std::vector<float> resample(const std::vector<float>& in, size_t frames, unsigned channels,
                            double inRate, double outRate, size_t outFrames, ResampleCost* cost) {
    std::vector<float> out(outFrames * channels, 0.0f);
    if (frames == 0) return out;
    if (inRate == outRate) {
        std::copy_n(in.begin(), std::min(frames, outFrames) * channels, out.begin());
        return out;
    }
    const double step = inRate / outRate;
    // Below the lower Nyquist frequency, with a little room for the window's slope.
    const double cutoff = std::min(1.0, outRate / inRate) * 0.94;
    const Kernel kernel{cutoff, kZeroCrossings / cutoff};
    const size_t taps = static_cast<size_t>(2 * kernel.halfWidth) + 2; // at most, per frame
    size_t weights = 0;

    uint64_t inStep = 0;
    const uint64_t phases = phaseCount(inRate, outRate, &inStep);
    if (phases && phases < outFrames && phases <= kMaxTableWeights / taps) {
        // Phase r stands for every output frame j = q × phases + r, at input position
        // q × inStep + r × step.
        std::vector<long> first(phases);
        std::vector<long> count(phases);
        std::vector<double> table(phases * taps, 0.0);
        for (size_t r = 0; r < phases; ++r) {
            const double t = r * step;
            first[r] = kernel.first(t);
            count[r] = kernel.last(t) - first[r] + 1;
            for (long i = 0; i < count[r]; ++i)
                table[r * taps + static_cast<size_t>(i)] = kernel.weight(t - (first[r] + i));
            weights += static_cast<size_t>(count[r]);
        }
        for (size_t j = 0; j < outFrames; ++j) {
            const size_t q = j / phases, r = j % phases;
            const long base = static_cast<long>(q * inStep);
            apply(in, frames, channels, base + first[r], &table[r * taps], count[r],
                  &out[j * channels]);
        }
    } else {
        std::vector<double> w(taps);
        for (size_t j = 0; j < outFrames; ++j) {
            const double t = j * step;
            const long from = std::max(0L, kernel.first(t));
            const long to = std::min(static_cast<long>(frames) - 1, kernel.last(t));
            for (long k = from; k <= to; ++k)
                w[static_cast<size_t>(k - from)] = kernel.weight(t - k);
            weights += static_cast<size_t>(std::max(0L, to - from + 1));
            apply(in, frames, channels, from, w.data(), to - from + 1, &out[j * channels]);
        }
    }
    if (cost) cost->kernelWeights += weights;
    return out;
}

} // namespace qa118
