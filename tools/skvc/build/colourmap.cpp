#include "colourmap.h"

#include <algorithm>

namespace skvc {

namespace {

struct Candidates {
    std::vector<uint8_t> index;
    std::vector<int32_t> rgb; // three per candidate

    // The nearest candidate by squared distance; the first (lowest listed) on ties.
    uint8_t nearest(int32_t r, int32_t g, int32_t b) const {
        int64_t best = -1;
        uint8_t bestIndex = index.empty() ? 0 : index[0];
        for (size_t i = 0; i < index.size(); ++i) {
            const int64_t dr = r - rgb[i * 3], dg = g - rgb[i * 3 + 1], db = b - rgb[i * 3 + 2];
            const int64_t d = dr * dr + dg * dg + db * db;
            if (best < 0 || d < best) {
                best = d;
                bestIndex = index[i];
            }
        }
        return bestIndex;
    }
};

} // namespace

std::vector<uint8_t> mapToPalette(const RgbaImage& image, const ColourMapping& m) {
    Candidates c;
    if (m.candidates.empty()) {
        for (int i = 0; i < 256; ++i)
            c.index.push_back(static_cast<uint8_t>(i));
    } else {
        c.index = m.candidates;
    }
    for (uint8_t i : c.index)
        c.rgb.insert(c.rgb.end(),
                     {m.palette[i].rgbRed, m.palette[i].rgbGreen, m.palette[i].rgbBlue});

    const int32_t w = image.width, h = image.height;
    std::vector<uint8_t> out(size_t(w) * h, 0);
    // Error carried to this row and the next, in sixteenths, three channels per pixel with a
    // pixel of margin on either side.
    std::vector<int32_t> err(size_t(w + 2) * 3, 0), next(size_t(w + 2) * 3, 0);
    for (int32_t y = 0; y < h; ++y) {
        std::fill(next.begin(), next.end(), 0);
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = image.at(x, y);
            if (p[3] < 128) {
                out[size_t(y) * w + x] = m.transparentIndex;
                continue;
            }
            int32_t want[3];
            for (int k = 0; k < 3; ++k) {
                int32_t v = p[k];
                if (m.dither) v += err[size_t(x + 1) * 3 + k] / 16;
                want[k] = std::clamp(v, 0, 255);
            }
            const uint8_t idx = c.nearest(want[0], want[1], want[2]);
            out[size_t(y) * w + x] = idx;
            if (!m.dither) continue;
            const int32_t got[3] = {m.palette[idx].rgbRed, m.palette[idx].rgbGreen,
                                    m.palette[idx].rgbBlue};
            for (int k = 0; k < 3; ++k) {
                const int32_t e = want[k] - got[k];
                err[size_t(x + 2) * 3 + k] += e * 7;
                next[size_t(x) * 3 + k] += e * 3;
                next[size_t(x + 1) * 3 + k] += e * 5;
                next[size_t(x + 2) * 3 + k] += e * 1;
            }
        }
        std::swap(err, next);
    }
    return out;
}

void storeOneBitPixels(std::vector<uint8_t>& pixels, int32_t shownPalette) {
    const bool inverted = shownPalette < 0 && shownPalette != -1;
    for (uint8_t& p : pixels) {
        const bool black = p == 255;
        p = (black != inverted) ? 255 : 0;
    }
}

} // namespace skvc
