// The pixels of lines, regions and geometric pens, as Windows GDI covers them (see gdi_coverage.h).
#include "gdi_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace skv::platform::gdi {

namespace {

// ceil(rows * dx / dy) for dy > 0, rows >= 0: how far an edge has run after `rows` rows. The
// product of two 32-bit spans needs more than 64 bits.
__extension__ typedef __int128 Wide;
int64_t crossing(int64_t rows, int64_t dx, int64_t dy) {
    const Wide n = Wide{rows} * dx;
    const Wide q = n / dy, r = n % dy;
    return static_cast<int64_t>(r > 0 ? q + 1 : q);
}

// A positive half-way value rounded away from zero, as the pen code rounds its offsets.
int64_t roundHalfUp(double v) {
    return static_cast<int64_t>(v + 0.5);
}

// The state of Zingl's walk round the quarter of an ellipse in a w x h box: the error term and
// its increments for a step in x and for a step in y.
struct EllipseWalk {
    int64_t dx, dy, err, stepX, stepY;

    EllipseWalk(int w, int h) {
        const int64_t a = w - 1, b = h - 1;
        stepX = 8 * b * b;
        stepY = 8 * a * a;
        dx = 4 * b * b * (1 - a);
        dy = 4 * a * a * (1 + b % 2);
        err = dx + dy + a * a * (b % 2);
    }
    // One step: which of x and y move on.
    std::pair<bool, bool> step() {
        const int64_t e2 = 2 * err;
        const bool moveX = e2 >= dx, moveY = e2 <= dy;
        if (moveX) {
            dx += stepX;
            err += dx;
        }
        if (moveY) {
            dy += stepY;
            err += dy;
        }
        return {moveX, moveY};
    }
};

} // namespace

void Coverage::addRun(int64_t y, int64_t left, int64_t right) {
    if (y < limit_.top || y >= limit_.bottom) return;
    left = std::max<int64_t>(left, limit_.left);
    right = std::min<int64_t>(right, limit_.right);
    if (left >= right) return;
    runs_.push_back(Run{static_cast<int>(y), static_cast<int>(left), static_cast<int>(right)});
}

void Coverage::addRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (!touches(left, top, right, bottom)) return;
    top = std::max<int64_t>(top, limit_.top);
    bottom = std::min<int64_t>(bottom, limit_.bottom);
    for (int64_t y = top; y < bottom; ++y)
        addRun(y, left, right);
}

void Coverage::normalize() {
    if (runs_.size() < 2) return;
    // Every run lies in the limit's rows: bucket them by row, then sort and merge each row's.
    const size_t rows = static_cast<size_t>(limit_.bottom - limit_.top);
    std::vector<uint32_t> start(rows + 1, 0);
    for (const Run& r : runs_)
        ++start[static_cast<size_t>(r.y - limit_.top) + 1];
    for (size_t y = 0; y < rows; ++y)
        start[y + 1] += start[y];
    std::vector<Run> sorted(runs_.size());
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (const Run& r : runs_)
        sorted[next[static_cast<size_t>(r.y - limit_.top)]++] = r;
    runs_.clear();
    for (size_t y = 0; y < rows; ++y) {
        const auto from = sorted.begin() + start[y], to = sorted.begin() + start[y + 1];
        if (from == to) continue;
        std::sort(from, to, [](const Run& a, const Run& b) { return a.left < b.left; });
        runs_.push_back(*from);
        for (auto it = from + 1; it != to; ++it) {
            if (it->left <= runs_.back().right)
                runs_.back().right = std::max(runs_.back().right, it->right);
            else
                runs_.push_back(*it);
        }
    }
}

void addRectRegion(Coverage& c, int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    c.addRect(left, top, right, bottom);
}

