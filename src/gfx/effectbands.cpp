// The band effects. Blinds (37 rows, 49 columns) and random bands (27 rows, 28 columns) draw
// straight to the window; the checkerboard (38) and the strips (39-46) compose the work
// picture and draw it whole.
#include <algorithm>
#include <vector>

#include "gfx/effectframe.h"

namespace skv::effects {

namespace {

// Draws rows (y, h) of the new picture when `rows`, else columns (x, w); y counts from the top.
void drawBand(EffectState& s, bool rows, int32_t at, int32_t length) {
    if (rows)
        drawArea(s.dc, *s.newPicture, 0, at, s.width, length);
    else
        drawArea(s.dc, *s.newPicture, at, 0, length, s.height);
}

// 12 bands of a twelfth of the stage; every step reveals the next chunk of each.
class Blinds : public EffectFamily {
public:
    explicit Blinds(int32_t effect) : rows_(effect == 37) {}

    bool composes() const override { return false; }

    void start(EffectState& s) override {
        band_ = std::max(1, (rows_ ? s.height : s.width) / 12);
        s.chunk = std::clamp(s.chunk, 1, band_);
        s.delay = delayFor(s.duration, band_ / s.chunk);
    }

    bool step(EffectState& s) override {
        if (d_ >= band_) return false;
        const int32_t length = std::min(s.chunk, band_ - d_);
        for (int32_t i = 0; i < 12; ++i)
            drawBand(s, rows_, d_ + band_ * i, length);
        d_ += s.chunk;
        return true;
    }

private:
    bool rows_;
    int32_t band_ = 1;
    int32_t d_ = 0;
};

// Bands of `chunk` rows or columns drawn in a random order.
class RandomBands : public EffectFamily {
public:
    explicit RandomBands(int32_t effect) : rows_(effect == 27) {}

    bool composes() const override { return false; }

    void start(EffectState& s) override {
        s.chunk = std::max(s.chunk, 1);
        const int32_t n = (rows_ ? s.height : s.width) / s.chunk;
        // The r-th band not yet taken, for r drawn at each position.
        std::vector<int32_t> left(static_cast<size_t>(std::max(n, 0)));
        for (int32_t i = 0; i < n; ++i)
            left[static_cast<size_t>(i)] = i;
        while (!left.empty()) {
            const size_t r = static_cast<size_t>(transitionRand()) % left.size();
            order_.push_back(left[r]);
            left.erase(left.begin() + static_cast<std::ptrdiff_t>(r));
        }
        if (int64_t{n} * 1000 / s.duration < 16) {
            s.delay = delayFor(s.duration, n);
            perStep_ = 1;
        } else {
            // About 15 steps a second, with as many bands each as that takes.
            s.rate = 15;
            s.delay = 66;
            perStep_ =
                std::max<int32_t>(1, static_cast<int32_t>(int64_t{n} * 1000 / s.duration / 15));
        }
    }

    bool step(EffectState& s) override {
        if (next_ >= order_.size()) return false;
        for (int32_t k = 0; k < perStep_ && next_ < order_.size(); ++k, ++next_)
            drawBand(s, rows_, order_[next_] * s.chunk, s.chunk);
        return true;
    }

private:
    bool rows_;
    std::vector<int32_t> order_;
    size_t next_ = 0;
    int32_t perStep_ = 1;
};

// Squares of a sixteenth of the width: first every other square fills from its top down,
// chunk rows a step, then the squares between them.
class Checkerboard : public EffectFamily {
public:
    explicit Checkerboard(int32_t) {}

    bool composes() const override { return true; }

    void start(EffectState& s) override {
        s.chunk = std::max(s.chunk, 1);
        square_ = s.width / 16;
        if (square_ < s.chunk) square_ = 2 * s.chunk;
        s.delay = delayFor(s.duration, 2 * square_ / s.chunk);
    }

