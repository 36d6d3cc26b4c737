// The zoom effects: rectangle outlines centred on the stage, drawn by inverting what the window
// shows, three at a time (each step inverts the outline of three steps before once more, which
// takes it away). 47 runs them outwards, 48 inwards; then the new picture is drawn whole, which
// leaves no outline behind.
#include <algorithm>

#include "gfx/effectframe.h"

namespace skv::effects {

namespace {

class Zoom : public EffectFamily {
public:
    explicit Zoom(int32_t effect) : outwards_(effect == 47) {}

    bool composes() const override { return false; }

    void start(EffectState& s) override {
        s.chunk = std::max(s.chunk, 0);
        by_ = s.chunk + 1;
        // A chunk as tall as the stage leaves no room for outlines: the effect only waits.
        waitOnly_ = by_ >= s.height;
        s.delay = std::max<UINT>(delayFor(s.duration, s.height / by_), 5);
        e_ = outwards_ ? 0 : s.height - 2;
        last_ = (4 * s.chunk + s.height + 4) / 2;
    }

    bool step(EffectState& s) override {
        if (waitOnly_) {
            Sleep(s.duration);
            return false;
        }
        e_ += outwards_ ? by_ : -by_;
        if (outwards_ ? e_ > last_ : e_ < 0) return false;
        outline(s, e_);
        // The outline of three steps before goes again.
        const int32_t old = outwards_ ? e_ - 3 * by_ : e_ + 3 * by_;
        if (++drawn_ > 3) outline(s, old);
        GdiFlush();
        return true;
    }

private:
    // Inverts the one-pixel frame just outside the centred rectangle of half-height e and
    // half-width W x e / H.
    static void outline(EffectState& s, int32_t e) {
        const int32_t halfW =
            s.height > 0 ? static_cast<int32_t>(int64_t{s.width} * e / s.height) : 0;
        const int32_t cx = s.width / 2, cy = s.height / 2;
        const int32_t left = cx - halfW, right = cx + halfW, top = cy - e, bottom = cy + e;
        PatBlt(s.dc, left - 1, top - 1, right - left + 2, 1, DSTINVERT);
        PatBlt(s.dc, left - 1, bottom, right - left + 2, 1, DSTINVERT);
        PatBlt(s.dc, left - 1, top, 1, bottom - top, DSTINVERT);
        PatBlt(s.dc, right, top, 1, bottom - top, DSTINVERT);
    }

    bool outwards_;
    bool waitOnly_ = false;
    int32_t by_ = 1, e_ = 0, last_ = 0, drawn_ = 0;
};

} // namespace

void fillZoomEffects(TransitionTable& table) {
    fill<Zoom, 47, 48>(table);
}

} // namespace skv::effects
