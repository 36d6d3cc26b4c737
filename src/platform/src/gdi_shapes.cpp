// Lines, rectangles, round rectangles and ellipses, with the DC's pen and brush. The rules for
// which pixels a figure covers are in platform/wingdi.h; here every figure is a test "is this
// pixel inside the figure shrunk by d on every side", asked with d = 0 for its area and with the
// pen's width for the part the brush fills.
#include <algorithm>
#include <cstdlib>

#include "gdi_surface.h"

namespace skv::platform::gdi {

namespace {

// What one call paints with, in the destination's values.
struct Paint {
    int penWidth = 0; // 0: no outline
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

// Paints the pixels of `box` (and of the clip) that `inside(x, y, 0)` covers: the outline where
// inside(x, y, penWidth) does not hold, the brush where it does.
template <class Inside> void paintFigure(Drawing& d, RECT box, Inside inside) {
    if (box.right <= box.left || box.bottom <= box.top) return;
    const Paint& p = d.paint;
    if (p.penWidth == 0 && p.fill == Paint::Fill::None) return;
    auto lock = lockFor(needsWmLock(d.target));
    View v = viewOf(d.target, false);
    if (!v.valid()) return;
    Region todo(box);
    todo.intersect(clipOf(d.target, v));
    for (const RECT& r : todo.rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (!inside(x, y, 0)) continue;
                if (p.penWidth > 0 && !inside(x, y, p.penWidth))
                    v.put(x, y, p.pen);
                else if (p.fill != Paint::Fill::None)
                    v.put(x, y, p.fillAt(x, y));
            }
        }
    }
    drawn(d.target);
}

// The figure's area: the corners in order, and one pixel less each way with the null pen.
RECT figureBox(const Drawing& d, int left, int top, int right, int bottom) {
    RECT box{std::min(left, right), std::min(top, bottom), std::max(left, right),
             std::max(top, bottom)};
    if (d.paint.penWidth == 0) {
        --box.right;
        --box.bottom;
    }
    return box;
}

// Pixel (x, y) lies in the ellipse whose box, in doubled coordinates, is centred on (cx, cy)
// with half-axes a and b: its centre (2x + 1, 2y + 1) satisfies X^2 b^2 + Y^2 a^2 <= a^2 b^2.
bool inEllipse(int64_t px, int64_t py, int64_t cx, int64_t cy, int64_t a, int64_t b) {
    if (a <= 0 || b <= 0) return false;
    const int64_t X = px - cx, Y = py - cy;
    return X * X * b * b + Y * Y * a * a <= a * a * b * b;
}

bool inRoundRect(const RECT& box, int64_t cornerW, int64_t cornerH, int x, int y, int d) {
    const int64_t l = box.left + d, t = box.top + d, r = box.right - d, b = box.bottom - d;
    if (x < l || x >= r || y < t || y >= b) return false;
    const int64_t cw = std::min<int64_t>(cornerW, r - l) - 2 * d;
    const int64_t ch = std::min<int64_t>(cornerH, b - t) - 2 * d;
    if (cw <= 0 || ch <= 0) return true; // square corners
    // Doubled coordinates: the corner ellipses' centres lie cw and ch in from the edges.
    const int64_t px = 2 * int64_t{x} + 1, py = 2 * int64_t{y} + 1;
    const int64_t leftCentre = 2 * l + cw, rightCentre = 2 * r - cw;
    const int64_t topCentre = 2 * t + ch, bottomCentre = 2 * b - ch;
    int64_t cx = 0, cy = 0;
    if (px < leftCentre)
        cx = leftCentre;
    else if (px > rightCentre)
        cx = rightCentre;
    else
        return true;
    if (py < topCentre)
        cy = topCentre;
    else if (py > bottomCentre)
        cy = bottomCentre;
    else
        return true;
    return inEllipse(px, py, cx, cy, cw, ch);
}

} // namespace

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    const RECT box = figureBox(d, left, top, right, bottom);
    paintFigure(d, box, [&](int x, int y, int in) {
        return x >= box.left + in && x < box.right - in && y >= box.top + in && y < box.bottom - in;
    });
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    const RECT box = figureBox(d, left, top, right, bottom);
    const int64_t cx = int64_t{box.left} + box.right, cy = int64_t{box.top} + box.bottom;
    paintFigure(d, box, [&](int x, int y, int in) {
        return inEllipse(2 * int64_t{x} + 1, 2 * int64_t{y} + 1, cx, cy,
                         int64_t{box.right} - box.left - 2 * in,
                         int64_t{box.bottom} - box.top - 2 * in);
    });
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    const RECT box = figureBox(d, left, top, right, bottom);
    const int64_t cw = std::abs(int64_t{width}), ch = std::abs(int64_t{height});
    paintFigure(d, box, [&](int x, int y, int in) { return inRoundRect(box, cw, ch, x, y, in); });
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
    auto lock = lockFor(needsWmLock(d.target));
    View v = viewOf(d.target, false);
    if (!v.valid()) return TRUE;
    const Region clip = clipOf(d.target, v);
    // A Bresenham walk from the current position, leaving out the end point.
    int64_t px = d.position.x, py = d.position.y;
    const int64_t dx = std::abs(int64_t{x} - px), dy = std::abs(int64_t{y} - py);
    const int sx = px < x ? 1 : -1, sy = py < y ? 1 : -1;
    const int64_t steps = std::max(dx, dy);
    int64_t error = (dx > dy ? dx : -dy) / 2;
    for (int64_t i = 0; i < steps; ++i) {
        RECT square{static_cast<LONG>(px), static_cast<LONG>(py), static_cast<LONG>(px + w),
                    static_cast<LONG>(py + w)};
        Region stamp(square);
        stamp.intersect(clip);
        for (const RECT& r : stamp.rects())
            for (int yy = r.top; yy < r.bottom; ++yy)
                for (int xx = r.left; xx < r.right; ++xx)
                    v.put(xx, yy, d.paint.pen);
        const int64_t e = error;
        if (e > -dx) {
            error -= dy;
            px += sx;
        }
        if (e < dy) {
            error += dx;
            py += sy;
        }
    }
    drawn(d.target);
    return TRUE;
}

} // extern "C"
