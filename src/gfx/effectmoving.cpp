// The moving effects: wipes, pushes, uncovers and covers, horizontal, vertical and diagonal. All
// compose the work picture and draw it whole after every step.
//
// Along an axis of S pixels the position p starts at 0 (the left or bottom edge) or at -S (the
// right or top edge) and grows by the chunk each step; crossing from negative to 0 or more makes
// it S, and the effect ends once p >= S. The extent revealed is p from the starting edge, or
// S + p from the opposite one. Vertical positions count memory rows, from the bottom.
//
// Diagonal effects move both axes at once with a common step count, in 16.16 fixed point, so
// that both directions finish on the same step.
#include <algorithm>

#include "gfx/effectframe.h"

namespace skv::effects {

namespace {

enum class Kind { Wipe, Push, Uncover, Cover };

// How an effect number moves: which axes, and whether each starts at -S.
struct Motion {
    Kind kind;
    bool horizontal, vertical;
    bool fromFarX, fromFarY; // starts at -W / -H
};

constexpr Motion motionOf(int32_t effect) {
    switch (effect) {
    case 1:
        return {Kind::Wipe, true, false, false, false};
    case 2:
        return {Kind::Wipe, true, false, true, false};
    case 3:
        return {Kind::Wipe, false, true, false, true};
    case 4:
        return {Kind::Wipe, false, true, false, false};
    case 11:
        return {Kind::Push, true, false, true, false};
    case 12:
        return {Kind::Push, true, false, false, false};
    case 13:
        return {Kind::Push, false, true, false, true};
    case 14:
        return {Kind::Push, false, true, false, false};
    case 15:
        return {Kind::Uncover, false, true, false, false};
    case 19:
        return {Kind::Uncover, false, true, false, true};
    case 17:
        return {Kind::Uncover, true, false, false, false};
    case 21:
        return {Kind::Uncover, true, false, true, false};
    case 16:
        return {Kind::Uncover, true, true, false, false};
    case 18:
        return {Kind::Uncover, true, true, false, true};
    case 20:
        return {Kind::Uncover, true, true, true, true};
    case 22:
        return {Kind::Uncover, true, true, true, false};
    case 29:
        return {Kind::Cover, false, true, false, true};
    case 34:
        return {Kind::Cover, false, true, false, false};
    case 32:
        return {Kind::Cover, true, false, true, false};
    case 33:
        return {Kind::Cover, true, false, false, false};
    case 30:
        return {Kind::Cover, true, true, true, true};
    case 31:
        return {Kind::Cover, true, true, false, true};
    case 35:
        return {Kind::Cover, true, true, true, false};
    default:
        return {Kind::Cover, true, true, false, false}; // 36
    }
}

// One axis: position and step in 16.16, the size in pixels.
struct Axis {
    bool moves = false;
    bool fromFar = false;
    int32_t size = 0;
    int64_t pos = 0, stepBy = 0;

    void begin() { pos = fromFar ? -(int64_t{size} << 16) : 0; }
    // Advances one step; false once the axis has reached its end.
    bool advance() {
        const bool wasNegative = pos < 0;
        pos += stepBy;
        if (wasNegative && pos >= 0) pos = int64_t{size} << 16;
        return pos < (int64_t{size} << 16);
    }
    // The extent revealed, in pixels.
    int32_t extent() const {
        const int32_t p = static_cast<int32_t>(pos >> 16);
        return pos >= 0 ? p : size + static_cast<int32_t>(-((-pos) >> 16));
    }
    // Where a picture that has moved `by` pixels along the axis away from the starting edge
    // sits: the starting edge is 0 (left, bottom) for a start at 0, S for a start at -S.
    int32_t awayFromStart(int32_t by) const { return moves ? (fromFar ? -by : by) : 0; }
};

class MovingEffect : public EffectFamily {
public:
    explicit MovingEffect(int32_t effect) : motion_(motionOf(effect)) {}

