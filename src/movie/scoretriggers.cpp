// The score's side of its scorelets: the list, triggers and their enabling, starting a
// trigger's scorelet, advancing them all while a hub score is parked, and their render order.
#include <algorithm>

#include "movie/score.h"
#include "movie/scorelet.h"

namespace skv {

void skvScore::addScorelet(skvScorelet* scorelet) {
    NMTX_SCOPED(guard, &scoreletLock_);
    scorelets_.push_back(scorelet);
}

int32_t skvScore::scoreletCount() const {
    NMTX_SCOPED(guard, &scoreletLock_);
    return static_cast<int32_t>(scorelets_.size());
}

skvScorelet* skvScore::scoreletAt(int32_t index) const {
    NMTX_SCOPED(guard, &scoreletLock_);
    if (index < 0 || index >= static_cast<int32_t>(scorelets_.size())) return nullptr;
    return scorelets_[static_cast<size_t>(index)];
}

skvScorelet* skvScore::findScorelet(int32_t t) const {
    NMTX_SCOPED(guard, &scoreletLock_);
    for (skvScorelet* s : scorelets_)
        if (s->enablerTrigger == t || s->startFrame == t) return s;
    return nullptr;
}

bool skvScore::isTriggerEnabled(int32_t t) const {
    // A score built in memory has no enablers coming.
    if (!streamed_) return true;
    {
        NMTX_SCOPED(guard, &scoreletLock_);
        if (skvScorelet* s = findScorelet(t)) {
            if (s->mode == skvScorelet::kOneShot && s->done) return false;
            if (s->enabled) return true;
        }
    }
    NMTX_SCOPED(guard, &triggerLock_);
    return std::find(enabledTriggers_.begin(), enabledTriggers_.end(), t) != enabledTriggers_.end();
}

bool skvScore::isScoreletDone(int32_t t) const {
    NMTX_SCOPED(guard, &scoreletLock_);
    skvScorelet* s = findScorelet(t);
    return s && s->done;
}

void skvScore::enableTrigger(int32_t t) {
    {
        NMTX_SCOPED(guard, &scoreletLock_);
        if (skvScorelet* s = findScorelet(t)) {
            s->enabled = 1;
            return;
        }
    }
    // Remembered for a scorelet that has not arrived yet.
    NMTX_SCOPED(guard, &triggerLock_);
    if (std::find(enabledTriggers_.begin(), enabledTriggers_.end(), t) == enabledTriggers_.end())
        enabledTriggers_.push_back(t);
}

void skvScore::startTrigger(int32_t t) {
    if (runningTrigger_ != 0 || !isTriggerEnabled(t)) return;
    skvScorelet* s = findScorelet(t);
    if (!s) {
        s = new skvScorelet;
        s->mode = skvScorelet::kMadeForClick;
        s->cutFrames(*this, t);
        s->enablerTrigger = t;
        {
            NMTX_SCOPED(guard, &triggerLock_);
            s->enabled = std::find(enabledTriggers_.begin(), enabledTriggers_.end(), t) !=
                                 enabledTriggers_.end()
                             ? 1
                             : 0;
        }
        s->startFrame = s->trigger = 0;
        s->setHubFrame(hubFrame_);
        s->attachStream(stream_);
        addScorelet(s);
    }
    s->armed = 0;
    if (s->mode == skvScorelet::kOneShot && s->done) return;
    runningTrigger_ = t;
    s->cursor().previous.clear();
    s->active = 1;
    s->rewind();
    fireFrameActions(t);
    s->computeMaxLayer();
    sortScorelets();
    s->armed = 1;
    // No cursor while the click's animation plays.
    SetCursor(nullptr);
}

void skvScore::updateScorelets() {
    NMTX_SCOPED(guard, &scoreletLock_);
    bool cutAny = false;
    // Indexed: a scorelet may be added while the pass runs (a started trigger).
    for (size_t i = 0; i < scorelets_.size(); ++i) {
        skvScorelet* s = scorelets_[i];
        if (!s->framesCut()) {
            const int32_t start = s->startFrame;
            s->cutFrames(*this, start);
            s->startFrame = 0;
            s->trigger = start;
            s->setHubFrame(hubFrame_);
            s->rewind();
            s->computeMaxLayer();
            s->attachStream(stream_);
            if (s->mode == skvScorelet::kStartsItself)
                s->active = 1;
            else
                s->stop();
            if (s->mode == skvScorelet::kOneShot) s->enablerTrigger = start;
            cutAny = true;
            // Its first frame is shown before it advances.
            continue;
        }
        if (s->mode == skvScorelet::kIdle && randomChance() && !s->active) {
            s->rewind();
            s->active = 1;
        }
        if (s->mode == skvScorelet::kIdle && runningTrigger_ != 0) s->stop();
        const bool paused = s->pausesFor(runningTrigger_);
        if (!s->active || paused) {
            if (paused) s->needsClear = 1;
            continue;
        }
        if (s->nextFrame() == 0) {
            if (s->mode == skvScorelet::kMadeForClick || s->mode == skvScorelet::kOneShot) {
                runningTrigger_ = 0;
                SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            }
            if (s->mode != skvScorelet::kOneShot) s->stop();
            s->needsClear = 1;
        }
    }
    if (cutAny) sortScorelets();
}

void skvScore::sortScorelets() {
    NMTX_SCOPED(guard, &scoreletLock_);
    auto clickStarted = [](const skvScorelet* s) {
        return s->mode == skvScorelet::kOneShot || s->mode == skvScorelet::kMadeForClick;
    };
    // Inactive first, then larger layers first, then one-shot and click-made ones first; the
    // list is then taken in reverse, so it renders inactive ones last and higher layers later.
    std::stable_sort(scorelets_.begin(), scorelets_.end(),
                     [&](const skvScorelet* a, const skvScorelet* b) {
                         if ((a->active != 0) != (b->active != 0)) return a->active == 0;
                         if (a->maxLayer != b->maxLayer) return a->maxLayer > b->maxLayer;
                         return clickStarted(a) && !clickStarted(b);
                     });
    std::reverse(scorelets_.begin(), scorelets_.end());
}

} // namespace skv
