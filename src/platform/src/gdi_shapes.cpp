// Lines, rectangles, round rectangles and ellipses, with the DC's pen and brush. The rules for
// which pixels a figure covers are in platform/wingdi.h. With a one-pixel pen or the null pen
// every figure is a test "is this pixel inside the figure shrunk by d on every side", asked with
// d = 0 for its area and with the pen's width for the part the brush fills. A wider pen is
// geometric: it covers a band centred on the figure's outline (a path through pixel space), so
// those figures and lines are painted from that path instead.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

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

// ---- pens wider than one pixel ----------------------------------------------------------------
// Pixel space: pixel (x, y) is the unit square whose top-left corner is (x, y); its centre is
// (x + 0.5, y + 0.5). A wide pen of width w is a disc of diameter w swept along a path, and it
// paints every pixel whose centre the sweep reaches: round ends and round joins, the end cap and
// join of every pen CreatePen makes (PS_ENDCAP_ROUND and PS_JOIN_ROUND are 0). The path through
// a pixel runs through its centre for an odd width and through its top-left corner for an even
// one, so that the band is w pixels across and an even width has its odd pixel above and to the
// left of the ideal line, where Windows GDI's fill convention (top and left edges in, bottom and
// right edges out) puts it when it fills a wide pen's outline.

struct Path {
    struct Point {
        double x, y;
    };
    std::vector<Point> points;
    bool closed = false;

    void add(double x, double y) {
        if (!points.empty() && points.back().x == x && points.back().y == y) return;
        points.push_back(Point{x, y});
    }
};

// Where the path through pixel column (or row) 0 runs for a pen of width w.
double pathOffset(int w) {
    return w % 2 ? 0.5 : 0.0;
}

// Points on a quarter of an ellipse of half-axes up to `radius`, close enough that the flattened
// curve stays within 1/64 of a pixel of the true one.
int quarterSteps(double radius) {
    const double steps = std::ceil(std::sqrt(std::max(radius, 1.0) * 32.0) * 0.7854);
    return static_cast<int>(std::clamp(steps, 4.0, 1024.0));
}

// The closed outline through (l, t) and (r, b), its corners the quarters of an ellipse of
// half-axes ra and rb (square corners when either is 0; an ellipse when they are half the size).
Path figurePath(double l, double t, double r, double b, double ra, double rb) {
    Path path;
    path.closed = true;
    ra = std::clamp(ra, 0.0, (r - l) / 2);
    rb = std::clamp(rb, 0.0, (b - t) / 2);
    if (ra <= 0 || rb <= 0) {
        path.add(r, b);
        path.add(l, b);
        path.add(l, t);
        path.add(r, t);
        return path;
    }
    // One quarter's cosines and sines, mirrored into the others so that the figure comes out
    // symmetric.
    const int n = quarterSteps(std::max(ra, rb));
    std::vector<double> c(n + 1), s(n + 1);
    for (int i = 0; i <= n; ++i) {
        const double a = 1.5707963267948966 * i / n;
        c[i] = i == n ? 0.0 : std::cos(a);
        s[i] = i == 0 ? 0.0 : i == n ? 1.0 : std::sin(a);
    }
    const double cl = l + ra, cr = r - ra, ct = t + rb, cb = b - rb;
    for (int i = 0; i <= n; ++i) // bottom right
        path.add(cr + ra * c[i], cb + rb * s[i]);
    for (int i = 0; i <= n; ++i) // bottom left
        path.add(cl - ra * s[i], cb + rb * c[i]);
    for (int i = 0; i <= n; ++i) // top left
        path.add(cl - ra * c[i], ct - rb * s[i]);
    for (int i = 0; i <= n; ++i) // top right
        path.add(cr + ra * s[i], ct - rb * c[i]);
    if (path.points.size() > 1 && path.points.back().x == path.points.front().x &&
        path.points.back().y == path.points.front().y)
        path.points.pop_back();
    return path;
}

LONG toPixel(double v) {
    return static_cast<LONG>(std::clamp(v, -1e9, 1e9));
}

