// A set of pixels made of rectangles, kept in one canonical form (horizontal bands, each a sorted
// list of disjoint x-intervals, equal neighbouring bands merged), so that two regions covering
// the same pixels compare equal and a region that is one rectangle says so. Used for clip
// regions, update regions and the HRGN objects of the GDI.
#pragma once

#include <vector>

#include "platform/windef.h"

namespace skv::platform::gdi {

class Region {
public:
    Region() = default;
    explicit Region(const RECT& r);

    bool empty() const { return rects_.empty(); }
    // Disjoint, non-empty rectangles in band order (top to bottom, left to right).
    const std::vector<RECT>& rects() const { return rects_; }
    RECT bounds() const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int complexity() const;
    bool contains(int x, int y) const;
    bool operator==(const Region& other) const;

    void unite(const Region& other);
    void intersect(const Region& other);
    void subtract(const Region& other);
    void exclusiveOr(const Region& other);
    void intersect(const RECT& r) { intersect(Region(r)); }
    void offset(int dx, int dy);

private:
    // Builds the canonical form of any set of rectangles (they may overlap).
    static std::vector<RECT> canonical(const std::vector<RECT>& pieces);

    std::vector<RECT> rects_;
};

bool rectEmpty(const RECT& r);
RECT rectIntersection(const RECT& a, const RECT& b);

} // namespace skv::platform::gdi
