// Rendering the current frame: every channel's member is asked to draw itself on the stage
// (or, when hidden, only to place itself, which invalidates its area), and changed channels
// have their old and new areas marked for the copy to the window.
#include "movie/scorelet.h"
#include "movie/scorestage.h"

namespace skv {

namespace {

// Transition durations are stored in quarter seconds and played on the player's 1,112 ms
// second.
int32_t transitionMs(int32_t quarterSeconds) {
    return quarterSeconds * 250 * 1112 / 1000;
}

constexpr int32_t kTransitionParameter = 30;

} // namespace

void skvScore::renderFrame(ScoreStage& stage, int32_t quiet) {
    cursor_->mergePuppets(this);
    FrameImage& cur = cursor_->current;
    FrameImage& prev = cursor_->previous;
    skvView* view = stage.view();

    // A palette the stream does not hold changes nothing: the stage keeps the one it shows.
    // Taking its number as the current one would make the stage look it up in vain the next
    // time it is set up (when playback starts) and show no colours at all.
    if (const int16_t palette = cur.paletteNumber(); palette != 0) {
        if (skvObject* member = findMemberWaiting(palette)) {
            currentPalette_ = palette;
            member->draw(view, nullptr);
            stage.paletteChanged();
        }
    }

    if (!quiet && ((cur.soundNumber() != prev.soundNumber() && !soundPuppet_) || soundForced_)) {
        soundForced_ = 0;
        if (skvObject* old = findMemberWaiting(prev.soundNumber())) old->place(view, nullptr);
        if (skvObject* sound = findMemberWaiting(cur.soundNumber())) sound->draw(view, nullptr);
    }

    const int32_t tempo = cur.tempoByte();
    if (tempoIsRate(tempo))
        stage.setTempo(tempo);
    else if (tempoWaits(tempo))
        stage.setWaitMode(tempo);

    renderSprites(stage);
    forceRedraw_ = 0;

    if (!quiet && transitionToRun() != 0 && frameNumber() != 1) {
        const bool given = puppetValuesInForce();
        const uint16_t params = given ? puppetParams_ : cur.transitionParams();
        stage.runTransition(transitionToRun(), params & 0xFF, transitionMs((params >> 8) & 0x7F),
                            kTransitionParameter);
        if (puppetTransition_) {
            // The script's values came along into this frame unless its own change records
            // replaced them; what came along goes back to what the frame before had.
            if (!given || cur.transitionEffect() == puppetEffect_)
                cur.setTransitionEffect(static_cast<uint8_t>(savedTransition_));
            if (given && cur.transitionParams() == puppetParams_)
                cur.setTransitionParams(savedTransitionParams_);
            setPuppetTransition(0);
        }
    }

    prev = cur;
    if (isHub() && scoreletCount() > 0) renderScorelets(stage);
    // Where the members shown again have just drawn themselves (by the score or a scorelet).
    for (skvObject* member : revealed_)
        if (!member->hidden) stage.addDirtyMember(member);
    revealed_.clear();
}

void skvScore::renderSprites(ScoreStage& stage) {
    FrameImage& cur = cursor_->current;
    FrameImage& prev = cursor_->previous;
    skvView* view = stage.view();
    for (int32_t i = firstSpriteChannel(); i < FrameImage::kChannels; ++i) {
        const SpriteChannel& channel = cur[i];
        skvObject* member = nullptr;
        stage.setDrawingChannel(i);
        if (!channel.isShape()) {
            member = findMemberWaiting(channel.castNumber());
            if (member && !member->hidden) {
                if (cursor_->visibility[i]) member->draw(view, &channel);
            } else if (member) {
                member->place(view, &channel);
            }
        } else if (!isHub() && channel.shapeKind() != 0 && cursor_->visibility[i]) {
            stage.drawShape(channel, channel.shapeKind());
        }
        if (!(channel == prev[i]) || forceRedraw_) {
            if (member) stage.addDirtyMember(member);
            if (!prev[i].isShape()) {
                if (skvObject* old = findMemberWaiting(prev[i].castNumber()))
                    old->place(view, &prev[i]);
            } else if (prev[i].shapeKind() != 0) {
                // A shape that moved or went leaves its old place to be copied too.
                stage.placeShape(prev[i]);
            }
        }
    }
    stage.setDrawingChannel(-1);
}

void skvScore::renderScorelets(ScoreStage& stage) {
    NMTX_SCOPED(guard, &scoreletLock_);
    skvView* view = stage.view();
    const int32_t first = firstSpriteChannel();
    for (size_t n = 0; n < scorelets_.size(); ++n) {
        skvScorelet* s = scorelets_[n];
        if (s->isActive() && !s->pausesFor(runningTrigger_)) {
            s->renderFrame(stage, 0);
            continue;
        }
        if (!s->needsClear) continue;
        FrameImage& old = s->cursor().previous;
        if (skvObject* sound = s->findMemberWaiting(old.soundNumber())) sound->place(view, nullptr);
        for (int32_t i = first; i < FrameImage::kChannels; ++i) {
            if (skvObject* member = s->findMemberWaiting(old[i].castNumber()))
                member->place(view, &old[i]);
        }
        old.clear();
        s->needsClear = 0;
    }
}

} // namespace skv