// Paints the pen's sweep along `path` and, for a closed path and a brush, the pixels whose
// centres the path encloses and the pen leaves; only within `limit` (when given) and the clip.
void strokePath(Drawing& d, const Path& path, const RECT* limit) {
    const Paint& p = d.paint;
    if (path.points.empty() || p.penWidth <= 0) return;
    const double radius = p.penWidth / 2.0;
    // Ties (a centre exactly w / 2 away) count as reached, whatever the rounding.
    const double reach2 = radius * radius + 1e-7;
    double minX = std::numeric_limits<double>::max(), minY = minX, maxX = -minX, maxY = -minX;
    for (const Path::Point& q : path.points) {
        minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
    }
    auto lock = lockFor(needsWmLock(d.target));
    View v = viewOf(d.target, false);
    if (!v.valid()) return;
    Region todo(RECT{toPixel(std::floor(minX - radius)), toPixel(std::floor(minY - radius)),
                     toPixel(std::ceil(maxX + radius)), toPixel(std::ceil(maxY + radius))});
    if (limit) todo.intersect(*limit);
    todo.intersect(clipOf(d.target, v));
    if (todo.empty()) return;
    const RECT area = todo.bounds();
    const int width = area.right - area.left;
    const size_t count = path.points.size();
    const size_t edges = path.closed ? count : std::max<size_t>(count - 1, 1);
    const bool fill = path.closed && count > 2 && p.fill != Paint::Fill::None;

    // A band of rows at a time: 0 untouched, 1 the pen, 2 the brush.
    enum : uint8_t { kNone, kPen, kBrush };
    constexpr int kBandRows = 64;
    std::vector<uint8_t> band;
    std::vector<double> crossings;
    for (int top = area.top; top < area.bottom; top += kBandRows) {
        const int bottom = std::min(top + kBandRows, area.bottom);
        band.assign(static_cast<size_t>(width) * (bottom - top), kNone);
        for (size_t e = 0; e < edges; ++e) {
            const Path::Point a = path.points[e], b = path.points[(e + 1) % count];
            const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
            const int x0 =
                std::max<int>(area.left, toPixel(std::floor(std::min(a.x, b.x) - radius)));
            const int x1 =
                std::min<int>(area.right, toPixel(std::ceil(std::max(a.x, b.x) + radius)));
            const int y0 = std::max<int>(top, toPixel(std::floor(std::min(a.y, b.y) - radius)));
            const int y1 = std::min<int>(bottom, toPixel(std::ceil(std::max(a.y, b.y) + radius)));
            for (int y = y0; y < y1; ++y) {
                uint8_t* row = band.data() + static_cast<size_t>(y - top) * width;
                const double py = y + 0.5 - a.y;
                for (int x = x0; x < x1; ++x) {
                    const double px = x + 0.5 - a.x;
                    double t = length2 > 0 ? (px * dx + py * dy) / length2 : 0.0;
                    t = std::clamp(t, 0.0, 1.0);
                    const double ex = px - t * dx, ey = py - t * dy;
                    if (ex * ex + ey * ey <= reach2) row[x - area.left] = kPen;
                }
            }
        }
        if (fill) {
            // Even-odd spans of the outline along each row of pixel centres.
            for (int y = top; y < bottom; ++y) {
                const double cy = y + 0.5;
                crossings.clear();
                for (size_t e = 0; e < count; ++e) {
                    const Path::Point a = path.points[e], b = path.points[(e + 1) % count];
                    if ((a.y <= cy) == (b.y <= cy)) continue;
                    crossings.push_back(a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y));
                }
                std::sort(crossings.begin(), crossings.end());
                uint8_t* row = band.data() + static_cast<size_t>(y - top) * width;
                for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
                    const int from =
                        std::max<int>(area.left, toPixel(std::ceil(crossings[i] - 0.5)));
                    const int to =
                        std::min<int>(area.right, toPixel(std::ceil(crossings[i + 1] - 0.5)));
                    for (int x = from; x < to; ++x)
                        if (row[x - area.left] == kNone) row[x - area.left] = kBrush;
                }
            }
        }
        for (const RECT& r : todo.rects()) {
            for (int y = std::max<int>(r.top, top); y < std::min<int>(r.bottom, bottom); ++y) {
                const uint8_t* row = band.data() + static_cast<size_t>(y - top) * width;
                for (int x = r.left; x < r.right; ++x) {
                    if (row[x - area.left] == kPen)
                        v.put(x, y, p.pen);
                    else if (row[x - area.left] == kBrush)
                        v.put(x, y, p.fillAt(x, y));
                }
            }
        }
    }
    drawn(d.target);
}

