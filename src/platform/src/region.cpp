#include "region.h"

#include <algorithm>

#include "platform/wingdi.h"

namespace skv::platform::gdi {

bool rectEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT rectIntersection(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (rectEmpty(r)) return RECT{0, 0, 0, 0};
    return r;
}

Region::Region(const RECT& r) {
    if (!rectEmpty(r)) rects_.push_back(r);
}

RECT Region::bounds() const {
    if (rects_.empty()) return RECT{0, 0, 0, 0};
    RECT b = rects_.front();
    for (const RECT& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

int Region::complexity() const {
    if (rects_.empty()) return NULLREGION;
    return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool Region::contains(int x, int y) const {
    for (const RECT& r : rects_)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

bool Region::operator==(const Region& other) const {
    if (rects_.size() != other.rects_.size()) return false;
    for (size_t i = 0; i < rects_.size(); ++i) {
        const RECT &a = rects_[i], &b = other.rects_[i];
        if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom)
            return false;
    }
    return true;
}

std::vector<RECT> Region::canonical(const std::vector<RECT>& pieces) {
    std::vector<LONG> ys;
    ys.reserve(pieces.size() * 2);
    for (const RECT& r : pieces) {
        if (rectEmpty(r)) continue;
        ys.push_back(r.top);
        ys.push_back(r.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    struct Band {
        LONG top, bottom;
        std::vector<std::pair<LONG, LONG>> spans;
    };
    std::vector<Band> bands;
    std::vector<std::pair<LONG, LONG>> spans;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        const LONG top = ys[i], bottom = ys[i + 1];
        spans.clear();
        for (const RECT& r : pieces)
            if (!rectEmpty(r) && r.top <= top && r.bottom >= bottom)
                spans.emplace_back(r.left, r.right);
        if (spans.empty()) continue;
        std::sort(spans.begin(), spans.end());
        std::vector<std::pair<LONG, LONG>> merged;
        for (const auto& s : spans) {
            if (!merged.empty() && s.first <= merged.back().second)
                merged.back().second = std::max(merged.back().second, s.second);
            else
                merged.push_back(s);
        }
        if (!bands.empty() && bands.back().bottom == top && bands.back().spans == merged)
            bands.back().bottom = bottom; // same columns as the band above: one taller band
        else
            bands.push_back(Band{top, bottom, std::move(merged)});
    }
    std::vector<RECT> out;
    for (const Band& b : bands)
        for (const auto& s : b.spans)
            out.push_back(RECT{s.first, b.top, s.second, b.bottom});
    return out;
}

void Region::unite(const Region& other) {
    if (other.empty()) return;
    std::vector<RECT> all = rects_;
    all.insert(all.end(), other.rects_.begin(), other.rects_.end());
    rects_ = canonical(all);
}

void Region::intersect(const Region& other) {
    std::vector<RECT> pieces;
    for (const RECT& a : rects_)
        for (const RECT& b : other.rects_) {
            RECT r = rectIntersection(a, b);
            if (!rectEmpty(r)) pieces.push_back(r);
        }
    rects_ = canonical(pieces);
}

void Region::subtract(const Region& other) {
    std::vector<RECT> current = rects_;
    for (const RECT& cut : other.rects_) {
        std::vector<RECT> next;
        for (const RECT& r : current) {
            RECT i = rectIntersection(r, cut);
            if (rectEmpty(i)) {
                next.push_back(r);
                continue;
            }
            // What is left of r around the cut: above, below, and beside it within its rows.
            if (r.top < i.top) next.push_back(RECT{r.left, r.top, r.right, i.top});
            if (i.bottom < r.bottom) next.push_back(RECT{r.left, i.bottom, r.right, r.bottom});
            if (r.left < i.left) next.push_back(RECT{r.left, i.top, i.left, i.bottom});
            if (i.right < r.right) next.push_back(RECT{i.right, i.top, r.right, i.bottom});
        }
        current = std::move(next);
    }
    rects_ = canonical(current);
}

void Region::exclusiveOr(const Region& other) {
    Region a = *this, b = other;
    a.subtract(other);
    b.subtract(*this);
    a.unite(b);
    *this = std::move(a);
}

void Region::offset(int dx, int dy) {
    for (RECT& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

} // namespace skv::platform::gdi
