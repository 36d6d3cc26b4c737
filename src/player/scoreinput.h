// ScoreInput: what a mouse press, release or move on the stage becomes. The engine hands it the
// position; it hit-tests the score's sprites from the top channel down and sends the mouse events
// to the script runtime, or starts a hub score's trigger scorelet.
//
// ChannelHitInput does it on the channels alone: a shape sprite is hit inside its channel's
// rectangle, a member sprite when its member is found, visible, not hidden and its own hitTest
// says so. A linear score sends mouseDown (sprite script, cast number, frame script) on a hit and
// (0, 0, frame script) on a miss; a hub score ignores presses. A release in a hub score starts the
// hit sprite's trigger (its sprite script number, else its member's trigger); in a linear score,
// and on a miss in either, it sends mouseUp.
#pragma once

#include <cstdint>

namespace skv {

class skvScore;
class skvObject;
class skvScriptRuntime;

class ScoreInput {
public:
    virtual ~ScoreInput() = default;
    virtual void mouseDown(skvScore& score, skvScriptRuntime* runtime, int32_t x, int32_t y) = 0;
    virtual void mouseUp(skvScore& score, skvScriptRuntime* runtime, int32_t x, int32_t y) = 0;
    // The cursor for the position (set-cursor).
    virtual void mouseMove(skvScore& score, int32_t x, int32_t y) = 0;
    // The cast number of the sprite under the position, or -1.
    virtual int32_t castNumberAt(skvScore& score, int32_t x, int32_t y) = 0;
};

class ChannelHitInput : public ScoreInput {
public:
    void mouseDown(skvScore& score, skvScriptRuntime* runtime, int32_t x, int32_t y) override;
    void mouseUp(skvScore& score, skvScriptRuntime* runtime, int32_t x, int32_t y) override;
    void mouseMove(skvScore& score, int32_t x, int32_t y) override;
    int32_t castNumberAt(skvScore& score, int32_t x, int32_t y) override;

    // The sprite last pressed (channel - 1), 0 after a miss.
    int32_t clickedSprite() const { return clicked_; }

private:
    // The channel hit, from 49 down to the score's first sprite channel; -1 for none.
    int32_t hitChannel(skvScore& score, int32_t x, int32_t y, skvObject** member);

    int32_t clicked_ = 0;
};

} // namespace skv
