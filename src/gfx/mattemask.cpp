// The matte mask: which pixels of a bitmap belong to the figure. Background is every pixel of the
// transparent colour that can be reached from the border without crossing another colour; the
// mask is 0 for the figure (including enclosed holes of the transparent colour) and non-zero for
// background.
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "core/abandon.h"
#include "gfx/dib.h"

namespace skv {

namespace {

// A scan-line seed fill: spans of a row are filled whole, and the spans above and below them are
// remembered on a stack instead of recursing per pixel. The stack holds at most kMaxSpans; a span
// that does not fit is dropped, which leaves that part of the background unfilled (it then
// draws as figure) rather than failing the draw.
class SeedFill {
public:
    static constexpr size_t kMaxSpans = 10000;

    SeedFill(uint8_t* pixels, int32_t width, int32_t height)
        : p_(pixels), width_(width), height_(height) {
        stack_.reserve(kMaxSpans);
    }

    // Replaces `from` by `to` in every pixel 4-connected to (x, y) through pixels of `from`.
    void fill(int32_t x, int32_t y, uint8_t from, uint8_t to) {
        if (from == to || x < 0 || x >= width_ || y < 0 || y >= height_ || at(x, y) != from) return;
        push(y, x, x, 1);
        push(y + 1, x, x, -1); // the seed row itself, popped first
        while (!stack_.empty()) {
            Span s = stack_.back();
            stack_.pop_back();
            const int32_t dy = s.dy, row = s.y + s.dy, x1 = s.xl, x2 = s.xr;
            // Extend the span to the left of x1.
            int32_t cx = x1;
            for (; cx >= 0 && at(cx, row) == from; --cx)
                at(cx, row) = to;
            bool skip = cx >= x1; // nothing to fill at x1
            int32_t left = 0;
            if (!skip) {
                left = cx + 1;
                if (left < x1) push(row, left, x1 - 1, -dy); // leaked past the left end
                cx = x1 + 1;
            }
            do {
                if (!skip) {
                    for (; cx < width_ && at(cx, row) == from; ++cx)
                        at(cx, row) = to;
                    push(row, left, cx - 1, dy);
                    if (cx > x2 + 1) push(row, x2 + 1, cx - 1, -dy); // leaked past the right end
                }
                skip = false;
                for (++cx; cx <= x2 && at(cx, row) != from; ++cx) {
                }
                left = cx;
            } while (cx <= x2);
        }
    }

    // Spans dropped for want of room on the stack.
    size_t dropped() const { return dropped_; }

private:
    struct Span {
        int16_t y, xl, xr, dy;
    };

    uint8_t& at(int32_t x, int32_t y) { return p_[static_cast<size_t>(y) * width_ + x]; }

    // Only spans whose next row lies inside the picture are worth keeping.
    void push(int32_t y, int32_t xl, int32_t xr, int32_t dy) {
        if (y + dy < 0 || y + dy >= height_) return;
        if (stack_.size() >= kMaxSpans) {
            ++dropped_;
            return;
        }
        stack_.push_back(Span{static_cast<int16_t>(y), static_cast<int16_t>(xl),
                              static_cast<int16_t>(xr), static_cast<int16_t>(dy)});
    }

    uint8_t* p_;
    int32_t width_, height_;
    std::vector<Span> stack_;
    size_t dropped_ = 0;
};

static_assert(nDIB::kMaxDimension + 2 <= INT16_MAX, "spans hold coordinates as 16-bit values");

} // namespace

int32_t nDIB::makeMask() {
    if (!mask_.empty()) return 1;
    if (!bits_ || bitCount() != 8) {
        if (bits_)
            abandoned("makeMask", "a %d-bit picture has no matte mask", int(bitCount()));
        else
            abandoned("makeMask", "no pixels");
        return 0;
    }
    const int32_t w = width(), h = height(), s = stride();
    const int32_t mw = w + 2, mh = h + 2;
    const uint8_t t = transparentIndex;
    std::vector<uint8_t> mask;
    try {
        mask.assign(static_cast<size_t>(mw) * mh, t); // the frame is transparent colour
    } catch (const std::bad_alloc&) {
        abandoned("makeMask", "no memory for a %d x %d mask", int(mw), int(mh));
        return 0;
    }
    for (int32_t r = 0; r < h; ++r)
        std::memcpy(&mask[static_cast<size_t>(r + 1) * mw + 1], bits_ + static_cast<size_t>(r) * s,
                    static_cast<size_t>(w));
    const uint8_t fillValue = t == 255 ? 254 : static_cast<uint8_t>(t + 1);
    SeedFill fill(mask.data(), mw, mh);
    fill.fill(0, 0, t, fillValue);
    if (fill.dropped())
        abandoned("makeMask",
                  "%zu spans of the %d x %d picture did not fit the stack of %zu: parts of its "
                  "background may draw as figure",
                  fill.dropped(), int(w), int(h), SeedFill::kMaxSpans);
    // Filled background becomes fillValue ^ t (never 0); untouched pixels become 0.
    for (int32_t r = 0; r < h; ++r) {
        uint8_t* m = &mask[static_cast<size_t>(r + 1) * mw + 1];
        const uint8_t* p = bits_ + static_cast<size_t>(r) * s;
        for (int32_t x = 0; x < w; ++x)
            m[x] ^= p[x];
    }
    mask_ = std::move(mask);
    return 1;
}

} // namespace skv
