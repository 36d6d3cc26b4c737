#include "resample.h"

#include <algorithm>
#include <cmath>

namespace qa118 {

namespace {

constexpr int kZeroCrossings = 16;

double blackman(double x) { // x in [-1, 1]
    const double a = M_PI * (x + 1);
    return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
}

} // namespace

std::vector<float> resample(const std::vector<float>& in, size_t frames, unsigned channels,
                            double inRate, double outRate, size_t outFrames) {
    std::vector<float> out(outFrames * channels, 0.0f);
    if (frames == 0) return out;
    if (inRate == outRate) {
        std::copy_n(in.begin(), std::min(frames, outFrames) * channels, out.begin());
        return out;
    }
    const double step = inRate / outRate;
    // Below the lower Nyquist frequency, with a little room for the window's slope.
    const double cutoff = std::min(1.0, outRate / inRate) * 0.94;
    const double halfWidth = kZeroCrossings / cutoff;
    for (size_t j = 0; j < outFrames; ++j) {
        const double t = j * step;
        const long first = std::max(0L, static_cast<long>(std::ceil(t - halfWidth)));
        const long last =
            std::min(static_cast<long>(frames) - 1, static_cast<long>(std::floor(t + halfWidth)));
        for (unsigned c = 0; c < channels; ++c) {
            double sum = 0;
            for (long k = first; k <= last; ++k) {
                const double d = t - k;
                const double x = cutoff * d;
                const double sinc = x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
                sum += in[static_cast<size_t>(k) * channels + c] * cutoff * sinc *
                       blackman(d / halfWidth);
            }
            out[j * channels + c] = static_cast<float>(sum);
        }
    }
    return out;
}

} // namespace qa118
