// The engine's input handlers, the delay timer, the cursor scripts choose, sound operations and
// what scripts ask of sprites. Clicks go to the score, which hit-tests its sprites and hands the
// events back to the engine (ScoreEvents) for the script runtime.
#include "core/status.h"
#include "gfx/sprite.h"
#include "movie/cursors.h"
#include "movie/frameimage.h"
#include "movie/score.h"
#include "player/animationplayer.h"
#include "script/playerlink.h"
#include "script/runtime.h"

namespace skv {

void skvAnimationPlayer::clearWait() {
    compositor().setWaitMode(0);
    if (delayTimerOn_) {
        if (HWND hwnd = window()) KillTimer(hwnd, kDelayTimer);
        delayTimerOn_ = 0;
    }
}

void skvAnimationPlayer::forgetPalette() {
    compositor().reset();
    compositor().attachView(this);
}

void skvAnimationPlayer::onTimer() {
    // Timer 100 is the only one the stage runs: the delay wait is over.
    clearWait();
}

DWORD skvAnimationPlayer::lastEventTime() const {
    return lastMouse_ > lastKey_ ? lastMouse_ : lastKey_;
}

void skvAnimationPlayer::takeKeyboard() {
    // A click on the stage gives it the keyboard, as a click on any window of a page does for
    // that window: keys then reach the movie (a frame waiting for a key, the keyDown event).
    if (HWND stage = window(); stage && GetFocus() != stage) SetFocus(stage);
}

void skvAnimationPlayer::onLButtonDown(int32_t x, int32_t y) {
    takeKeyboard();
    lastMouse_ = lastClick_ = GetTickCount();
    buttonDown_ = 1;
    doubleClick_ = 0;
    if (!playing_.load()) return;
    if (compositor().waitMode() == kTempoWaitForClick) compositor().setWaitMode(0);
    if (timeoutOnMouse_) restartTimeout();
    if (score_) score_->mouseDown(x, y);
}

void skvAnimationPlayer::onLButtonUp(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    buttonDown_ = 0;
    if (playing_.load() && score_) score_->mouseUp(x, y);
}

void skvAnimationPlayer::onLButtonDblClk(int32_t x, int32_t y) {
    lastMouse_ = lastClick_ = GetTickCount();
    buttonDown_ = 1;
    doubleClick_ = 1;
    if (playing_.load() || !score_ || !callback_) return;
    const int32_t member = score_->castNumberAt(x, y);
    viewMutex()->unlock();
    callback_->onStatus(kStsMemberClicked, member > 0 ? member : 0);
    viewMutex()->lock();
}

void skvAnimationPlayer::onRButtonDown(int32_t x, int32_t y) {
    takeKeyboard();
    lastMouse_ = GetTickCount();
    if (!playing_.load() || GetAsyncKeyState(VK_CONTROL) >= 0) return;
    // Ends playback as the end of the score does, without the score's last events.
    ended_.store(1);
    closeSoundOutput();
    postStatus(statusInt(stsPlaybackComplete));
}

void skvAnimationPlayer::onMouseMove(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    if (!playing_.load()) return;
    mouse_ = POINT{x, y};
    if (!score_) return;
    score_->setMouseMovePosition(mouse_);
    // Rolling onto another member (or off every one) is what "lastRoll" counts from.
    const int32_t cast = std::max(score_->castNumberAt(x, y), 0);
    if (cast != mouseCast_) {
        mouseCast_ = cast;
        lastRoll_ = lastMouse_;
    }
}

void skvAnimationPlayer::onSetCursor(int32_t x, int32_t y) {
    if (playing_.load() && score_) score_->mouseMove(x, y);
}

void skvAnimationPlayer::onKeyDown() {
    lastKey_ = GetTickCount();
    if (compositor().waitMode() == kTempoWaitForClick) compositor().setWaitMode(0);
}

void skvAnimationPlayer::onWaveDone(LPARAM header) {
    sound_->waveDone(header);
}

// --- the cursor scripts choose -------------------------------------------------------------

void skvAnimationPlayer::setScriptCursor(int32_t cursor) {
    scriptCursor_ = cursor;
    applyScriptCursor();
}

void skvAnimationPlayer::applyScriptCursor() {
    if (scriptCursor_ < 0) return; // the score's own cursors
    HCURSOR h = nullptr;
    switch (scriptCursor_) {
    case kCursorNone:
        break;
    case kCursorPlugIn:
        h = loadPluginCursor(kClickCursor);
        break;
    case kCursorPlugIn2:
        h = loadPluginCursor(kWaitCursor);
        break;
    default:
        h = LoadCursorA(nullptr, MAKEINTRESOURCEA(scriptCursor_));
        if (!h) h = LoadCursorA(nullptr, IDC_ARROW);
        break;
    }
    // The score shows it over the stage from now on (set-cursor asks the score each time).
    if (score_) score_->setCursorHandle(h);
    SetCursor(h);
}

// --- sound --------------------------------------------------------------------------------

void skvAnimationPlayer::playSound(skvObject* wave) {
    if (soundOff_.load() || !wave) return;
    sound_->playSound(wave);
}

void skvAnimationPlayer::stopSound() {
    sound_->stopSound();
}

void skvAnimationPlayer::replaySound() {
    if (soundOff_.load()) return;
    if (sound_->volume() == 0) sound_->setVolume(0xFFFFFFFF);
    sound_->replaySound();
}

void skvAnimationPlayer::fadeIn(int32_t ticks) {
    sound_->fadeIn(ticks, frameInterval());
}

void skvAnimationPlayer::fadeOut(int32_t ticks) {
    sound_->fadeOut(ticks, frameInterval());
}

uint32_t skvAnimationPlayer::volume() {
    return sound_->volume();
}

void skvAnimationPlayer::setVolume(uint32_t value) {
    sound_->setVolume(value);
}

int32_t skvAnimationPlayer::soundBusy() {
    return sound_->soundBusy();
}

// --- for scripts ----------------------------------------------------------------------------

void skvAnimationPlayer::puppetSprite(int32_t sprite, int32_t flag) {
    NMTX_SCOPED(guard, viewMutex());
    if (score_) score_->puppetSprite(sprite, flag);
}

void skvAnimationPlayer::puppetSound(int32_t number) {
    NMTX_SCOPED(guard, viewMutex());
    if (!score_) return;
    score_->puppetSound(number);
    if (number == 0) return;
    // The sound playing now stops at once, and sound may start again: the member the script
    // named starts at the next render, even when it is the one that was playing (which the
    // output would otherwise take as already started).
    stopSound();
    soundOff_.store(0);
}

void skvAnimationPlayer::puppetTransition(int32_t effect, int32_t duration, int32_t chunk) {
    NMTX_SCOPED(guard, viewMutex());
    if (!score_) return;
    score_->setPuppetTransition(1);
    FrameImage& image = *score_->currentImage();
    image.setTransitionEffect(static_cast<uint8_t>(effect));
    const uint16_t kept = image.transitionParams() & 0x8000;
    image.setTransitionParams(
        static_cast<uint16_t>(kept | ((duration & 0x7F) << 8) | (chunk & 0xFF)));
    score_->setPuppetTransitionValues(image.transitionEffect(), image.transitionParams());
}

RECT skvAnimationPlayer::spriteRect(int32_t sprite) {
    NMTX_SCOPED(guard, viewMutex());
    RECT r{0, 0, 0, 0};
    SpriteChannel* c = score_ ? score_->propertyChannel(sprite) : nullptr;
    skvObject* member = c ? score_->findMemberWaiting(c->castNumber()) : nullptr;
    if (!member) return r;
    // A bitmap sprite stands where its registration point puts it, as it places itself.
    int32_t x = c->left(), y = c->top();
    if (auto* s = dynamic_cast<NSprite*>(member)) {
        x += s->getRegistrationX();
        y += s->getRegistrationY();
    }
    r.left = x;
    r.top = y;
    r.right = x + c->width();
    r.bottom = y + c->height();
    return r;
}

int32_t skvAnimationPlayer::spriteWithin(int32_t a, int32_t b) {
    const RECT ra = spriteRect(a), rb = spriteRect(b);
    if (IsRectEmpty(&ra) || IsRectEmpty(&rb)) return 0;
    return PtInRect(&rb, POINT{ra.left, ra.top}) && PtInRect(&rb, POINT{ra.right, ra.bottom}) ? 1
                                                                                              : 0;
}

int32_t skvAnimationPlayer::spriteIntersects(int32_t a, int32_t b) {
    const RECT ra = spriteRect(a), rb = spriteRect(b);
    RECT out;
    return IntersectRect(&out, &ra, &rb) ? 1 : 0;
}

int32_t skvAnimationPlayer::rollOver(int32_t sprite) {
    NMTX_SCOPED(guard, viewMutex());
    SpriteChannel* c = score_ ? score_->propertyChannel(sprite) : nullptr;
    if (!c) return 0;
    if (c->isShape())
        return mouse_.x >= c->left() && mouse_.x < c->left() + c->width() && mouse_.y >= c->top() &&
               mouse_.y < c->top() + c->height();
    if (c->castNumber() == 0 || !score_->visibility(sprite)) return 0;
    skvObject* member = score_->findMemberWaiting(c->castNumber());
    return member && !member->hidden && member->hitTest(c, mouse_) ? 1 : 0;
}

} // namespace skv
