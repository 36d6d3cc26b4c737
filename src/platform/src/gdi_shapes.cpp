// Lines, rectangles, round rectangles and ellipses, with the DC's pen and brush. The rules for
// which pixels a figure covers are in platform/wingdi.h; gdi_coverage.cpp works them out as runs
// of pixels along rows, kept to the part of the destination the clip lets us draw on, and this
// file paints those runs: the brush's first, then the pen's.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <vector>

#include "gdi_coverage.h"
#include "gdi_surface.h"

namespace skv::platform::gdi {

namespace {

// What one call paints with, in the destination's values.
struct Paint {
    int penWidth = 0;         // 0: no outline
    bool insideFrame = false; // PS_INSIDEFRAME: a wide pen keeps inside the bounding box
    uint32_t pen = 0;
    enum class Fill { None, Solid, Pattern } fill = Fill::None;
    uint32_t solid = 0;
    std::shared_ptr<const BrushPattern> pattern;
    std::vector<uint32_t> patternValues; // the pattern's pixels as destination values

    uint32_t fillAt(int x, int y) const {
        if (fill == Fill::Solid) return solid;
        const int px = ((x % pattern->width) + pattern->width) % pattern->width;
        const int py = ((y % pattern->height) + pattern->height) % pattern->height;
        return patternValues[static_cast<size_t>(py) * pattern->width + px];
    }
};

// The DC's state for a drawing call: its surface, pen, brush and colours.
struct Drawing {
    Target target;
    Paint paint;
    POINT position{0, 0};
};

bool takeDrawing(HDC dc, Drawing& d) {
    if (!takeTarget(dc, d.target)) return false;
    std::shared_ptr<PenObj> pen;
    std::shared_ptr<BrushObj> brush;
    COLORREF text, back;
    {
        std::lock_guard<std::mutex> g(d.target.dc->mu);
        pen = d.target.dc->pen;
        brush = d.target.dc->brush;
        text = d.target.dc->textColour;
        back = d.target.dc->bkColour;
        d.position = d.target.dc->position;
    }
    const Colours& c = d.target.colours;
    Paint& p = d.paint;
    if (pen && pen->style != PS_NULL && pen->width > 0) {
        p.penWidth = pen->width;
        p.insideFrame = pen->style == PS_INSIDEFRAME;
        p.pen = c.fromColorRef(pen->colour);
    }
    if (brush && brush->style == BS_SOLID) {
        p.fill = Paint::Fill::Solid;
        p.solid = c.fromColorRef(brush->colour);
    } else if (brush && brush->style == BS_PATTERN && brush->pattern && brush->pattern->width > 0 &&
               brush->pattern->height > 0) {
        p.fill = Paint::Fill::Pattern;
        p.pattern = brush->pattern;
        const uint32_t zero = c.fromColorRef(text), one = c.fromColorRef(back);
        p.patternValues.reserve(p.pattern->pixels.size());
        for (uint8_t v : p.pattern->pixels) {
            if (p.pattern->monochrome)
                p.patternValues.push_back(v ? one : zero);
            else
                p.patternValues.push_back(c.format == Format::Index8 ? v : c.fromLogical(v));
        }
    }
    return true;
}

// Sets the pixels [from, to) of row y to `value`.
void fillRun(const View& v, int y, int from, int to, uint32_t value) {
    uint8_t* row = v.rowAt(y);
    switch (v.format) {
    case Format::Device:
        std::fill(reinterpret_cast<uint32_t*>(row) + from, reinterpret_cast<uint32_t*>(row) + to,
                  value);
        return;
    case Format::Index8:
        std::fill(row + from, row + to, static_cast<uint8_t>(value));
        return;
    case Format::Rgb32:
        if constexpr (std::endian::native == std::endian::little) {
            // Blue, green, red and a zero byte: the value itself.
            std::fill(reinterpret_cast<uint32_t*>(row) + from,
                      reinterpret_cast<uint32_t*>(row) + to, value & 0xFFFFFFu);
            return;
        }
        [[fallthrough]];
    case Format::Rgb24:
        for (int x = from; x < to; ++x)
            v.put(x, y, value);
        return;
    }
}

// Paints the runs of `coverage` that lie in the clip: with `solid`, or when there is none with
// pattern(x, y).
template <class Pattern>
void paintRuns(const View& v, const Region& clip, const Coverage& coverage, const uint32_t* solid,
               Pattern pattern) {
    const std::vector<Coverage::Run>& runs = coverage.runs();
    for (const RECT& r : clip.rects()) {
        auto it = std::lower_bound(runs.begin(), runs.end(), r.top,
                                   [](const Coverage::Run& run, LONG y) { return run.y < y; });
        for (; it != runs.end() && it->y < r.bottom; ++it) {
            const int from = std::max<int>(it->left, r.left),
                      to = std::min<int>(it->right, r.right);
            if (from >= to) continue;
            if (solid) {
                fillRun(v, it->y, from, to, *solid);
                continue;
            }
            for (int x = from; x < to; ++x)
                v.put(x, it->y, pattern(x, it->y));
        }
    }
}

// Works out a figure's pixels with build(brush, pen), within what the destination can be drawn
// on, and paints them: the brush's first, then the pen's over them.
template <class Build> void paintCoverage(Drawing& d, Build build) {
    const Paint& p = d.paint;
    if (p.penWidth == 0 && p.fill == Paint::Fill::None) return;
    auto lock = lockFor(needsWmLock(d.target));
    View v = viewOf(d.target, false);
    if (!v.valid()) return;
    const Region clip = clipOf(d.target, v);
    if (!clip.empty()) {
        const RECT limit = clip.bounds();
        Coverage brush(limit), pen(limit);
        build(brush, pen);
        const auto pattern = [&](int x, int y) { return p.fillAt(x, y); };
        if (p.fill != Paint::Fill::None) {
            brush.normalize();
            paintRuns(v, clip, brush, p.fill == Paint::Fill::Solid ? &p.solid : nullptr, pattern);
        }
        if (p.penWidth > 0) {
            pen.normalize();
            paintRuns(v, clip, pen, &p.pen, pattern);
        }
    }
    drawn(d.target);
}

// The box of a figure: its corners in order and, for PS_INSIDEFRAME, brought in so that the pen
// keeps within them. False when it has no width or height.
bool penBox(const Drawing& d, int left, int top, int right, int bottom, RECT& box) {
    box = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
               std::max(top, bottom)};
    if (box.left == box.right || box.top == box.bottom) return false;
    if (d.paint.insideFrame) {
        const int w = d.paint.penWidth;
        box.left += w / 2;
        box.top += w / 2;
        box.right -= (w - 1) / 2;
        box.bottom -= (w - 1) / 2;
    }
    return true;
}

void drawRectangle(Drawing& d, int left, int top, int right, int bottom) {
    RECT box;
    if (!penBox(d, left, top, right, bottom, box)) return;
    // The outline runs through the outermost pixels' centres, from the bottom right corner.
    const LONG l = box.left, t = box.top, r = box.right - 1, b = box.bottom - 1;
    const POINT corners[4] = {{r, b}, {l, b}, {l, t}, {r, t}};
    const int w = d.paint.penWidth;
    paintCoverage(d, [&](Coverage& brush, Coverage& pen) {
        const bool fill = d.paint.fill != Paint::Fill::None;
        if (w > 1) {
            if (fill) addRectRegion(brush, l, t, r, b);
            addWidePolyline(pen, corners, 4, true, w);
            return;
        }
        // A one-pixel pen's lines leave their end points out, so that a box of one pixel has
        // no outline at all; the brush keeps inside the lines.
        if (fill) brush.addRect(l + (w + 1) / 2, t + (w + 1) / 2, r - w / 2, b - w / 2);
        if (w == 1) addThinPolyline(pen, corners, 4, true);
    });
}

void drawRoundRect(Drawing& d, int left, int top, int right, int bottom, int64_t width,
                   int64_t height) {
    RECT box;
    if (!penBox(d, left, top, right, bottom, box)) return;
    const int64_t cw = std::min<int64_t>(int64_t{box.right} - box.left, std::abs(width));
    const int64_t ch = std::min<int64_t>(int64_t{box.bottom} - box.top, std::abs(height));
    if (cw <= 2 || ch <= 2) {
        drawRectangle(d, left, top, right, bottom);
        return;
    }
    if (cw > kMaxCorner || ch > kMaxCorner) return;
    const int ew = static_cast<int>(cw), eh = static_cast<int>(ch);
    std::vector<POINT> outline;
    if (d.paint.penWidth > 0) roundRectOutline(box, ew, eh, outline);
    paintCoverage(d, [&](Coverage& brush, Coverage& pen) {
        // The brush takes the round rectangle region of the box grown by a pixel at the right
        // and the bottom: all of the box with the null pen.
        if (d.paint.fill != Paint::Fill::None)
            addRoundRectRegion(brush, box.left, box.top, int64_t{box.right} + 1,
                               int64_t{box.bottom} + 1, ew, eh);
        if (d.paint.penWidth == 1)
            addThinPolyline(pen, outline.data(), outline.size(), true);
        else if (d.paint.penWidth > 1)
            addWidePolyline(pen, outline.data(), outline.size(), true, d.paint.penWidth);
    });
}

} // namespace

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    drawRectangle(d, left, top, right, bottom);
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    drawRoundRect(d, left, top, right, bottom, int64_t{right} - left, int64_t{bottom} - top);
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    drawRoundRect(d, left, top, right, bottom, width, height);
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    {
        std::lock_guard<std::mutex> g(d.target.dc->mu);
        d.target.dc->position = POINT{x, y};
    }
    const int w = d.paint.penWidth;
    if (w == 0) return TRUE;
    d.paint.fill = Paint::Fill::None;
    const POINT ends[2] = {d.position, POINT{x, y}};
    paintCoverage(d, [&](Coverage&, Coverage& pen) {
        if (w > 1)
            addWidePolyline(pen, ends, 2, false, w);
        else
            addThinLine(pen, ends[0], ends[1]);
    });
    return TRUE;
}

} // extern "C"
