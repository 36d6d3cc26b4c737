// The centre and edge effects. 5, 7 and 9 draw straight to the window a band or a rectangle of
// the new picture that grows from the middle (5 across, 7 down, 9 both, its half-height kept
// in proportion to its half-width); 6, 8 and 10 copy the new picture into the work picture from
// the edges inwards (6 the outer columns, 8 the outer rows, 10 both) and draw it whole.
#include <algorithm>

#include "gfx/effectframe.h"

namespace skv::effects {

namespace {

class CentreEffect : public EffectFamily {
public:
    explicit CentreEffect(int32_t effect) : effect_(effect) {}

    bool composes() const override { return effect_ == 6 || effect_ == 8 || effect_ == 10; }

    void start(EffectState& s) override {
        s.chunk = std::max(s.chunk, 1);
        // Effects 7 and 8 work on the height, the others on the width.
        const int32_t size = effect_ == 7 || effect_ == 8 ? s.height : s.width;
        half_ = size / 2;
        if (composes()) {
            // A chunk that divides the half evenly, so the edges meet in the middle.
            const int32_t count = std::max(1, half_ / s.chunk);
            s.chunk = std::max(1, half_ / count);
            s.delay = delayFor(s.duration, count);
        } else {
            s.delay = delayFor(s.duration, size / s.chunk / 2);
        }
        // 9 and 10: the vertical extent follows the horizontal one, in 16.16.
        ratio_ = s.width > 0 ? (int64_t{s.height} << 16) / s.width : 0;
    }

    bool step(EffectState& s) override {
        e_ += s.chunk;
        if (e_ >= half_) return false;
        const int32_t W = s.width, H = s.height;
        const int32_t ey = static_cast<int32_t>((int64_t{e_} * ratio_) >> 16);
        switch (effect_) {
        case 5:
            drawArea(s.dc, *s.newPicture, W / 2 - e_, 0, 2 * e_, H);
            break;
        case 7:
            drawArea(s.dc, *s.newPicture, 0, H / 2 - e_, W, 2 * e_);
            break;
        case 9:
            drawArea(s.dc, *s.newPicture, W / 2 - e_, H / 2 - ey, 2 * e_, 2 * ey);
            break;
        default:
            if (!s.work) return true;
            if (effect_ == 6 || effect_ == 10) {
                copyInPlace(*s.work, *s.newPicture, 0, 0, e_, H);
                copyInPlace(*s.work, *s.newPicture, W - e_, 0, e_, H);
            }
            if (effect_ == 8) copyEdgeRows(s, e_);
            if (effect_ == 10) copyEdgeRows(s, ey);
            drawWhole(s.dc, *s.work);
            break;
        }
        return true;
    }

private:
    static void copyEdgeRows(EffectState& s, int32_t rows) {
        copyInPlace(*s.work, *s.newPicture, 0, 0, s.width, rows);
        copyInPlace(*s.work, *s.newPicture, 0, s.height - rows, s.width, rows);
    }

    int32_t effect_;
    int32_t half_ = 0;
    int32_t e_ = 0;
    int64_t ratio_ = 0;
};

} // namespace

void fillCentreEffects(TransitionTable& table) {
    fill<CentreEffect, 5, 6, 7, 8, 9, 10>(table);
}

} // namespace skv::effects