// A figure over the pixels of `box` with a wide pen. Its path runs along the box's outermost
// pixels, with corners cut by an ellipse of cornerW x cornerH pixels (at most the box's size).
// PS_INSIDEFRAME first brings the box in by half the pen on each side (and the corners by as
// much), so that the band ends on the box's edges.
void paintWideFigure(Drawing& d, RECT box, int64_t cornerW, int64_t cornerH) {
    if (box.right <= box.left || box.bottom <= box.top) return;
    const int w = d.paint.penWidth;
    RECT frame = box;
    if (d.paint.insideFrame) {
        frame.left += w / 2;
        frame.top += w / 2;
        frame.right -= (w - 1) / 2;
        frame.bottom -= (w - 1) / 2;
        cornerW -= w - 1;
        cornerH -= w - 1;
    }
    const double o = pathOffset(w);
    double l = frame.left + o, t = frame.top + o;
    double r = frame.right - 1 + o, b = frame.bottom - 1 + o;
    if (r < l) l = r = (l + r) / 2;
    if (b < t) t = b = (t + b) / 2;
    const double cw =
        static_cast<double>(std::min<int64_t>(cornerW, int64_t{frame.right} - frame.left));
    const double ch =
        static_cast<double>(std::min<int64_t>(cornerH, int64_t{frame.bottom} - frame.top));
    const Path path = figurePath(l, t, r, b, (cw - 1) / 2, (ch - 1) / 2);
    strokePath(d, path, d.paint.insideFrame ? &box : nullptr);
}

} // namespace

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    const RECT box = figureBox(d, left, top, right, bottom);
    if (d.paint.penWidth > 1) {
        paintWideFigure(d, box, 0, 0);
        return TRUE;
    }
    paintFigure(d, box, [&](int x, int y, int in) {
        return x >= box.left + in && x < box.right - in && y >= box.top + in && y < box.bottom - in;
    });
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    Drawing d;
    if (!takeDrawing(dc, d)) return FALSE;
    const RECT box = figureBox(d, left, top, right, bottom);
    if (d.paint.penWidth > 1) {
        paintWideFigure(d, box, int64_t{box.right} - box.left, int64_t{box.bottom} - box.top);
        return TRUE;
    }
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
    if (d.paint.penWidth > 1) {
        paintWideFigure(d, box, cw, ch);
        return TRUE;
    }
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
    if (w > 1) {
        // A wide line is the pen swept from point to point, the end point included.
        const double o = pathOffset(w);
        Path path;
        path.add(d.position.x + o, d.position.y + o);
        path.add(x + o, y + o);
        strokePath(d, path, nullptr);
        return TRUE;
    }
    auto lock = lockFor(needsWmLock(d.target));
    View v = viewOf(d.target, false);
    if (!v.valid()) return TRUE;
    const Region clip = clipOf(d.target, v);
    // A one-pixel line: a Bresenham walk from the current position, leaving out the end point.
    // Where the ideal line passes exactly half-way between two pixels, the direction decides:
    // the step along the minor axis is taken at once for lines going left and up, for lines
    // going left and down that are steeper than 45 degrees, and for lines going right and up
    // that are flatter; later otherwise. A line so drawn covers the pixels Windows GDI's does.
    int64_t px = d.position.x, py = d.position.y;
    const int64_t dx = std::abs(int64_t{x} - px), dy = std::abs(int64_t{y} - py);
    const int sx = px < x ? 1 : -1, sy = py < y ? 1 : -1;
    const bool xMajor = dx >= dy;
    const int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    const bool leftward = x < px, upward = y < py;
    const bool early =
        (leftward && upward) || (leftward && !upward && !xMajor) || (!leftward && upward && xMajor);
    const int64_t bias = early ? 1 : 0;
    int64_t error = 2 * minor - major;
    for (int64_t i = 0; i < major; ++i) {
        // Every point lies between the two ends, so it fits an int.
        if (clip.contains(static_cast<int>(px), static_cast<int>(py)))
            v.put(static_cast<int>(px), static_cast<int>(py), d.paint.pen);
        if (error + bias > 0) {
            (xMajor ? py : px) += xMajor ? sy : sx;
            error -= 2 * major;
        }
        error += 2 * minor;
        (xMajor ? px : py) += xMajor ? sx : sy;
    }
    drawn(d.target);
    return TRUE;
}

} // extern "C"
