// The mouse on the stage: which sprite is under a point, what a click does (a trigger's
// animation in a hub score, an event for the scripts in a linear one) and which cursor shows.
#include "movie/cursors.h"
#include "movie/score.h"
#include "movie/scorelet.h"

namespace skv {

namespace {

// The channel at which a hub score tests its scorelets: the lowest a scorelet can use.
constexpr int32_t kScoreletChannel = 3;

HCURSOR arrow() {
    return LoadCursorA(nullptr, IDC_ARROW);
}

} // namespace

bool skvScore::hitChannels(POINT point, ScoreHit* hit) {
    FrameImage& image = cursor_->current;
    for (int32_t i = FrameImage::kChannels - 1; i >= firstSpriteChannel(); --i) {
        if (i == kScoreletChannel && isHub()) {
            // Scorelets play over channels above the score's background: the last drawn is
            // on top. The list is walked by index, as a started trigger may add to it.
            for (int32_t n = scoreletCount() - 1; n >= 0; --n) {
                skvScorelet* s = scoreletAt(n);
                if (s && s->isActive() && s->mode == skvScorelet::kStartsItself &&
                    s->hitChannels(point, hit))
                    return true;
            }
        }
        const SpriteChannel& channel = image[i];
        if (channel.isShape()) {
            if (point.x >= channel.left() && point.x < channel.left() + channel.width() &&
                point.y >= channel.top() && point.y < channel.top() + channel.height()) {
                *hit = ScoreHit{&image, i, nullptr};
                return true;
            }
            continue;
        }
        if (channel.castNumber() == 0 || !cursor_->visibility[i]) continue;
        skvObject* member = findMemberWaiting(channel.castNumber());
        if (!member || member->hidden || !member->hitTest(&channel, point)) continue;
        *hit = ScoreHit{&image, i, member};
        return true;
    }
    return false;
}

bool skvScore::hitTest(POINT point, ScoreHit* hit) {
    ScoreHit found;
    if (!hitChannels(point, &found)) return false;
    if (hit) *hit = found;
    return true;
}

int32_t skvScore::triggerOf(const ScoreHit& hit) {
    const int32_t script = (*hit.image)[hit.channel].scriptNumber();
    if (script != 0) return script;
    return hit.member ? hit.member->trigger() : 0;
}

void skvScore::mouseDown(int32_t x, int32_t y) {
    if (isHub()) return;
    mouseDownAt_ = POINT{x, y};
    const int32_t frameScript = cursor_->current.frameScript();
    ScoreHit hit;
    if (hitTest(POINT{x, y}, &hit)) {
        const SpriteChannel& channel = (*hit.image)[hit.channel];
        clickedSprite_ = hit.channel - 1;
        if (events_)
            events_->mouseDown(channel.scriptNumber(), channel.castNumber(), frameScript,
                               hit.channel - 1);
        return;
    }
    clickedSprite_ = 0;
    if (events_) events_->mouseDown(0, 0, frameScript, 0);
}

void skvScore::mouseUp(int32_t x, int32_t y) {
    const int32_t frameScript = cursor_->current.frameScript();
    ScoreHit hit;
    if (hitTest(POINT{x, y}, &hit)) {
        if (isHub()) {
            if (const int32_t t = triggerOf(hit); t != 0) startTrigger(t);
            return;
        }
        const SpriteChannel& channel = (*hit.image)[hit.channel];
        if (events_)
            events_->mouseUp(channel.scriptNumber(), channel.castNumber(), frameScript,
                             hit.channel - 1);
        return;
    }
    if (events_) events_->mouseUp(0, 0, frameScript, 0);
}

HCURSOR skvScore::cursorHandle() {
    return cursorChosen_ ? cursorHandle_ : arrow();
}

void skvScore::mouseMove(int32_t x, int32_t y) {
    HCURSOR show = isHub() ? arrow() : cursorHandle();
    if (runningTrigger_ != 0) {
        // The animation of a click plays: no cursor until it ends.
        SetCursor(nullptr);
        return;
    }
    ScoreHit hit;
    if (isHub() && hitTest(POINT{x, y}, &hit)) {
        if (const int32_t t = triggerOf(hit); t != 0) {
            if (isTriggerEnabled(t))
                show = loadPluginCursor(kClickCursor);
            else if (!isScoreletDone(t))
                show = loadPluginCursor(kWaitCursor);
        }
    }
    SetCursor(show);
}

skvObject* skvScore::memberAt(int32_t x, int32_t y) {
    ScoreHit hit;
    return hitTest(POINT{x, y}, &hit) ? hit.member : nullptr;
}

int32_t skvScore::castNumberAt(int32_t x, int32_t y) {
    ScoreHit hit;
    if (!hitTest(POINT{x, y}, &hit)) return -1;
    return (*hit.image)[hit.channel].castNumber();
}

} // namespace skv