void addRoundRectRegion(Coverage& c, int64_t left, int64_t top, int64_t right, int64_t bottom,
                        int64_t w, int64_t h) {
    int64_t l = left, t = top, r = right, b = bottom;
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    // The region leaves out the right column and the bottom row of the box.
    --r;
    --b;
    const int64_t ew = std::min<int64_t>(r - l, std::abs(w));
    const int64_t eh = std::min<int64_t>(b - t, std::abs(h));
    if (ew < 2 || eh < 2) {
        addRectRegion(c, l, t, r, b);
        return;
    }
    if (ew > kMaxCorner || eh > kMaxCorner || !c.touches(l, t, r, b)) return;
    const int cw = static_cast<int>(ew), ch = static_cast<int>(eh);
    // How far in from the sides each row of the corner ellipse's lower half starts, walked from
    // the middle row down: a row takes the inset reached when the walk steps onto it. The walk
    // ends half-way across, so that for a narrow, tall ellipse it never reaches the last rows:
    // those stay empty, as the outline does not reach them either. (Wine leaves them unset, so
    // that compare_figures.py finds its brush there in whatever place its memory held.)
    constexpr int64_t kUnreached = -1;
    std::vector<int64_t> inset(static_cast<size_t>(ch), kUnreached);
    inset[static_cast<size_t>(ch / 2)] = 0;
    EllipseWalk walk(cw, ch);
    int64_t x = 0, y = ch / 2;
    while (x <= cw / 2) {
        const auto [moveX, moveY] = walk.step();
        if (moveX) ++x;
        if (moveY && ++y < ch) inset[static_cast<size_t>(y)] = x;
    }
    const auto row = [&](int64_t y, int64_t in) {
        if (in != kUnreached) c.addRun(y, l + in, r - in);
    };
    const int half = ch / 2;
    for (int i = 0; i < half; ++i) // the upper corners mirror the lower ones
        row(t + i, inset[ch - 1 - i]);
    c.addRect(l, t + half, r, b - ch + half + 1); // the straight sides
    for (int i = half + 1; i < ch; ++i)
        row(b - ch + i, inset[i]);
}

void quarterEllipse(int w, int h, std::vector<POINT>& out) {
    EllipseWalk walk(w, h);
    POINT p{w - 1, h / 2};
    while (p.x >= w / 2) {
        out.push_back(p);
        const auto [moveX, moveY] = walk.step();
        if (moveX) --p.x;
        if (moveY) ++p.y;
    }
}

void roundRectOutline(const RECT& box, int w, int h, std::vector<POINT>& out) {
    out.clear();
    quarterEllipse(w, h, out);
    const size_t n = out.size();
    // The top right corner, from its right end up to its top.
    for (POINT& p : out) {
        p.x = box.right - w + p.x;
        p.y = box.top + h - 1 - p.y;
    }
    // Mirrored into the top left corner in reverse order, and the result into the bottom half;
    // a corner as wide (tall) as the box with an odd width (height) shares its middle point.
    size_t end = 2 * n - 1;
    if (w % 2 && w == box.right - box.left) --end;
    out.resize(end + 1);
    for (size_t i = 0; i < n; ++i)
        out[end - i] = POINT{box.left + box.right - 1 - out[i].x, out[i].y};
    const size_t half = end + 1;
    end = 2 * half - 1;
    if (h % 2 && h == box.bottom - box.top) --end;
    out.resize(end + 1);
    for (size_t i = 0; i < half; ++i)
        out[end - i] = POINT{out[i].x, box.top + box.bottom - 1 - out[i].y};
}