    bool step(EffectState& s) override {
        d_ += s.chunk;
        if (d_ >= 2 * square_) return false;
        if (!s.work) return true;
        const int32_t m = square_;
        for (int32_t top = 0, row = 0; top < s.height; top += m, ++row) {
            for (int32_t left = 0, col = 0; left < s.width; left += m, ++col) {
                const bool first = (row + col) % 2 == 0;
                const int32_t filled = std::clamp(first ? d_ : d_ - m, 0, m);
                if (filled <= 0) continue;
                // Rows `top` to `top + filled` from the top are memory rows below H - top.
                const int32_t h = std::min(filled, s.height - top);
                copyInPlace(*s.work, *s.newPicture, left, s.height - top - h, m, h);
            }
        }
        drawWhole(s.dc, *s.work);
        return true;
    }

private:
    int32_t square_ = 1;
    int32_t d_ = 0;
};

// 16 strips, each filled along its length by the chunk a step, each starting a little after
// the one before it, so that the last one starts about half-way through.
//
// | effect | strips  | fill direction  | order of the strips |
// |--------|---------|-----------------|---------------------|
// | 39     | columns | top to bottom   | left to right       |
// | 40     | columns | bottom to top   | left to right       |
// | 41     | rows    | left to right   | top to bottom       |
// | 42     | rows    | right to left   | top to bottom       |
// | 43     | rows    | left to right   | bottom to top       |
// | 44     | rows    | right to left   | bottom to top       |
// | 45     | columns | top to bottom   | right to left       |
// | 46     | columns | bottom to top   | right to left       |
class Strips : public EffectFamily {
public:
    static constexpr int32_t kStrips = 16;

    explicit Strips(int32_t effect)
        : columns_(effect == 39 || effect == 40 || effect == 45 || effect == 46),
          reverseFill_(effect == 40 || effect == 42 || effect == 44 || effect == 46),
          reverseOrder_(effect == 43 || effect == 44 || effect == 45 || effect == 46) {}

    bool composes() const override { return true; }

    void start(EffectState& s) override {
        s.chunk = std::max(s.chunk, 1);
        length_ = columns_ ? s.height : s.width;
        const int32_t across = columns_ ? s.width : s.height;
        breadth_ = std::max(1, (across + kStrips - 1) / kStrips);
        const int32_t stepsPerStrip = std::max(1, (length_ + s.chunk - 1) / s.chunk);
        // Strip k starts k sixteenths of a strip's steps after the first.
        for (int32_t k = 0; k < kStrips; ++k)
            progress_[k] = -static_cast<int64_t>(k) * stepsPerStrip / kStrips * s.chunk;
        s.delay = std::min<UINT>(delayFor(s.duration, 2 * length_ / s.chunk), 66);
    }

    bool step(EffectState& s) override {
        bool complete = true;
        for (int32_t k = 0; k < kStrips; ++k)
            if (progress_[k] < length_) complete = false;
        if (complete) return false;
        for (int32_t k = 0; k < kStrips; ++k) {
            progress_[k] = std::min<int64_t>(progress_[k] + s.chunk, length_);
            if (s.work && progress_[k] > 0) reveal(s, k, static_cast<int32_t>(progress_[k]));
        }
        if (s.work) drawWhole(s.dc, *s.work);
        return true;
    }

private:
    // Copies the first `filled` pixels of strip k (in its fill direction) into the work picture.
    void reveal(EffectState& s, int32_t k, int32_t filled) const {
        const int32_t index = reverseOrder_ ? kStrips - 1 - k : k;
        const int32_t at = index * breadth_;
        if (columns_) {
            // Top to bottom fills the highest memory rows first.
            const int32_t row = reverseFill_ ? 0 : s.height - filled;
            copyInPlace(*s.work, *s.newPicture, at, row, breadth_, filled);
        } else {
            const int32_t x = reverseFill_ ? s.width - filled : 0;
            // Strip `index` counted from the top is the memory rows below H - at.
            const int32_t row = s.height - at - breadth_;
            copyInPlace(*s.work, *s.newPicture, x, row, filled, breadth_);
        }
    }

    bool columns_, reverseFill_, reverseOrder_;
    int32_t length_ = 0, breadth_ = 1;
    int64_t progress_[kStrips] = {};
};

} // namespace

void fillBandEffects(TransitionTable& table) {
    fill<RandomBands, 27, 28>(table);
    fill<Blinds, 37, 49>(table);
    fill<Checkerboard, 38>(table);
    fill<Strips, 39, 40, 41, 42, 43, 44, 45, 46>(table);
}

} // namespace skv::effects
