// What the stage compositor needs to know of the score it renders. The movie layer puts its
// score behind this, so that the compositor does not depend on the score's classes.
#pragma once

#include <cstdint>

namespace skv {

class StageScore {
public:
    virtual ~StageScore() = default;

    // The current frame runs a transition, which starts from the previous frame's picture.
    virtual bool frameHasTransition() = 0;
    // The palette index of the stage background.
    virtual int32_t stageColourIndex() = 0;
    // The palette number the score shows now (negative: a built-in palette).
    virtual int32_t currentPaletteNumber() = 0;
    // Draws the current frame on the compositor; a quiet render leaves sound and transition
    // alone.
    virtual void renderFrame(int32_t quiet) = 0;
    // A hub score is on the stage: sprites draw as its transparent figures and shapes not at all.
    virtual bool isHub() { return false; }
    // The channel (0-49) of the frame image whose sprite draws now; -1 outside a render.
    virtual int32_t drawingChannel() { return -1; }
};

} // namespace skv
