// The ink routines. Each is a loop over whole rows of bytes without palette lookups, written so
// that the compiler can vectorise the per-pixel choice.
#include "gfx/inks.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace skv {

InkClip clipInk(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, int32_t x,
                int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy) {
    // 64-bit so that extreme positions cannot wrap around.
    int64_t cw = w, ch = h;
    if (dstHeight < int64_t{y} + ch) ch = int64_t{dstHeight} - y;
    if (dstWidth < int64_t{x} + cw) cw = int64_t{dstWidth} - x;
    int64_t dx = x, dy = y, srcX = sx, srcY = sy;
    if (dx < 0) {
        cw += dx;
        srcX -= dx;
        dx = 0;
    }
    if (dy < 0) {
        ch += dy;
        srcY -= dy;
        dy = 0;
    }
    // The source block must lie inside the source as well.
    if (srcX < 0) {
        cw += srcX;
        dx -= srcX;
        srcX = 0;
    }
    if (srcY < 0) {
        ch += srcY;
        dy -= srcY;
        srcY = 0;
    }
    cw = std::min<int64_t>(cw, int64_t{srcWidth} - srcX);
    ch = std::min<int64_t>(ch, int64_t{srcHeight} - srcY);
    InkClip c;
    if (cw <= 0 || ch <= 0) return c;
    c.dstX = static_cast<int32_t>(dx);
    c.dstY = static_cast<int32_t>(dy);
    c.srcX = static_cast<int32_t>(srcX);
    c.srcY = static_cast<int32_t>(srcY);
    c.cols = static_cast<int32_t>(cw);
    c.rows = static_cast<int32_t>(ch);
    return c;
}

namespace {

// The clipped block, or an empty one when either bitmap cannot take part.
InkClip prepare(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                int32_t sy) {
    if (&dst == &src || !dst.bits() || !src.bits() || dst.bitCount() != 8 || src.bitCount() != 8)
        return {};
    return clipInk(dst.width(), dst.height(), src.width(), src.height(), x, y, w, h, sx, sy);
}

// Calls row(d, s, r) for each row of the block, starting from its bottom row as the bitmaps lie
// in memory.
template <class Row> void forEachRow(nDIB& dst, nDIB& src, const InkClip& c, Row row) {
    // Pointers stepped by the strides: the per-row cost matters for narrow sprites.
    uint8_t* d = dst.pixelAt(c.dstX, c.dstY + c.rows - 1);
    const uint8_t* s = src.pixelAt(c.srcX, c.srcY + c.rows - 1);
    const ptrdiff_t ds = dst.stride(), ss = src.stride();
    for (int32_t r = c.rows - 1; r >= 0; --r, d += ds, s += ss)
        row(d, s, r);
}

void mapRow(uint8_t* __restrict d, const uint8_t* __restrict s, const uint8_t* lut, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        d[i] = lut[s[i]];
}

void keyRow(uint8_t* __restrict d, const uint8_t* __restrict s, uint8_t key, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        d[i] = s[i] != key ? s[i] : d[i];
}

void keyFillRow(uint8_t* __restrict d, const uint8_t* __restrict s, uint8_t key, uint8_t fill,
                int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        d[i] = s[i] != key ? fill : d[i];
}

void maskRow(uint8_t* __restrict d, const uint8_t* __restrict s, const uint8_t* __restrict m,
             int32_t n) {
    // Every byte is loaded whatever the mask says: loads under a condition would keep the
    // compiler from turning the choice into vector blends.
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t sv = s[i], dv = d[i];
        d[i] = m[i] == 0 ? sv : dv;
    }
}

void maskMonoRow(uint8_t* __restrict d, const uint8_t* __restrict s, const uint8_t* __restrict m,
                 uint8_t t, uint8_t back, uint8_t fore, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t sv = s[i] == t ? back : fore, dv = d[i];
        d[i] = m[i] == 0 ? sv : dv;
    }
}

} // namespace

