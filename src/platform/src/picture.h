// A window's picture (its backing store), the desktop and the composed screen: one 32-bit value
// per pixel, rows from the top. On a true-colour display a value is 0x00RRGGBB; on a palette
// display it is a system palette index.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace skv::platform::gdi {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
    const uint32_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }

    // Keeps what lies inside both the old and the new size; the rest is `fill`.
    void resize(int w, int h, uint32_t fill) {
        w = std::max(w, 0);
        h = std::max(h, 0);
        if (w == width && h == height) return;
        std::vector<uint32_t> next(static_cast<size_t>(w) * h, fill);
        const int cw = std::min(w, width), ch = std::min(h, height);
        for (int y = 0; y < ch; ++y)
            std::copy_n(row(y), cw, next.data() + static_cast<size_t>(y) * w);
        pixels = std::move(next);
        width = w;
        height = h;
    }
    void fill(uint32_t value) { std::fill(pixels.begin(), pixels.end(), value); }
};

} // namespace skv::platform::gdi
