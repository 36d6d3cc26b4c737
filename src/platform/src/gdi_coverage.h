// Which pixels lines and figures cover, worked out apart from any surface: the rules of Windows
// GDI (see "lines and filled shapes" in platform/wingdi.h) as sets of runs along rows. The
// drawing calls in gdi_shapes.cpp build a figure's brush and pen pixels here and then paint them
// through the clip region.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/windef.h"

namespace skv::platform::gdi {

// A set of pixels as runs [left, right) along rows, kept within a limit (the part of the surface
// that can be drawn on): what lies outside is cut off as it is added, so that the work stays in
// proportion to what is visible however large the figure.
class Coverage {
public:
    struct Run {
        int y, left, right;
    };

    explicit Coverage(const RECT& limit) : limit_(limit) {}

    const RECT& limit() const { return limit_; }
    // Whether any of [left, right) x [top, bottom) lies within the limit.
    bool touches(int64_t left, int64_t top, int64_t right, int64_t bottom) const {
        return left < limit_.right && right > limit_.left && top < limit_.bottom &&
               bottom > limit_.top && left < right && top < bottom;
    }
    void addRun(int64_t y, int64_t left, int64_t right);
    void addRect(int64_t left, int64_t top, int64_t right, int64_t bottom);
    // Sorts the runs by row and then by left end and merges those that overlap or touch.
    void normalize();
    // In row order once normalized.
    const std::vector<Run>& runs() const { return runs_; }

private:
    RECT limit_;
    std::vector<Run> runs_;
};

// The largest corner ellipse (width or height) a round rectangle or an ellipse may have; larger
// figures are not drawn.
constexpr int kMaxCorner = 1 << 19;

// A rectangle region as CreateRectRgn makes it: the corners put in order, nothing when it has no
// width or height.
void addRectRegion(Coverage& c, int64_t left, int64_t top, int64_t right, int64_t bottom);

// The region CreateRoundRectRgn makes: the pixels of [left, right - 1) x [top, bottom - 1) with
// corners cut by an ellipse of w x h pixels (at most the box's size; square corners when it is
// less than 2 either way). Its rows come from the same midpoint walk as the quarter-ellipse
// outline below, run from the middle row outwards.
void addRoundRectRegion(Coverage& c, int64_t left, int64_t top, int64_t right, int64_t bottom,
                        int64_t w, int64_t h);

// The points of one quarter of the outline of an ellipse filling a w x h box (w, h >= 2), in the
// box's pixels: from the right end of the middle row, (w - 1, h / 2), down to the middle of the
// bottom row, x never rising and y never falling. Alois Zingl's midpoint walk.
void quarterEllipse(int w, int h, std::vector<POINT>& out);

// The closed outline of a round rectangle over the pixels of `box` whose corners are quarters of
// a w x h ellipse (2 < w, h, at most the box's size): counterclockwise from the right end of the
// top right corner.
void roundRectOutline(const RECT& box, int w, int h, std::vector<POINT>& out);

// A one-pixel line from `from` towards `to`, leaving `to` out: a Bresenham walk whose ties go
// the way Windows GDI takes them in each octant.
void addThinLine(Coverage& c, POINT from, POINT to);
// One-pixel lines through the points in turn, and back to the first when `closed`.
void addThinPolyline(Coverage& c, const POINT* points, size_t count, bool closed);

// The pixels inside a polygon by the even-odd rule: on each row, those from where an edge
// crosses (rounded up) to where the next one does, that one left out.
void addPolygon(Coverage& c, const POINT* points, size_t count);

// What a geometric pen `width` pixels wide (> 1) covers along the points in turn, and back to
// the first when `closed`: a band along each segment and, at every point, a disc as wide as the
// pen (round ends and round joins).
void addWidePolyline(Coverage& c, const POINT* points, size_t count, bool closed, int width);

} // namespace skv::platform::gdi