void inkCopy(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
             int32_t sy) {
    InkClip c = prepare(dst, src, x, y, w, h, sx, sy);
    if (c.cols <= 0) return;
    const uint8_t f = src.foregroundIndex, b = src.backgroundIndex;
    if (src.authoredDepth() == 1) {
        uint8_t lut[256];
        std::fill(lut, lut + 256, b);
        lut[0] = f;
        forEachRow(dst, src, c,
                   [&](uint8_t* d, const uint8_t* s, int32_t) { mapRow(d, s, lut, c.cols); });
        return;
    }
    if (b == src.whiteIndex && f == src.blackIndex) {
        if (c.dstX == 0 && c.srcX == 0 && c.cols == dst.width() && c.cols == src.width() &&
            dst.stride() == src.stride()) {
            // Whole rows of equal stride lie end to end: one copy for the block.
            const size_t stride = static_cast<size_t>(dst.stride());
            std::memmove(dst.pixelAt(0, c.dstY + c.rows - 1), src.pixelAt(0, c.srcY + c.rows - 1),
                         stride * static_cast<size_t>(c.rows - 1) + static_cast<size_t>(c.cols));
            return;
        }
        forEachRow(dst, src, c, [&](uint8_t* d, const uint8_t* s, int32_t) {
            std::memmove(d, s, static_cast<size_t>(c.cols));
        });
        return;
    }
    uint8_t lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = static_cast<uint8_t>(i);
    lut[src.whiteIndex] = b;
    lut[src.blackIndex] = f; // black wins where white and black are one index
    forEachRow(dst, src, c,
               [&](uint8_t* d, const uint8_t* s, int32_t) { mapRow(d, s, lut, c.cols); });
}

void inkTransparent(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                    int32_t sy) {
    InkClip c = prepare(dst, src, x, y, w, h, sx, sy);
    if (c.cols <= 0) return;
    const uint8_t t = src.transparentIndex;
    if (src.authoredDepth() == 1) {
        const uint8_t f = src.foregroundIndex;
        forEachRow(dst, src, c,
                   [&](uint8_t* d, const uint8_t* s, int32_t) { keyFillRow(d, s, t, f, c.cols); });
        return;
    }
    forEachRow(dst, src, c,
               [&](uint8_t* d, const uint8_t* s, int32_t) { keyRow(d, s, t, c.cols); });
}

void inkMatte(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
              int32_t sy) {
    InkClip c = prepare(dst, src, x, y, w, h, sx, sy);
    if (c.cols <= 0) return;
    if (!src.makeMask()) return;
    // Mask rows run bottom-up like the pixels, (width + 2) bytes apart.
    const uint8_t* maskBottom = src.maskAt(c.srcX, c.srcY + c.rows - 1);
    const ptrdiff_t maskStride = src.width() + 2;
    auto maskRowOf = [&](int32_t r) { return maskBottom + (c.rows - 1 - r) * maskStride; };
    if (src.authoredDepth() == 1) {
        const uint8_t t = src.transparentIndex, b = src.backgroundIndex, f = src.foregroundIndex;
        forEachRow(dst, src, c, [&](uint8_t* d, const uint8_t* s, int32_t r) {
            maskMonoRow(d, s, maskRowOf(r), t, b, f, c.cols);
        });
        return;
    }
    forEachRow(dst, src, c, [&](uint8_t* d, const uint8_t* s, int32_t r) {
        maskRow(d, s, maskRowOf(r), c.cols);
    });
}

InkRoutine inkRoutineFor(int32_t ink) {
    if (ink < 0 || ink > 31) return nullptr;
    if (ink == 0) return &inkCopy;
    if (ink == 8) return &inkMatte;
    return &inkTransparent;
}

uint8_t defaultTransparentIndex() {
    HDC screen = GetDC(nullptr);
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette ? 255 : 0;
}

} // namespace skv