void addThinLine(Coverage& c, POINT from, POINT to) {
    // Horizontal and vertical lines: the start point in, the end point out.
    if (from.y == to.y) {
        if (from.x <= to.x)
            c.addRun(from.y, from.x, to.x);
        else
            c.addRun(from.y, int64_t{to.x} + 1, int64_t{from.x} + 1);
        return;
    }
    if (from.x == to.x) {
        if (from.y < to.y)
            c.addRect(from.x, from.y, int64_t{from.x} + 1, to.y);
        else
            c.addRect(from.x, int64_t{to.y} + 1, int64_t{from.x} + 1, int64_t{from.y} + 1);
        return;
    }
    // Sloping lines reaching 2^28 pixels or more from the origin are drawn at an eighth of their
    // size, as Windows GDI does, which keeps the walk's terms within 64 bits.
    constexpr int64_t kFar = 0x10000000;
    const auto far = [](POINT p) {
        return p.x >= kFar || p.x <= -kFar || p.y >= kFar || p.y <= -kFar;
    };
    const int64_t scale = far(from) || far(to) ? 8 : 1;
    const int64_t x0 = from.x / scale, y0 = from.y / scale, x1 = to.x / scale, y1 = to.y / scale;
    if (!c.touches(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1))
        return;
    const int64_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int64_t sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
    const bool xMajor = dx > dy;
    const int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    // Where the ideal line passes exactly half-way between two pixels, lines going left and up,
    // going left and down steeper than 45 degrees, and going right and up flatter than that
    // take the step along the minor axis at once; others take it one pixel later.
    const bool left = x1 < x0, up = y1 < y0;
    const int64_t bias = (left && up) || (left && !up && !xMajor) || (!left && up && xMajor);
    // Pixel i (0 <= i < major) lies `i` along the major axis and k(i) along the minor one, with
    // k(i) = ceil((2 minor i - major + bias) / (2 major)): the Bresenham walk in closed form, so
    // that the walk can start where the line enters the limit.
    const int64_t a0 = xMajor ? x0 : y0, sa = xMajor ? sx : sy, sb = xMajor ? sy : sx;
    const int64_t lo = xMajor ? c.limit().left : c.limit().top;
    const int64_t hi = xMajor ? c.limit().right : c.limit().bottom;
    int64_t first = sa > 0 ? lo - a0 : a0 - hi + 1, last = sa > 0 ? hi - a0 : a0 - lo + 1;
    first = std::max<int64_t>(first, 0);
    last = std::min(last, major);
    if (first >= last) return;
    int64_t k = (2 * minor * first + major + bias - 1) / (2 * major);
    // The walk's error term at pixel i: 2 minor (i + 1) - major - 2 major k(i).
    int64_t error = 2 * minor * (first + 1) - major - 2 * major * k;
    const int64_t b0 = xMajor ? y0 : x0;
    int64_t runStart = a0 + sa * first; // the first pixel of the current row (x-major lines)
    for (int64_t i = first; i < last; ++i) {
        const int64_t a = a0 + sa * i, b = b0 + sb * k;
        const bool step = error + bias > 0;
        if (!xMajor) {
            c.addRun(a, b, b + 1);
        } else if (step || i + 1 == last) {
            c.addRun(b, std::min(runStart, a), std::max(runStart, a) + 1);
            runStart = a + sa;
        }
        if (step) {
            ++k;
            error -= 2 * major;
        }
        error += 2 * minor;
    }
}

void addThinPolyline(Coverage& c, const POINT* points, size_t count, bool closed) {
    if (count < 2) return;
    for (size_t i = 0; i + 1 < count; ++i)
        addThinLine(c, points[i], points[i + 1]);
    if (closed) addThinLine(c, points[count - 1], points[0]);
}

void addPolygon(Coverage& c, const POINT* points, size_t count) {
    if (count < 3) return;
    int64_t top = points[0].y, bottom = points[0].y;
    for (size_t i = 1; i < count; ++i) {
        top = std::min<int64_t>(top, points[i].y);
        bottom = std::max<int64_t>(bottom, points[i].y);
    }
    top = std::max<int64_t>(top, c.limit().top);
    bottom = std::min<int64_t>(bottom, c.limit().bottom);
    constexpr size_t kInline = 16;
    int64_t inlineCrossings[kInline];
    std::vector<int64_t> moreCrossings;
    int64_t* crossings = inlineCrossings;
    if (count > kInline) {
        moreCrossings.resize(count);
        crossings = moreCrossings.data();
    }
    for (int64_t y = top; y < bottom; ++y) {
        // An edge crosses the rows from its upper end's down to (not including) its lower
        // end's, at its upper end's x plus the run so far rounded up.
        size_t n = 0;
        for (size_t i = 0; i < count; ++i) {
            const POINT& p = points[i];
            const POINT& q = points[(i + 1) % count];
            if (p.y == q.y) continue;
            const POINT& upper = p.y < q.y ? p : q;
            const POINT& lower = p.y < q.y ? q : p;
            if (y < upper.y || y >= lower.y) continue;
            crossings[n++] = upper.x + crossing(y - upper.y, int64_t{lower.x} - upper.x,
                                                int64_t{lower.y} - upper.y);
        }
        std::sort(crossings, crossings + n);
        for (size_t i = 0; i + 1 < n; i += 2)
            c.addRun(y, crossings[i], crossings[i + 1]);
    }
}

