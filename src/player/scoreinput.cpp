#include "player/scoreinput.h"

#include "movie/score.h"
#include "platform/winuser.h"
#include "script/runtime.h"

namespace skv {

int32_t ChannelHitInput::hitChannel(skvScore& score, int32_t x, int32_t y, skvObject** member) {
    *member = nullptr;
    FrameImage& image = *score.currentImage();
    const POINT pt{x, y};
    for (int32_t i = FrameImage::kChannels - 1; i >= score.firstSpriteChannel(); --i) {
        const SpriteChannel& c = image[i];
        if (c.isShape()) {
            const RECT r{c.left(), c.top(), c.left() + c.width(), c.top() + c.height()};
            if (PtInRect(&r, pt)) return i;
            continue;
        }
        if (c.castNumber() == 0 || !score.visibility(i - 1)) continue;
        skvObject* m = score.findMemberWaiting(c.castNumber());
        if (!m || m->hidden || !m->hitTest(&c, pt)) continue;
        *member = m;
        return i;
    }
    return -1;
}

void ChannelHitInput::mouseDown(skvScore& score, skvScriptRuntime* runtime, int32_t x, int32_t y) {
    if (score.isHub()) return;
    skvObject* member = nullptr;
    const int32_t hit = hitChannel(score, x, y, &member);
    const int32_t frameScript = score.currentImage()->frameScript();
    if (hit < 0) {
        clicked_ = 0;
        if (runtime) runtime->mouseDown(0, 0, frameScript);
        return;
    }
    clicked_ = hit - 1;
    const SpriteChannel& c = (*score.currentImage())[hit];
    if (runtime) runtime->mouseDown(c.scriptNumber(), c.castNumber(), frameScript);
}

void ChannelHitInput::mouseUp(skvScore& score, skvScriptRuntime* runtime, int32_t x, int32_t y) {
    skvObject* member = nullptr;
    const int32_t hit = hitChannel(score, x, y, &member);
    const int32_t frameScript = score.currentImage()->frameScript();
    if (hit < 0) {
        if (runtime) runtime->mouseUp(0, 0, frameScript);
        return;
    }
    const SpriteChannel& c = (*score.currentImage())[hit];
    if (score.isHub()) {
        int32_t trigger = c.scriptNumber();
        if (trigger == 0 && member) trigger = member->trigger();
        if (trigger != 0) score.startTrigger(trigger);
        return;
    }
    if (runtime) runtime->mouseUp(c.scriptNumber(), c.castNumber(), frameScript);
}

void ChannelHitInput::mouseMove(skvScore& score, int32_t x, int32_t y) {
    // Cursors over triggers belong to the plug-in's resources; the stage shows the arrow.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

int32_t ChannelHitInput::castNumberAt(skvScore& score, int32_t x, int32_t y) {
    skvObject* member = nullptr;
    const int32_t hit = hitChannel(score, x, y, &member);
    return hit < 0 ? -1 : (*score.currentImage())[hit].castNumber();
}

} // namespace skv
