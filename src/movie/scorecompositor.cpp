#include "movie/scorecompositor.h"

#include "gfx/animation.h"
#include "gfx/shape.h"
#include "movie/score.h"

namespace skv {

bool ScoreCompositor::frameHasTransition() {
    return score_ && score_->transitionToRun() != 0;
}

int32_t ScoreCompositor::stageColourIndex() {
    return score_ ? score_->stageColour() : 0;
}

int32_t ScoreCompositor::currentPaletteNumber() {
    return score_ ? score_->currentPalette() : skvScore::kBuiltInDefaultPalette;
}

void ScoreCompositor::renderFrame(int32_t quiet) {
    if (score_) score_->renderFrame(*this, quiet);
}

skvView* ScoreCompositor::view() {
    return stage_ ? stage_->view() : nullptr;
}

void ScoreCompositor::addDirtyMember(skvObject* member) {
    if (stage_) stage_->addDirtyMember(member);
}

void ScoreCompositor::paletteChanged() {
    if (!stage_) return;
    stage_->stagePaletteChanged();
    stage_->setRealizePending(1);
}

void ScoreCompositor::setWaitMode(int32_t mode) {
    if (stage_) stage_->setWaitMode(mode);
}

void ScoreCompositor::setTempo(int32_t fps) {
    if (stage_) stage_->setTempo(fps);
}

void ScoreCompositor::runTransition(int32_t effect, int32_t chunkSize, int32_t durationMs,
                                    int32_t parameter) {
    if (stage_) stage_->runTransition(effect, chunkSize, durationMs, parameter);
}

bool ScoreCompositor::isHub() {
    return score_ && score_->isHub();
}

void ScoreCompositor::drawShape(const SpriteChannel& channel, int32_t kind) {
    skvShape shape;
    shape.kind = static_cast<int16_t>(kind);
    shape.pattern = channel.castNumber() > 0 ? channel.castNumber() : 0;
    shape.draw(view(), &channel);
}

void ScoreCompositor::placeShape(const SpriteChannel& channel) {
    skvShape shape;
    shape.place(view(), &channel);
}

} // namespace skv