namespace {

// The band a wide pen lays along one segment, its ends left to the discs at the points.
void addWideSegment(Coverage& c, POINT p, POINT q, int width) {
    const int64_t dx = int64_t{q.x} - p.x, dy = int64_t{q.y} - p.y;
    const int64_t half = width / 2;
    if (dx == 0 && dy == 0) return;
    if (dy == 0) {
        c.addRect(std::min(p.x, q.x), p.y - half, std::max(p.x, q.x), p.y - half + width);
        return;
    }
    if (dx == 0) {
        c.addRect(p.x - half, std::min(p.y, q.y), p.x - half + width, std::max(p.y, q.y));
        return;
    }
    // A quadrilateral: the pen's width across the segment, split into a narrower half on one
    // side and a wider one (by rounding) on the other, in x and in y.
    const double length = std::hypot(static_cast<double>(dx), static_cast<double>(dy));
    const double across = static_cast<double>(width * std::abs(dy)) / length;
    const double down = static_cast<double>(width * std::abs(dx)) / length;
    int64_t narrowX = roundHalfUp(across / 2), narrowY = roundHalfUp(down / 2);
    int64_t wideX = roundHalfUp((across + 1) / 2), wideY = roundHalfUp((down + 1) / 2);
    if (dx < 0) {
        wideY = -wideY;
        narrowY = -narrowY;
    }
    if (dy < 0) {
        std::swap(narrowX, wideX);
        std::swap(narrowY, wideY);
        wideX = -wideX;
        narrowX = -narrowX;
    }
    const auto at = [](POINT o, int64_t x, int64_t y) {
        return POINT{static_cast<LONG>(o.x + x), static_cast<LONG>(o.y + y)};
    };
    const POINT quad[4] = {at(p, -narrowX, narrowY), at(p, wideX, -wideY), at(q, wideX, -wideY),
                           at(q, -narrowX, narrowY)};
    int64_t l = quad[0].x, t = quad[0].y, r = l, b = t;
    for (const POINT& v : quad) {
        l = std::min<int64_t>(l, v.x), r = std::max<int64_t>(r, v.x);
        t = std::min<int64_t>(t, v.y), b = std::max<int64_t>(b, v.y);
    }
    if (c.touches(l, t, r, b)) addPolygon(c, quad, 4);
}

} // namespace

void addWidePolyline(Coverage& c, const POINT* points, size_t count, bool closed, int width) {
    if (count == 0 || width < 2) return;
    // The disc: the elliptic region of a box `width` pixels across around the point, the odd
    // pixel of an even width above and to the left.
    const int near = width / 2, far = (width + 1) / 2 + 1;
    Coverage disc(RECT{-width, -width, width + 1, width + 1});
    addRoundRectRegion(disc, -near, -near, far, far, far + near, far + near);
    for (size_t i = 0; i < count; ++i) {
        const POINT p = points[i];
        if (!c.touches(int64_t{p.x} - width, int64_t{p.y} - width, int64_t{p.x} + width + 1,
                       int64_t{p.y} + width + 1))
            continue;
        for (const Coverage::Run& r : disc.runs())
            c.addRun(int64_t{p.y} + r.y, int64_t{p.x} + r.left, int64_t{p.x} + r.right);
    }
    for (size_t i = 0; i + 1 < count; ++i)
        addWideSegment(c, points[i], points[i + 1], width);
    if (closed && count > 1) addWideSegment(c, points[count - 1], points[0], width);
}

} // namespace skv::platform::gdi