    bool composes() const override { return true; }

    void start(EffectState& s) override {
        x_.moves = motion_.horizontal;
        x_.fromFar = motion_.fromFarX;
        x_.size = s.width;
        y_.moves = motion_.vertical;
        y_.fromFar = motion_.fromFarY;
        y_.size = s.height;
        if (motion_.horizontal && motion_.vertical) {
            startDiagonal(s);
        } else {
            Axis& a = motion_.horizontal ? x_ : y_;
            sizeSteps(s, a.size);
            a.stepBy = int64_t{s.chunk} << 16;
        }
        x_.begin();
        y_.begin();
    }

    bool step(EffectState& s) override {
        bool more = true;
        if (diagonal()) {
            // Both axes end together, on the common step count.
            x_.advance();
            y_.advance();
            more = ++stepsDone_ < stepCount_;
        } else {
            more = (motion_.horizontal ? x_ : y_).advance();
        }
        if (!more) return false;
        if (s.work) {
            compose(*s.work, *s.newPicture, s.oldPicture);
            drawWhole(s.dc, *s.work);
        }
        return true;
    }

private:
    bool diagonal() const { return motion_.horizontal && motion_.vertical; }

    // A common step count from the smaller of W / chunk and H / chunk, with the chunk widened
    // until the count covers the width; then the 15-steps-a-second cap on the height.
    void startDiagonal(EffectState& s) {
        s.chunk = std::clamp(s.chunk, 1, 128);
        int32_t count = std::max(1, std::min(s.width / s.chunk, s.height / s.chunk));
        while (count * s.chunk < s.width)
            ++s.chunk;
        if (int64_t{count} * 1000 / s.duration >= 16) {
            s.rate = 15;
            count = std::max<int32_t>(1, static_cast<int32_t>(int64_t{s.duration} * 15 / 1000));
        }
        stepCount_ = count;
        x_.stepBy = (int64_t{s.width} << 16) / count;
        y_.stepBy = (int64_t{s.height} << 16) / count;
        s.delay = delayFor(s.duration, count);
    }

    // The extent along an axis that does not move is the whole axis.
    int32_t extentOf(const Axis& a) const { return a.moves ? a.extent() : a.size; }

    void compose(nDIB& work, const nDIB& now, const nDIB* before) const {
        const int32_t ex = extentOf(x_), ey = extentOf(y_);
        const int32_t W = x_.size, H = y_.size;
        switch (motion_.kind) {
        case Kind::Wipe: {
            // The new picture in place over the revealed extent, from the starting edge.
            const int32_t x = x_.moves && x_.fromFar ? W - ex : 0;
            const int32_t row = y_.moves && y_.fromFar ? H - ey : 0;
            copyInPlace(work, now, x, row, ex, ey);
            break;
        }
        case Kind::Push:
            // Both pictures move away from the starting edge: the old one by the extent, the new
            // one comes in behind it.
            if (before) copyShifted(work, *before, x_.awayFromStart(ex), y_.awayFromStart(ey));
            copyShifted(work, now, x_.awayFromStart(ex - W), y_.awayFromStart(ey - H));
            break;
        case Kind::Uncover:
            // The new picture stays; the old one slides away over it.
            copyShifted(work, now, 0, 0);
            if (before) copyShifted(work, *before, x_.awayFromStart(ex), y_.awayFromStart(ey));
            break;
        case Kind::Cover:
            // The old picture stays; the new one slides in over it from the starting edge.
            copyShifted(work, now, x_.awayFromStart(ex - W), y_.awayFromStart(ey - H));
            break;
        }
    }

    Motion motion_;
    Axis x_, y_;
    int32_t stepCount_ = 0, stepsDone_ = 0;
};

} // namespace

void fillMovingEffects(TransitionTable& table) {
    fill<MovingEffect, 1, 2, 3, 4, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 29, 30, 31, 32,
         33, 34, 35, 36>(table);
}

} // namespace skv::effects
