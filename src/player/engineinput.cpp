// The engine's input handlers, the delay timer, sound operations and what scripts ask of sprites.
#include "core/status.h"
#include "movie/score.h"
#include "player/animationplayer.h"
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

void skvAnimationPlayer::onLButtonDown(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    if (!playing_.load()) return;
    if (compositor().waitMode() == 128) compositor().setWaitMode(0);
    if (timeoutOnMouse_) restartTimeout();
    if (score_) input_->mouseDown(*score_, runtime_, x, y);
}

void skvAnimationPlayer::onLButtonUp(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    if (playing_.load() && score_) input_->mouseUp(*score_, runtime_, x, y);
}

void skvAnimationPlayer::onLButtonDblClk(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    if (playing_.load() || !score_ || !callback_) return;
    const int32_t member = input_->castNumberAt(*score_, x, y);
    viewMutex()->unlock();
    callback_->onStatus(kStsMemberClicked, member > 0 ? member : 0);
    viewMutex()->lock();
}

void skvAnimationPlayer::onRButtonDown(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    if (!playing_.load() || GetAsyncKeyState(VK_CONTROL) >= 0) return;
    // Ends playback as the end of the score does, without the score's last events.
    ended_.store(1);
    closeSoundOutput();
    postStatus(statusInt(stsPlaybackComplete));
}

void skvAnimationPlayer::onMouseMove(int32_t x, int32_t y) {
    lastMouse_ = GetTickCount();
    if (playing_.load()) mouse_ = POINT{x, y};
}

void skvAnimationPlayer::onSetCursor(int32_t x, int32_t y) {
    if (playing_.load() && score_) input_->mouseMove(*score_, x, y);
}

void skvAnimationPlayer::onKeyDown() {
    lastKey_ = GetTickCount();
    if (compositor().waitMode() == 128) compositor().setWaitMode(0);
}

void skvAnimationPlayer::onWaveDone(LPARAM header) {
    sound_->waveDone(header);
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
    if (score_) score_->puppetSound(number);
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
}

RECT skvAnimationPlayer::spriteRect(int32_t sprite) {
    NMTX_SCOPED(guard, viewMutex());
    RECT r{0, 0, 0, 0};
    SpriteChannel* c = score_ ? score_->propertyChannel(sprite) : nullptr;
    if (!c || !score_->findMemberWaiting(c->castNumber())) return r;
    // The channel places the member by its top-left corner; a registration point the member
    // carries moves it by that offset.
    r.left = c->left();
    r.top = c->top();
    r.right = r.left + c->width();
    r.bottom = r.top + c->height();
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

} // namespace skv
