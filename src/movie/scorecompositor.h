// ScoreCompositor: a score on the stage compositor. The compositor asks it what the current
// frame needs (a transition, the stage colour, the palette) and has it render; the score draws
// through it, its members reaching the compositor through the view it hands them.
#pragma once

#include <cstdint>

#include "gfx/stagescore.h"
#include "movie/scorestage.h"

namespace skv {

class nAnimation;
class skvScore;

class ScoreCompositor : public StageScore, public ScoreStage {
public:
    ScoreCompositor(skvScore* score, nAnimation* stage) : score_(score), stage_(stage) {}

    skvScore* score() const { return score_; }

    // StageScore
    bool frameHasTransition() override;
    int32_t stageColourIndex() override;
    int32_t currentPaletteNumber() override;
    void renderFrame(int32_t quiet) override;

    // ScoreStage
    skvView* view() override;
    void addDirtyMember(skvObject* member) override;
    void paletteChanged() override;
    void setWaitMode(int32_t mode) override;
    void setTempo(int32_t fps) override;
    bool isHub() override;
    int32_t drawingChannel() override { return drawingChannel_; }
    void setDrawingChannel(int32_t channel) override { drawingChannel_ = channel; }
    // A shape sprite is drawn by a shape made for it from the channel.
    void drawShape(const SpriteChannel& channel, int32_t kind) override;
    void placeShape(const SpriteChannel& channel) override;
    void runTransition(int32_t effect, int32_t chunkSize, int32_t durationMs,
                       int32_t parameter) override;

private:
    skvScore* score_;
    nAnimation* stage_;
    int32_t drawingChannel_ = -1;
};

} // namespace skv
